#include "cli/output_formatter.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using quarlino::quil::application::UpdateCheckResult;
using quarlino::quil::cli::dashIfEmpty;
using quarlino::quil::cli::join;
using quarlino::quil::cli::numberOrDash;
using quarlino::quil::cli::OutputFormat;
using quarlino::quil::cli::OutputFormatter;
using quarlino::quil::cli::ParsedCommand;
using quarlino::quil::cli::typedId;
using quarlino::quil::cli::valueOrDash;
using quarlino::quil::cli::yesNo;
using quarlino::quil::model::ExecutionLog;
using quarlino::quil::model::Profile;

using Rows = std::vector<std::vector<std::string>>;

enum class Mode { Table, Quiet, Json, QuietJson };

const char* nameOf(Mode mode) {
    switch (mode) {
        case Mode::Table:
            return "Table";
        case Mode::Quiet:
            return "Quiet";
        case Mode::Json:
            return "Json";
        case Mode::QuietJson:
            return "QuietJson";
    }
    return "?";
}

ParsedCommand commandIn(Mode mode) {
    ParsedCommand command;
    if (mode == Mode::Quiet || mode == Mode::QuietJson) {
        command.flags.insert("quiet");
    }
    if (mode == Mode::Json || mode == Mode::QuietJson) {
        command.outputFormat = OutputFormat::Json;
    }
    return command;
}

// A formatter over a string stream in one of the modes.
class Output {
public:
    explicit Output(Mode mode) : command_(commandIn(mode)), formatter_(command_, stream_) {}

    OutputFormatter& operator*() { return formatter_; }
    OutputFormatter* operator->() { return &formatter_; }
    std::string text() const { return stream_.str(); }

private:
    ParsedCommand command_;
    std::ostringstream stream_;
    OutputFormatter formatter_;
};

TEST(OutputFormatterModeTest, JsonFollowsTheOutputFormatAndQuietTheFlag) {
    EXPECT_FALSE(Output(Mode::Table)->isJson());
    EXPECT_FALSE(Output(Mode::Table)->isQuiet());
    EXPECT_TRUE(Output(Mode::Quiet)->isQuiet());
    EXPECT_TRUE(Output(Mode::Json)->isJson());
    EXPECT_TRUE(Output(Mode::QuietJson)->isJson());
    EXPECT_TRUE(Output(Mode::QuietJson)->isQuiet());
}

struct TableCase {
    std::string name;
    std::vector<std::string> headers;
    Rows rows;
    std::string expected;
};

void PrintTo(const TableCase& test, std::ostream* out) { *out << test.name; }

class TableLayoutTest : public testing::TestWithParam<TableCase> {};

