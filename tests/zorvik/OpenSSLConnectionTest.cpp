// The TLS connection driven by hand over a non-blocking loopback socket, the
// way a reactor drives it, against a TLS test server.
#include "zorvik/OpenSSLConnection.hpp"
#include "zorvik/OpenSSLContext.hpp"
#include "zorvik/OpenSSLTrustStore.hpp"

#include "TlsTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/TestCertificates.hpp"
#include "support/net/TlsLoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zorvik {
namespace {

using ::testing::HasSubstr;
using testsupport::net::CertificateFiles;
using testsupport::net::okResponse;
using testsupport::net::Reply;
using testsupport::net::TlsLoopbackServer;
using testsupport::net::TlsServerOptions;
using zorvik::testing::certificates;
using zorvik::testing::serving;

// A connected, non-blocking client socket to the server's port.
class ClientSocket {
public:
    explicit ClientSocket(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK) == 0;
    }
    ~ClientSocket() { ::close(fd_); }
    ClientSocket(const ClientSocket&) = delete;
    ClientSocket& operator=(const ClientSocket&) = delete;

    int fd() const { return fd_; }
    bool connected() const { return connected_; }
    // Waits for the socket to become readable; the bound only keeps a broken
    // test from hanging, it is not a measurement.
    void awaitReadable() const {
        pollfd entry{fd_, POLLIN, 0};
        ::poll(&entry, 1, 100);
    }

private:
    int fd_;
    bool connected_ = false;
};

constexpr int kMaxSteps = 300;

// Calls performHandshake until it finishes or leaves the Handshaking state.
bool driveHandshake(SSLConnection& connection, const ClientSocket& socket, const std::string& host) {
    for (int step = 0; step < kMaxSteps; ++step) {
        if (connection.performHandshake(socket.fd(), host)) {
            return true;
        }
        if (connection.getState() != SSLConnectionState::Handshaking) {
            return false;
        }
        socket.awaitReadable();
    }
    return false;
}

// Reads until the connection stops delivering bytes; returns what arrived.
std::string readUntilClosed(SSLConnection& connection, const ClientSocket& socket) {
    std::string received;
    char buffer[4096];
    for (int step = 0; step < kMaxSteps; ++step) {
        const int n = connection.read(buffer, sizeof buffer);
        if (n < 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(n));
        if (n == 0) {
            socket.awaitReadable();
        }
    }
    return received;
}

bool writeAll(SSLConnection& connection, const ClientSocket& socket, const std::string& text) {
    std::size_t offset = 0;
    for (int step = 0; step < kMaxSteps && offset < text.size(); ++step) {
        const int n = connection.write(text.data() + offset, text.size() - offset);
        if (n < 0) {
            return false;
        }
        offset += static_cast<std::size_t>(n);
        if (n == 0) {
            socket.awaitReadable();
        }
    }
    return offset == text.size();
}

std::shared_ptr<OpenSSLContext> trustingContext() {
    auto context = std::make_shared<OpenSSLContext>();
    context->setCABundleFile(certificates().caFile());
    return context;
}

struct HandshakeOutcome {
    bool completed = false;
    SSLConnectionState state = SSLConnectionState::Initial;
    std::string error;
};

HandshakeOutcome handshake(SSLConnection& connection, TlsLoopbackServer& server, const std::string& host) {
    const ClientSocket socket(server.port());
    EXPECT_TRUE(socket.connected());
    HandshakeOutcome outcome;
    outcome.completed = driveHandshake(connection, socket, host);
    outcome.state = connection.getState();
    outcome.error = connection.getLastError();
    return outcome;
}

HandshakeOutcome handshake(const OpenSSLContext& context, TlsLoopbackServer& server, const std::string& host) {
    return handshake(*context.createConnection(), server, host);
}

TEST(OpenSSLConnectionHandshake, CompletesAgainstTrustedServerAndSendsTheHostAsServerName) {
    TlsLoopbackServer server;
    server.http().enqueue(Reply{okResponse("hello"), {}, false, true});
    const auto context = trustingContext();
    const ClientSocket socket(server.port());
    ASSERT_TRUE(socket.connected());
    auto connection = context->createConnection();

    ASSERT_TRUE(driveHandshake(*connection, socket, "localhost")) << connection->getLastError();
    EXPECT_EQ(connection->getState(), SSLConnectionState::Connected);
    EXPECT_FALSE(connection->wantRead());
    ASSERT_TRUE(writeAll(*connection, socket, "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n"));
    EXPECT_THAT(readUntilClosed(*connection, socket), HasSubstr("\r\n\r\nhello"));
    EXPECT_EQ(server.serverNames(), std::vector<std::string>{"localhost"});
}

