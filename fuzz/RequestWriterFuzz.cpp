// Builds requests of every method with fuzzer-chosen headers and bodies and
// writes them. The writer either refuses the request or writes a head with
// only its own line breaks and a Content-Length equal to the body size.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "FuzzChecks.hpp"
#include "zorvik/HttpRequest.hpp"

namespace {

using zorvik::HttpMethod;
using zorvik::HttpRequest;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto method = static_cast<HttpMethod>(in.ConsumeIntegralInRange<std::uint32_t>(0, 7));
    std::optional<HttpRequest> parsed;
    try {
        parsed.emplace(method, in.ConsumeRandomLengthString(64));
    } catch (const std::exception&) {
        return 0;
    }
    HttpRequest& request = *parsed;
    const std::size_t headerCount = in.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < headerCount; ++i) {
        const std::string name = in.ConsumeRandomLengthString(24);
        const std::string value = in.ConsumeRandomLengthString(48);
        try {
            if (in.ConsumeBool()) {
                request.setHeader(name, value);
            } else {
                // The fields are public: the writer must refuse what setters would.
                request.headers[name] = value;
            }
        } catch (const std::exception&) {
        }
    }
    if (in.ConsumeBool()) {
        request.setBody(in.ConsumeRandomLengthString(256));
    }
    if (in.ConsumeBool()) {
        request.path = in.ConsumeRandomLengthString(32);
    }
    fuzzcheck::checkRequestText(request);
    return 0;
}
