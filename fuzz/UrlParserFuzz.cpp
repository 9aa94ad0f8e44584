// Builds requests from arbitrary URLs and route parameters. A URL either
// fails with an exception or gives a host without ':' or '/' and a path that
// begins with '/'; any request text that gets built keeps its head to the
// lines the writer put there.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

#include "zorvik/HttpClientBase.hpp"
#include "zorvik/HttpRequest.hpp"

namespace {

using zorvik::HttpClientBase;
using zorvik::HttpMethod;
using zorvik::HttpRequest;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void checkRequestText(const HttpRequest& request) {
    std::string text;
    try {
        text = HttpClientBase::buildHttpRequest(request);
    } catch (const std::invalid_argument&) {
        return;
    }
    const std::size_t headEnd = text.find("\r\n\r\n");
    require(headEnd != std::string::npos);
    const std::string head = text.substr(0, headEnd + 2);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < head.size(); ++i) {
        require(head[i] != '\0');
        require(head[i] != '\r' || (i + 1 < head.size() && head[i + 1] == '\n'));
        require(head[i] != '\n' || (i > 0 && head[i - 1] == '\r'));
        lines += head[i] == '\n' ? 1 : 0;
    }
    // Request line, one Host line (the caller's own, or the built-in one),
    // keep-alive and one line per other header.
    const bool callerHost = HttpClientBase::hasHeaderIgnoreCase(request.headers, "Host");
    require(lines == 3 + request.headers.size() - (callerHost ? 1 : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The first line is the URL, the rest a route parameter value.
    const std::size_t split = input.find('\n');
    const std::string url = input.substr(0, split);
    const std::string value = split == std::string::npos ? std::string() : input.substr(split + 1);

    std::optional<HttpRequest> parsed;
    try {
        parsed.emplace(HttpMethod::GET, url);
    } catch (const std::exception&) {
        return 0;
    }
    HttpRequest& request = *parsed;
    require(!request.host.empty());
    require(request.host.find_first_of(":/") == std::string::npos);
    require(!request.path.empty() && request.path.front() == '/');
    checkRequestText(request);

    // Each setter either refuses the value or leaves a request whose text is sound.
    const auto attempt = [&request](auto&& change) {
        try {
            change();
        } catch (const std::exception&) {
        }
        checkRequestText(request);
    };
    attempt([&] { request.setHeader("X-Value", value); });
    attempt([&] { request.setHeader("host", value); });
    attempt([&] { request.addQueryString("q", value, true); });
    attempt([&] { request.addQueryString("raw", value, false); });
    attempt([&] { request.setRouteParam("id", value); });
    return 0;
}
