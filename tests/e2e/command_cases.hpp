#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "e2e/quil_harness.hpp"

namespace quarlino::quil::e2e {

// One scripted answer of the platform, and what the request must have carried.
struct Exchange {
    std::string method;
    std::string target;  // path and query, as sent
    int status = 200;
    std::string reply;
    // The request body, byte for byte, when the case cares about it.
    std::optional<std::string> body = std::nullopt;
    // Extra request headers the case cares about ("If-Match", say).
    testsupport::quil::HeaderPairs headers = {};
};

// One row of a command group's end-to-end table: the command line and its
// standard input, the platform's answers in the order the requests must be
// made, and what quil must print and return.
struct CommandCase {
    std::string name;  // a gtest-safe name: letters, digits and "_"
    std::vector<std::string> argv;
    std::string input;
    std::vector<Exchange> exchanges;
    Outcome expected;
    // The workspace stored with the signed-in profile; empty for none.
    std::string workspaceId = "ws-1";
    // Files written under HOME before the run (name relative to HOME, content).
    std::vector<std::pair<std::string, std::string>> files = {};
    // Files that must hold exactly this content under HOME after the run.
    std::vector<std::pair<std::string, std::string>> expectedFiles = {};
    // Shell redirections of quil's descriptors ("<&-" closes standard input).
    std::string redirections = {};
    // The platform holds the answer to this exchange back until standard
    // output has shown this much.
    std::optional<std::pair<std::size_t, std::string>> heldUntilShown = std::nullopt;
    // Standard input is a non-blocking pipe whose data comes late.
    bool inputComesLate = false;
};

// In argv and the expected output, this text stands for the HOME directory
// of the run, so that a case can name files there.
inline constexpr std::string_view homePlaceholder = "{home}";

inline std::ostream& operator<<(std::ostream& out, const CommandCase& c) { return out << c.name; }

// Runs a case against a fresh fake platform and HOME, signed in with
// "tok-1": the outcome must match, and the requests must be exactly the
// scripted ones, in order, with the bodies and headers given.
class CommandCaseTest : public QuilEndToEnd, public testing::WithParamInterface<CommandCase> {};

// A whole table as quil prints it, header line first: each column as wide as
// its widest cell plus two.
std::string tableText(const std::vector<std::vector<std::string>>& lines);

std::string commandCaseName(const testing::TestParamInfo<CommandCase>& info);

}  // namespace quarlino::quil::e2e
