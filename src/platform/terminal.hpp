#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>

namespace quarlino::quil::platform {

// Writes the prompt to standard error and reads one line from standard input
// without echoing it when standard input is a terminal. The line end is
// dropped; a "\r" before it stays. The terminal is left as it was found on
// every way out, an interrupting signal included. Throws std::runtime_error
// "cannot read password" at the end of input before any character and when
// the input cannot be read at all.
std::string readSecret(std::string_view prompt);

// The same over explicit streams: `in` is read, and `inputFd` is the
// descriptor behind it whose echo is switched off when it is a terminal.
std::string readSecret(std::string_view prompt, std::istream& in, int inputFd, std::ostream& err);

}  // namespace quarlino::quil::platform
