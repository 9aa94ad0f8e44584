#pragma once

#include <string>
#include <string_view>

namespace quarlino::quil::application {

// Percent-encodes every byte except ASCII letters, digits and "-._~", with
// upper-case hexadecimal digits, whatever the locale.
std::string percentEncode(std::string_view value);

}  // namespace quarlino::quil::application
