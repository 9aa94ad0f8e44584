// Servers that break the rules of an exchange in ways a client must survive
// without spinning, hanging or reaching a service it was not sent to.
#include "ClientTestSupport.hpp"
#include "support/net/LoopbackServer.hpp"
#include "support/net/OneConnectionServer.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::OneConnectionServer;
using testsupport::net::readRequestHead;
using testsupport::net::sendAll;

constexpr int kWaitLimitMs = 10000;

// Reads everything the peer still sends; true once it ends the connection,
// false when it falls silent for the limit without doing so.
bool peerHangsUp(int fd) {
    char buffer[65536];
    for (;;) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, kWaitLimitMs) <= 0) {
            return false;
        }
        if (::recv(fd, buffer, sizeof(buffer), 0) <= 0) {
            return true;
        }
    }
}

// Sends `block` again and again until `total` bytes went out or the peer
// stops taking them.
void sendRepeated(int fd, std::string_view block, std::uint64_t total = UINT64_MAX) {
    for (std::uint64_t sent = 0; sent < total; sent += block.size()) {
        if (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) <= 0) {
            return;
        }
    }
}

std::string manyLines(std::size_t count) {
    constexpr std::string_view line = "X-Field: value\r\n";
    std::string lines;
    lines.reserve(count * line.size());
    for (std::size_t i = 0; i < count; ++i) {
        lines.append(line);
    }
    return lines;
}

// What the process holds resident, in KiB: "VmRSS" now or "VmHWM" at its peak.
std::size_t residentKib(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stoul(line.substr(field.size() + 1));
        }
    }
    return 0;
}

void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Sanitizers keep freed memory in quarantine and shadow what is used, and
// copy so slowly that the limit shrinks to keep the rows within their deadline.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kMemoryScale = 3;
constexpr std::uint64_t kResponseLimit = std::uint64_t{32} << 20;
#else
constexpr std::size_t kMemoryScale = 1;
constexpr std::uint64_t kResponseLimit = std::uint64_t{256} << 20;  // what quil allows
#endif
const std::string kBlock(64 * 1024, 'x');

struct Attack {
    std::string name;
    std::function<void(int fd)> send;  // after the request head was read
    std::string statusText;
    std::size_t peakMib;  // most the process may grow resident (the server's own text included)

    friend void PrintTo(const Attack& attack, std::ostream* out) { *out << attack.name; }
};

std::vector<Attack> attacks() {
    const std::string fieldTooMany = "Failed to parse HTTP response: Response head has more than 500 fields";
    const std::string headTooLarge = "Failed to parse HTTP response: Response head exceeds 262144 bytes";
    const std::string bodyTooLarge = "Response exceeds configured body limit";
    return {
        // A length past the limit fails before the body is read.
        {"GibibyteBodyAtFullSpeed",
         [](int fd) {
             sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\n");
             sendRepeated(fd, kBlock, std::uint64_t{1} << 30);
         },
         bodyTooLarge, 16},
        {"EndlessChunkedBody",
         [](int fd) {
             sendAll(fd, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
             sendRepeated(fd, "10000\r\n" + kBlock + "\r\n");
         },
         bodyTooLarge, 320},
        {"EndlessHeaderLine",
         [](int fd) {
             sendAll(fd, "HTTP/1.1 200 OK\r\nX-Endless: ");
             sendRepeated(fd, kBlock);
         },
         headTooLarge, 16},
        {"EndlessInterimHeads", [](int fd) { sendRepeated(fd, "HTTP/1.1 100 Continue\r\n\r\n"); },
         "Failed to parse HTTP response: More than 10 interim responses", 16},
        {"MillionHeaderLines",
         [](int fd) { sendAll(fd, "HTTP/1.1 200 OK\r\n" + manyLines(1000000) + "\r\n"); },
         headTooLarge, 64},
        {"FiveHundredAndOneFields",
         [](int fd) { sendAll(fd, "HTTP/1.1 200 OK\r\n" + manyLines(501) + "Content-Length: 0\r\n\r\n"); },
         fieldTooMany, 16},
    };
}

class HostileServerAttack : public ::testing::TestWithParam<Attack> {};

// Each attack fails the exchange with its status text, before its deadline
// and within its memory bound.
TEST_P(HostileServerAttack, FailsTheExchangeWithinBounds) {
    const Attack& attack = GetParam();
    OneConnectionServer server([&attack](int fd) {
        readRequestHead(fd);
        attack.send(fd);
    });
    ZorvikConfig config = *quietConfig();
    config.maxResponseBytes(kResponseLimit);
    auto client = std::make_shared<LinuxAsyncEpollClient>(config);
    resetPeakResident();
    const std::size_t before = residentKib("VmRSS");

    const auto response = client->execute(makeRequest(HttpMethod::GET, server.url(), 1000 * kPatience.count()));

    const std::size_t growthMib = (residentKib("VmHWM") - std::min(before, residentKib("VmHWM"))) / 1024;
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage, attack.statusText);
    EXPECT_LE(growthMib, attack.peakMib * kMemoryScale);
}

INSTANTIATE_TEST_SUITE_P(Attacks, HostileServerAttack, ::testing::ValuesIn(attacks()),
                         [](const auto& info) { return info.param.name; });

class HostileServer : public BothBackends<> {};
INSTANTIATE_TEST_SUITE_P(Backends, HostileServer, kReactorBackends, BackendCaseName());

TEST_P(HostileServer, AnswerBeforeTheWholeBodyIsSentEndsTheConnection) {
    // A body far larger than the socket buffers: the server answers after the
    // head. Kept, the connection would wait to write the rest to a server that
    // need not read it, and meanwhile a byte from the server would wake the
    // reactor again and again without being read. The server reads nothing
    // more until the client has its answer, so the body cannot have gone out
    // whole by then; it then drains what is under way and expects the end of
    // the stream.
    std::promise<void> answered;
    auto answerSeen = answered.get_future();
    std::promise<bool> hungUp;
    auto hangUpSeen = hungUp.get_future();
    OneConnectionServer server([&answerSeen, &hungUp](int fd) {
        readRequestHead(fd);
        sendAll(fd, "HTTP/1.1 413 Payload Too Large\r\nContent-Length: 0\r\n\r\n");
        if (answerSeen.wait_for(std::chrono::milliseconds(kWaitLimitMs)) != std::future_status::ready) {
            hungUp.set_value(false);
            return;
        }
        hungUp.set_value(peerHangsUp(fd));
    });
    auto request = makeRequest(HttpMethod::POST, server.url());
    request.setBody(std::string(std::size_t{16} << 20, 'x'));
    EXPECT_EQ(client->execute(request).statusCode, 413);
    answered.set_value();
    // The client is still alive: only the connection may have been given up.
    EXPECT_TRUE(hangUpSeen.get());
}

TEST_P(HostileServer, PortBeyondSixteenBitsReachesNoServer) {
    // 65536 + p must not be taken as p. No such URL parses, but the field is
    // the caller's to set.
    LoopbackServer server;
    HttpRequest request = makeRequest(HttpMethod::GET, server.url());
    request.port = 65536 + server.port();
    const auto response = client->execute(request);
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(server.acceptCount(), 0u);
}

}  // namespace
}  // namespace zorvik::testing
