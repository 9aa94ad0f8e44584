#pragma once

#include <span>

struct ssl_ctx_st;

namespace zorvik::detail {

// Gives a client context the system's trust: OpenSSL's default verify paths
// (certificate file, hashed directory, store lookup) and the first of the
// bundle files that loads. The files are parsed one at a time, in that
// order, each at most once per context, and only while a chain finds no
// current issuer among the certificates already in the context's store, the
// directory and the store lookup: parsing a system bundle costs tens of
// milliseconds, looking up one hashed certificate well under one. A chain
// refused while files were left unparsed is verified once more with all of
// them, so that, as when loaded up front, a current certificate of a file
// comes before the directory's. So every chain that the trust loaded up
// front accepts is accepted. Beyond that, a chain may be accepted through a
// current certificate of the directory or the store lookup whose name a
// file also holds, where the trust loaded up front takes the file's copy (an
// expired one, or one certified by an authority nobody trusts) and refuses.
// Returns false when the default paths could not be installed.
bool installSystemTrust(ssl_ctx_st* context, std::span<const char* const> bundleFiles);

}  // namespace zorvik::detail
