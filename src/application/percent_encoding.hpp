#pragma once

#include <string>
#include <string_view>

namespace quarlino::quil::application {

// Percent-encodes every byte except ASCII letters, digits and "-._~", with
// upper-case hexadecimal digits, whatever the locale.
std::string percentEncode(std::string_view value);

// Percent-encodes, as percentEncode does, only the bytes that a browser
// escapes itself in a URL's fragment: C0 controls, space, '"', '<', '>', '`',
// DEL and every byte from 0x80. Other printable ASCII, '%' included, stays
// as it is.
std::string percentEncodeFragment(std::string_view value);

}  // namespace quarlino::quil::application
