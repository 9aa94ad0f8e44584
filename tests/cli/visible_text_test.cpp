#include "cli/visible_text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quarlino::quil::cli {
namespace {

struct VisibleCase {
    std::string name;
    std::string text;
    std::string kept;   // LineBreaks::Keep
    std::string shown;  // LineBreaks::Show
};

void PrintTo(const VisibleCase& test, std::ostream* out) { *out << test.name; }

class VisibleTextTest : public testing::TestWithParam<VisibleCase> {};

TEST_P(VisibleTextTest, ShowsControlsAndKeepsEverythingElse) {
    EXPECT_EQ(visibleText(GetParam().text, LineBreaks::Keep), GetParam().kept);
    EXPECT_EQ(visibleText(GetParam().text, LineBreaks::Show), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VisibleTextTest,
    testing::Values(
        VisibleCase{"PlainText", "ws-1 Team ~{}^", "ws-1 Team ~{}^", "ws-1 Team ~{}^"},
        VisibleCase{"WindowTitle", "\x1B]0;pwned\x07", "^[]0;pwned^G", "^[]0;pwned^G"},
        VisibleCase{"ClearScreen", "\x1B[2J", "^[[2J", "^[[2J"},
        VisibleCase{"LineBreaksAndTabs", "a\r\nb\tc", "a^M\nb\tc", "a^M^Jb^Ic"},
        VisibleCase{"NulAndDel", std::string("\0x\x7F", 3), "^@x^?", "^@x^?"},
        VisibleCase{"C1Controls", "\xC2\x80\xC2\x85\xC2\x9B\xC2\x9F", "\\u0080\\u0085\\u009b\\u009f",
                    "\\u0080\\u0085\\u009b\\u009f"},
        // Continuation bytes 0x80 to 0x9F inside these characters are no controls.
        VisibleCase{"MultiByteCharacters", "caf\xC3\xA9 \xC2\xA0 \xE2\x9C\x93 \xF0\x9F\x98\x80",
                    "caf\xC3\xA9 \xC2\xA0 \xE2\x9C\x93 \xF0\x9F\x98\x80",
                    "caf\xC3\xA9 \xC2\xA0 \xE2\x9C\x93 \xF0\x9F\x98\x80"},
        // Every embedding, override and isolate; their neighbours U+2029,
        // U+202F, U+2065, U+206A and U+20AE are ordinary characters.
        VisibleCase{"BidiControls",
                    "\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x80\xAE"
                    "\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9",
                    "\\u202a\\u202b\\u202c\\u202d\\u202e\\u2066\\u2067\\u2068\\u2069",
                    "\\u202a\\u202b\\u202c\\u202d\\u202e\\u2066\\u2067\\u2068\\u2069"},
        VisibleCase{"NearBidiKept", "\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA\xE2\x82\xAE",
                    "\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA\xE2\x82\xAE",
                    "\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA\xE2\x82\xAE"},
        VisibleCase{"StrayC1Bytes", "a\x9B" "b\xE2\x9C", "a\\x9bb\xE2\\x9c", "a\\x9bb\xE2\\x9c"},
        VisibleCase{"OtherStrayBytesKept", "\xC3(\xFF", "\xC3(\xFF", "\xC3(\xFF"}),
    [](const testing::TestParamInfo<VisibleCase>& info) { return info.param.name; });

}  // namespace
}  // namespace quarlino::quil::cli
