#include "zorvik/LoggerAdapter.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace zorvik {
namespace {

using testing::MatchesRegex;

// Swaps the process's standard streams for string buffers while alive.
class CapturedConsole {
public:
    CapturedConsole() : oldOut_(std::cout.rdbuf(out_.rdbuf())), oldErr_(std::cerr.rdbuf(err_.rdbuf())) {}
    ~CapturedConsole() {
        std::cout.rdbuf(oldOut_);
        std::cerr.rdbuf(oldErr_);
    }
    std::string out() const { return out_.str(); }
    std::string err() const { return err_.str(); }

private:
    std::ostringstream out_;
    std::ostringstream err_;
    std::streambuf* oldOut_;
    std::streambuf* oldErr_;
};

constexpr const char* kStamp = R"(\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\] )";

std::string lineRegex(const std::string& label, const std::string& message) {
    return std::string(kStamp) + "\\[" + label + "\\] " + message + "\n";
}

struct LevelCase {
    const char* name;
    std::function<void(LoggerAdapter&, const std::string&)> log;
    const char* label;  // null: nothing is written
    bool toStandardError;
};

class ConsoleLevels : public testing::TestWithParam<LevelCase> {};

TEST_P(ConsoleLevels, WriteOneStampedLineToTheRightStream) {
    ConsoleLoggerAdapter logger;
    CapturedConsole console;
    GetParam().log(logger, "x y");
    if (GetParam().label == nullptr) {
        EXPECT_EQ(console.out(), "");
        EXPECT_EQ(console.err(), "");
        return;
    }
    const std::string written = GetParam().toStandardError ? console.err() : console.out();
    const std::string other = GetParam().toStandardError ? console.out() : console.err();
    EXPECT_THAT(written, MatchesRegex(lineRegex(GetParam().label, "x y")));
    EXPECT_EQ(other, "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConsoleLevels,
    testing::Values(LevelCase{"Trace", [](LoggerAdapter& l, const std::string& m) { l.trace(m); }, nullptr, false},
                    LevelCase{"Debug", [](LoggerAdapter& l, const std::string& m) { l.debug(m); }, nullptr, false},
                    LevelCase{"Info", [](LoggerAdapter& l, const std::string& m) { l.info(m); }, "INFO", false},
                    LevelCase{"Warn", [](LoggerAdapter& l, const std::string& m) { l.warn(m); }, "WARN", false},
                    LevelCase{"Error", [](LoggerAdapter& l, const std::string& m) { l.error(m); }, "ERROR", true},
                    LevelCase{"Critical", [](LoggerAdapter& l, const std::string& m) { l.critical(m); },
                              "CRITICAL", true}),
    [](const testing::TestParamInfo<LevelCase>& info) { return std::string(info.param.name); });

TEST(ConsoleLogger, FilterPassesInfoAndAbove) {
    const ConsoleLoggerAdapter logger;
    for (int level = 0; level <= 5; ++level) {
        EXPECT_EQ(logger.shouldLog(level), level >= 2) << "level " << level;
    }
}

TEST(ConsoleLogger, EmptyMessageStillEndsTheLine) {
    ConsoleLoggerAdapter logger;
    CapturedConsole console;
    logger.info("");
    EXPECT_THAT(console.out(), MatchesRegex(lineRegex("INFO", "")));
    EXPECT_EQ(console.out().substr(console.out().size() - 3), "] \n");
}

TEST(ConsoleLogger, DerivedFilterIsConsultedForEveryLevel) {
    struct VerboseLogger : ConsoleLoggerAdapter {
        bool shouldLog(int) const override { return true; }
    };
    VerboseLogger logger;
    CapturedConsole console;
    logger.trace("t");
    logger.debug("d");
    EXPECT_THAT(console.out(), MatchesRegex(lineRegex("TRACE", "t") + lineRegex("DEBUG", "d")));
    EXPECT_EQ(console.err(), "");
}

TEST(ConsoleLogger, ConcurrentLinesNeverInterleave) {
    constexpr int kLines = 300;
    const std::string messages[] = {std::string(200, 'a'), std::string(200, 'b')};
    CapturedConsole console;
    {
        std::vector<std::thread> threads;
        for (const std::string& message : messages) {
            threads.emplace_back([&message] {
                ConsoleLoggerAdapter logger;  // separate instances share the one lock
                for (int i = 0; i < kLines; ++i) {
                    logger.info(message);
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    std::istringstream lines(console.out());
    std::string line;
    int count = 0;
    const std::string pattern = std::string(kStamp) + "\\[INFO\\] (a{200}|b{200})";
    while (std::getline(lines, line)) {
        ASSERT_THAT(line, MatchesRegex(pattern));
        ++count;
    }
    EXPECT_EQ(count, 2 * kLines);
}

}  // namespace
}  // namespace zorvik