TEST_P(TableLayoutTest, PadsEveryColumnToItsWidestCellPlusTwo) {
    // Quiet and JSON do not concern the table writer itself.
    for (const Mode mode : {Mode::Table, Mode::Quiet, Mode::Json}) {
        Output out(mode);
        out->table(GetParam().headers, GetParam().rows);
        EXPECT_EQ(out.text(), GetParam().expected) << nameOf(mode);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TableLayoutTest,
    testing::Values(
        TableCase{"HeaderWiderThanCells", {"ID", "NAME"}, {{"abc", "x"}}, "ID   NAME  \nabc  x     \n"},
        TableCase{"CellWidensItsColumnEverywhere",
                  {"ID", "NAME"},
                  {{"1", "a much longer name"}, {"22", ""}},
                  "ID  NAME                \n1   a much longer name  \n22                      \n"},
        TableCase{"NoRowsLeavesTheHeaderLine", {"ID", "NAME", "SLUG"}, {}, "ID  NAME  SLUG  \n"},
        TableCase{"EmptyCellsArePadded", {"A", "B"}, {{"", ""}}, "A  B  \n      \n"},
        TableCase{"WidthsAreBytes", {"X", "Y"}, {{"\xC3\xA9\xC3\xA9", "y"}}, "X     Y  \n\xC3\xA9\xC3\xA9  y  \n"},
        TableCase{"CellsBeyondTheHeadersAreDropped", {"A"}, {{"a", "extra"}}, "A  \na  \n"},
        TableCase{"ShortRowWritesItsCells", {"A", "B"}, {{"a"}}, "A  B  \na  \n"},
        // A hostile name can neither drive the terminal nor break its row;
        // widths count the stand-ins as printed.
        TableCase{"ControlsShowAsStandIns",
                  {"NAME", "ID"},
                  {{"\x1B]0;t\x07" "a\r\nb\tc\xC2\x9B", "1"}},
                  "NAME                     ID  \n^[]0;t^Ga^M^Jb^Ic\\u009b  1   \n"}),
    [](const testing::TestParamInfo<TableCase>& info) { return info.param.name; });

struct RawJsonCase {
    std::string text;
    std::string written;
};

class RawJsonTest : public testing::TestWithParam<RawJsonCase> {};

TEST_P(RawJsonTest, WritesInEveryModeWithOneFinalNewline) {
    for (const Mode mode : {Mode::Table, Mode::Quiet, Mode::Json, Mode::QuietJson}) {
        Output out(mode);
        out->rawJson(GetParam().text);
        EXPECT_EQ(out.text(), GetParam().written) << nameOf(mode);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, RawJsonTest,
                         testing::Values(RawJsonCase{"", "\n"}, RawJsonCase{"\n", "\n"},
                                         RawJsonCase{"{\"a\":1}", "{\"a\":1}\n"},
                                         RawJsonCase{"{\"a\":1}\n", "{\"a\":1}\n"},
                                         RawJsonCase{"[]\n\n", "[]\n\n"}, RawJsonCase{" {} ", " {} \n"},
                                         // The platform's own text, byte for byte.
                                         RawJsonCase{"{\"n\":\"\x1B[2J\r\n\"}", "{\"n\":\"\x1B[2J\r\n\"}\n"}));

TEST(MessageTest, AppearsOnlyInTableModeWithoutQuiet) {
    for (const Mode mode : {Mode::Table, Mode::Quiet, Mode::Json, Mode::QuietJson}) {
        Output out(mode);
        out->message("Deleted profile dev");
        EXPECT_EQ(out.text(), mode == Mode::Table ? "Deleted profile dev\n" : "") << nameOf(mode);
    }
}

TEST(MessageTest, ShowsControlsButKeepsItsLines) {
    Output out(Mode::Table);
    out->message("Deleted \x1B[2Jdev\r\nNext:\tline");
    EXPECT_EQ(out.text(), "Deleted ^[[2Jdev^M\nNext:\tline\n");
}

struct JoinCase {
    std::vector<std::string> values;
    std::string joined;
};

class JoinTest : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinTest, SeparatesWithCommasOnceSomethingWasWritten) { EXPECT_EQ(join(GetParam().values), GetParam().joined); }

INSTANTIATE_TEST_SUITE_P(Lists, JoinTest,
                         testing::Values(JoinCase{{}, ""}, JoinCase{{"a"}, "a"}, JoinCase{{"a", "b"}, "a,b"},
                                         JoinCase{{"", "a"}, "a"}, JoinCase{{"a", ""}, "a,"},
                                         JoinCase{{"a", "", "b"}, "a,,b"}, JoinCase{{"", ""}, ""},
                                         JoinCase{{"a b", "c"}, "a b,c"}));

TEST(CellConventionTest, BooleansDashesAndPairs) {
    EXPECT_EQ(yesNo(true), "yes");
    EXPECT_EQ(yesNo(false), "no");
    EXPECT_EQ(dashIfEmpty(""), "-");
    EXPECT_EQ(dashIfEmpty("x"), "x");
    EXPECT_EQ(valueOrDash(std::nullopt), "-");
    EXPECT_EQ(valueOrDash(std::optional<std::string>("")), "");
    EXPECT_EQ(valueOrDash(std::optional<std::string>("ws-1")), "ws-1");
    EXPECT_EQ(typedId("USER", "u-1"), "USER:u-1");
    EXPECT_EQ(typedId("", ""), ":");
}

TEST(CellConventionTest, NumbersAreDecimalWithoutGrouping) {
    EXPECT_EQ(numberOrDash(std::optional<int>()), "-");
    EXPECT_EQ(numberOrDash(std::optional<int>(0)), "0");
    EXPECT_EQ(numberOrDash(std::optional<int>(-12)), "-12");
    EXPECT_EQ(numberOrDash(std::optional<std::uint64_t>(std::numeric_limits<std::uint64_t>::max())),
              "18446744073709551615");
}

const std::vector<ExecutionLog> runLog{
    {"checkout", "GIT", "cloned", "10:00:01"},
    {"", "SHELL", "built", "10:00:02"},
    {"", "", "bare", "10:00:03"},
};

struct LogsCase {
    std::size_t startIndex;
    std::string written;
};

class LogsTest : public testing::TestWithParam<LogsCase> {};

TEST_P(LogsTest, WritesTheEntriesFromTheStartIndexQuietOrNot) {
    for (const Mode mode : {Mode::Table, Mode::Quiet}) {
        Output out(mode);
        out->logs(runLog, "[\"raw\"]", GetParam().startIndex);
        EXPECT_EQ(out.text(), GetParam().written) << nameOf(mode);
    }
}

INSTANTIATE_TEST_SUITE_P(
    StartIndexes, LogsTest,
    testing::Values(LogsCase{0, "10:00:01 [checkout] cloned\n10:00:02 [SHELL] built\n10:00:03 [] bare\n"},
                    LogsCase{2, "10:00:03 [] bare\n"}, LogsCase{3, ""}, LogsCase{7, ""}));

TEST(LogsTest, EntriesStayByteForByte) {
    Output out(Mode::Table);
    out->logs({{"a\x1B[1m", "", "\x1B[31mred\r", "t\x07"}}, "", 0);
    EXPECT_EQ(out.text(), "t\x07 [a\x1B[1m] \x1B[31mred\r\n");
}

TEST(LogsJsonTest, PrintsTheWholeBodyWhateverTheStartIndex) {
    Output out(Mode::QuietJson);
    out->logs(runLog, "[\"raw\"]", runLog.size());
    EXPECT_EQ(out.text(), "[\"raw\"]\n");
}

const Profile devProfile{"dev", "https://dev.example", std::nullopt};
const Profile prodProfile{"prod", "https://quarlino.example", "ws-1"};

TEST(ProfileRendererTest, JsonIsItsOwnSortedCompactObject) {
    Output out(Mode::QuietJson);
    out->profile(prodProfile, true);
    EXPECT_EQ(out.text(), "{\"active\":true,\"name\":\"prod\",\"serverUrl\":\"https://quarlino.example\","
                          "\"workspaceId\":\"ws-1\"}\n");
}

TEST(ProfileRendererTest, JsonHasNullForAMissingWorkspaceAndKeepsUtf8) {
    Output out(Mode::Json);
    out->profile(Profile{"d\xC3\xA9v", "https://dev.example", std::nullopt}, false);
    EXPECT_EQ(out.text(),
              "{\"active\":false,\"name\":\"d\xC3\xA9v\",\"serverUrl\":\"https://dev.example\",\"workspaceId\":null}\n");
}

TEST(ProfileRendererTest, JsonRefusesInvalidUtf8) {
    Output out(Mode::Json);
    EXPECT_THROW(out->profile(Profile{"bad\xFF", "https://dev.example", std::nullopt}, false),
                 nlohmann::json::type_error);
}

TEST(ProfileRendererTest, QuietIsTheNameAndTableMarksTheActiveOne) {
    Output quiet(Mode::Quiet);
    quiet->profile(devProfile, true);
    EXPECT_EQ(quiet.text(), "dev\n");

    Output table(Mode::Table);
    table->profile(Profile{"dev", "https://dev.example", "ws-1"}, true);
    EXPECT_EQ(table.text(), "ACTIVE  NAME  SERVER               WORKSPACE  \n*       dev   https://dev.example  ws-1       \n");
}

TEST(ProfilesRendererTest, TableMarksOnlyTheActiveProfile) {
    Output out(Mode::Table);
    out->profiles({devProfile, prodProfile}, std::optional<std::string>("prod"));
    EXPECT_EQ(out.text(),
              "ACTIVE  NAME  SERVER                    WORKSPACE  \n"
              "        dev   https://dev.example       -          \n"
              "*       prod  https://quarlino.example  ws-1       \n");
}

TEST(ProfilesRendererTest, JsonIsAnArrayWithoutAnActiveProfileWhenNoneIsNamed) {
    Output out(Mode::Json);
    out->profiles({devProfile, prodProfile}, std::nullopt);
    EXPECT_EQ(out.text(),
              "[{\"active\":false,\"name\":\"dev\",\"serverUrl\":\"https://dev.example\",\"workspaceId\":null},"
              "{\"active\":false,\"name\":\"prod\",\"serverUrl\":\"https://quarlino.example\","
              "\"workspaceId\":\"ws-1\"}]\n");
}

TEST(ProfilesRendererTest, ActiveNameMatchesByteForByte) {
    Output out(Mode::Json);
    out->profiles({devProfile}, std::optional<std::string>("Dev"));
    EXPECT_EQ(out.text(),
              "[{\"active\":false,\"name\":\"dev\",\"serverUrl\":\"https://dev.example\",\"workspaceId\":null}]\n");
}

TEST(ProfilesRendererTest, QuietListsNamesInOrder) {
    Output out(Mode::Quiet);
    out->profiles({prodProfile, devProfile}, std::optional<std::string>("prod"));
    EXPECT_EQ(out.text(), "prod\ndev\n");
}

TEST(ProfilesRendererTest, AnEmptyListIsAHeaderNothingOrAnEmptyArray) {
    const std::vector<Profile> none;
    Output table(Mode::Table);
    table->profiles(none, std::nullopt);
    EXPECT_EQ(table.text(), "ACTIVE  NAME  SERVER  WORKSPACE  \n");

    Output quiet(Mode::Quiet);
    quiet->profiles(none, std::nullopt);
    EXPECT_EQ(quiet.text(), "");

    Output json(Mode::QuietJson);
    json->profiles(none, std::nullopt);
    EXPECT_EQ(json.text(), "[]\n");
}

UpdateCheckResult release(std::string latest, bool updateAvailable, std::string publishedAt) {
    return UpdateCheckResult{"0.1.0",
                             std::move(latest),
                             std::move(publishedAt),
                             updateAvailable,
                             "linux",
                             "amd64",
                             "https://releases.example/quil",
                             std::string(64, 'a'),
                             "https://releases.example/quil.sig",
                             "https://releases.example/quil.sbom"};
}

TEST(UpdateCheckRendererTest, TableAddsDownloadLinesWhenAnUpdateExists) {
    Output out(Mode::Table);
    out->updateCheck(release("0.2.0", true, "2026-11-30T10:00:00Z"));
    EXPECT_EQ(out.text(),
              "CURRENT  LATEST  UPDATE AVAILABLE  PLATFORM     PUBLISHED             \n"
              "0.1.0    0.2.0   yes               linux-amd64  2026-11-30T10:00:00Z  \n"
              "\nDownload: https://releases.example/quil\nSHA-256: " +
                  std::string(64, 'a') + "\n");
}

TEST(UpdateCheckRendererTest, TableWithoutUpdateHasNoDownloadLines) {
    Output out(Mode::Table);
    out->updateCheck(release("0.1.0", false, "2026-11-30"));
    EXPECT_EQ(out.text(),
              "CURRENT  LATEST  UPDATE AVAILABLE  PLATFORM     PUBLISHED   \n"
              "0.1.0    0.1.0   no                linux-amd64  2026-11-30  \n");
}

TEST(UpdateCheckRendererTest, QuietIsTheLatestVersionOnly) {
    Output out(Mode::Quiet);
    out->updateCheck(release("0.2.0", true, "2026-11-30"));
    EXPECT_EQ(out.text(), "0.2.0\n");
}

TEST(UpdateCheckRendererTest, JsonIsItsOwnSortedDocument) {
    Output out(Mode::QuietJson);
    out->updateCheck(release("0.2.0", true, "2026-11-30"));
    EXPECT_EQ(out.text(),
              "{\"artifact\":{\"arch\":\"amd64\",\"os\":\"linux\",\"sbomUrl\":\"https://releases.example/quil.sbom\","
              "\"sha256\":\"" +
                  std::string(64, 'a') +
                  "\",\"signatureUrl\":\"https://releases.example/quil.sig\","
                  "\"url\":\"https://releases.example/quil\"},\"currentVersion\":\"0.1.0\","
                  "\"latestVersion\":\"0.2.0\",\"publishedAt\":\"2026-11-30\",\"updateAvailable\":true}\n");
}

}  // namespace
