// A synchronous request that finds an idle pooled connection is driven by
// its caller's own thread: every way its exchange can end must end there as
// it would through the reactor.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "support/net/SharedText.hpp"

#include <gtest/gtest.h>
#include <vector>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;

const std::string kLongText(100000, 'q');

struct ReusedCase {
    const char* name;
    std::vector<Reply> replies;  // for the second request (and its redirect hop)
    int timeoutMs;
    int status;
    std::string statusMessage;
    testsupport::net::SharedText body;
    std::size_t connections;
};

class CallerDrivenRequest : public ::testing::TestWithParam<ReusedCase> {};

TEST_P(CallerDrivenRequest, EndsAsThroughTheReactor) {
    const auto& param = GetParam();
    LoopbackServer server;
    auto client = makeClient();
    server.enqueue(Reply{okResponse("first")});
    ASSERT_EQ(client->execute(makeRequest(HttpMethod::GET, server.url("/"))).getBody(), "first");
    for (const auto& reply : param.replies) {
        server.enqueue(reply);
    }

    const auto response = client->execute(makeRequest(HttpMethod::GET, server.url("/"), param.timeoutMs));
    EXPECT_EQ(response.statusCode, param.status);
    EXPECT_EQ(response.statusMessage, param.statusMessage);
    EXPECT_EQ(response.getBody(), param.body);
    EXPECT_EQ(server.acceptCount(), param.connections);
    if (response.statusCode == 200) {
        // The reactor, woken for the same answer, must not take the socket
        // the caller already emptied for one with unsolicited bytes.
        server.enqueue(Reply{okResponse("again")});
        EXPECT_EQ(client->execute(makeRequest(HttpMethod::GET, server.url("/"))).getBody(), "again");
        EXPECT_EQ(server.acceptCount(), param.connections);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CallerDrivenRequest,
    ::testing::Values(
        ReusedCase{"LateAnswer", {Reply{okResponse("second"), std::chrono::milliseconds(50)}}, 10000, 200, "OK",
                   "second", 1},
        ReusedCase{"ChunkedInManyReads", {Reply{testsupport::net::chunkedResponse(kLongText, 3000)}}, 10000, 200,
                   "OK", kLongText, 1},
        ReusedCase{"NoAnswer", {Reply{"", {}, true}}, 200, 408, "Request Timeout", "Request timed out after 200 ms", 1},
        ReusedCase{"ClosedMidBody",
                   {Reply{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial", {}, false, true}}, 10000, 0,
                   "Connection closed before complete HTTP response", "", 1},
        // The hop is queued on the same connection while the caller still drives it.
        ReusedCase{"RedirectOnTheSameConnection",
                   {Reply{testsupport::net::redirectResponse(302, "/next")}, Reply{okResponse("next")}}, 10000, 200,
                   "OK", "next", 1}),
    [](const ::testing::TestParamInfo<ReusedCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zorvik::testing
