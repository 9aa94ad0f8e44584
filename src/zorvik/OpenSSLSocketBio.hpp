#pragma once

struct bio_st;

namespace zorvik::detail {

// A BIO over a socket that it does not own. Unlike OpenSSL's own socket BIO it
// writes with MSG_NOSIGNAL, so a peer that has gone away makes a TLS write fail
// instead of raising SIGPIPE in the host program. Returns null when OpenSSL
// cannot allocate it.
bio_st* newSocketBio(int fd);

}  // namespace zorvik::detail
