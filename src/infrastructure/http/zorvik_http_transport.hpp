#pragma once

#include <chrono>
#include <memory>

#include "application/port/http_transport.hpp"
#include "config/client_config.hpp"

namespace quarlino::quil::infrastructure::http {

// A request timeout in the milliseconds the library takes; std::invalid_argument
// "request timeout exceeds the Zorvik supported range" beyond 2147483647 ms.
int zorvikTimeoutMilliseconds(std::chrono::seconds timeout);

// The program's one road into the HTTP library. Everything the platform
// expects on every request (identity headers, bearer token, timeout, TLS, no
// redirects) is fixed once at construction; send maps one port request onto
// one library request. Construction makes no network contact; the library's
// threads start with the first send and stop when the transport is destroyed.
class ZorvikHttpTransport : public application::port::HttpTransport {
public:
    explicit ZorvikHttpTransport(const quil::config::ClientConfig& config);
    ~ZorvikHttpTransport() override;
    ZorvikHttpTransport(const ZorvikHttpTransport&) = delete;
    ZorvikHttpTransport& operator=(const ZorvikHttpTransport&) = delete;

    // Throws std::invalid_argument for a path that is not server-relative or a
    // method outside GET to DELETE, before anything is sent. An exchange that
    // does not complete comes back as status 0.
    application::port::HttpResponse send(const application::port::HttpRequest& request) override;

private:
    class Implementation;
    std::unique_ptr<Implementation> implementation_;
};

}  // namespace quarlino::quil::infrastructure::http
