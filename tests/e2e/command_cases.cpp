#include "e2e/command_cases.hpp"

#include <algorithm>
#include <fstream>
#include <future>

namespace quarlino::quil::e2e {

// Each command group instantiates the suite with its own table.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CommandCaseTest);

std::string commandCaseName(const testing::TestParamInfo<CommandCase>& info) { return info.param.name; }

std::string tableText(const std::vector<std::vector<std::string>>& lines) {
    std::vector<std::size_t> widths;
    for (const auto& cells : lines) {
        widths.resize(std::max(widths.size(), cells.size()));
        for (std::size_t i = 0; i < cells.size(); ++i) {
            widths[i] = std::max(widths[i], cells[i].size() + 2);
        }
    }
    std::string text;
    for (const auto& cells : lines) {
        text += columns(widths, cells);
    }
    return text;
}

namespace {

std::string withHome(std::string text, const std::string& home) {
    for (std::size_t at = text.find(homePlaceholder); at != std::string::npos;
         at = text.find(homePlaceholder, at + home.size())) {
        text.replace(at, homePlaceholder.size(), home);
    }
    return text;
}

}  // namespace

TEST_P(CommandCaseTest, RunsAsScripted) {
    const CommandCase& c = GetParam();
    if (c.workspaceId.empty()) {
        signIn("tok-1");
    } else {
        signIn("tok-1", c.workspaceId);
    }
    std::promise<void> shown;
    for (std::size_t i = 0; i < c.exchanges.size(); ++i) {
        const Exchange& exchange = c.exchanges[i];
        auto stub = platform.expect(exchange.method, exchange.target);
        stub.respond(exchange.status, exchange.reply);
        if (c.heldUntilShown && c.heldUntilShown->first == i) {
            stub.holdUntil(shown.get_future().share());
        }
    }
    bool released = false;
    const auto watch = [&](const std::string& out) {
        if (c.heldUntilShown && !released && out == c.heldUntilShown->second) {
            released = true;
            shown.set_value();
        }
    };
    const std::string homePath = home().string();
    for (const auto& [name, content] : c.files) {
        std::ofstream(home() / name, std::ios::binary) << content;
    }
    std::vector<std::string> argv;
    for (const std::string& argument : c.argv) {
        argv.push_back(withHome(argument, homePath));
    }

    expectOutcome(quil(argv, c.input, c.redirections, watch, c.inputComesLate),
                  {c.expected.exitCode, withHome(c.expected.out, homePath), withHome(c.expected.err, homePath)});
    for (const auto& [name, content] : c.expectedFiles) {
        EXPECT_EQ(readFile(home() / name), content) << name;
    }

    const std::vector<RecordedRequest> requests = platform.requests();
    ASSERT_EQ(requests.size(), c.exchanges.size()) << "requests made by: " << c.name;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const Exchange& exchange = c.exchanges[i];
        SCOPED_TRACE("request " + std::to_string(i + 1));
        EXPECT_EQ(requests[i].line(), exchange.method + " " + exchange.target);
        if (exchange.body) {
            EXPECT_EQ(requests[i].body, *exchange.body);
        }
        for (const auto& [name, value] : exchange.headers) {
            EXPECT_EQ(requests[i].header(name), value) << name;
        }
    }
    // Nothing but requests reaches the platform: no prompt, no output.
    EXPECT_EQ(platform.strayBytes(), "");
}

}  // namespace quarlino::quil::e2e
