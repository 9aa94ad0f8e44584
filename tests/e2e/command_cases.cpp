#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {

// Each command group instantiates the suite with its own table.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CommandCaseTest);

std::string commandCaseName(const testing::TestParamInfo<CommandCase>& info) { return info.param.name; }

TEST_P(CommandCaseTest, RunsAsScripted) {
    const CommandCase& c = GetParam();
    if (c.workspaceId.empty()) {
        signIn("tok-1");
    } else {
        signIn("tok-1", c.workspaceId);
    }
    for (const Exchange& exchange : c.exchanges) {
        platform.expect(exchange.method, exchange.target).respond(exchange.status, exchange.reply);
    }

    expectOutcome(quil(c.argv, c.input), c.expected);

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
}

}  // namespace quarlino::quil::e2e
