#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "application/api_error.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "support/quil/recording_transport.hpp"

// Shared by the tests of the gateway's operation families: one gateway over a
// scripted recording transport, the exact-request check, and a table form for
// operations whose request and answer differ only in their data.
namespace gatewaytest {

namespace port = quarlino::quil::application::port;
using Gateway = quarlino::quil::infrastructure::http::HttpQuarlinoGateway;
using Headers = std::map<std::string, std::string>;
using port::HttpMethod;

// The request one operation must send; an empty body means none.
struct ExpectedRequest {
    HttpMethod method;
    std::string path;
    std::string body;
    Headers extraHeaders = {};
};

// "Accept" always, "Content-Type" only with a body, plus the operation's own.
inline Headers headersFor(const ExpectedRequest& expected) {
    Headers headers = expected.extraHeaders;
    headers.emplace("Accept", "application/json");
    if (!expected.body.empty()) {
        headers.emplace("Content-Type", "application/json");
    }
    return headers;
}

inline void expectRequest(const port::HttpRequest& actual, const ExpectedRequest& expected) {
    EXPECT_EQ(testsupport::quil::methodName(actual.method), testsupport::quil::methodName(expected.method));
    EXPECT_EQ(actual.path, expected.path);
    EXPECT_EQ(actual.body, expected.body);
    EXPECT_EQ(actual.headers, headersFor(expected));
}

// One row of a request table: the call, the request it must make, and an
// answer the operation accepts.
struct OperationCase {
    std::string name;
    std::function<void(Gateway&)> call;
    ExpectedRequest request;
    std::string answer;
    int status = 200;
};

inline std::string caseName(const testing::TestParamInfo<OperationCase>& info) { return info.param.name; }

class GatewayFamilyTest : public testing::Test {
protected:
    // Scripts one answer for the request `expected` describes.
    void script(const ExpectedRequest& expected, int status, std::string body) {
        transport.expect(expected.method, expected.path, status, std::move(body));
    }

    testsupport::quil::RecordingTransport transport;
    Gateway gateway{transport};
};

// Sends each row's call against a script of exactly its request and checks
// every part of what went out.
class OperationRequestTest : public testing::TestWithParam<OperationCase> {
protected:
    void runCase() {
        const OperationCase& row = GetParam();
        testsupport::quil::RecordingTransport transport;
        transport.expect(row.request.method, row.request.path, row.status, row.answer);
        Gateway gateway{transport};
        row.call(gateway);
        expectRequest(transport.onlyRequest(), row.request);
    }
};

// Runs `call` and checks that it throws the JSON library's error of type E
// with this id.
template <typename E>
void expectJsonError(const std::function<void()>& call, int id) {
    try {
        call();
        ADD_FAILURE() << "expected JSON library error " << id;
    } catch (const E& error) {
        EXPECT_EQ(error.id, id) << error.what();
    }
}

// Runs `call` and checks the std exception type E and its exact message.
template <typename E>
void expectFailure(const std::function<void()>& call, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "expected failure: " << message;
    } catch (const E& error) {
        EXPECT_EQ(std::string(error.what()), message);
    }
}

// Runs `call` and checks the application::ApiError it throws.
inline void expectApiError(const std::function<void()>& call, int status, const std::string& message,
                           const std::string& body) {
    try {
        call();
        ADD_FAILURE() << "expected ApiError " << status;
    } catch (const quarlino::quil::application::ApiError& error) {
        EXPECT_EQ(error.statusCode(), status);
        EXPECT_EQ(std::string(error.what()), message);
        EXPECT_EQ(error.responseBody(), body);
    }
}

inline constexpr const char* kNotAnArray = "Quarlino API returned an object where an array was expected";
inline constexpr const char* kEmptyIdentifier = "Quarlino resource identifier cannot be empty";

}  // namespace gatewaytest
