#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/quil/recording_transport.hpp"

// The fake must itself fail tests, or the gateway's tests could pass while
// sending the wrong requests.
namespace testsupport::quil {
namespace {

using port::HttpMethod;

port::HttpRequest request(HttpMethod method, std::string path) { return port::HttpRequest{method, path, {}, {}}; }

TEST(RecordingTransport, AnswersEachScriptedRequestOnceInScriptOrder) {
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, "/a", 200, "first", {{"X", "1"}})
        .expect(HttpMethod::POST, "/a", 201, "post")
        .expect(HttpMethod::GET, "/a", 202, "second");

    EXPECT_EQ(transport.send(request(HttpMethod::GET, "/a")).body, "first");
    EXPECT_EQ(transport.send(request(HttpMethod::GET, "/a")).status, 202);
    const auto posted = transport.send(request(HttpMethod::POST, "/a"));
    EXPECT_EQ(posted.status, 201);
    EXPECT_EQ(transport.requests().size(), 3U);
    EXPECT_EQ(transport.unusedAnswers(), 0U);
}

TEST(RecordingTransport, FailsTheTestOnAnUnexpectedRequest) {
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, "/a?x=1", 200);
    EXPECT_NONFATAL_FAILURE(
        EXPECT_THROW(transport.send(request(HttpMethod::GET, "/a")), std::logic_error), "unexpected request: GET /a");
    EXPECT_NONFATAL_FAILURE(
        EXPECT_THROW(transport.send(request(HttpMethod::DELETE, "/a?x=1")), std::logic_error),
        "unexpected request: DELETE /a?x=1");
    transport.send(request(HttpMethod::GET, "/a?x=1"));
    EXPECT_EQ(transport.requests().size(), 3U);
}

TEST(RecordingTransport, FailsTheTestOnAnAnswerLeftUnused) {
    EXPECT_NONFATAL_FAILURE(
        {
            RecordingTransport transport;
            transport.expect(HttpMethod::PUT, "/left", 200);
        },
        "scripted answer never requested: PUT /left");
}

TEST(RecordingTransport, ThrowsWhereScripted) {
    RecordingTransport transport;
    transport.expectThrow(HttpMethod::GET, "/a", "connection refused");
    EXPECT_THROW(transport.send(request(HttpMethod::GET, "/a")), std::runtime_error);
}

TEST(RecordingTransport, SharedHandlesAnswerFromTheSameScript) {
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, "/a", 200, "x");
    auto shared = transport.share();
    EXPECT_EQ(shared->send(request(HttpMethod::GET, "/a")).body, "x");
    EXPECT_EQ(transport.onlyRequest().path, "/a");
}

}  // namespace
}  // namespace testsupport::quil
