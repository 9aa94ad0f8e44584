// Checks shared by the fuzz targets: a failed check aborts, which libFuzzer
// reports as a finding with the input that caused it.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "zorvik/HttpClientBase.hpp"
#include "zorvik/HttpRequest.hpp"

namespace fuzzcheck {

inline void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Writes the request and checks that its head holds only the lines the
// writer puts there, and that a written Content-Length matches the body.
// Returns false when the writer refuses the request.
inline bool checkRequestText(const zorvik::HttpRequest& request) {
    using zorvik::HttpClientBase;
    std::string text;
    try {
        text = HttpClientBase::buildHttpRequest(request);
    } catch (const std::invalid_argument&) {
        return false;
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
    // keep-alive unless the caller set Connection, one line per header not named Host,
    // and a length for a body unless the caller set one.
    std::size_t hostHeaders = 0;
    for (const auto& [name, value] : request.headers) {
        hostHeaders += HttpClientBase::toLowerCopy(name) == "host" ? 1 : 0;
    }
    const bool callerConnection = HttpClientBase::hasHeaderIgnoreCase(request.headers, "Connection");
    const bool callerLength = HttpClientBase::hasHeaderIgnoreCase(request.headers, "Content-Length");
    const bool writtenLength = !request.body.empty() && !callerLength;
    require(lines == 2 + (callerConnection ? 0 : 1) + request.headers.size() - hostHeaders +
                         (writtenLength ? 1 : 0));
    require(text.size() == headEnd + 4 + request.body.size());
    require(text.compare(headEnd + 4, std::string::npos, request.body) == 0);
    if (writtenLength) {
        const std::string line = "\r\nContent-Length: " + std::to_string(request.body.size()) + "\r\n";
        require(head.find(line) != std::string::npos);
    }
    return true;
}

}  // namespace fuzzcheck
