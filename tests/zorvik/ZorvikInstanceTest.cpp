// The instance, its request builder, the client factory and request logging.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "zorvik/ZorvikInstance.hpp"

#include <gtest/gtest.h>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;
using testsupport::net::requestHeader;

class CountingThreadFactory : public ThreadFactory {
public:
    std::thread createThread(std::function<void()> function) override {
        ++created;
        return std::thread(std::move(function));
    }
    std::uint64_t getMaxThreads() const override { return 1; }
    std::atomic<int> created{0};
};

TEST(ZorvikInstance, VerbsShareOneClientMadeOnFirstUse) {
    auto factory = std::make_shared<CountingThreadFactory>();
    auto config = quietConfig();
    config->threadFactory(factory);
    ZorvikInstance instance(config);
    EXPECT_EQ(factory->created.load(), 0);
    const auto first = instance.getHttpClient();
    instance.get("http://127.0.0.1/");
    instance.post("http://127.0.0.1/");
    EXPECT_EQ(instance.getHttpClient(), first);
    EXPECT_EQ(factory->created.load(), 1);
}

TEST(ZorvikInstance, ClientExistsBeforeTheUrlIsParsed) {
    auto factory = std::make_shared<CountingThreadFactory>();
    auto config = quietConfig();
    config->threadFactory(factory);
    ZorvikInstance instance(config);
    try {
        instance.get("ftp://example.org/");
        FAIL() << "expected the URL to be refused";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Invalid URL format: ftp://example.org/");
    }
    EXPECT_EQ(factory->created.load(), 1);
}

TEST(ZorvikInstance, BuilderStartsFromTheConfiguration) {
    auto config = quietConfig();
    config->timeout(1234).followRedirects(false).maxRedirects(2).printRequests(true);
    config->defaultHeader("User-Agent", "Default/1").defaultHeader("X-Team", "core");
    ZorvikInstance instance(config);

    const auto kept = instance.get("http://h/").headers({{"User-Agent", "Mine/2"}, {"Accept", "*/*"}}).build();
    EXPECT_EQ(kept.timeout, 1234);
    EXPECT_FALSE(kept.followRedirects);
    EXPECT_EQ(kept.maxRedirects, 2);
    EXPECT_TRUE(kept.logRequest);
    EXPECT_FALSE(kept.logResponse);
    EXPECT_EQ(kept.logger, config->getLogger());
    EXPECT_EQ(kept.headers, (std::map<std::string, std::string>{
                                {"Accept", "*/*"}, {"User-Agent", "Default/1"}, {"X-Team", "core"}}));

    const auto replaced = instance.get("http://h/").userAgent("Mine/2").timeout(5).build();
    EXPECT_EQ(replaced.headers.at("User-Agent"), "Mine/2");
    EXPECT_EQ(replaced.timeout, 5);
}

TEST(ZorvikInstance, FlySendsDefaultHeadersAndCanBeRepeated) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("one")});
    server.enqueue(Reply{okResponse("two")});
    auto config = quietConfig();
    config->defaultHeader("User-Agent", "Quil/0.1.0");
    ZorvikInstance instance(config);
    auto builder = instance.post(server.url("/things")).bearerAuth("t0k").contentType("text/plain").body("x");
    EXPECT_EQ(builder.fly().getBody(), "one");
    EXPECT_EQ(builder.flyAsync().get().getBody(), "two");
    const auto sent = server.requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], sent[1]);
    EXPECT_EQ(requestHeader(sent[0], "User-Agent"), "Quil/0.1.0");
    EXPECT_EQ(requestHeader(sent[0], "Authorization"), "Bearer t0k");
    EXPECT_EQ(requestHeader(sent[0], "Content-Type"), "text/plain");
}

TEST(HttpClientFactory, AutoAndEpollBuildTheEpollClient) {
    for (const auto requested : {IoBackend::Auto, IoBackend::Epoll}) {
        IoBackend chosen = IoBackend::IoUring;
        const auto client = HttpClient::create(*quietConfig(), requested, chosen);
        EXPECT_EQ(chosen, IoBackend::Epoll);
        EXPECT_NE(dynamic_cast<LinuxAsyncEpollClient*>(client.get()), nullptr);
    }
}

TEST(HttpClientFactory, UnknownBackendIsRefused) {
    IoBackend chosen = IoBackend::Auto;
    try {
        HttpClient::create(*quietConfig(), static_cast<IoBackend>(3), chosen);
        FAIL() << "expected a refusal";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "Requested I/O backend is unavailable on Linux");
    }
    EXPECT_EQ(chosen, IoBackend::Auto);
}

