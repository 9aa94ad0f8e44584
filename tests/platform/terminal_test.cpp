#include "platform/terminal.hpp"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <sstream>
#include <stdexcept>
#include <string>

#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "platform/pseudo_terminal_reader.hpp"

namespace {

using platformtest::PseudoTerminalReader;
using quarlino::quil::platform::readSecret;

constexpr const char* prompt = PseudoTerminalReader::prompt;

// Piped input: nothing to hide, nothing to restore.
class PipedSecretTest : public testing::Test {
protected:
    PipedSecretTest() {
        if (pipe(fds_.data()) != 0) {
            throw std::runtime_error("pipe failed");
        }
    }
    ~PipedSecretTest() override {
        close(fds_[0]);
        close(fds_[1]);
    }

    std::string read(const std::string& input) {
        std::istringstream in(input);
        return readSecret(prompt, in, fds_[0], err_);
    }

    std::ostringstream err_;

private:
    std::array<int, 2> fds_{};
};

struct PipedCase {
    std::string input;
    std::string secret;
};

class PipedSecretLineTest : public PipedSecretTest, public testing::WithParamInterface<PipedCase> {};

TEST_P(PipedSecretLineTest, ReadsOneLineAndWritesOnlyThePrompt) {
    EXPECT_EQ(read(GetParam().input), GetParam().secret);
    EXPECT_EQ(err_.str(), prompt);
}

INSTANTIATE_TEST_SUITE_P(Lines, PipedSecretLineTest,
                         testing::Values(PipedCase{"hunter2\n", "hunter2"}, PipedCase{"first\nsecond\n", "first"},
                                         PipedCase{"with\r\n", "with\r"}, PipedCase{"\n", ""},
                                         PipedCase{"no line end", "no line end"},
                                         PipedCase{"  spaced  \n", "  spaced  "}));

TEST_F(PipedSecretTest, EndOfInputIsAnError) {
    try {
        read("");
        FAIL() << "end of input gave a secret";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cannot read password");
    }
    EXPECT_EQ(err_.str(), prompt);
}

const std::string cleanRead = "echo-while-reading:off\ninterrupt-handler:default\n";

TEST(TerminalSecretTest, HidesTheTypedSecretAndRestoresEcho) {
    PseudoTerminalReader terminal;
    terminal.type("hunter2\n");

    const int status = terminal.nextStatus();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(terminal.report(), "line:hunter2\n" + cleanRead);
    // The prompt, no echo of the secret, then the line end that Enter did not echo.
    EXPECT_EQ(terminal.terminalOutput(), "Password: \r\n");
    EXPECT_EQ(terminal.localModes(), terminal.initialLocalModes());
}

TEST(TerminalSecretTest, EndOfInputRestoresEchoBeforeFailing) {
    PseudoTerminalReader terminal;
    terminal.type("\x04");

    const int status = terminal.nextStatus();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(terminal.report(), "error:cannot read password\n" + cleanRead);
    EXPECT_EQ(terminal.terminalOutput(), "Password: \r\n");
    EXPECT_EQ(terminal.localModes(), terminal.initialLocalModes());
}

TEST(TerminalSecretTest, SuspendingShowsEchoAndResumingHidesItAgain) {
    PseudoTerminalReader terminal;
    terminal.type("\x1a");

    const int stopped = terminal.nextStatus();
    ASSERT_TRUE(WIFSTOPPED(stopped)) << stopped;
    EXPECT_EQ(WSTOPSIG(stopped), SIGTSTP);
    EXPECT_EQ(terminal.localModes(), terminal.initialLocalModes());

    terminal.signal(SIGCONT);
    ASSERT_TRUE(terminal.awaitHidden());
    terminal.type("hunter2\n");

    const int status = terminal.nextStatus();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(terminal.report(), "line:hunter2\n" + cleanRead);
    EXPECT_EQ(terminal.terminalOutput(), "Password: \r\n\r\n");
    EXPECT_EQ(terminal.localModes(), terminal.initialLocalModes());
}

struct InterruptCase {
    std::string name;
    int signal;
    // Typed on the terminal; empty means the signal is sent with kill.
    std::string keys;
};

void PrintTo(const InterruptCase& test, std::ostream* out) { *out << test.name; }

class InterruptedSecretTest : public testing::TestWithParam<InterruptCase> {};

TEST_P(InterruptedSecretTest, RestoresEchoAndStillEndsBySignal) {
    const InterruptCase& test = GetParam();
    PseudoTerminalReader terminal;
    if (test.keys.empty()) {
        terminal.signal(test.signal);
    } else {
        terminal.type(test.keys);
    }

    const int status = terminal.nextStatus();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), test.signal);
    EXPECT_EQ(terminal.report(), "");
    EXPECT_EQ(terminal.localModes(), terminal.initialLocalModes());
    EXPECT_NE(terminal.localModes() & ECHO, 0U);
    // Nothing typed shows; the prompt line is ended on the way out.
    EXPECT_EQ(terminal.terminalOutput(), "Password: \r\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedSecretTest,
                         testing::Values(InterruptCase{"CtrlC", SIGINT, "hunt\x03"},
                                         InterruptCase{"CtrlBackslash", SIGQUIT, "\x1c"},
                                         InterruptCase{"Terminate", SIGTERM, ""},
                                         InterruptCase{"HangUp", SIGHUP, ""}),
                         [](const testing::TestParamInfo<InterruptCase>& info) { return info.param.name; });

}  // namespace
