#pragma once

#include <string>
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
// The same for a buffer holding exactly one framed response, which is left
// empty: a large body is taken out of it (de-chunked in place) instead of
// copied, so that a response never costs twice its size.
HttpResponse takeHttpResponse(std::string& buffer);

}  // namespace zorvik::detail
