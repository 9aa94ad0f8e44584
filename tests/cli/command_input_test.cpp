#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "cli/command_helpers.hpp"
#include "cli/command_line.hpp"
#include "cli/expect_failure.hpp"
#include "support/quil/temporary_directory.hpp"

namespace quarlino::quil::cli {
namespace {

TEST(ReadLine, WritesThePromptAndReadsOneLineWithoutItsNewline) {
    std::istringstream in("first\r\nsecond\n");
    std::ostringstream out;
    EXPECT_EQ(readLine(in, out, "Name: "), "first\r");
    EXPECT_EQ(out.str(), "Name: ");
    EXPECT_EQ(readLine(in, out, ""), "second");
    EXPECT_EQ(out.str(), "Name: ");
}

TEST(ReadLine, AnEmptyLineAndAnUnterminatedLastLineAreAnswers) {
    std::istringstream in("\nlast");
    std::ostringstream out;
    EXPECT_EQ(readLine(in, out, "? "), "");
    EXPECT_EQ(readLine(in, out, "? "), "last");
    expectFailure<std::runtime_error>([&] { readLine(in, out, "? "); }, "cannot read command input");
}

TEST(ReadSecretFromStdin, DropsOneLineEndAndNothingElse) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", ""},
        {"token", "token"},
        {"token\n", "token"},
        {"token\r\n", "token"},
        {"token\r", "token\r"},
        {"a\n\n", "a\n"},
        {"a\r\r\n", "a\r"},
        {"\n", ""},
        {" padded \n", " padded "},
        {"two\nlines\n", "two\nlines"},
    };
    for (const auto& [input, secret] : cases) {
        std::istringstream in(input);
        EXPECT_EQ(readSecretFromStdin(in), secret) << input;
    }
}

// Standard input that breaks off with a read error, after some text or at
// once, is neither an answer nor a secret nor a file: only its end is.
TEST(CommandInput, AReadErrorIsNoEndOfInput) {
    struct BreakingInput : std::streambuf {
        explicit BreakingInput(std::string text) : text(std::move(text)) {
            setg(this->text.data(), this->text.data(), this->text.data() + this->text.size());
        }
        int_type underflow() override { throw std::system_error(EIO, std::generic_category(), "read"); }
        std::string text;
    };
    const std::vector<std::function<void(std::istream&)>> readers{
        [](std::istream& in) { std::ostringstream out; readLine(in, out, "? "); },
        [](std::istream& in) { readSecretFromStdin(in); },
        [](std::istream& in) { readFile("-", in); },
    };
    for (const std::string text : {"", "yes"}) {
        for (const auto& read : readers) {
            BreakingInput buffer(text);
            std::istream in(&buffer);
            expectFailure<std::runtime_error>([&] { read(in); }, "cannot read command input");
        }
    }
}

class ConfirmDestructive : public testing::Test {
protected:
    bool confirm(std::vector<std::string_view> extraWords, const std::string& input) {
        std::vector<std::string_view> words{"project", "delete", "p"};
        words.insert(words.end(), extraWords.begin(), extraWords.end());
        in_.str(input);
        in_.clear();
        return confirmDestructive(CommandLine::parse(words), in_, err_, "Delete project p?");
    }

    std::istringstream in_;
    std::ostringstream err_;
};

TEST_F(ConfirmDestructive, OnlyTheFourSpellingsOfYesConsent) {
    const std::vector<std::pair<std::string, bool>> answers{
        {"y\n", true},    {"Y\n", true},      {"yes\n", true},   {"YES\n", true},  {"YES", true},
        {"Yes\n", false}, {"yES\n", false},   {"y \n", false},   {" y\n", false},  {"yes\r\n", false},
        {"\n", false},    {"n\n", false},     {"no\n", false},   {"ye\n", false},  {"yess\n", false},
    };
    for (const auto& [answer, consent] : answers) {
        err_.str("");
        EXPECT_EQ(confirm({}, answer), consent) << answer;
        EXPECT_EQ(err_.str(), "Delete project p? [y/N] ") << answer;
    }
}

