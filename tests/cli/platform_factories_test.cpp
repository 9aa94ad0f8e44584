#include "cli/platform_factories.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"

namespace quarlino::quil::cli {
namespace {

config::ClientConfig loopbackConfig(const testsupport::net::LoopbackServer& server) {
    return config::ClientConfig(server.url(""), std::string("token-1"), std::chrono::seconds(5), true, std::string("ws-1"));
}

// Keep-alive replies: a shared transport would send both requests over one
// pooled connection, so two connections prove two transports.
TEST(PlatformFactories, EachGatewayOwnsATransportOfItsOwn) {
    testsupport::net::LoopbackServer server;
    server.enqueue({testsupport::net::okResponse("[]")});
    server.enqueue({testsupport::net::okResponse("[]")});
    const config::ClientConfig config = loopbackConfig(server);

    const auto first = makeQuarlinoGateway(config);
    const auto second = makeQuarlinoGateway(config);
    EXPECT_TRUE(first->listWorkspaces().value.empty());
    EXPECT_TRUE(second->listWorkspaces().value.empty());

    EXPECT_EQ(server.acceptCount(), 2U);
    ASSERT_EQ(server.requests().size(), 2U);
    for (const std::string& request : server.requests()) {
        EXPECT_EQ(testsupport::net::requestLine(request), "GET /api/workspaces HTTP/1.1");
        EXPECT_EQ(testsupport::net::requestHeader(request, "Authorization"), "Bearer token-1");
        EXPECT_EQ(testsupport::net::requestHeader(request, "quarlino-workspace-id"), "ws-1");
    }
    EXPECT_EQ(server.unexpectedRequests(), 0U);
}

}  // namespace
}  // namespace quarlino::quil::cli
