#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_helpers.hpp"
#include "cli/command_line.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {
namespace {

std::string receiptOutput(std::vector<std::string_view> modeWords) {
    std::vector<std::string_view> words{"project", "delete", "p", "--yes"};
    words.insert(words.end(), modeWords.begin(), modeWords.end());
    std::ostringstream out;
    OutputFormatter formatter(CommandLine::parse(words), out);
    const nlohmann::json receipt{{"status", "deleted"}, {"id", "p-1"}, {"Name", "caf\xC3\xA9"}};
    mutationReceipt(formatter, receipt, "Project deleted: p-1");
    return out.str();
}

TEST(MutationReceipt, TheModeDecidesBetweenTheMessageAndTheCompactReceipt) {
    const std::string json = "{\"Name\":\"caf\xC3\xA9\",\"id\":\"p-1\",\"status\":\"deleted\"}\n";
    EXPECT_EQ(receiptOutput({}), "Project deleted: p-1\n");
    EXPECT_EQ(receiptOutput({"--output", "table"}), "Project deleted: p-1\n");
    EXPECT_EQ(receiptOutput({"--quiet"}), "");
    EXPECT_EQ(receiptOutput({"--output", "json"}), json);
    EXPECT_EQ(receiptOutput({"--output", "json", "--quiet"}), json);
}

TEST(MutationReceipt, BytesThatAreNotUtf8DoNotFailTheReceipt) {
    std::ostringstream out;
    OutputFormatter formatter(CommandLine::parse({"project", "delete", "p", "--output", "json"}), out);
    mutationReceipt(formatter, nlohmann::json{{"name", "bad\xFF"}}, "unused");
    EXPECT_EQ(out.str(), "{\"name\":\"bad\xEF\xBF\xBD\"}\n");
}

}  // namespace
}  // namespace quarlino::quil::cli
