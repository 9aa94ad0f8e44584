#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "application/profile_service.hpp"
#include "cli/cli_application.hpp"
#include "cli/command_line.hpp"
#include "cli/error_report.hpp"
#include "cli/platform_factories.hpp"
#include "cli/sleeper.hpp"
#include "infrastructure/config/file_credential_store.hpp"
#include "infrastructure/config/file_profile_repository.hpp"
#include "platform/browser_opener.hpp"
#include "platform/process_setup.hpp"
#include "platform/standard_input.hpp"
#include "platform/terminal.hpp"

namespace {

namespace quil = quarlino::quil;
namespace cli = quil::cli;

std::string readSecret(std::string_view prompt) {
    return quil::platform::readSecret(prompt);
}

// Every command, help and version included, needs the configuration directory
// located: the stores are built before anything runs.
int runCommand(const cli::ParsedCommand& command) {
    quil::infrastructure::config::FileProfileRepository profileRepository;
    quil::infrastructure::config::FileCredentialStore credentialStore;
    quil::application::ProfileService profiles(profileRepository, credentialStore);
    cli::CliApplication application(cli::makeHttpTransport, cli::makeQuarlinoGateway, profiles, readSecret,
                                    cli::sleepMilliseconds, std::make_shared<quil::platform::PlatformBrowserOpener>());
    return application.run(command, std::cin, std::cout, std::cerr);
}

// A result that never reached standard output (a full disk, a closed
// descriptor) must not end in a success that a script would trust.
int checkOutputWritten(int exitCode, bool json) {
    std::cout.flush();
    if (exitCode != 0 || std::cout) {
        return exitCode;
    }
    return cli::reportFailure(std::cerr, json, std::runtime_error("cannot write to standard output"));
}

}  // namespace

int main(int argc, char** argv) {
    quil::platform::claimStandardDescriptors();
    quil::platform::ignoreProgramSignals();
    // Prompts and `-` files read standard input through this buffer, which
    // tells a failed read from the end of input; it outlives every reader.
    static quil::platform::DescriptorInputBuffer standardInput(STDIN_FILENO);
    std::cin.rdbuf(&standardInput);

    std::vector<std::string_view> arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.emplace_back(argv[index]);
    }

    std::optional<cli::ParsedCommand> parsed;
    try {
        parsed = cli::CommandLine::parse(arguments);
    } catch (const std::invalid_argument& error) {
        return cli::reportParseError(std::cerr, cli::requestsJsonBeforeParsing(arguments), error);
    }

    const bool json = parsed->outputFormat == cli::OutputFormat::Json;
    try {
        return checkOutputWritten(runCommand(*parsed), json);
    } catch (const std::exception& error) {
        return cli::reportFailure(std::cerr, json, error);
    }
}
