#include "cli/commands/auth_commands.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <regex>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "application/browser_login.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t authLogin = 4;
constexpr std::uint8_t authSignup = 5;
constexpr std::uint8_t authLogout = 6;
constexpr std::uint8_t authWhoami = 7;

// Sign-in goes out without the old token and without a workspace header.
config::ClientConfig signInConfig(const config::ClientConfig& config) {
    return config.withAccessToken(std::nullopt).withWorkspaceId(std::nullopt);
}

// An existing profile keeps its server, so a token obtained from another
// server must not be stored under it: later commands would carry it to the
// profile's server. Refused before anything is sent.
void requireProfileServer(const application::ProfileService& profiles, const application::ClientSession& session) {
    if (!profiles.exists(session.profileName)) {
        return;
    }
    const model::Profile stored = profiles.get(session.profileName);
    // Compared in the configuration's normal form (no trailing "/").
    const std::string storedServer = session.config.withServerUrl(stored.serverUrl).serverUrl();
    const std::string& server = session.config.serverUrl();
    if (storedServer == server) {
        return;
    }
    throw std::invalid_argument("profile '" + session.profileName + "' is set up for " + storedServer +
                                "; to sign in to " + server +
                                ", choose another profile with --profile or create one with 'quil profile create'");
}

std::string loginPassword(const ParsedCommand& command, std::istream& in, std::ostream& err,
                          const CliApplication::SecretReader& secretReader) {
    if (command.hasFlag("password-stdin")) {
        return readLine(in, err, "");
    }
    return secretReader("Password: ");
}

model::LoginResult passwordLogin(CliApplication& application, const ParsedCommand& command, std::istream& in,
                                 std::ostream& err, const CliApplication::SecretReader& secretReader,
                                 const config::ClientConfig& loginConfig) {
    const std::string email(*command.option("email"));
    const std::string password = loginPassword(command, in, err, secretReader);
    if (email.empty() || password.empty()) {
        throw std::invalid_argument("email and password are required");
    }
    const auto context = application.api(loginConfig);
    return context->gateway.login(email, password).value;
}

model::LoginResult browserLogin(CliApplication& application, application::port::BrowserOpener* opener,
                                const CliApplication::Sleeper& sleeper, const config::ClientConfig& loginConfig,
                                std::ostream& err) {
    if (opener == nullptr) {
        throw std::invalid_argument("browser authentication is unavailable; use --email with --password-stdin");
    }
    const auto context = application.api(loginConfig);
    auto& gateway = context->gateway;
    const application::BrowserLoginSecrets secrets = application::generateBrowserLoginSecrets();
    const model::BrowserLoginSession login = gateway.startBrowserLogin(secrets.state, secrets.codeChallenge).value;
    // The state sent in the URL and the polls is ours; the platform's echo of
    // it is not trusted.
    const std::string url =
        application::browserLoginUrl(loginConfig.serverUrl(), login.authorizationCode, secrets.state);

    err << "If the browser does not open, visit:\n" << url << "\n" << "Waiting for authentication...\n";
    opener->open(url, err);

    const model::BrowserTokenExchange exchange{login.authorizationCode, secrets.codeVerifier, secrets.state};
    return awaitBrowserLogin(gateway, exchange, login, sleeper, [] { return std::chrono::steady_clock::now(); });
}

std::string valueOrPrompt(const ParsedCommand& command, std::string_view option, std::istream& in,
                          std::ostream& err, std::string_view prompt) {
    if (const auto value = command.option(option)) {
        return std::string(*value);
    }
    return readLine(in, err, prompt);
}

std::string signupPassword(const ParsedCommand& command, std::istream& in,
                           const CliApplication::SecretReader& secretReader) {
    if (command.hasFlag("password-stdin")) {
        return readSecretFromStdin(in);
    }
    std::string password = secretReader("Password: ");
    if (secretReader("Confirm password: ") != password) {
        throw std::invalid_argument("password confirmation does not match");
    }
    return password;
}

void validateSignup(const model::SignupDefinition& definition) {
    if (definition.name.empty() || definition.email.empty() || definition.handle.empty() ||
        definition.password.empty()) {
        throw std::invalid_argument("name, email, handle and password are required");
    }
    if (!isValidEmail(definition.email)) {
        throw std::invalid_argument("email is not valid");
    }
    // At most 40 characters are ever looked at, so the regex stays shallow.
    static const std::regex handlePattern("^[A-Za-z0-9][A-Za-z0-9._-]{2,38}[A-Za-z0-9]$", std::regex::ECMAScript);
    if (!std::regex_match(definition.handle, handlePattern)) {
        throw std::invalid_argument("handle must have 4 to 40 letters, numbers, dots, underscores or hyphens");
    }
}

