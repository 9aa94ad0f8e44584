#include "support/quil/fake_platform.hpp"

#include "support/net/LoopbackServer.hpp"
#include "support/net/TestCertificates.hpp"
#include "support/net/TlsLoopbackServer.hpp"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

namespace testsupport::quil {
namespace {

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 412: return "Precondition Failed";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

std::string gzipped(const std::string& body) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    if (compressor == nullptr) {
        throw std::runtime_error("fake platform: cannot allocate a gzip compressor");
    }
    std::string out(libdeflate_gzip_compress_bound(compressor, body.size()), '\0');
    const std::size_t size = libdeflate_gzip_compress(compressor, body.data(), body.size(), out.data(), out.size());
    libdeflate_free_compressor(compressor);
    if (size == 0) {
        throw std::runtime_error("fake platform: gzip compression failed");
    }
    out.resize(size);
    return out;
}

std::string chunkedBody(const std::string& body, std::size_t chunkSize) {
    std::ostringstream out;
    for (std::size_t pos = 0; pos < body.size(); pos += chunkSize) {
        const auto piece = body.substr(pos, chunkSize);
        out << std::hex << piece.size() << "\r\n" << piece << "\r\n";
    }
    out << "0\r\n\r\n";
    return out.str();
}

std::string unexpectedReply(const std::string& line) {
    StubReply reply;
    reply.status = 500;
    reply.body = nlohmann::json{{"message", "fake platform: unexpected request " + line}}.dump();
    reply.headers = {{"Content-Type", "application/json"}};
    return renderReply(reply);
}

}  // namespace

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoreCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

std::size_t RecordedRequest::headerCount(const std::string& name) const {
    return static_cast<std::size_t>(std::count_if(
        headers.begin(), headers.end(), [&](const auto& entry) { return equalsIgnoreCase(entry.first, name); }));
}

std::string RecordedRequest::line() const {
    return method + " " + target;
}

RecordedRequest parseRequest(const std::string& raw) {
    RecordedRequest request;
    const auto headEnd = raw.find("\r\n\r\n");
    const auto head = raw.substr(0, headEnd);
    std::istringstream lines(head);
    std::string line;
    std::getline(lines, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    std::istringstream first(line);
    first >> request.method >> request.target;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        auto value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        request.headers.emplace_back(line.substr(0, colon), value);
    }
    if (headEnd != std::string::npos) {
        request.body = raw.substr(headEnd + 4);
    }
    return request;
}

std::string renderReply(const StubReply& reply) {
    const std::string body = reply.gzip ? gzipped(reply.body) : reply.body;
    std::ostringstream out;
    out << "HTTP/1.1 " << reply.status << ' ' << reasonPhrase(reply.status) << "\r\n";
    for (const auto& [name, value] : reply.headers) {
        out << name << ": " << value << "\r\n";
    }
    if (reply.gzip) {
        out << "Content-Encoding: gzip\r\n";
    }
    if (reply.chunkSize > 0) {
        out << "Transfer-Encoding: chunked\r\n\r\n" << chunkedBody(body, reply.chunkSize);
    } else {
        out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
    }
    return out.str();
}

template <typename Change>
Stub& Stub::change(Change&& change) {
    const std::lock_guard lock(platform_->mutex_);
    change(platform_->stubs_.at(index_));
    return *this;
}

Stub& Stub::respond(int status, std::string body, HeaderPairs headers) {
    return change([&](FakePlatform::Entry& entry) {
        entry.reply.status = status;
        entry.reply.body = std::move(body);
        for (auto& header : headers) {
            entry.reply.headers.push_back(std::move(header));
        }
    });
}

Stub& Stub::header(std::string name, std::string value) {
    return change([&](FakePlatform::Entry& entry) { entry.reply.headers.emplace_back(std::move(name), std::move(value)); });
}

Stub& Stub::times(std::size_t count) {
    return change([&](FakePlatform::Entry& entry) { entry.expected = count; });
}

Stub& Stub::anyTimes() {
    return change([](FakePlatform::Entry& entry) { entry.unlimited = true; });
}

