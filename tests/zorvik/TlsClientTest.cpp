// HTTPS through the reactor clients: verification, SNI, keep-alive, body framing
// and deadlines over TLS, against the TLS loopback server.
#include "ClientTestSupport.hpp"
#include "TlsTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "support/net/OneConnectionServer.hpp"
#include "support/net/SharedText.hpp"
#include "support/net/TestCertificates.hpp"
#include "support/net/TlsLoopbackServer.hpp"
#include "zorvik/CompressionHandler.hpp"
#include "zorvik/OpenSSLContext.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

namespace zorvik {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using testsupport::net::CertificateFiles;
using testsupport::net::chunkedResponse;
using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::PlainStream;
using testsupport::net::Reply;
using testsupport::net::ServerStream;
using testsupport::net::TlsLoopbackServer;
using testsupport::net::TlsServerOptions;
using zorvik::testing::certificates;
using zorvik::testing::BackendCaseName;
using zorvik::testing::BothBackends;
using zorvik::testing::kReactorBackends;
using zorvik::testing::makeClient;
using zorvik::testing::makeRequest;
using zorvik::testing::quietConfig;
using zorvik::testing::serving;

std::shared_ptr<OpenSSLContext> trustingContext() {
    auto context = OpenSSLContext::createDefault();
    context->setCABundleFile(certificates().caFile());
    return context;
}

std::shared_ptr<HttpClient> epollClientWith(std::shared_ptr<SSLContext> context) {
    auto config = quietConfig();
    config->ssl(std::move(context));
    return std::make_shared<LinuxAsyncEpollClient>(*config);
}

HttpResponse get(HttpClient& client, const std::string& url, int timeoutMs = 10000) {
    return client.execute(makeRequest(HttpMethod::GET, url, timeoutMs));
}

// HTTPS on both reactor back ends.
template <typename Param = IoBackend>
class TlsClientOn : public BothBackends<Param> {
protected:
    std::shared_ptr<HttpClient> clientWith(std::shared_ptr<SSLContext> context) {
        auto config = quietConfig();
        config->ssl(std::move(context));
        return makeClient(this->backend(), *config);
    }
};

using TlsClient = TlsClientOn<>;
INSTANTIATE_TEST_SUITE_P(Backends, TlsClient, kReactorBackends, BackendCaseName());

TEST_P(TlsClient, SucceedsWithTheCABundleAndIndicatesTheHost) {
    TlsLoopbackServer server;
    server.http().enqueue(Reply{okResponse("secure")});
    const auto client = clientWith(trustingContext());

    const auto response = get(*client, server.url("/hello"));

    EXPECT_EQ(response.statusCode, 200) << response.statusMessage;
    EXPECT_EQ(response.getBody(), "secure");
    EXPECT_EQ(server.serverNames(), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(testsupport::net::requestLine(server.http().requests().at(0)), "GET /hello HTTP/1.1");
}

TEST_P(TlsClient, FailsWithoutTheCABundle) {
    const zorvik::testing::ScopedTrustStore noSystemTrust;
    TlsLoopbackServer server;
    const auto client = clientWith(OpenSSLContext::createDefault());

    const auto response = get(*client, server.url());

    EXPECT_EQ(response.statusCode, 0);
    EXPECT_THAT(response.statusMessage, StartsWith("SSL handshake failed: "));
    EXPECT_THAT(response.statusMessage, HasSubstr("certificate verify failed"));
    EXPECT_TRUE(server.http().requests().empty());
}

struct RejectedCertificate {
    const char* name;
    CertificateFiles (*certificate)();
};

void PrintTo(const RejectedCertificate& testCase, std::ostream* out) {
    *out << testCase.name;
}

class TlsClientRejects : public ::testing::TestWithParam<RejectedCertificate> {};

TEST_P(TlsClientRejects, TheCertificateUnlessPeerVerificationIsOff) {
    TlsLoopbackServer server(serving(GetParam().certificate()));
    server.http().enqueue(Reply{okResponse("unverified")});

    const auto refused = get(*epollClientWith(trustingContext()), server.url());
    const auto context = trustingContext();
    context->setVerifyPeer(false);
    const auto accepted = get(*epollClientWith(context), server.url());

    EXPECT_EQ(refused.statusCode, 0);
    EXPECT_THAT(refused.statusMessage, StartsWith("SSL handshake failed: "));
    EXPECT_THAT(refused.statusMessage, HasSubstr("certificate verify failed"));
    EXPECT_EQ(accepted.statusCode, 200) << accepted.statusMessage;
    EXPECT_EQ(accepted.getBody(), "unverified");
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, TlsClientRejects,
    ::testing::Values(RejectedCertificate{"NameMismatch", [] { return certificates().otherName(); }},
                      RejectedCertificate{"Expired", [] { return certificates().expired(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// The default context's trust, found lazily: through the default certificate
// file (parsed only when nothing else completes the chain) or the hashed
// directory, with the host name still checked.
struct TrustCase {
    const char* name;
    CertificateFiles (*served)();
    std::string (*certificateFile)();
    std::string (*certificateDirectory)();
    const char* refusal;  // nullptr: accepted
};

void PrintTo(const TrustCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

std::string missingPath() {
    return certificates().directory() + "/missing";
}

class TlsClientSystemTrust : public ::testing::TestWithParam<TrustCase> {};

TEST_P(TlsClientSystemTrust, IsTheDefaultFileAndDirectory) {
    const auto& testCase = GetParam();
    const zorvik::testing::ScopedTrustStore trust(testCase.certificateFile(), testCase.certificateDirectory());
    TlsLoopbackServer server(serving(testCase.served()));
    server.http().enqueue(Reply{okResponse("trusted")});

    const auto response = get(*epollClientWith(OpenSSLContext::createDefault()), server.url());

    if (testCase.refusal == nullptr) {
        EXPECT_EQ(response.statusCode, 200) << response.statusMessage;
        return;
    }
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_THAT(response.statusMessage, StartsWith("SSL handshake failed: "));
    EXPECT_THAT(response.statusMessage, HasSubstr(testCase.refusal));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TlsClientSystemTrust,
    ::testing::Values(
        TrustCase{"FileOnly", [] { return certificates().localhost(); }, [] { return certificates().caFile(); },
                  missingPath, nullptr},
        TrustCase{"DirectoryOnly", [] { return certificates().localhost(); }, missingPath,
                  [] { return certificates().caDirectory(); }, nullptr},
        // The directory's copy of the CA has expired; the file's copy is current.
        TrustCase{"FileBehindAnExpiredDirectoryCopy", [] { return certificates().localhost(); },
                  [] { return certificates().caFile(); }, [] { return certificates().expiredCaDirectory(); },
                  nullptr},
        TrustCase{"Neither", [] { return certificates().localhost(); }, missingPath, missingPath,
                  "certificate verify failed"},
        TrustCase{"NameMismatchThroughTheFile", [] { return certificates().otherName(); },
                  [] { return certificates().caFile(); }, missingPath, "certificate verify failed"},
        TrustCase{"NameMismatchThroughTheDirectory", [] { return certificates().otherName(); }, missingPath,
                  [] { return certificates().caDirectory(); }, "certificate verify failed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(TlsClient, KeepsOneHandshakeForThreeRequests) {
    TlsLoopbackServer server;
    for (const char* body : {"one", "two", "three"}) {
        server.http().enqueue(Reply{okResponse(body)});
    }
    const auto client = clientWith(trustingContext());

    for (const char* body : {"one", "two", "three"}) {
        const auto response = get(*client, server.url());
        EXPECT_EQ(response.statusCode, 200) << response.statusMessage;
        EXPECT_EQ(response.getBody(), body);
    }
    EXPECT_EQ(server.completedHandshakes(), 1U);
    EXPECT_EQ(server.http().acceptCount(), 1U);
}

// The answer fills a TLS record exactly and an answer nobody asked for
// follows in a record of its own, which TLS may already hold, unread, when
// the first is whole: the connection is not used again.
TEST_P(TlsClient, RecordAfterTheResponseIsNeverTakenForTheNextOne) {
    std::string body;
    std::string first;
    for (std::size_t length = 16000; first.size() != 16384; ++length) {
        body.assign(length, 'f');
        first = okResponse(body);
    }
    TlsLoopbackServer server;
    server.http().enqueue(Reply{first + "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nstale"});
    server.http().enqueue(Reply{okResponse("fresh")});
    const auto client = clientWith(trustingContext());

    EXPECT_EQ(get(*client, server.url()).getBody(), body);
    EXPECT_EQ(get(*client, server.url()).getBody(), "fresh");
    EXPECT_EQ(server.http().acceptCount(), 2U);
}

// A step that stops on its read budget may leave the rest of the answer
// inside TLS, where no poll of the socket sees it. With a budget of one byte
// every step stops after one record, and the whole answer comes in one write
// of 1,000-byte records, read by the reactor or by a caller driving its
// pooled connection: it must still arrive whole. Its last record is read by
// a step the reactor queued, after which nothing is queued: whoever waits
// for the answer hears at once, and so does a connection whose answer that
// step lets in, in a round with no time to spare.
enum class Reader { TheReactor, ItsCaller, TheReactorForAFlyingCaller, TheReactorBesideALateAnswer };

struct BudgetStopCase {
    const char* name;
    Reader reader;
};

void PrintTo(const BudgetStopCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

using TlsClientBudgetStop = TlsClientOn<std::tuple<IoBackend, BudgetStopCase>>;

TEST_P(TlsClientBudgetStop, LeavesNoRecordUnread) {
    TlsServerOptions options;
    options.recordSize = 1000;
    TlsLoopbackServer server(options);
    const std::string body(12000, 'r');
    server.http().enqueue(Reply{okResponse("warm")});
    server.http().enqueue(Reply{okResponse(body)});
    const auto client = clientWith(trustingContext());
    auto& core = zorvik::testing::coreOf(*client);
    core.setStepReadBudget(1);
    ASSERT_EQ(get(*client, server.url()).getBody(), "warm");

    const auto request = makeRequest(HttpMethod::GET, server.url());
    HttpResponse response = detail::failureResponse("not read");
    switch (testCase().reader) {
        case Reader::TheReactor:
            response = client->executeAsync(request).get();
            break;
        case Reader::ItsCaller:
            response = client->execute(request);
            break;
        case Reader::TheReactorForAFlyingCaller:
            response = HttpClient::flyAsync(client, request).get();
            break;
        case Reader::TheReactorBesideALateAnswer: {
            std::promise<int> accepted;
            std::promise<void> done;
            testsupport::net::OneConnectionServer late([&](int fd) {
                testsupport::net::readRequestHead(fd);
                accepted.set_value(fd);
                done.get_future().wait_for(zorvik::testing::kPatience);
            });
            auto lateAnswer = client->executeAsync(makeRequest(HttpMethod::GET, late.url()));
            auto acceptedFd = accepted.get_future();
            ASSERT_EQ(acceptedFd.wait_for(zorvik::testing::kPatience), std::future_status::ready);
            const int lateFd = acceptedFd.get();
            core.setRoundBudget(std::chrono::nanoseconds(0));
            std::promise<HttpResponse> answered;
            // Sent from the step that completes the answer, so it is there
            // before the reactor's next wait.
            client->submit(request, [&](HttpResponse whole) {
                testsupport::net::sendAll(lateFd, okResponse("late"));
                answered.set_value(std::move(whole));
            });
            response = answered.get_future().get();
            EXPECT_EQ(lateAnswer.get().getBody(), "late");
            done.set_value();
            break;
        }
    }

    EXPECT_EQ(response.statusCode, 200) << response.statusMessage;
    EXPECT_TRUE(response.getBody() == body) << response.getBody().size() << " bytes";
    EXPECT_EQ(core.wakesHeldOverWaits(), 0u);
    EXPECT_EQ(core.stepsRefusedAfterWaits(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Readers, TlsClientBudgetStop,
    ::testing::Combine(kReactorBackends,
                       ::testing::Values(BudgetStopCase{"ReadByTheReactor", Reader::TheReactor},
                                         BudgetStopCase{"ReadByItsCaller", Reader::ItsCaller},
                                         BudgetStopCase{"ReadByTheReactorForAFlyingCaller",
                                                        Reader::TheReactorForAFlyingCaller},
                                         BudgetStopCase{"ReadByTheReactorBesideALateAnswer",
                                                        Reader::TheReactorBesideALateAnswer})),
    BackendCaseName());

TEST_P(TlsClient, LargeRequestBodyIsSentWhole) {
    TlsLoopbackServer server;
    server.http().enqueue(Reply{okResponse("stored")});
    const auto client = clientWith(trustingContext());
    auto request = makeRequest(HttpMethod::POST, server.url("/upload"));
    const std::string payload(3 * 1024 * 1024, 'p');
    request.setBody(payload);

    const auto response = client->execute(request);

    EXPECT_EQ(response.statusCode, 200) << response.statusMessage;
    ASSERT_EQ(server.http().requests().size(), 1U);
    EXPECT_EQ(testsupport::net::requestBody(server.http().requests()[0]), payload);
}

struct BodyCase {
    const char* name;
    testsupport::net::SharedText reply;
    testsupport::net::SharedText expectedBody;
};

void PrintTo(const BodyCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

const std::string kDocument = R"({"pipelines":[{"id":"p1","name":"build"},{"id":"p2","name":"deploy"}]})";

using TlsClientBodies = TlsClientOn<std::tuple<IoBackend, BodyCase>>;

TEST_P(TlsClientBodies, ArriveWhole) {
    TlsLoopbackServer server;
    server.http().enqueue(Reply{testCase().reply});
    const auto client = clientWith(trustingContext());

    const auto response = get(*client, server.url());

    EXPECT_EQ(response.statusCode, 200) << response.statusMessage;
    EXPECT_EQ(response.getBody(), testCase().expectedBody);
}

INSTANTIATE_TEST_SUITE_P(
    Framing, TlsClientBodies,
    ::testing::Combine(kReactorBackends, ::testing::Values(BodyCase{"Chunked", chunkedResponse(kDocument, 7), kDocument},
                      BodyCase{"Gzip", okResponse(CompressionHandler::compressGzip(kDocument),
                                                  {{"Content-Encoding", "gzip"}}),
                               kDocument},
                      BodyCase{"ChunkedGzip", chunkedResponse(CompressionHandler::compressGzip(kDocument), 5,
                                                              {{"Content-Encoding", "gzip"}}),
                               kDocument},
                      BodyCase{"Large", [] { return okResponse(std::string(200000, 'z')); },
                               [] { return std::string(200000, 'z'); }})),
    BackendCaseName());

// A body without a length ends where the peer closes; over TLS that close may
// come with or without close_notify and must end the body either way.
struct CloseCase {
    const char* name;
    bool sendCloseNotify;
};

using TlsClientReadToClose = TlsClientOn<std::tuple<IoBackend, CloseCase>>;

TEST_P(TlsClientReadToClose, EndsTheBodyAtThePeersClose) {
    TlsServerOptions options;
    options.sendCloseNotify = testCase().sendCloseNotify;
    TlsLoopbackServer server(options);
    server.http().enqueue(Reply{"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nuntil the end", {}, false, true});
    const auto client = clientWith(trustingContext());

    const auto response = get(*client, server.url());

    EXPECT_EQ(response.statusCode, 200) << response.statusMessage;
    EXPECT_EQ(response.getBody(), "until the end");
}

INSTANTIATE_TEST_SUITE_P(CloseNotify, TlsClientReadToClose,
                         ::testing::Combine(kReactorBackends, ::testing::Values(CloseCase{"WithCloseNotify", true},
                                                                                CloseCase{"WithoutCloseNotify", false})),
                         BackendCaseName());

TEST_P(TlsClient, PeerClosingMidBodyIsStillAnIncompleteResponse) {
    TlsServerOptions options;
    options.sendCloseNotify = false;
    TlsLoopbackServer server(options);
    server.http().enqueue(Reply{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort", {}, false, true});
    const auto client = clientWith(trustingContext());

    const auto response = get(*client, server.url());

    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage, "Connection closed before complete HTTP response");
}

TEST_P(TlsClient, StalledHandshakeEndsWithTimeout) {
    TlsServerOptions options;
    options.stallHandshake = true;
    TlsLoopbackServer server(options);
    const auto client = clientWith(trustingContext());

    const auto response = get(*client, server.url(), 300);

    EXPECT_EQ(response.statusCode, 408);
    EXPECT_EQ(response.statusMessage, "Request Timeout");
    EXPECT_EQ(response.getBody(), "Request timed out after 300 ms");
}

TEST_P(TlsClient, PlainTextServerFailsTheHandshake) {
    // Answers at once, before reading, as a plain HTTP server would answer garbage.
    LoopbackServer server([](int fd) -> std::unique_ptr<ServerStream> {
        const std::string answer = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
        ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        return std::make_unique<PlainStream>(fd);
    });
    const auto client = clientWith(trustingContext());

    const auto response = get(*client, "https://127.0.0.1:" + std::to_string(server.port()) + "/");

    EXPECT_EQ(response.statusCode, 0);
    EXPECT_THAT(response.statusMessage, StartsWith("SSL handshake failed: "));
}

TEST_P(TlsClient, HttpsWithoutAContextFails) {
    TlsLoopbackServer server;
    const auto response = get(*client, server.url());

    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage, "No SSL context configured");
}

}  // namespace
}  // namespace zorvik
