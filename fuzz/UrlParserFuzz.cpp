// Builds requests from arbitrary URLs and route parameters. A URL either
// fails with an exception or gives a host without ':' or '/', a port from 1
// to 65535 and a path that begins with '/'; any request text that gets built
// keeps its head to the lines the writer put there.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "FuzzChecks.hpp"
#include "zorvik/HttpRequest.hpp"

using fuzzcheck::checkRequestText;
using fuzzcheck::require;
using zorvik::HttpMethod;
using zorvik::HttpRequest;

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
    require(request.port >= 1 && request.port <= 65535);
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
