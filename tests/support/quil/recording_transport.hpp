#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "application/port/http_transport.hpp"

namespace testsupport::quil {

namespace port = quarlino::quil::application::port;

// "GET", "POST", ... for messages; "?" for a value outside the enumeration.
std::string_view methodName(port::HttpMethod method);

// A transport that answers from a script and records every request.
//
// Each scripted answer names the method and the full path (query included)
// it expects and answers once. A request is answered by the first unused
// answer with the same method and path; a request that none matches fails
// the running test and throws std::logic_error, so the code under test stops
// there. Answers still unused when the transport is destroyed fail the test.
class RecordingTransport final : public port::HttpTransport {
public:
    RecordingTransport();
    ~RecordingTransport() override;

    RecordingTransport(const RecordingTransport&) = delete;
    RecordingTransport& operator=(const RecordingTransport&) = delete;

    // Scripts an answer with this status, body and headers.
    RecordingTransport& expect(port::HttpMethod method, std::string path, int status, std::string body = {},
                               std::map<std::string, std::string> headers = {});
    // Scripts a request on which the transport throws std::runtime_error
    // with this message, as a broken connection would in a real transport.
    RecordingTransport& expectThrow(port::HttpMethod method, std::string path, std::string message);

    port::HttpResponse send(const port::HttpRequest& request) override;

    // Every request received, answered or not, in order.
    const std::vector<port::HttpRequest>& requests() const;
    // The only request received; fails the test unless there was exactly one.
    const port::HttpRequest& onlyRequest() const;
    std::size_t unusedAnswers() const;

    // A transport for code that takes ownership of one (a gateway factory):
    // it answers from this script and records here. It may outlive this
    // object; the check for unused answers happens when this one dies.
    std::unique_ptr<port::HttpTransport> share();

    struct Script;

private:
    std::shared_ptr<Script> script_;
};

}  // namespace testsupport::quil