// Verification outcomes by certificate, host and context settings.
struct VerificationCase {
    const char* name;
    CertificateFiles (*certificate)();
    const char* host;
    bool trustTestAuthority;
    bool verifyPeer;
    bool verifyHost;
    bool completes;
};

void PrintTo(const VerificationCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

CertificateFiles localhostCertificate() { return certificates().localhost(); }
CertificateFiles otherNameCertificate() { return certificates().otherName(); }
CertificateFiles expiredCertificate() { return certificates().expired(); }

class OpenSSLConnectionVerification : public ::testing::TestWithParam<VerificationCase> {};

TEST_P(OpenSSLConnectionVerification, DecidesTheHandshake) {
    const auto& testCase = GetParam();
    const zorvik::testing::ScopedTrustStore noSystemTrust;
    TlsLoopbackServer server(serving(testCase.certificate()));
    OpenSSLContext context;
    if (testCase.trustTestAuthority) {
        context.setCABundleFile(certificates().caFile());
    }
    context.setVerifyPeer(testCase.verifyPeer).setVerifyHost(testCase.verifyHost);

    const auto outcome = handshake(context, server, testCase.host);

    EXPECT_EQ(outcome.completed, testCase.completes) << outcome.error;
    if (testCase.completes) {
        EXPECT_EQ(outcome.state, SSLConnectionState::Connected);
    } else {
        EXPECT_EQ(outcome.state, SSLConnectionState::Error);
        EXPECT_THAT(outcome.error, HasSubstr("certificate verify failed"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenSSLConnectionVerification,
    ::testing::Values(
        VerificationCase{"TrustedName", localhostCertificate, "localhost", true, true, true, true},
        VerificationCase{"TrustedIpAddress", localhostCertificate, "127.0.0.1", true, true, true, true},
        VerificationCase{"UnknownAuthority", localhostCertificate, "localhost", false, true, true, false},
        VerificationCase{"NameMismatch", otherNameCertificate, "localhost", true, true, true, false},
        VerificationCase{"IpAddressMismatch", otherNameCertificate, "127.0.0.1", true, true, true, false},
        VerificationCase{"NameMismatchWithoutHostCheck", otherNameCertificate, "localhost", true, true, false, true},
        VerificationCase{"NameMatchesOtherCertificate", otherNameCertificate, "other.example", true, true, true, true},
        VerificationCase{"Expired", expiredCertificate, "localhost", true, true, true, false},
        VerificationCase{"ExpiredWithoutPeerCheck", expiredCertificate, "localhost", true, false, true, true},
        VerificationCase{"UnknownAuthorityWithoutPeerCheck", otherNameCertificate, "localhost", false, false, true,
                         true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenSSLConnectionHandshake, TrustsTheStoreNamedByTheEnvironment) {
    const zorvik::testing::ScopedTrustStore onlyTestAuthority(certificates().caFile(), certificates().directory());
    TlsLoopbackServer server;
    const OpenSSLContext context;

    const auto outcome = handshake(context, server, "localhost");

    EXPECT_TRUE(outcome.completed) << outcome.error;
}

// The system trust's files are parsed one at a time, in their order (the
// certificate file, then the bundles up to the first that loads), only until
// one gives a current issuer; the trust is that of parsing them all, and the
// connection learns from it what the trust loaded up front tells it, the
// matched host name too. The watched bundle holds the CA; whether it was
// opened shows how far the search went.
struct FileTrustCase {
    const char* name;
    const char* certificateFile;
    std::vector<const char*> bundles;
    bool completes;
    bool watchedOpened;
    // The hashed directory, and whether the server presents the leaf of the
    // chain through an intermediate instead of the test CA's.
    const char* directory = "missing";
    bool chained = false;
};

void PrintTo(const FileTrustCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

std::string trustFile(const std::string& name) {
    namespace fs = std::filesystem;
    if (name == "ca") {
        return certificates().caFile();
    }
    if (name == "expired-ca") {
        return fs::directory_iterator(certificates().expiredCaDirectory())->path().string();
    }
    if (name == "leaf") {
        return certificates().localhost().certificate;
    }
    const auto& chain = certificates().chain();
    for (const auto& [known, path] : {std::pair<std::string, std::string>{"intermediate", chain.intermediate},
                                      {"root", chain.root},
                                      {"intermediate-and-root", chain.both},
                                      {"cross-signed-root", chain.crossRootDirectory},
                                      {"cross-signed-intermediate", chain.crossIntermediateDirectory}}) {
        if (name == known) {
            return path;
        }
    }
    return certificates().directory() + "/" + name + ".pem";
}

class OpenSSLConnectionFileTrust : public ::testing::TestWithParam<FileTrustCase> {};

// The host name the verification matched, as the connection holds it once the handshake is done.
std::string matchedPeerName;

void recordPeerName(const SSL* ssl, int where, int) {
    if ((where & SSL_CB_HANDSHAKE_DONE) != 0) {
        const char* name = SSL_get0_peername(const_cast<SSL*>(ssl));
        matchedPeerName = name != nullptr ? name : "(none)";
    }
}

TEST_P(OpenSSLConnectionFileTrust, ReadsFilesOnlyUntilACurrentIssuer) {
    const auto& testCase = GetParam();
    const zorvik::testing::ScopedTrustStore trust(trustFile(testCase.certificateFile), trustFile(testCase.directory));
    std::filesystem::copy_file(certificates().caFile(), trustFile("watched"),
                               std::filesystem::copy_options::overwrite_existing);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, trustFile("watched").c_str(), IN_OPEN), 0);
    std::vector<std::string> bundles;
    bundles.reserve(testCase.bundles.size());  // paths point into it
    std::vector<const char*> paths;
    for (const char* bundle : testCase.bundles) {
        paths.push_back(bundles.emplace_back(trustFile(bundle)).c_str());
    }
    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_info_callback(context.get(), recordPeerName);
    matchedPeerName.clear();
    ASSERT_TRUE(detail::installSystemTrust(context.get(), paths));
    TlsLoopbackServer server(serving(testCase.chained ? certificates().chain().leaf : certificates().localhost()));
    OpenSSLConnection connection(context.get());

    const auto outcome = handshake(connection, server, "localhost");

    EXPECT_EQ(outcome.completed, testCase.completes) << outcome.error;
    EXPECT_EQ(matchedPeerName, testCase.completes ? "localhost" : "");
    char event[256];
    EXPECT_EQ(::read(watch, event, sizeof event) > 0, testCase.watchedOpened);
    ::close(watch);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenSSLConnectionFileTrust,
    ::testing::Values(FileTrustCase{"IssuerInTheCertificateFile", "ca", {"watched"}, true, false},
                      FileTrustCase{"IssuerOnlyInABundle", "missing", {"missing", "watched"}, true, true},
                      FileTrustCase{"ExpiredIssuerInTheCertificateFile", "expired-ca", {"watched"}, true, true},
                      FileTrustCase{"BundleAfterOneThatLoads", "missing", {"leaf", "watched"}, false, false},
                      // Loaded up front, the files hide the directory's copy
                      // of a name, certified by a root nobody trusts.
                      FileTrustCase{"RootInABundleHidingACrossSignedCopy", "intermediate", {"root"}, true, false,
                                    "cross-signed-root", true},
                      FileTrustCase{"ChainInTheCertificateFileHidingACrossSignedCopy", "intermediate-and-root",
                                    {"watched"}, true, true, "cross-signed-intermediate", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenSSLConnectionHandshake, RefusesAPeerLimitedToTls11) {
    TlsServerOptions options;
    options.maxProtocolVersion = TLS1_1_VERSION;
    TlsLoopbackServer server(options);

    const auto outcome = handshake(*trustingContext(), server, "localhost");

    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.state, SSLConnectionState::Error);
    EXPECT_FALSE(outcome.error.empty());
}

// Proves the server above really speaks TLS 1.1, so the refusal is the client's.
TEST(OpenSSLConnectionHandshake, AcceptsTls11OnlyWhenTheMinimumIsLowered) {
    TlsServerOptions options;
    options.maxProtocolVersion = TLS1_1_VERSION;
    TlsLoopbackServer server(options);
    const auto context = trustingContext();
    context->setCipherList("DEFAULT:@SECLEVEL=0").setMinTLSVersion(TLS1_1_VERSION);

    const auto outcome = handshake(*context, server, "localhost");

    EXPECT_TRUE(outcome.completed) << outcome.error;
}

TEST(OpenSSLConnectionHandshake, PeerHangingUpMidHandshakeIsAnError) {
    TlsServerOptions options;
    options.stallHandshake = true;
    TlsLoopbackServer server(options);
    const auto context = trustingContext();
    const ClientSocket socket(server.port());
    auto connection = context->createConnection();
    ASSERT_FALSE(connection->performHandshake(socket.fd(), "localhost"));
    ASSERT_EQ(connection->getState(), SSLConnectionState::Handshaking);
    EXPECT_TRUE(connection->wantRead());

    server.http().stop();

    EXPECT_FALSE(driveHandshake(*connection, socket, "localhost"));
    EXPECT_EQ(connection->getState(), SSLConnectionState::Error);
    EXPECT_FALSE(connection->getLastError().empty());
}

TEST(OpenSSLConnectionHandshake, InvalidSocketFailsTheHandshake) {
    const auto connection = trustingContext()->createConnection();

    EXPECT_FALSE(connection->performHandshake(-1, "localhost"));
    EXPECT_EQ(connection->getState(), SSLConnectionState::Error);
    EXPECT_EQ(connection->getLastError(), "Failed to set socket for SSL");
    EXPECT_FALSE(connection->performHandshake(-1, "localhost"));
}

TEST(OpenSSLConnectionLifecycle, ReadAndWriteRefuseBeforeTheHandshake) {
    const auto connection = trustingContext()->createConnection();
    char buffer[8];

    EXPECT_EQ(connection->read(buffer, sizeof buffer), -1);
    EXPECT_EQ(connection->write("x", 1), -1);
    EXPECT_EQ(connection->getState(), SSLConnectionState::Initial);
    EXPECT_EQ(connection->getLastError(), "");
}

TEST(OpenSSLConnectionLifecycle, CloseWithoutHandshakeLeavesClosed) {
    const auto connection = trustingContext()->createConnection();

    connection->close();
    connection->close();

    EXPECT_EQ(connection->getState(), SSLConnectionState::Closed);
    EXPECT_FALSE(connection->performHandshake(0, "localhost"));
}

TEST(OpenSSLConnectionLifecycle, CloseAfterTheHandshakeStopsFurtherReads) {
    TlsLoopbackServer server;
    const auto context = trustingContext();
    const ClientSocket socket(server.port());
    auto connection = context->createConnection();
    ASSERT_TRUE(driveHandshake(*connection, socket, "localhost"));

    connection->close();

    EXPECT_EQ(connection->getState(), SSLConnectionState::Closed);
    char buffer[8];
    EXPECT_EQ(connection->read(buffer, sizeof buffer), -1);
}

// The peer ends the stream after its reply, with or without close_notify; both
// must read as the end of the body, as a TCP close would.
class OpenSSLConnectionPeerClose : public ::testing::TestWithParam<bool> {};

TEST_P(OpenSSLConnectionPeerClose, EndsTheStreamCleanly) {
    TlsServerOptions options;
    options.sendCloseNotify = GetParam();
    TlsLoopbackServer server(options);
    server.http().enqueue(Reply{"HTTP/1.1 200 OK\r\n\r\nread to the close", {}, false, true});
    const auto context = trustingContext();
    const ClientSocket socket(server.port());
    auto connection = context->createConnection();
    ASSERT_TRUE(driveHandshake(*connection, socket, "localhost"));
    ASSERT_TRUE(writeAll(*connection, socket, "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n"));

    EXPECT_THAT(readUntilClosed(*connection, socket), ::testing::EndsWith("\r\n\r\nread to the close"));
    EXPECT_EQ(connection->getState(), SSLConnectionState::Closed);
    EXPECT_EQ(connection->getLastError(), "SSL connection closed");
    char buffer[8];
    EXPECT_EQ(connection->read(buffer, sizeof buffer), -1);
}

INSTANTIATE_TEST_SUITE_P(CloseNotify, OpenSSLConnectionPeerClose, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WithCloseNotify" : "WithoutCloseNotify"; });

}  // namespace
}  // namespace zorvik
