#include "cli/visible_text.hpp"

#include <cstddef>

namespace quarlino::quil::cli {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

bool isContinuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

// Length of the UTF-8 sequence that starts at `at`, or 0 when no well-formed
// lead and continuation bytes start there.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4                               ? 4
                                                                                             : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (std::size_t index = at + 1; index < at + length; ++index) {
        if (!isContinuation(static_cast<unsigned char>(text[index]))) {
            return 0;
        }
    }
    return length;
}

void appendHex(std::string& out, std::string_view prefix, unsigned char value) {
    out += prefix;
    out += kHexDigits[value >> 4];
    out += kHexDigits[value & 0x0F];
}

// U+202A to U+202E and U+2066 to U+2069, which reorder the text around them
// on the screen, as the low byte of their code point; 0 for anything else.
unsigned char bidiControl(std::string_view sequence) {
    if (sequence.size() != 3 || static_cast<unsigned char>(sequence[0]) != 0xE2) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(sequence[1]);
    const auto third = static_cast<unsigned char>(sequence[2]);
    const bool embeddingOrOverride = second == 0x80 && third >= 0xAA && third <= 0xAE;
    const bool isolate = second == 0x81 && third >= 0xA6 && third <= 0xA9;
    return embeddingOrOverride || isolate ? static_cast<unsigned char>(((second & 0x03) << 6) | (third & 0x3F)) : 0;
}

// A line feed or a tab; in free text also a carriage return with the line
// feed after it, which cannot rewrite what the line shows.
bool isLineStructure(std::string_view text, std::size_t at, LineBreaks lineBreaks) {
    const char byte = text[at];
    if (lineBreaks == LineBreaks::Show) {
        return false;
    }
    return byte == '\n' || byte == '\t' ||
           (lineBreaks == LineBreaks::FreeText && byte == '\r' && at + 1 < text.size() && text[at + 1] == '\n');
}

}  // namespace

std::string visibleText(std::string_view text, LineBreaks lineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x20 || byte == 0x7F) {
            if (isLineStructure(text, at, lineBreaks)) {
                out += static_cast<char>(byte);
            } else {
                out += '^';
                out += static_cast<char>(byte ^ 0x40);
            }
            ++at;
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++at;
        } else if (const std::size_t length = sequenceLength(text, at); length > 0) {
            const auto second = static_cast<unsigned char>(text[at + 1]);
            if (byte == 0xC2 && second <= 0x9F) {
                appendHex(out, "\\u00", second);
            } else if (const unsigned char bidi = bidiControl(text.substr(at, length)); bidi != 0) {
                appendHex(out, "\\u20", bidi);
            } else {
                out.append(text.substr(at, length));
            }
            at += length;
        } else {
            if (byte <= 0x9F) {
                appendHex(out, "\\x", byte);
            } else {
                out += static_cast<char>(byte);
            }
            ++at;
        }
    }
    return out;
}

}  // namespace quarlino::quil::cli
