#include "support/quil/application_harness.hpp"

#include <sstream>
#include <stdexcept>
#include <utility>

#include "cli/command_line.hpp"

namespace testsupport::quil {

namespace cli = quarlino::quil::cli;

ApplicationHarness::ApplicationHarness() = default;

ApplicationHarness::~ApplicationHarness() = default;

void ApplicationHarness::setEnvironment(std::string name, std::optional<std::string> value) {
    environment_.push_back(std::make_unique<ScopedEnvironment>(std::move(name), std::move(value)));
}

cli::CliApplication& ApplicationHarness::application() {
    if (!application_) {
        application_ = std::make_unique<cli::CliApplication>(
            [this](const quarlino::quil::config::ClientConfig&) { return transport.share(); },
            gateways.factory(),
            profiles,
            [this](std::string_view prompt) {
                secretPrompts.emplace_back(prompt);
                if (secrets.empty()) {
                    throw std::runtime_error("cannot read password");
                }
                std::string secret = std::move(secrets.front());
                secrets.pop_front();
                return secret;
            },
            [this](std::chrono::milliseconds duration) { sleeps.push_back(duration); },
            browserOpener);
    }
    return *application_;
}

ApplicationHarness::Outcome ApplicationHarness::run(const std::vector<std::string_view>& words, std::string input) {
    return run(cli::CommandLine::parse(words), std::move(input));
}

ApplicationHarness::Outcome ApplicationHarness::run(const cli::ParsedCommand& command, std::string input) {
    std::istringstream in(std::move(input));
    std::ostringstream out;
    std::ostringstream err;
    Outcome outcome;
    outcome.exitCode = application().run(command, in, out, err);
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

}  // namespace testsupport::quil
