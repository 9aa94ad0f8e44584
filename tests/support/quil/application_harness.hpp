#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "application/port/browser_opener.hpp"
#include "application/profile_service.hpp"
#include "cli/cli_application.hpp"
#include "cli/parsed_command.hpp"
#include "support/quil/fake_credential_store.hpp"
#include "support/quil/fake_profile_repository.hpp"
#include "support/quil/recording_transport.hpp"
#include "support/quil/scoped_environment.hpp"
#include "support/quil/scripted_gateway_factory.hpp"

namespace testsupport::quil {

// The application object over in-memory fakes, for tests of the dispatcher,
// the session and the handlers. The four client-configuration variables of
// the environment are unset for the harness's life, so a test starts from the
// default server with no token; profiles, tokens, gateways, transport
// answers, secrets and the browser opener are set up through the members
// before the first run.
class ApplicationHarness {
public:
    struct Outcome {
        int exitCode = -1;
        std::string out;
        std::string err;
    };

    ApplicationHarness();
    ~ApplicationHarness();

    ApplicationHarness(const ApplicationHarness&) = delete;
    ApplicationHarness& operator=(const ApplicationHarness&) = delete;

    // Sets (or, with no value, unsets) a variable until the harness goes.
    void setEnvironment(std::string name, std::optional<std::string> value);

    // Built on first use from the members below.
    quarlino::quil::cli::CliApplication& application();

    // Parses the words (a parse failure throws) and runs the command with the
    // input; failures of the command leave as exceptions.
    Outcome run(const std::vector<std::string_view>& words, std::string input = {});
    Outcome run(const quarlino::quil::cli::ParsedCommand& command, std::string input = {});

    FakeProfileRepository profileRepository;
    FakeCredentialStore credentialStore;
    quarlino::quil::application::ProfileService profiles{profileRepository, credentialStore};
    ScriptedGatewayFactory gateways;
    // Every transport that the transport factory makes answers from this script.
    RecordingTransport transport;
    // Answers of the secret reader in order; with none left it fails like the
    // terminal at end of input ("cannot read password").
    std::deque<std::string> secrets;
    std::vector<std::string> secretPrompts;
    std::vector<std::chrono::milliseconds> sleeps;
    // Null unless a test sets one, as when no browser is available.
    std::shared_ptr<quarlino::quil::application::port::BrowserOpener> browserOpener;

private:
    // Declared first so that it is restored last, after the test's own settings.
    CleanClientEnvironment cleanEnvironment_;
    std::vector<std::unique_ptr<ScopedEnvironment>> environment_;
    std::unique_ptr<quarlino::quil::cli::CliApplication> application_;
};

}  // namespace testsupport::quil
