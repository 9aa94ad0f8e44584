#pragma once

#include <exception>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "application/api_error.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "support/quil/recording_transport.hpp"

// Shared by the tests of the gateway's operation families: one gateway over a
// scripted recording transport, the exact-request check, a table form for
// operations whose request and answer differ only in their data, and the
// checks of what an operation throws.
namespace gatewaytest {

namespace port = quarlino::quil::application::port;
using Gateway = quarlino::quil::infrastructure::http::HttpQuarlinoGateway;
using Headers = std::map<std::string, std::string>;
using port::HttpMethod;
using testsupport::quil::RecordingTransport;

inline constexpr const char* kNotAnArray = "Quarlino API returned an object where an array was expected";
inline constexpr const char* kEmptyIdentifier = "Quarlino resource identifier cannot be empty";

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

// The whole request as the transport saw it: method, path with query,
// headers and body bytes.
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
    RecordingTransport transport;
    Gateway gateway{transport};
};

// Sends each row's call against a script of exactly its request and checks
// every part of what went out.
class OperationRequestTest : public testing::TestWithParam<OperationCase> {
protected:
    void runCase() {
        const OperationCase& row = GetParam();
        RecordingTransport transport;
        transport.expect(row.request.method, row.request.path, row.status, row.answer);
        Gateway gateway{transport};
        row.call(gateway);
        expectRequest(transport.onlyRequest(), row.request);
    }
};

// One row of a refusal table: a call whose identifier must be refused before
// anything goes out, and the message it is refused with.
struct RefusedCallCase {
    std::string name;
    std::function<void(Gateway&)> call;
    std::string message;
};

// The what() of the exception of type E that the call throws; a failure of
// the test when it throws nothing or something else.
template <typename E>
std::string messageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const E& error) {
        return error.what();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "unexpected exception: " << other.what();
        return {};
    }
    ADD_FAILURE() << "nothing thrown";
    return {};
}

// The id of the JSON library's error the call throws (0 if none).
inline int jsonErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const nlohmann::json::exception& error) {
        return error.id;
    }
    return 0;
}

// Checks the std exception type E and its exact message.
template <typename E>
void expectFailure(const std::function<void()>& call, const std::string& message) {
    EXPECT_EQ(messageOf<E>(call), message);
}

// Sends each row's call against an empty answer, which a list operation
// must refuse since its root is not an array.
class ListRefusalTest : public testing::TestWithParam<OperationCase> {
protected:
    void runCase() {
        const OperationCase& row = GetParam();
        RecordingTransport transport;
        transport.expect(row.request.method, row.request.path, 200, "");
        Gateway gateway{transport};
        expectFailure<std::runtime_error>([&] { row.call(gateway); }, kNotAnArray);
    }
};

// Checks the JSON library's error by its id (302 and 306 are type errors,
// 403 is out of range: the id names the kind).
inline void expectJsonError(const std::function<void()>& call, int id) { EXPECT_EQ(jsonErrorOf(call), id); }

// Checks the application::ApiError the call throws.
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

}  // namespace gatewaytest