Stub& Stub::chunked(std::size_t chunkSize) {
    return change([&](FakePlatform::Entry& entry) { entry.reply.chunkSize = std::max<std::size_t>(chunkSize, 1); });
}

Stub& Stub::gzip() {
    return change([](FakePlatform::Entry& entry) { entry.reply.gzip = true; });
}

Stub& Stub::delay(std::chrono::milliseconds delay) {
    return change([&](FakePlatform::Entry& entry) { entry.reply.delay = delay; });
}

Stub& Stub::stall() {
    return change([](FakePlatform::Entry& entry) { entry.reply.stall = true; });
}

Stub& Stub::closeAfter() {
    return change([](FakePlatform::Entry& entry) { entry.reply.closeAfter = true; });
}

Stub& Stub::holdUntil(std::shared_future<void> release) {
    return change([&](FakePlatform::Entry& entry) { entry.reply.release = std::move(release); });
}

FakePlatform::FakePlatform() : FakePlatform(Options{}) {}

FakePlatform::FakePlatform(Options options) {
    if (options.tls) {
        tlsServer_ = std::make_unique<net::TlsLoopbackServer>();
        server_ = &tlsServer_->http();
        scheme_ = "https";
    } else {
        plainServer_ = std::make_unique<net::LoopbackServer>();
        server_ = plainServer_.get();
        scheme_ = "http";
    }
    server_->setHandler([this](const std::string& raw) {
        StubReply reply;
        net::Reply out;
        out.bytes = answer(raw, reply);
        if (reply.release.valid()) {
            reply.release.wait();
        }
        out.delay = reply.delay;
        out.stall = reply.stall;
        out.closeAfter = reply.closeAfter;
        return out;
    });
}

FakePlatform::~FakePlatform() {
    stop();
    if (!verified_) {
        verify();
    }
}

int FakePlatform::port() const {
    return server_->port();
}

std::string FakePlatform::url() const {
    return scheme_ + "://127.0.0.1:" + std::to_string(port());
}

std::string FakePlatform::caFile() {
    return net::TestCertificates::shared().caFile();
}

Stub FakePlatform::expect(std::string method, std::string target) {
    const std::lock_guard lock(mutex_);
    stubs_.push_back(Entry{std::move(method), std::move(target), StubReply{}, 1, false, 0});
    return Stub(*this, stubs_.size() - 1);
}

std::string FakePlatform::answer(const std::string& rawRequest, StubReply& reply) {
    RecordedRequest request = parseRequest(rawRequest);
    const std::lock_guard lock(mutex_);
    requests_.push_back(request);
    const auto stub = std::find_if(stubs_.begin(), stubs_.end(), [&](const Entry& entry) {
        return (entry.unlimited || entry.used < entry.expected) && entry.method == request.method && entry.target == request.target;
    });
    if (stub == stubs_.end()) {
        unexpected_.push_back(request.line());
        return unexpectedReply(request.line());
    }
    ++stub->used;
    reply = stub->reply;
    return renderReply(reply);
}

std::vector<RecordedRequest> FakePlatform::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::string FakePlatform::strayBytes() const {
    return server_->strayBytes();
}

std::vector<std::string> FakePlatform::unexpected() const {
    const std::lock_guard lock(mutex_);
    return unexpected_;
}

std::vector<std::string> FakePlatform::problems() const {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> result;
    for (const auto& line : unexpected_) {
        result.push_back("unexpected request: " + line);
    }
    for (const auto& stub : stubs_) {
        if (!stub.unlimited && stub.used < stub.expected) {
            result.push_back("stub left unused: " + stub.method + " " + stub.target + " (answered " +
                             std::to_string(stub.used) + " of " + std::to_string(stub.expected) + ")");
        }
    }
    return result;
}

void FakePlatform::verify() {
    verified_ = true;
    for (const auto& problem : problems()) {
        ADD_FAILURE() << "fake platform: " << problem;
    }
}

void FakePlatform::stop() {
    server_->stop();
}

std::vector<std::string> FakePlatform::finish() {
    stop();
    verified_ = true;
    return problems();
}

}  // namespace testsupport::quil