model::SignupDefinition signupDefinition(const ParsedCommand& command, std::istream& in, std::ostream& err,
                                         const CliApplication::SecretReader& secretReader) {
    model::SignupDefinition definition;
    definition.name = valueOrPrompt(command, "name", in, err, "Name: ");
    definition.email = valueOrPrompt(command, "email", in, err, "Email: ");
    definition.handle = valueOrPrompt(command, "handle", in, err, "Handle: ");
    definition.password = signupPassword(command, in, secretReader);
    validateSignup(definition);
    return definition;
}

}  // namespace

void storeAuthentication(application::ProfileService& profiles, std::string_view profileName,
                         const config::ClientConfig& config, std::string_view token) {
    // A token that could never be sent back (a line break in it) is refused
    // before anything is stored, instead of signing in a profile whose every
    // later command fails. The platform sent it, so it is no usage error.
    try {
        static_cast<void>(config.withAccessToken(std::string(token)));
    } catch (const std::invalid_argument& error) {
        throw std::runtime_error(error.what());
    }
    if (!profiles.exists(profileName)) {
        profiles.create(std::string(profileName), config.serverUrl());
    }
    profiles.saveToken(profileName, token);
    profiles.use(profileName);
}

std::string userJson(const model::User& user) {
    const nlohmann::json object{
        {"id", user.id}, {"name", user.name}, {"email", user.email}, {"handle", user.handle}};
    return object.dump();
}

// Spelled out rather than matched with std::regex, which recurses once per
// character and overflows the stack on an address of some ten thousand
// characters: no white space, exactly one "@" with text on both sides, and a
// "." in the domain with text before and after it.
bool isValidEmail(std::string_view email) {
    constexpr std::string_view whiteSpace = " \t\n\v\f\r";
    if (email.find_first_of(whiteSpace) != std::string_view::npos) {
        return false;
    }
    const std::size_t at = email.find('@');
    if (at == 0 || at == std::string_view::npos || email.find('@', at + 1) != std::string_view::npos) {
        return false;
    }
    const std::string_view domain = email.substr(at + 1);
    return domain.size() >= 3 && domain.find('.', 1) < domain.size() - 1;
}

std::chrono::milliseconds browserLoginPollInterval(int pollIntervalSeconds) {
    return std::chrono::milliseconds(static_cast<std::int64_t>(pollIntervalSeconds) * 1000);
}

model::LoginResult awaitBrowserLogin(application::port::QuarlinoGateway& gateway,
                                     const model::BrowserTokenExchange& exchange,
                                     const model::BrowserLoginSession& login,
                                     const CliApplication::Sleeper& sleeper, const SteadyClock& now) {
    const auto deadline = now() + std::chrono::seconds(login.expiresInSeconds);
    const auto interval = browserLoginPollInterval(login.pollIntervalSeconds);
    while (true) {
        const model::BrowserLoginPoll poll = gateway.pollBrowserLogin(exchange).value;
        if (!poll.pending) {
            if (!poll.login) {
                throw std::runtime_error("Quarlino browser login response did not contain an access token");
            }
            return *poll.login;
        }
        const auto current = now();
        if (current >= deadline) {
            throw std::runtime_error("Quil browser login timed out");
        }
        // No sleep outlasts the login: a poll at its deadline ends the wait.
        sleeper(std::min(interval, std::chrono::ceil<std::chrono::milliseconds>(deadline - current)));
    }
}

int CliApplication::runAuth(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err) {
    OutputFormatter formatter(command, out);
    switch (command.id) {
        case authLogout: {
            const application::ClientSession current = session(command, false);
            profiles.removeToken(current.profileName);
            mutationReceipt(formatter, {{"authenticated", false}, {"profile", current.profileName}},
                            "Logged out from profile " + current.profileName);
            return 0;
        }
        case authWhoami: {
            const application::ClientSession current = session(command, false);
            requireAuthentication(current.config);
            const auto context = api(current.config);
            const auto user = context->gateway.currentUser();
            formatter.user(user.value, user.body);
            return 0;
        }
        case authLogin:
        case authSignup:
            break;
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }

    // Sign-in sends no workspace, so a --workspace selector is not resolved:
    // that would list workspaces with the old token, possibly at --server.
    const application::ClientSession current = profileSession(command);
    const bool passwordPath = command.option("email").has_value();
    if (command.id == authLogin && !passwordPath && command.hasFlag("password-stdin")) {
        throw std::invalid_argument("--email is required with --password-stdin");
    }
    requireProfileServer(profiles, current);
    const config::ClientConfig loginConfig = signInConfig(current.config);

    model::LoginResult result;
    if (command.id == authSignup) {
        const model::SignupDefinition definition = signupDefinition(command, in, err, secretReader);
        const auto context = api(loginConfig);
        result = context->gateway.signup(definition).value;
    } else if (passwordPath) {
        result = passwordLogin(*this, command, in, err, secretReader, loginConfig);
    } else {
        result = browserLogin(*this, browserOpener.get(), sleeper, loginConfig, err);
    }
    storeAuthentication(profiles, current.profileName, loginConfig, result.token);
    formatter.user(result.user, userJson(result.user));
    return 0;
}

}  // namespace quarlino::quil::cli
