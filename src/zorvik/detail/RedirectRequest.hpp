#pragma once

#include "zorvik/HttpRequest.hpp"
#include "zorvik/HttpResponse.hpp"

namespace zorvik::detail {

// The request that follows `previous` to the Location of `response`.
// 301, 302 and 303 turn every method but HEAD into GET, and the body goes
// along only when the new method may carry one. Credentials (Authorization,
// Proxy-Authorization, Cookie) go along only to the same scheme, host and
// port. Throws what the request's URL parsing throws.
HttpRequest buildRedirectRequest(const HttpRequest& previous, const HttpResponse& response);

}  // namespace zorvik::detail
