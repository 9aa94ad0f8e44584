#include <stdexcept>
#include <string>

#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Sign-in, sign-up, the two steps of the browser login, and the identity
// behind the access token. The token of a sign-in travels as the root member
// "quarlino-token"; the gateway returns it and keeps nothing.
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

constexpr const char* kTokenKey = "quarlino-token";

// The user and token at the root of a sign-in answer; a missing, null or
// empty token fails with the operation's own message.
model::LoginResult parseLoginResult(const nlohmann::json& root, const char* missingTokenMessage) {
    model::LoginResult result{parseUser(root), stringValue(root, kTokenKey)};
    if (result.token.empty()) {
        throw std::runtime_error(missingTokenMessage);
    }
    return result;
}

model::BrowserLoginSession parseBrowserLoginSession(const nlohmann::json& root) {
    model::BrowserLoginSession session{
        .authorizationCode = stringValue(root, "authorizationCode"),
        .state = stringValue(root, "state"),
        .expiresInSeconds = intValue(root, "expiresInSeconds", 0),
        .pollIntervalSeconds = intValue(root, "pollIntervalSeconds", 1),
    };
    if (session.authorizationCode.empty() || session.state.empty() || session.expiresInSeconds < 1 ||
        session.pollIntervalSeconds < 1) {
        throw std::runtime_error("Quarlino browser login response was incomplete");
    }
    return session;
}

model::BrowserLoginPoll parseBrowserLoginPoll(const nlohmann::json& root) {
    if (stringValue(root, "status") == "pending") {
        return model::BrowserLoginPoll{.pending = true, .login = std::nullopt};
    }
    return model::BrowserLoginPoll{
        .pending = false,
        .login = parseLoginResult(root, "Quarlino browser login response did not contain an access token"),
    };
}

}  // namespace

model::ApiResponse<model::LoginResult> HttpQuarlinoGateway::login(std::string_view email,
                                                                  std::string_view password) {
    const std::string body = jsonBody({{"email", email}, {"password", password}});
    const auto response = send(HttpMethod::POST, "/api/v1/user/login", body);
    return {parseLoginResult(parseJson(response), "Quarlino login response did not contain an access token"),
            response.body};
}

model::ApiResponse<model::BrowserLoginSession> HttpQuarlinoGateway::startBrowserLogin(
    std::string_view state, std::string_view codeChallenge) {
    const std::string body = jsonBody({{"codeChallenge", codeChallenge}, {"state", state}});
    const auto response = send(HttpMethod::POST, "/api/v1/user/cli/login/request", body);
    return {parseBrowserLoginSession(parseJson(response)), response.body};
}

model::ApiResponse<model::BrowserLoginPoll> HttpQuarlinoGateway::pollBrowserLogin(
    const model::BrowserTokenExchange& exchange) {
    const std::string body = jsonBody({
        {"authorizationCode", exchange.authorizationCode},
        {"codeVerifier", exchange.codeVerifier},
        {"state", exchange.state},
    });
    const auto response = send(HttpMethod::POST, "/api/v1/user/cli/token", body);
    return {parseBrowserLoginPoll(parseJson(response)), response.body};
}

model::ApiResponse<model::LoginResult> HttpQuarlinoGateway::signup(const model::SignupDefinition& definition) {
    const std::string body = jsonBody({
        {"email", definition.email},
        {"handle", definition.handle},
        {"name", definition.name},
        {"password", definition.password},
    });
    const auto response = send(HttpMethod::POST, "/api/v1/user/signup", body);
    return {parseLoginResult(parseJson(response), "Quarlino signup response did not contain an access token"),
            response.body};
}

model::ApiResponse<model::User> HttpQuarlinoGateway::currentUser() {
    return parseRecordResponse(send(HttpMethod::GET, "/api/v1/user/me", ""), parseUser);
}

}  // namespace quarlino::quil::infrastructure::http
