#include "application/percent_encoding.hpp"

namespace quarlino::quil::application {

namespace {

// Explicit ranges rather than <cctype>, whose answers follow the user's locale.
bool isUnreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

// What a browser leaves as it is in a fragment: printable ASCII but for the
// space, '"', '<', '>' and '`'.
bool isFragmentText(unsigned char byte) {
    return byte > 0x20 && byte < 0x7F && byte != '"' && byte != '<' && byte != '>' && byte != '`';
}

template <typename KeepsByte>
std::string percentEncodeExcept(std::string_view value, KeepsByte keeps) {
    static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size());
    for (const char character : value) {
        const auto byte = static_cast<unsigned char>(character);
        if (keeps(byte)) {
            encoded.push_back(character);
            continue;
        }
        encoded.push_back('%');
        encoded.push_back(kHexDigits[byte >> 4]);
        encoded.push_back(kHexDigits[byte & 0x0F]);
    }
    return encoded;
}

}  // namespace

std::string percentEncode(std::string_view value) { return percentEncodeExcept(value, isUnreserved); }

std::string percentEncodeFragment(std::string_view value) { return percentEncodeExcept(value, isFragmentText); }

}  // namespace quarlino::quil::application
