#pragma once

#include <string_view>

#include "zorvik/HttpResponse.hpp"

namespace zorvik::detail {

// The response for the text of one framed response. Interim 1xx heads (other
// than 101) in front of the answer are skipped; header names stay as sent; a
// chunked body is de-chunked and its trailers dropped. Text without a head
// gives status 0 ("Empty response", "Invalid response format"); a head whose
// framing is unusable (bad Content-Length, bad chunk size or chunk framing)
// throws std::runtime_error with the reason.
HttpResponse parseHttpResponse(std::string_view text);

}  // namespace zorvik::detail
