#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <string>

#include "e2e/process_runner.hpp"

namespace quarlino::quil::e2e {
namespace {

ProcessResult shell(const std::string& script, std::string input = "", std::map<std::string, std::string> env = {}) {
    env.emplace("PATH", "/usr/bin:/bin");
    return runProcess({"/bin/sh", {"-c", script}, std::move(env), std::move(input)});
}

TEST(ProcessRunner, SeparatesTheStreamsAndReportsTheExitCode) {
    const ProcessResult result = shell("cat; printf 'to err' >&2; exit 7", "from stdin\n");
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.out, "from stdin\n");
    EXPECT_EQ(result.err, "to err");
}

TEST(ProcessRunner, GivesTheChildOnlyTheRequestedEnvironment) {
    const ProcessResult result = shell("printf '%s|%s' \"$QUIL_RUNNER_PROBE\" \"${HOME-unset}\"", "",
                                       {{"QUIL_RUNNER_PROBE", "a b=c"}});
    EXPECT_EQ(result.out, "a b=c|unset");
}

TEST(ProcessRunner, DrainsLargeOutputOnBothStreams) {
    const ProcessResult result = shell("head -c 300000 /dev/zero; head -c 300000 /dev/zero >&2");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.size(), 300000U);
    EXPECT_EQ(result.err.size(), 300000U);
}

TEST(ProcessRunner, ChildExitingWithoutReadingItsInputIsFine) {
    const ProcessResult result = shell("exit 0", std::string(1 << 20, 'x'));
    EXPECT_EQ(result.exitCode, 0);
}

TEST(ProcessRunner, ReportsATerminatingSignal) {
    const ProcessResult result = shell("kill -TERM $$");
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_EQ(result.signal, SIGTERM);
}

TEST(ProcessRunner, RefusesAProgramThatCannotStart) {
    EXPECT_THROW(runProcess({"/nonexistent/quil-runner-probe", {}, {}, ""}), std::runtime_error);
}

}  // namespace
}  // namespace quarlino::quil::e2e
