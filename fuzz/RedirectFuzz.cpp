// Follows a fuzzer-chosen Location from a fuzzer-chosen request. The next
// request either fails to build with an exception or has a sound host and
// path, the method and body the redirect status allows, credentials only to
// the same origin, and a head the writer keeps to its own lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "FuzzChecks.hpp"
#include "zorvik/HttpClientBase.hpp"
#include "zorvik/HttpRequest.hpp"
#include "zorvik/HttpResponse.hpp"
#include "zorvik/detail/RedirectRequest.hpp"

namespace {

using fuzzcheck::require;
using zorvik::HttpClientBase;
using zorvik::HttpMethod;
using zorvik::HttpRequest;
using zorvik::HttpResponse;

constexpr std::array<int, 6> kStatuses = {300, 301, 302, 303, 307, 308};
constexpr std::array<const char*, 6> kHeaderNames = {"Authorization", "cookie",       "Proxy-Authorization",
                                                     "Host",          "Content-Length", "X-Trace"};

bool sameOrigin(const HttpRequest& a, const HttpRequest& b) {
    return a.useSSL == b.useSSL && a.port == b.port &&
           HttpClientBase::toLowerCopy(a.host) == HttpClientBase::toLowerCopy(b.host);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto method = static_cast<HttpMethod>(in.ConsumeIntegralInRange<std::uint32_t>(0, 6));
    const int status = in.PickValueInArray(kStatuses);
    std::optional<HttpRequest> previous;
    try {
        previous.emplace(method, in.ConsumeRandomLengthString(64));
    } catch (const std::exception&) {
        return 0;
    }
    for (const char* name : kHeaderNames) {
        if (in.ConsumeBool()) {
            previous->headers[name] = "v";
        }
    }
    previous->body = in.ConsumeRandomLengthString(16);
    const std::string location = in.ConsumeRemainingBytesAsString();
    const HttpResponse response(status, "Moved", {{"Location", location}}, "");

    std::optional<HttpRequest> next;
    try {
        next.emplace(zorvik::detail::buildRedirectRequest(*previous, response));
    } catch (const std::exception&) {
        return 0;
    }
    require(!next->host.empty());
    require(next->host.find_first_of(":/") == std::string::npos);
    require(!next->path.empty() && next->path.front() == '/');

    const bool rewrites = (status == 301 || status == 302 || status == 303) && method != HttpMethod::HEAD;
    require(next->method == (rewrites ? HttpMethod::GET : method));
    const bool carriesBody = next->method != HttpMethod::GET && next->method != HttpMethod::HEAD;
    require(next->body == (carriesBody ? previous->body : std::string()));

    const bool keepCredentials = sameOrigin(*previous, *next);
    for (const auto& [name, value] : next->headers) {
        const std::string lower = HttpClientBase::toLowerCopy(name);
        require(lower != "host" && lower != "content-length");
        if (lower == "authorization" || lower == "proxy-authorization" || lower == "cookie") {
            require(keepCredentials);
        }
    }
    fuzzcheck::checkRequestText(*next);
    return 0;
}
