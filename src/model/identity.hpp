#pragma once

#include <optional>
#include <string>

namespace quarlino::quil::model {

struct User {
    std::string id;
    std::string name;
    std::string email;
    std::string handle;
};

struct LoginResult {
    User user;
    std::string token;
};

struct SignupDefinition {
    std::string name;
    std::string email;
    std::string handle;
    std::string password;
};

struct BrowserLoginSession {
    std::string authorizationCode;
    std::string state;
    int expiresInSeconds = 0;
    int pollIntervalSeconds = 0;
};

struct BrowserTokenExchange {
    std::string authorizationCode;
    std::string codeVerifier;
    std::string state;
};

struct BrowserLoginPoll {
    bool pending = false;
    std::optional<LoginResult> login;
};

}  // namespace quarlino::quil::model
