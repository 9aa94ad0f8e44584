#pragma once

#include <array>
#include <csignal>

namespace quarlino::quil::platform {

// Past `ulimit -f` a write must fail with its error, so that a configuration
// write reports it and removes its temporary file, rather than the signal
// killing the program silently. Programs the process starts get these back
// at their default disposition.
inline constexpr std::array<int, 1> ignoredSignals{SIGXFSZ};

// Opens /dev/null on each of descriptors 0, 1 and 2 that the process was
// started without, before anything else opens a descriptor: otherwise the
// first socket or file opened takes that number, and a prompt or a result
// written to the standard stream lands in it. Standard input gets a
// write-only descriptor and standard output and error read-only ones, so that
// using them still fails as on the closed ones.
void claimStandardDescriptors();

// Ignores every signal of ignoredSignals.
void ignoreProgramSignals();

}  // namespace quarlino::quil::platform
