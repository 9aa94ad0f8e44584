#pragma once

#include <string_view>

namespace quarlino::quil::application {

// The one place the program's version is written: the version command prints
// it and the update check compares releases against it.
inline constexpr std::string_view programVersion = "0.1.0";

}  // namespace quarlino::quil::application
