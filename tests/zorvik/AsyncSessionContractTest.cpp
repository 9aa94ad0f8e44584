// The session's checks, admission limits and classification, against a
// client that only records what it is handed.
#include "AsyncSessionTestSupport.hpp"
#include "ClientTestSupport.hpp"

#include <gtest/gtest.h>

#include <future>

namespace zorvik::testing {
namespace {

using Change = std::function<void(AsyncSessionConfig&)>;

std::string openingMessage(const AsyncSessionConfig& config, std::shared_ptr<HttpClient> client) {
    try {
        AsyncSession session(std::move(client), config, IoBackend::Epoll);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "";
}

struct ConfigCase {
    const char* name;
    Change change;
    std::string message;  // empty: accepted
    bool withClient = true;
};

class SessionConfiguration : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(SessionConfiguration, IsAcceptedOrRefusedWithTheFirstFailingCheck) {
    auto config = roomyConfig();
    GetParam().change(config);
    auto client = GetParam().withClient ? std::make_shared<StubClient>() : nullptr;
    EXPECT_EQ(openingMessage(config, client), GetParam().message);
}

const std::string kConsistency = "Connection capacities and idleConnectionTtl must be positive and consistent";
const std::string kBuffered = "maxBufferedResponseBytes must be at least maxResponseBytes";

INSTANTIATE_TEST_SUITE_P(
    Table, SessionConfiguration,
    ::testing::Values(
        ConfigCase{"Roomy", [](auto&) {}, ""},
        ConfigCase{"PerOriginEqualsTotal", [](auto& c) { c.maxConnections = c.maxConnectionsPerOrigin = 4; }, ""},
        ConfigCase{"QueueEqualsInFlight", [](auto& c) { c.completionQueueCapacity = c.maxInFlightRequests; }, ""},
        ConfigCase{"NoInFlight", [](auto& c) { c.maxInFlightRequests = 0; },
                   "maxInFlightRequests must be greater than zero"},
        ConfigCase{"QueueBelowInFlight",
                   [](auto& c) {
                       c.completionQueueCapacity = c.maxInFlightRequests - 1;
                       c.maxConnections = 0;
                   },
                   "completionQueueCapacity must be at least maxInFlightRequests"},
        ConfigCase{"NoResponseBytes", [](auto& c) { c.maxResponseBytes = 0; }, kBuffered},
        ConfigCase{"BufferBelowResponse",
                   [](auto& c) { c.maxBufferedResponseBytes = c.maxResponseBytes - 1; }, kBuffered},
        ConfigCase{"NoConnections", [](auto& c) { c.maxConnections = 0; }, kConsistency},
        ConfigCase{"NoConnectionsPerOrigin", [](auto& c) { c.maxConnectionsPerOrigin = 0; }, kConsistency},
        ConfigCase{"PerOriginAboveTotal",
                   [](auto& c) { c.maxConnectionsPerOrigin = c.maxConnections + 1; }, kConsistency},
        ConfigCase{"NoOutstandingPerOrigin", [](auto& c) { c.maxOutstandingPerOrigin = 0; }, kConsistency},
        ConfigCase{"IdleTtlBelowOneMs", [](auto& c) { c.idleConnectionTtl = std::chrono::milliseconds(0); },
                   kConsistency},
        ConfigCase{"NoClient", [](auto&) {}, "AsyncSession requires a transport client", false},
        ConfigCase{"BadConfigBeatsNoClient", [](auto& c) { c.maxInFlightRequests = 0; },
                   "maxInFlightRequests must be greater than zero", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct SubmitCase {
    const char* name;
    Change change;
    std::vector<std::string> earlier;  // accepted before the request under test
    std::string answerBody;            // the stub answers every request at once with it, unless "-"
    bool closeFirst;
    std::string url;
    int timeoutMs;
    SubmitStatus status;
    std::string message;
};

class SessionSubmission : public ::testing::TestWithParam<SubmitCase> {};

TEST_P(SessionSubmission, ReturnsItsStatusAndMessage) {
    const auto& row = GetParam();
    auto config = roomyConfig();
    row.change(config);
    auto client = std::make_shared<StubClient>();
    if (row.answerBody != "-") {
        client->answerAtOnce([body = row.answerBody](const HttpRequest&) { return HttpResponse(200, "OK", {}, body); });
    }
    AsyncSession session(client, config, IoBackend::Epoll);
    for (const auto& url : row.earlier) {
        ASSERT_EQ(session.submit(sessionRequest(url)).status, SubmitStatus::Accepted) << url;
    }
    if (row.answerBody != "-") {
        ASSERT_TRUE(eventually([&] { return session.stats().queuedCompletions == row.earlier.size(); }));
    }
    if (row.closeFirst) {
        session.shutdown(ShutdownMode::Abort, std::chrono::milliseconds(0));
    }

    const auto result = session.submit(sessionRequest(row.url, row.timeoutMs));

    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.message, row.message);
    const bool accepted = row.status == SubmitStatus::Accepted;
    EXPECT_EQ(result.id.value, accepted ? row.earlier.size() + 1 : 0);
    EXPECT_EQ(session.stats().rejected, accepted ? 0U : 1U);
}

const std::string kA = "http://127.0.0.1:81/a";
const std::string kCapacity = "Asynchronous session capacity is exhausted";
const std::string kOrigin = "Asynchronous session origin capacity is exhausted";
const Change kOneInFlight = [](auto& c) { c.maxInFlightRequests = c.completionQueueCapacity = 1; };

INSTANTIATE_TEST_SUITE_P(
    Table, SessionSubmission,
    ::testing::Values(
        SubmitCase{"Accepted", [](auto&) {}, {kA, kA}, "-", false, kA, 1, SubmitStatus::Accepted, ""},
        SubmitCase{"ZeroTimeout", [](auto&) {}, {}, "-", false, kA, 0, SubmitStatus::InvalidRequest,
                   "Request timeout must be greater than zero"},
        SubmitCase{"UnfilledPlaceholder", [](auto&) {}, {}, "-", false, "http://127.0.0.1:81/items/{id}", 100,
                   SubmitStatus::InvalidRequest,
                   "Unresolved route placeholder {id} in URL: http://127.0.0.1:81/items/{id}"},
        SubmitCase{"TotalInFlight", kOneInFlight, {kA}, "-", false, "http://other:1/", 100,
                   SubmitStatus::CapacityExhausted, kCapacity},
        SubmitCase{"CompletionNotCollected", kOneInFlight, {kA}, "body", false, kA, 100,
                   SubmitStatus::CapacityExhausted, kCapacity},
        SubmitCase{"CompletionNotCollectedButRoom",
                   [](auto& c) {
                       c.maxInFlightRequests = 1;
                       c.completionQueueCapacity = 2;
                   },
                   {kA}, "body", false, kA, 100, SubmitStatus::Accepted, ""},
        SubmitCase{"SameOrigin", [](auto& c) { c.maxOutstandingPerOrigin = 1; }, {kA}, "-", false,
                   "http://127.0.0.1:81/b", 100, SubmitStatus::CapacityExhausted, kOrigin},
        SubmitCase{"OtherPort", [](auto& c) { c.maxOutstandingPerOrigin = 1; }, {kA}, "-", false,
                   "http://127.0.0.1:82/a", 100, SubmitStatus::Accepted, ""},
        SubmitCase{"OtherScheme", [](auto& c) { c.maxOutstandingPerOrigin = 1; }, {kA}, "-", false,
                   "https://127.0.0.1:81/a", 100, SubmitStatus::Accepted, ""},
        SubmitCase{"BufferedBytesAtTheLimit",
                   [](auto& c) { c.maxResponseBytes = c.maxBufferedResponseBytes = 10; },
                   {kA}, "0123456789", false, kA, 100, SubmitStatus::CapacityExhausted, kCapacity},
        SubmitCase{"Closed", [](auto&) {}, {}, "-", true, kA, 100, SubmitStatus::NotAccepting,
                   "Asynchronous session is not accepting requests"}),
    [](const auto& info) { return std::string(info.param.name); });

// Shuts the session down from inside submit, after the request was accepted
// and before the dispatcher takes it.
class ShutdownOnRequestLog : public RecordingLogger {
public:
    AsyncSession* session = nullptr;
    void info(const std::string&) override { session->shutdown(ShutdownMode::Abort, std::chrono::milliseconds(0)); }
};

TEST(SessionSubmissionRace, RequestEndedByShutdownBeforeDispatchStaysAcceptedWithOneCompletion) {
    AsyncSession session(std::make_shared<StubClient>(), roomyConfig(), IoBackend::Epoll);
    auto logger = std::make_shared<ShutdownOnRequestLog>();
    logger->session = &session;
    auto request = sessionRequest(kA);
    request.setLogger(logger);
    request.logRequest = true;

    const auto result = session.submit(request);

    EXPECT_EQ(result.status, SubmitStatus::Accepted);
    const auto aborted = nextCompletion(session);
    EXPECT_EQ(aborted.id, result.id);
    expectError(aborted, HttpErrorCode::SessionAborted, "Asynchronous session aborted");
    const auto stats = session.stats();
    EXPECT_EQ(stats.accepted, 1U);
    EXPECT_EQ(stats.rejected, 0U);
}

struct FailureCase {
    std::string statusMessage;
    std::string body;
    HttpErrorCode code;
    std::uint32_t kind;
    bool retryable;
};

class FailureClassification : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureClassification, GivesCodeKindAndRetryable) {
    const auto& row = GetParam();
    auto client = std::make_shared<StubClient>();
    client->answerAtOnce([&row](const HttpRequest&) { return HttpResponse(0, row.statusMessage, {}, row.body); });
    AsyncSession session(client, roomyConfig(), IoBackend::Epoll);
    ASSERT_EQ(session.submit(sessionRequest(kA)).status, SubmitStatus::Accepted);

    const auto completion = nextCompletion(session);

    const auto* error = std::get_if<HttpError>(&completion.result);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code, row.code);
    EXPECT_EQ(error->kind, row.kind);
    EXPECT_EQ(error->retryable, row.retryable);
    EXPECT_EQ(error->message, row.statusMessage.empty() ? row.body : row.statusMessage);
    EXPECT_EQ(error->systemError.value(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailureClassification,
    ::testing::Values(
        FailureCase{"Request failed: Endpoint policy denied every resolved address for host h", "",
                    HttpErrorCode::EndpointPolicyDenied, 0, false},
        FailureCase{"DNS resolver queue is full or shutting down", "", HttpErrorCode::DnsFailure, 1, true},
        FailureCase{"could not RESOLVE host", "", HttpErrorCode::DnsFailure, 1, true},
        FailureCase{"SSL handshake timeout", "", HttpErrorCode::TlsFailure, 3, false},
        FailureCase{"bad Certificate", "", HttpErrorCode::TlsFailure, 3, false},
        FailureCase{"Connection failed: Connection timed out", "", HttpErrorCode::Timeout, 8, true},
        FailureCase{"Request timeout expired in the session queue", "", HttpErrorCode::Timeout, 8, true},
        FailureCase{"Response exceeds configured body limit", "", HttpErrorCode::ResponseTooLarge, 7, false},
        FailureCase{"Connection closed before complete HTTP response", "", HttpErrorCode::ConnectFailure, 2, true},
        FailureCase{"Failed to acquire connection", "", HttpErrorCode::ConnectFailure, 2, true},
        FailureCase{"Write error: Broken pipe on socket", "", HttpErrorCode::ConnectFailure, 2, true},
        FailureCase{"Transport client is shutting down", "", HttpErrorCode::TransportFailure, 11, true},
        FailureCase{"Empty response", "", HttpErrorCode::TransportFailure, 11, true},
        FailureCase{"", "TLS alert in the body", HttpErrorCode::TlsFailure, 3, false}));

// Holds the completion worker inside a response log line until released.
class BlockingLogger : public RecordingLogger {
public:
    void info(const std::string&) override {
        entered_.set_value();
        released_.get_future().wait();
    }
    void waitUntilEntered() { entered_.get_future().wait(); }
    void release() { released_.set_value(); }

private:
    std::promise<void> entered_;
    std::promise<void> released_;
};

// Cancelled requests stay with the client until their responses come back,
// so more requests can be active there than may be in flight in the session.
// Every one of their responses needs a place on the completion worker, or
// the response of a request still pending is dropped and never completes.
TEST(SessionCompletionWorker, TakesAResponseForEveryRequestActiveAtTheClient) {
    auto config = roomyConfig();
    config.maxInFlightRequests = 2;
    config.completionQueueCapacity = 8;
    config.maxConnections = config.maxConnectionsPerOrigin = 4;
    auto client = std::make_shared<StubClient>();
    AsyncSession session(client, config, IoBackend::Epoll);
    auto logger = std::make_shared<BlockingLogger>();
    auto logged = sessionRequest(kA);
    logged.setLogger(logger);
    logged.logResponse = true;
    const auto first = session.submit(logged).id;
    session.cancel(session.submit(sessionRequest(kA)).id);
    session.cancel(session.submit(sessionRequest(kA)).id);
    const auto last = session.submit(sessionRequest(kA)).id;
    ASSERT_EQ(client->requests().size(), 4U);

    client->respond(0, HttpResponse(200, "OK", {}, "first"));
    logger->waitUntilEntered();
    for (std::size_t i = 1; i < 4; ++i) {
        client->respond(i, HttpResponse(200, "OK", {}, "later"));
    }
    logger->release();
    session.shutdown(ShutdownMode::Drain, std::chrono::seconds(5));

    std::vector<HttpCompletion> out(8);
    ASSERT_EQ(session.poll(out), 4U);
    EXPECT_EQ(out[2].id, first);
    EXPECT_EQ(statusOf(out[2]), 200);
    EXPECT_EQ(out[3].id, last);
    EXPECT_EQ(statusOf(out[3]), 200);
}

// Responses that arrive while the worker is inside the client starting /w:
// one completed at once leaves a dispatch task queued, and every request
// then active needs a place beside it, or its step runs on the delivering
// thread, ahead of those queued, and starts the next request there.
TEST(SessionCompletionWorker, KeepsTheArrivalOrderWhileItStartsARequest) {
    auto config = roomyConfig();
    config.maxInFlightRequests = config.maxConnections = config.maxConnectionsPerOrigin = 3;
    auto client = std::make_shared<StubClient>();
    std::promise<void> entered;
    std::promise<void> release;
    client->onSubmit([&entered, released = release.get_future().share()](const HttpRequest& request) {
        if (request.path == "/w") {
            entered.set_value();
            released.wait_for(std::chrono::seconds(10));
        }
    });
    AsyncSession session(client, config, IoBackend::Epoll);
    const auto submit = [&session](const std::string& path, bool logged = false) {
        auto request = sessionRequest("http://127.0.0.1:81" + path);
        request.setLogger(std::make_shared<RecordingLogger>());
        request.logResponse = logged;
        return session.submit(request).id;
    };
    const auto respond = [&client](std::size_t index) { client->respond(index, HttpResponse(200, "OK", {}, "")); };
    submit("/p");
    session.cancel(submit("/x"));
    submit("/a", true);
    const auto w = submit("/w");
    respond(0);  // the worker goes on to start /w
    entered.get_future().wait_for(std::chrono::seconds(10));
    submit("/q");
    respond(1);  // /x frees the slot /q waits for
    session.cancel(w);
    submit("/b");  // starts /q here
    for (std::size_t i = 2; i < 5; ++i) {
        respond(i);  // /a, /w, /q
    }
    EXPECT_EQ(client->requests().size(), 5U) << "/b started on the delivering thread";
    release.set_value();

    std::vector<std::string> paths;
    for (const auto& completion : completionsOf(session, 5)) {
        paths.push_back(completion.url.substr(19));
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/x", "/p", "/w", "/a", "/q"}));
}

}  // namespace
}  // namespace zorvik::testing