TEST_F(ConfirmDestructive, EndOfInputIsAnErrorNotARefusal) {
    expectFailure<std::runtime_error>([&] { confirm({}, ""); }, "cannot read command input");
}

TEST_F(ConfirmDestructive, YesConsentsWithoutAPromptInEveryOutputMode) {
    EXPECT_TRUE(confirm({"--yes"}, "n\n"));
    EXPECT_TRUE(confirm({"--yes", "--output", "json"}, ""));
    EXPECT_EQ(err_.str(), "");
    EXPECT_EQ(in_.tellg(), 0);
}

TEST_F(ConfirmDestructive, JsonOutputWithoutYesFailsBeforeReading) {
    expectFailure<std::invalid_argument>([&] { confirm({"--output", "json"}, "y\n"); },
                                         "--yes is required for destructive commands with --output json");
    EXPECT_EQ(err_.str(), "");
    EXPECT_EQ(in_.tellg(), 0);
}

class FileInput : public testing::Test {
protected:
    std::string write(const std::string& name, const std::string& content) {
        const auto path = directory_.path() / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    testsupport::quil::TemporaryDirectory directory_;
    std::istringstream in_;
};

TEST_F(FileInput, ReadFileReturnsTheBytesUnchanged) {
    const std::string content("line\r\nnul\0byte\n\xFF", 16);
    EXPECT_EQ(readFile(write("data.bin", content), in_), content);
    EXPECT_EQ(readFile(write("empty", ""), in_), "");
}

TEST_F(FileInput, ADashReadsTheCommandInputNotAFileOfThatName) {
    in_.str("from the input\n");
    EXPECT_EQ(readFile("-", in_), "from the input\n");
}

TEST_F(FileInput, AFileThatCannotBeReadIsNamedInTheError) {
    const std::string missing = (directory_.path() / "missing.json").string();
    expectFailure<std::runtime_error>([&] { readFile(missing, in_); }, "cannot open file: " + missing);
    expectFailure<std::runtime_error>([&] { readJsonObject(missing, in_); }, "cannot open file: " + missing);
    const std::string directory = directory_.path().string();
    expectFailure<std::runtime_error>([&] { readFile(directory, in_); }, "cannot open file: " + directory);
}

TEST_F(FileInput, AJsonObjectComesBackCompactWithItsKeysInByteOrder) {
    const std::string path = write("target.json",
                                   "\n  { \"zeta\" : [1, 2],\n \"Alpha\": {\"b\": null, \"a\": \"\xC3\xA9\"},"
                                   " \"_\": true }\n");
    EXPECT_EQ(readJsonObject(path, in_), "{\"Alpha\":{\"a\":\"\xC3\xA9\",\"b\":null},\"_\":true,\"zeta\":[1,2]}");
    in_.str("{}");
    EXPECT_EQ(readJsonObject("-", in_), "{}");
}

TEST_F(FileInput, AnythingButOneJsonObjectIsRefused) {
    const std::string notAnObject = "deployment target configuration must be a JSON object";
    for (const std::string text : {"[]", "[{}]", "42", "null", "\"text\"", "true"}) {
        in_.str(text);
        in_.clear();
        expectFailure<std::invalid_argument>([&] { readJsonObject("-", in_); }, notAnObject);
    }
    const std::string parsePrefix = "cannot parse deployment target configuration: ";
    for (const std::string text : {"", "{} {}", "{\"a\": 1} x", "{\"a\": 1 // note\n}", "{'a': 1}", "{\"a\":}"}) {
        in_.str(text);
        in_.clear();
        try {
            readJsonObject("-", in_);
            ADD_FAILURE() << "parsed: " << text;
        } catch (const std::invalid_argument& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind(parsePrefix, 0), 0U) << message;
            EXPECT_GT(message.size(), parsePrefix.size()) << text;
        }
    }
}

}  // namespace
}  // namespace quarlino::quil::cli
