#pragma once

#include <optional>
#include <string>

namespace quarlino::quil::infrastructure::config {

// The whole file, read through a close-on-exec descriptor so that a program
// started meanwhile (the browser) cannot inherit it; nullopt when the file
// cannot be opened or read (a directory, for one).
std::optional<std::string> readFileText(const std::string& path);

}  // namespace quarlino::quil::infrastructure::config
