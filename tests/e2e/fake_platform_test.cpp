#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "support/quil/fake_platform.hpp"
#include "support/quil/fake_platform_scenario.hpp"

namespace testsupport::quil {
namespace {

// Sends the bytes on one connection, half-closes it and returns everything
// the server wrote until it closed its side.
std::string exchange(int port, const std::string& bytes) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        throw std::runtime_error("cannot connect to the fake platform");
    }
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    std::string received;
    char buffer[4096];
    for (ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0); n > 0; n = ::recv(fd, buffer, sizeof(buffer), 0)) {
        received.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return received;
}

std::string get(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: probe\r\n\r\n";
}

TEST(FakePlatform, AnswersAStubAndRecordsTheRequest) {
    FakePlatform platform;
    platform.expect("POST", "/api/things").respond(201, R"({"id":"t1"})", {{"Content-Type", "application/json"}});

    const auto response = exchange(platform.port(), "POST /api/things HTTP/1.1\r\nHost: x\r\nX-Mixed:  two words\r\n"
                                                    "Content-Length: 7\r\n\r\n{\"a\":1}");

    EXPECT_EQ(response, "HTTP/1.1 201 Created\r\nContent-Type: application/json\r\nContent-Length: 11\r\n\r\n"
                        "{\"id\":\"t1\"}");
    const auto requests = platform.requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].line(), "POST /api/things");
    EXPECT_EQ(requests[0].header("x-mixed"), "two words");
    EXPECT_EQ(requests[0].headerCount("HOST"), 1U);
    EXPECT_EQ(requests[0].header("Authorization"), std::nullopt);
    EXPECT_EQ(requests[0].body, "{\"a\":1}");
}

TEST(FakePlatform, KeepsTheConnectionOpenAcrossRequests) {
    FakePlatform platform;
    platform.expect("GET", "/a").respond(200, "A");
    platform.expect("GET", "/b").respond(200, "B");

    const auto response = exchange(platform.port(), get("/b") + get("/a"));

    EXPECT_EQ(response, "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nB"
                        "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nA");
}

TEST(FakePlatform, UnexpectedRequestFailsTheTestNamingIt) {
    auto platform = std::make_unique<FakePlatform>();

    const auto response = exchange(platform->port(), get("/api/nothing?x=1"));

    EXPECT_EQ(response.rfind("HTTP/1.1 500 ", 0), 0U);
    EXPECT_NE(response.find("fake platform: unexpected request GET /api/nothing?x=1"), std::string::npos);
    EXPECT_NONFATAL_FAILURE(platform.reset(), "unexpected request: GET /api/nothing?x=1");
}

TEST(FakePlatform, UnusedStubFailsTheTestNamingIt) {
    auto platform = std::make_unique<FakePlatform>();
    platform->expect("DELETE", "/api/things/1").respond(204);

    EXPECT_NONFATAL_FAILURE(platform.reset(), "stub left unused: DELETE /api/things/1 (answered 0 of 1)");
}

TEST(FakePlatform, EachStubAnswersAsOftenAsDeclared) {
    auto platform = std::make_unique<FakePlatform>();
    platform->expect("GET", "/twice").respond(200, "x").times(2);
    platform->expect("GET", "/any").anyTimes();

    exchange(platform->port(), get("/twice") + get("/twice") + get("/twice"));

    EXPECT_EQ(platform->unexpected(), std::vector<std::string>{"GET /twice"});
    EXPECT_NONFATAL_FAILURE(platform.reset(), "unexpected request: GET /twice");
}

TEST(FakePlatform, DelayedAndClosingReplies) {
    FakePlatform platform;
    platform.expect("GET", "/slow").respond(200, "late").delay(std::chrono::milliseconds(20)).closeAfter();
    platform.expect("GET", "/never").respond(200, "not reached");

    // The connection closes after the first reply, so the second request is never read.
    EXPECT_EQ(exchange(platform.port(), get("/slow") + get("/never")),
              "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nlate");
    EXPECT_EQ(platform.requests().size(), 1U);
    EXPECT_EQ(platform.finish(), std::vector<std::string>{"stub left unused: GET /never (answered 0 of 1)"});
}

