#pragma once

#include <string>
#include <string_view>

namespace quarlino::quil::cli {

// What human output does with line feeds and tabs.
enum class LineBreaks {
    Keep,      // messages and error lines: their own line structure stays
    FreeText,  // text typed in a web form (a description): as Keep, and a CR LF pair ends a line too
    Show,      // table cells: one record is one row
};

// Text from the platform made safe for a terminal: C0 controls and DEL show
// in caret notation ("^[" for ESC, "^M" for CR, "^?" for DEL), C1 controls
// (U+0080 to U+009F) as "\u009b" and the like, the bidirectional embeddings,
// overrides and isolates (U+202A to U+202E, U+2066 to U+2069), which would
// reorder what the terminal shows, as "\u202e" and the like, and a byte of
// 0x80 to 0x9F outside any UTF-8 sequence as "\x9b". Every other character,
// multi-byte ones included, is kept byte for byte.
std::string visibleText(std::string_view text, LineBreaks lineBreaks);

}  // namespace quarlino::quil::cli
