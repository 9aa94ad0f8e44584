#pragma once

#include <exception>
#include <map>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "application/port/http_transport.hpp"
#include "support/quil/recording_transport.hpp"

// Shared checks of the gateway's operation tests.
namespace quarlino::quil::infrastructure::http::testing_helpers {

using Headers = std::map<std::string, std::string>;

inline const Headers kAcceptOnly{{"Accept", "application/json"}};
inline const Headers kJsonBodyHeaders{{"Accept", "application/json"}, {"Content-Type", "application/json"}};

// The what() of the exception of type E that the call throws; a failure of
// the test when it throws nothing or something else.
template <typename E, typename Call>
std::string messageOf(Call&& call) {
    try {
        std::forward<Call>(call)();
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
template <typename Call>
int jsonErrorOf(Call&& call) {
    try {
        std::forward<Call>(call)();
    } catch (const nlohmann::json::exception& error) {
        return error.id;
    }
    return 0;
}

// The whole request as the transport saw it: method, path with query,
// headers and body bytes.
inline void expectRequest(const application::port::HttpRequest& request, application::port::HttpMethod method,
                          const std::string& path, const std::string& body) {
    EXPECT_EQ(testsupport::quil::methodName(request.method), testsupport::quil::methodName(method));
    EXPECT_EQ(request.path, path);
    EXPECT_EQ(request.headers, body.empty() ? kAcceptOnly : kJsonBodyHeaders);
    EXPECT_EQ(request.body, body);
}

}  // namespace quarlino::quil::infrastructure::http::testing_helpers
