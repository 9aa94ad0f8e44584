#pragma once

#include <span>

struct ssl_ctx_st;

namespace zorvik::detail {

// Gives a client context the system's trust: OpenSSL's default verify paths
// (certificate file, hashed directory, store) and the first of the bundle
// files that loads. The trust is the same as loading all of it up front, but
// the files are parsed one at a time, in that order, and only while a chain
// finds no current issuer in the directory, the store and the files parsed
// before, each at most once per context: parsing a system bundle costs tens
// of milliseconds, looking up one hashed certificate well under one.
// Returns false when the default paths could not be installed.
bool installSystemTrust(ssl_ctx_st* context, std::span<const char* const> bundleFiles);

}  // namespace zorvik::detail
