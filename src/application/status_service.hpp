#pragma once

#include "application/port/http_transport.hpp"

namespace quarlino::quil::application {

// Asks a platform server whether it answers at all. The caller judges the
// status; this service only reports it.
class StatusService {
public:
    // The transport must outlive the service.
    explicit StatusService(port::HttpTransport& transport) : transport_(transport) {}

    // The HTTP status of GET "/", 0 when no answer was obtained. Exceptions of
    // the transport pass through.
    int check();

private:
    port::HttpTransport& transport_;
};

}  // namespace quarlino::quil::application
