#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "e2e/process_runner.hpp"
#include "support/quil/temporary_directory.hpp"

namespace quarlino::quil::e2e {
namespace {

using testsupport::quil::TemporaryDirectory;

// The standalone fake platform serves until its standard input closes, which
// the process runner does at once: it then reports what the session missed.
class FakePlatformProgram : public testing::Test {
protected:
    ProcessResult serve(const std::string& scenario, std::vector<std::string> extra = {}) const {
        const auto file = directory_.path() / "scenario.json";
        std::ofstream(file) << scenario;
        extra.push_back(file.string());
        return runProcess({FAKE_PLATFORM_BINARY, extra, {}, ""});
    }

    std::filesystem::path path(const std::string& name) const { return directory_.path() / name; }

private:
    TemporaryDirectory directory_;
};

TEST_F(FakePlatformProgram, ReportsTheAddressAndTheUnusedReplies) {
    const auto result =
        serve(R"({"requests":[{"method":"GET","target":"/"},{"method":"GET","target":"/any","times":"any"}]})",
              {"--port-file", path("port").string()});

    EXPECT_EQ(result.exitCode, 1);
    std::string port;
    std::ifstream(path("port")) >> port;
    ASSERT_FALSE(port.empty());
    EXPECT_EQ(result.out, "listening on http://127.0.0.1:" + port + "\n");
    EXPECT_EQ(result.err, "fake_platform: stub left unused: GET / (answered 0 of 1)\n");
}

TEST_F(FakePlatformProgram, NothingToReportEndsCleanly) {
    const auto result = serve(R"({"requests":[]})");

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
}

TEST_F(FakePlatformProgram, MalformedScenarioIsAUsageError) {
    const auto result = serve(R"({"requests":[{"method":"GET","target":"/"},{"method":"GET"}]})");

    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "fake_platform: scenario request 1: \"target\" must be a non-empty string\n"
                          "usage: fake_platform [--tls] [--port-file PATH] SCENARIO.json\n");
}

}  // namespace
}  // namespace quarlino::quil::e2e
