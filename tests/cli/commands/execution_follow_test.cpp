#include "cli/commands/execution_commands.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "support/quil/mock_quarlino_gateway.hpp"

// The follow loops over several passes, with a sleeper that costs nothing
// and notes what had been printed when each wait began.
namespace quarlino::quil::cli {
namespace {

using testing::InSequence;
using testing::Return;
using testsupport::quil::MockQuarlinoGateway;

using Log = model::ApiResponse<std::vector<model::ExecutionLog>>;
using Run = model::ApiResponse<model::Execution>;

model::ExecutionLog entry(const std::string& message) { return {"step", "SHELL", message, "t"}; }

Log log(std::vector<model::ExecutionLog> entries, std::string body) { return {std::move(entries), std::move(body)}; }

Run run(const std::string& status, std::string body = "{}") {
    return {{"e-1", "pl-1", "Build", 3, status, "09:00", "", ""}, std::move(body)};
}

class FollowLoop : public testing::Test {
protected:
    OutputFormatter formatter(bool json) {
        command.outputFormat = json ? OutputFormat::Json : OutputFormat::Table;
        return OutputFormatter(command, out);
    }

    CliApplication::Sleeper sleeper() {
        return [this](std::chrono::milliseconds duration) {
            EXPECT_EQ(duration, std::chrono::milliseconds(2000));
            printedAtEachWait.push_back(out.str());
        };
    }

    testing::StrictMock<MockQuarlinoGateway> gateway;
    ParsedCommand command;
    std::ostringstream out;
    std::vector<std::string> printedAtEachWait;
};

TEST(TerminalStatus, IsOneOfSixExactTexts) {
    for (const char* status : {"SUCCESS", "FAILED", "CANCELLED", "CANCELED", "STOPPED", "SKIPPED"}) {
        EXPECT_TRUE(isTerminalStatus(status)) << status;
    }
    for (const char* status : {"", "RUNNING", "QUEUED", "cancelled", "Success", "FAILED ", "STOP"}) {
        EXPECT_FALSE(isTerminalStatus(status)) << status;
    }
}

TEST_F(FollowLoop, LogsPrintEachEntryOnceAndTheLinesWrittenAtTheEnd) {
    {
        InSequence passes;
        EXPECT_CALL(gateway, executionLogs("e-1")).WillOnce(Return(log({entry("a")}, "[1]")));
        EXPECT_CALL(gateway, getExecution("e-1")).WillOnce(Return(run("RUNNING")));
        EXPECT_CALL(gateway, executionLogs("e-1")).WillOnce(Return(log({entry("a"), entry("b")}, "[2]")));
        // A lower-case spelling is not the end of the run.
        EXPECT_CALL(gateway, getExecution("e-1")).WillOnce(Return(run("cancelled")));
        EXPECT_CALL(gateway, executionLogs("e-1")).WillOnce(Return(log({entry("a"), entry("b")}, "[2]")));
        EXPECT_CALL(gateway, getExecution("e-1")).WillOnce(Return(run("FAILED")));
        EXPECT_CALL(gateway, executionLogs("e-1"))
            .WillOnce(Return(log({entry("a"), entry("b"), entry("boom")}, "[3]")));
    }
    auto output = formatter(false);

    followExecutionLogs(gateway, output, "e-1", sleeper());

    EXPECT_EQ(out.str(), "t [step] a\nt [step] b\nt [step] boom\n");
    EXPECT_EQ(printedAtEachWait, (std::vector<std::string>{"t [step] a\n", "t [step] a\nt [step] b\n"}));
}

TEST_F(FollowLoop, LogsThatShrinkPrintOnlyWhatComesPastTheNewLength) {
    {
        InSequence passes;
        EXPECT_CALL(gateway, executionLogs("e-1")).WillOnce(Return(log({entry("a"), entry("b")}, "")));
        EXPECT_CALL(gateway, getExecution("e-1")).WillOnce(Return(run("RUNNING")));
        EXPECT_CALL(gateway, executionLogs("e-1")).WillOnce(Return(log({entry("x")}, "")));
        EXPECT_CALL(gateway, getExecution("e-1")).WillOnce(Return(run("SUCCESS")));
        EXPECT_CALL(gateway, executionLogs("e-1")).WillOnce(Return(log({entry("x"), entry("y")}, "")));
    }
    auto output = formatter(false);

    followExecutionLogs(gateway, output, "e-1", sleeper());

    EXPECT_EQ(out.str(), "t [step] a\nt [step] b\nt [step] y\n");
}

TEST_F(FollowLoop, LogsInJsonPrintTheFinalLogAlone) {
    {
        InSequence passes;
        EXPECT_CALL(gateway, executionLogs("e-1")).WillOnce(Return(log({entry("a")}, "[1]")));
        EXPECT_CALL(gateway, getExecution("e-1")).WillOnce(Return(run("RUNNING")));
        EXPECT_CALL(gateway, executionLogs("e-1")).WillOnce(Return(log({entry("a")}, "[1]")));
        EXPECT_CALL(gateway, getExecution("e-1")).WillOnce(Return(run("STOPPED")));
        EXPECT_CALL(gateway, executionLogs("e-1")).WillOnce(Return(log({entry("a"), entry("b")}, "[1,2]")));
    }
    auto output = formatter(true);

    followExecutionLogs(gateway, output, "e-1", sleeper());

    EXPECT_EQ(out.str(), "[1,2]\n");
    EXPECT_EQ(printedAtEachWait, std::vector<std::string>{""});
}

TEST_F(FollowLoop, RunPrintsEachStatusChangeThenTheFinalState) {
    {
        InSequence passes;
        EXPECT_CALL(gateway, getExecution("e-1"))
            .WillOnce(Return(run("RUNNING")))
            .WillOnce(Return(run("RUNNING")))
            .WillOnce(Return(run("SUCCESS")));
    }
    auto output = formatter(false);

    followExecution(gateway, output, run("QUEUED").value, sleeper());

    EXPECT_EQ(out.str(), "Run e-1: RUNNING\nRun e-1: SUCCESS\n"
                         "ID   PIPELINE  NUMBER  STATUS   STARTED  \n"
                         "e-1  Build     3       SUCCESS  09:00    \n");
    EXPECT_EQ(printedAtEachWait, (std::vector<std::string>{"Run e-1: RUNNING\n", "Run e-1: RUNNING\n"}));
}

TEST_F(FollowLoop, RunInJsonPrintsTheLastAnswerAlone) {
    EXPECT_CALL(gateway, getExecution("e-1"))
        .WillOnce(Return(run("RUNNING", R"({"status":"RUNNING"})")))
        .WillOnce(Return(run("SKIPPED", R"({"status":"SKIPPED"})")));
    auto output = formatter(true);

    followExecution(gateway, output, run("QUEUED").value, sleeper());

    EXPECT_EQ(out.str(), "{\"status\":\"SKIPPED\"}\n");
    EXPECT_EQ(printedAtEachWait.size(), 1U);
}

}  // namespace
}  // namespace quarlino::quil::cli