TEST(FakePlatform, MethodAndTargetMustBothMatch) {
    auto platform = std::make_unique<FakePlatform>();
    platform->expect("GET", "/api/x").respond(200);

    exchange(platform->port(), "POST /api/x HTTP/1.1\r\nContent-Length: 0\r\n\r\n" + get("/api/x/"));

    EXPECT_EQ(platform->unexpected(), (std::vector<std::string>{"POST /api/x", "GET /api/x/"}));
    EXPECT_EQ(platform->problems().size(), 3U);
    platform->finish();
}

TEST(FakePlatformReplies, ChunkedBodyInPiecesOfTheGivenSize) {
    StubReply reply;
    reply.body = "abcdefghijklmnopq";
    reply.chunkSize = 16;

    EXPECT_EQ(renderReply(reply), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                  "10\r\nabcdefghijklmnop\r\n1\r\nq\r\n0\r\n\r\n");
}

TEST(FakePlatformReplies, GzipBodyIsMarkedAndCompressed) {
    StubReply reply;
    reply.status = 404;
    reply.body = std::string(1000, 'z');
    reply.gzip = true;

    const auto text = renderReply(reply);

    EXPECT_EQ(text.rfind("HTTP/1.1 404 Not Found\r\nContent-Encoding: gzip\r\nContent-Length: ", 0), 0U);
    const auto body = text.substr(text.find("\r\n\r\n") + 4);
    ASSERT_GE(body.size(), 2U);
    EXPECT_EQ(static_cast<unsigned char>(body[0]), 0x1fU);
    EXPECT_EQ(static_cast<unsigned char>(body[1]), 0x8bU);
    EXPECT_LT(body.size(), 100U);
}

TEST(FakePlatformScenario, LoadsStubsInAnyOrder) {
    FakePlatform platform;
    loadScenario(platform, nlohmann::json::parse(R"({"requests":[
        {"method":"GET","target":"/a","json":{"k":[1,2]},"times":2},
        {"method":"PUT","target":"/b","status":409,"body":"no","headers":{"X-Why":"clash"}}]})"));

    EXPECT_EQ(exchange(platform.port(), "PUT /b HTTP/1.1\r\nContent-Length: 0\r\n\r\n"),
              "HTTP/1.1 409 Conflict\r\nX-Why: clash\r\nContent-Length: 2\r\n\r\nno");
    EXPECT_EQ(exchange(platform.port(), get("/a") + get("/a")),
              "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n{\"k\":[1,2]}"
              "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n{\"k\":[1,2]}");
}

struct BadScenario {
    const char* name;
    const char* text;
    const char* message;
};

void PrintTo(const BadScenario& c, std::ostream* os) {
    *os << c.name;
}

class FakePlatformBadScenario : public testing::TestWithParam<BadScenario> {};

TEST_P(FakePlatformBadScenario, RefusedWithTheEntryAndMember) {
    FakePlatform platform;
    try {
        loadScenario(platform, nlohmann::json::parse(GetParam().text));
        ADD_FAILURE() << "scenario accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), GetParam().message);
    }
    platform.finish();
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, FakePlatformBadScenario,
    testing::Values(
        BadScenario{"NoRequests", R"({"stubs":[]})", "scenario must be an object with a \"requests\" array"},
        BadScenario{"NoMethod", R"({"requests":[{"target":"/"}]})",
                    "scenario request 0: \"method\" must be a non-empty string"},
        BadScenario{"BadStatus", R"({"requests":[{"method":"GET","target":"/"},{"method":"GET","target":"/","status":42}]})",
                    "scenario request 1: \"status\" must lie between 100 and 599"},
        BadScenario{"BodyAndJson", R"({"requests":[{"method":"GET","target":"/","body":"","json":{}}]})",
                    "scenario request 0: give either \"body\" or \"json\", not both"},
        BadScenario{"ZeroTimes", R"({"requests":[{"method":"GET","target":"/","times":0}]})",
                    "scenario request 0: \"times\" must be at least 1 or \"any\""},
        BadScenario{"HeaderNotText", R"({"requests":[{"method":"GET","target":"/","headers":{"X":1}}]})",
                    "scenario request 0: header \"X\" must be a string"}),
    [](const testing::TestParamInfo<BadScenario>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace testsupport::quil
