// Framing and parsing of whole responses as the reactor does them: one
// framer pass over the read buffer, then the parse of the framed text.
#include "zorvik/detail/ResponseFramer.hpp"
#include "zorvik/detail/ResponseParser.hpp"

#include <benchmark/benchmark.h>
#include <string>

namespace {

constexpr const char* kHead =
    "HTTP/1.1 200 OK\r\n"
    "Server: nginx/1.22.1\r\n"
    "Date: Wed, 09 Dec 2026 00:00:00 GMT\r\n"
    "Content-Type: application/json\r\n"
    "Last-Modified: Tue, 08 Dec 2026 23:00:00 GMT\r\n"
    "Connection: keep-alive\r\n"
    "ETag: \"6756a1b0-43c\"\r\n"
    "Cache-Control: no-cache\r\n"
    "X-Request-Id: 8a1f0c52-7d3e-4b61-9f1e-2c6d0e4b7a90\r\n"
    "Accept-Ranges: bytes\r\n";

std::string body() { return std::string(1084, 'j'); }

std::string lengthDelimited() {
    const std::string text = body();
    return std::string(kHead) + "Content-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text;
}

std::string chunked() {
    const std::string text = body();
    std::string message = std::string(kHead) + "Transfer-Encoding: chunked\r\n\r\n";
    for (std::size_t at = 0; at < text.size(); at += 256) {
        const std::string piece = text.substr(at, 256);
        char size[16];
        std::snprintf(size, sizeof(size), "%zx\r\n", piece.size());
        message += size + piece + "\r\n";
    }
    return message + "0\r\n\r\n";
}

void frameAndParse(benchmark::State& state, const std::string& message) {
    for (auto _ : state) {
        zorvik::detail::ResponseFramer framer;
        zorvik::detail::ResponseFrame frame;
        if (!framer.tryExtract(message, false, false, frame)) {
            state.SkipWithError("not framed");
            break;
        }
        auto response = zorvik::detail::parseHttpResponse(std::string_view(message).substr(0, frame.length));
        benchmark::DoNotOptimize(response);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message.size()));
}

void BM_FrameAndParseLengthDelimited(benchmark::State& state) { frameAndParse(state, lengthDelimited()); }
BENCHMARK(BM_FrameAndParseLengthDelimited);

void BM_FrameAndParseChunked(benchmark::State& state) { frameAndParse(state, chunked()); }
BENCHMARK(BM_FrameAndParseChunked);

void BM_FrameOnly(benchmark::State& state) {
    const std::string message = lengthDelimited();
    for (auto _ : state) {
        zorvik::detail::ResponseFramer framer;
        zorvik::detail::ResponseFrame frame;
        benchmark::DoNotOptimize(framer.tryExtract(message, false, false, frame));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message.size()));
}
BENCHMARK(BM_FrameOnly);

}  // namespace

BENCHMARK_MAIN();
