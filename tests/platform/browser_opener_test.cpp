#include "platform/browser_opener.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/quil/scoped_environment.hpp"
#include "support/quil/temporary_directory.hpp"

namespace {

using quarlino::quil::platform::PlatformBrowserOpener;
using testsupport::quil::ScopedEnvironment;
using testsupport::quil::TemporaryDirectory;

constexpr const char* openingLine = "Opening Quarlino login in your browser...\n";
constexpr const char* loginUrl = "https://quarlino.example/#/cli-auth?authorizationCode=a b&state=s;1";

// A stand-in browser that writes its argument count and arguments, one per
// line, to a file beside it.
class BrowserOpenerTest : public testing::Test {
protected:
    std::filesystem::path writeRecorder(const std::string& name) const {
        const std::filesystem::path script = directory_.path() / name;
        std::ofstream file(script);
        file << "#!/bin/sh\n"
             << "{ printf '%s\\n' \"$#\"; for argument in \"$@\"; do printf '%s\\n' \"$argument\"; done; } > '"
             << recordPath().string() << "'\n";
        file.close();
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        return script;
    }

    std::filesystem::path recordPath() const { return directory_.path() / "arguments"; }

    // The opener does not wait for the browser; the test does, so that the
    // record is complete and no child is left behind.
    std::string recordedArguments() const {
        while (waitpid(-1, nullptr, 0) > 0) {
        }
        std::ifstream file(recordPath());
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    const std::filesystem::path& directory() const { return directory_.path(); }

private:
    TemporaryDirectory directory_;
};

TEST_F(BrowserOpenerTest, StartsTheConfiguredProgramWithTheUrlAsItsOnlyArgument) {
    const ScopedEnvironment browser("QUIL_BROWSER", writeRecorder("record-browser").string());
    std::ostringstream out;

    PlatformBrowserOpener().open(loginUrl, out);

    EXPECT_EQ(out.str(), openingLine);
    EXPECT_EQ(recordedArguments(), std::string("1\n") + loginUrl + "\n");
}

TEST_F(BrowserOpenerTest, SearchesPathForABareProgramName) {
    writeRecorder("record-browser");
    const ScopedEnvironment path("PATH", directory().string());
    const ScopedEnvironment browser("QUIL_BROWSER", "record-browser");
    std::ostringstream out;

    PlatformBrowserOpener().open("https://quarlino.example/", out);

    EXPECT_EQ(recordedArguments(), "1\nhttps://quarlino.example/\n");
}

// What the browser inherits: standard streams, but no descriptor this
// process was handed without close-on-exec, and no signal it ignores for itself.
TEST_F(BrowserOpenerTest, StartsTheBrowserWithOnlyTheStandardStreamsAndDefaultSignals) {
    const std::filesystem::path script = directory() / "inspect-browser";
    const std::filesystem::path record = directory() / "inherited";
    std::ofstream(script) << "#!/bin/sh\ngrep '^SigIgn' /proc/self/status > '" << record.string() << "'\n"
                          << "exec ls /proc/self/fd >> '" << record.string() << "'\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const ScopedEnvironment browser("QUIL_BROWSER", script.string());
    const int inherited = ::open("/dev/null", O_RDONLY);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);

    std::ostringstream out;
    PlatformBrowserOpener().open("https://quarlino.example/", out);
    while (waitpid(-1, nullptr, 0) > 0) {
    }
    std::signal(SIGXFSZ, previous);
    ::close(inherited);

    std::ifstream file(record);
    std::string label;
    std::string ignored;
    file >> label >> ignored;
    ASSERT_EQ(label, "SigIgn:");
    EXPECT_EQ(std::stoull(ignored, nullptr, 16) & (1ULL << (SIGXFSZ - 1)), 0U) << ignored;
    // Besides the standard streams, only the one ls opens to list them.
    for (int fd = 0; file >> fd;) {
        EXPECT_LE(fd, 3);
    }
}

class DefaultBrowserTest : public BrowserOpenerTest,
                           public testing::WithParamInterface<std::optional<std::string>> {};

TEST_P(DefaultBrowserTest, FallsBackToXdgOpen) {
    writeRecorder("xdg-open");
    const ScopedEnvironment path("PATH", directory().string());
    const ScopedEnvironment browser("QUIL_BROWSER", GetParam());
    std::ostringstream out;

    PlatformBrowserOpener().open("https://quarlino.example/", out);

    EXPECT_EQ(recordedArguments(), "1\nhttps://quarlino.example/\n");
}

INSTANTIATE_TEST_SUITE_P(UnsetOrEmpty, DefaultBrowserTest,
                         testing::Values(std::nullopt, std::optional<std::string>("")));

class UnstartableBrowserTest : public BrowserOpenerTest, public testing::WithParamInterface<std::string> {};

TEST_P(UnstartableBrowserTest, FailsAfterAnnouncingTheAttempt) {
    writeRecorder("record-browser");
    const ScopedEnvironment path("PATH", directory().string());
    const ScopedEnvironment browser("QUIL_BROWSER", GetParam());
    std::ostringstream out;

    try {
        PlatformBrowserOpener().open("https://quarlino.example/", out);
        FAIL() << "started " << GetParam();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cannot open the browser; set QUIL_BROWSER to a browser command");
    }
    EXPECT_EQ(out.str(), openingLine);
    EXPECT_FALSE(std::filesystem::exists(recordPath()));
}

// A value is one program, never split into words, so options cannot ride along.
INSTANTIATE_TEST_SUITE_P(Programs, UnstartableBrowserTest,
                         testing::Values("/nonexistent/quil-browser", "no-such-quil-browser",
                                         "record-browser --new-window"));

}  // namespace
