// How the reactor drives a TLS connection through the abstract TLS interface:
// a pass-through "TLS" layer over plain loopback TCP stands in for OpenSSL.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "zorvik/SSLContext.hpp"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/socket.h>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;

struct TlsScript {
    std::mutex mutex;
    std::vector<std::string> handshakeHosts;
    int connectionsMade = 0;
    bool failHandshake = false;
    bool refuseConnections = false;
};

// Finishes the handshake in one step and moves bytes unchanged, reporting
// end of stream the way a TLS layer reports the peer's close notification.
class PassThroughConnection : public SSLConnection {
public:
    explicit PassThroughConnection(std::shared_ptr<TlsScript> script) : script_(std::move(script)) {}

    bool performHandshake(int fd, const std::string& host) override {
        const std::lock_guard lock(script_->mutex);
        script_->handshakeHosts.push_back(host);
        if (script_->failHandshake) {
            state_ = SSLConnectionState::Error;
            lastError_ = "certificate verify failed";
            return false;
        }
        fd_ = fd;
        state_ = SSLConnectionState::Connected;
        return true;
    }
    int read(void* buffer, std::size_t length) override {
        const ssize_t n = ::recv(fd_, buffer, length, 0);
        if (n > 0) {
            return static_cast<int>(n);
        }
        if (n < 0 && errno == EAGAIN) {
            return 0;
        }
        state_ = n == 0 ? SSLConnectionState::Closed : SSLConnectionState::Error;
        lastError_ = n == 0 ? "SSL connection closed" : "SSL system call error";
        return -1;
    }
    int write(const void* buffer, std::size_t length) override {
        const ssize_t n = ::send(fd_, buffer, length, MSG_NOSIGNAL);
        if (n >= 0) {
            return static_cast<int>(n);
        }
        return errno == EAGAIN ? 0 : -1;
    }
    void close() override { state_ = SSLConnectionState::Closed; }
    SSLConnectionState getState() const override { return state_; }
    std::string getLastError() const override { return lastError_; }
    bool wantRead() const override { return state_ == SSLConnectionState::Handshaking; }
    bool wantWrite() const override { return state_ == SSLConnectionState::Handshaking; }

private:
    std::shared_ptr<TlsScript> script_;
    int fd_ = -1;
    SSLConnectionState state_ = SSLConnectionState::Initial;
    std::string lastError_;
};

class PassThroughContext : public SSLContext {
public:
    explicit PassThroughContext(std::shared_ptr<TlsScript> script) : script_(std::move(script)) {}

    SSLProvider getProvider() const override { return SSLProvider::OpenSSL; }
    std::string getProviderName() const override { return "PASS-THROUGH"; }
    bool isConfigured() const override { return true; }
    std::unique_ptr<SSLConnection> createConnection() const override {
        const std::lock_guard lock(script_->mutex);
        if (script_->refuseConnections) {
            return nullptr;
        }
        ++script_->connectionsMade;
        return std::make_unique<PassThroughConnection>(script_);
    }
    SSLContext& setCertificateFile(const std::string&) override { return *this; }
    SSLContext& setPrivateKeyFile(const std::string&) override { return *this; }
    SSLContext& setCABundleFile(const std::string&) override { return *this; }
    SSLContext& setVerifyPeer(bool) override { return *this; }
    SSLContext& setVerifyHost(bool) override { return *this; }
    SSLContext& setCipherList(const std::string&) override { return *this; }

private:
    std::shared_ptr<TlsScript> script_;
};

class TlsHooks : public ::testing::Test {
protected:
    LoopbackServer server;
    std::shared_ptr<TlsScript> script = std::make_shared<TlsScript>();

    std::shared_ptr<LinuxAsyncEpollClient> clientWithTls(bool withContext = true) {
        auto config = quietConfig();
        if (withContext) {
            config->ssl(std::make_shared<PassThroughContext>(script));
        }
        return std::make_shared<LinuxAsyncEpollClient>(*config);
    }

    std::string secureUrl() const { return "https://127.0.0.1:" + std::to_string(server.port()) + "/s"; }
};

TEST_F(TlsHooks, RequestsTravelThroughTheTlsLayerAndReuseItsConnection) {
    server.enqueue(Reply{okResponse("one")});
    server.enqueue(Reply{okResponse("two")});
    auto client = clientWithTls();
    EXPECT_EQ(client->execute(makeRequest(HttpMethod::GET, secureUrl())).getBody(), "one");
    EXPECT_EQ(client->execute(makeRequest(HttpMethod::GET, secureUrl())).getBody(), "two");
    EXPECT_EQ(server.acceptCount(), 1u);
    const std::lock_guard lock(script->mutex);
    EXPECT_EQ(script->connectionsMade, 1);
    EXPECT_EQ(script->handshakeHosts, std::vector<std::string>{"127.0.0.1"});
}

TEST_F(TlsHooks, PeerCloseReportedByTheTlsLayerEndsABodyWithoutLength) {
    server.enqueue(Reply{"HTTP/1.1 200 OK\r\n\r\nall of it", {}, false, true});
    const auto response = clientWithTls()->execute(makeRequest(HttpMethod::GET, secureUrl()));
    EXPECT_EQ(response.statusCode, 200) << response.statusMessage;
    EXPECT_EQ(response.getBody(), "all of it");
}

TEST_F(TlsHooks, PeerCloseMidBodyIsAnEarlyClose) {
    server.enqueue(Reply{"HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nshort", {}, false, true});
    const auto response = clientWithTls()->execute(makeRequest(HttpMethod::GET, secureUrl()));
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage, "Connection closed before complete HTTP response");
}

struct SetupFailure {
    const char* name;
    bool withContext;
    bool refuseConnections;
    bool failHandshake;
    const char* message;
};

class TlsSetupFailures : public TlsHooks, public ::testing::WithParamInterface<SetupFailure> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, TlsSetupFailures,
    ::testing::Values(SetupFailure{"NoContext", false, false, false, "No SSL context configured"},
                      SetupFailure{"NoConnectionObject", true, true, false,
                                   "Failed to create SSL connection from configured context"},
                      SetupFailure{"HandshakeError", true, false, true,
                                   "SSL handshake failed: certificate verify failed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(TlsSetupFailures, FailTheRequestWithTheirText) {
    script->refuseConnections = GetParam().refuseConnections;
    script->failHandshake = GetParam().failHandshake;
    const auto response = clientWithTls(GetParam().withContext)->execute(makeRequest(HttpMethod::GET, secureUrl()));
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage, GetParam().message);
    EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace zorvik::testing
