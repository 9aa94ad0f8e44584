#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "application/port/quarlino_gateway.hpp"
#include "application/profile_service.hpp"
#include "cli/cli_application.hpp"
#include "config/client_config.hpp"
#include "model/records.hpp"

namespace quarlino::quil::cli {

// Keeps the token of a sign-in under the profile and makes the profile
// active; a profile that does not exist yet is created for the server signed
// in to.
void storeAuthentication(application::ProfileService& profiles, std::string_view profileName,
                         const config::ClientConfig& config, std::string_view token);

// What sign-in commands print in JSON mode instead of the platform's answer,
// which holds the access token.
std::string userJson(const model::User& user);

// Whether a sign-up address matches the whole of ^[^\s@]+@[^\s@]+\.[^\s@]+$
// (ECMAScript, white space as in the C locale).
bool isValidEmail(std::string_view email);

// The wait between two polls of a browser login. Computed in 64 bits: the
// platform may announce any positive 32-bit number of seconds.
std::chrono::milliseconds browserLoginPollInterval(int pollIntervalSeconds);

using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

// Polls the platform until the browser login is granted, at once and then
// after each interval (cut short at the deadline), and throws
// std::runtime_error "Quil browser login timed out" on a pending answer at or
// past the login's lifetime counted from now.
model::LoginResult awaitBrowserLogin(application::port::QuarlinoGateway& gateway,
                                     const model::BrowserTokenExchange& exchange,
                                     const model::BrowserLoginSession& login,
                                     const CliApplication::Sleeper& sleeper, const SteadyClock& now);

}  // namespace quarlino::quil::cli