class RequestLogging : public ::testing::Test {
protected:
    LoopbackServer server;
    std::shared_ptr<RecordingLogger> logger = std::make_shared<RecordingLogger>();
    std::shared_ptr<HttpClient> client = makeClient();

    HttpRequest loggedRequest(HttpMethod method, const std::string& path) {
        auto request = makeRequest(method, server.url(path));
        request.setLogger(logger);
        request.logRequest = true;
        request.logResponse = true;
        return request;
    }
};

TEST_F(RequestLogging, RequestAndSuccessfulResponseAreInfoLines) {
    server.enqueue(Reply{okResponse("ok", {{"Content-Type", "text/plain"}})});
    auto request = loggedRequest(HttpMethod::POST, "/p");
    request.setHeader("Authorization", "Bearer secret");
    request.setHeader("X-A", "1");
    request.setBody(std::string(150, 'b'));
    HttpClient::fly(client, request);
    const auto lines = logger->lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].first, "INFO");
    EXPECT_EQ(lines[0].second, "HTTP Request: POST " + server.url("/p") +
                                   " Headers: Authorization=[redacted], X-A=1 Body: " + std::string(100, 'b') +
                                   "...");
    EXPECT_EQ(lines[1].first, "INFO");
    EXPECT_EQ(lines[1].second, "HTTP Response: 200 OK Content-Length: 2 Content-Type: text/plain Body: ok");
}

TEST_F(RequestLogging, FailedResponseIsAWarningAlsoOnTheAsyncPath) {
    server.enqueue(Reply{testsupport::net::httpResponse(404, "Not Found", {}, "")});
    HttpClient::flyAsync(client, loggedRequest(HttpMethod::GET, "/missing")).get();
    const auto lines = logger->lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].second, "HTTP Request: GET " + server.url("/missing"));
    EXPECT_EQ(lines[1].first, "WARN");
    EXPECT_EQ(lines[1].second, "HTTP Response: 404 Not Found Content-Length: 0");
}

TEST_F(RequestLogging, SwitchesOffMeansNoLines) {
    server.enqueue(Reply{okResponse("quiet")});
    auto request = makeRequest(HttpMethod::GET, server.url("/"));
    request.setLogger(logger);
    HttpClient::fly(client, request);
    EXPECT_TRUE(logger->lines().empty());
}

TEST_F(RequestLogging, NoContentWithoutHeadersIsAnInfoLineWithoutBody) {
    server.enqueue(Reply{"HTTP/1.1 204 No Content\r\n\r\n"});
    HttpClient::fly(client, loggedRequest(HttpMethod::DELETE, "/gone"));
    const auto lines = logger->lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].first, "INFO");
    EXPECT_EQ(lines[1].second, "HTTP Response: 204 No Content Content-Length: 0");
}

TEST_F(RequestLogging, UnresolvedPlaceholderThrowsBeforeAnythingIsSent) {
    const auto request = loggedRequest(HttpMethod::GET, "/items/{id}");
    try {
        HttpClient::fly(client, request);
        FAIL() << "expected a refusal";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "Unresolved route placeholder {id} in URL: " + server.url("/items/{id}"));
    }
    EXPECT_EQ(server.acceptCount(), 0u);
    EXPECT_TRUE(logger->lines().empty());
}

struct BodyCut {
    const char* name;
    std::size_t requestBytes;
    std::size_t responseBytes;
    std::string requestPart;
    std::string responsePart;
};

class RequestLoggingCuts : public RequestLogging, public ::testing::WithParamInterface<BodyCut> {};

TEST_P(RequestLoggingCuts, CutBodiesAtTheirLimits) {
    const auto& cut = GetParam();
    server.enqueue(Reply{okResponse(std::string(cut.responseBytes, 'r'))});
    auto request = loggedRequest(HttpMethod::PUT, "/c");
    request.setBody(std::string(cut.requestBytes, 'q'));
    HttpClient::fly(client, request);
    const auto lines = logger->lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].second, "HTTP Request: PUT " + server.url("/c") + " Body: " + cut.requestPart);
    EXPECT_EQ(lines[1].second, "HTTP Response: 200 OK Content-Length: " + std::to_string(cut.responseBytes) +
                                   " Body: " + cut.responsePart);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, RequestLoggingCuts,
    ::testing::Values(BodyCut{"AtTheLimits", 100, 1000, std::string(100, 'q'), std::string(1000, 'r')},
                      BodyCut{"OneByteOver", 101, 1001, std::string(100, 'q') + "...",
                              std::string(1000, 'r') + "..."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zorvik::testing
