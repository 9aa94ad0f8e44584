#include "e2e/quil_harness.hpp"

#include <chrono>
#include <random>

namespace quarlino::quil::e2e {
namespace {

std::string deepTextField() {
    return R"({"id":"usr-1","name":)" + std::string(75'000, '[') + std::string(75'000, ']') +
           R"(,"quarlino-token":"tok-new"})";
}
std::string deepArrays() { return std::string(16 << 20, '['); }
// Spaces here and there keep the gzip form within the hundredfold a decoded
// body may grow by.
std::string deepArraysWithSpaces() {
    std::minstd_rand random(7);
    std::string text = deepArrays();
    for (char& c : text) {
        c = random() % 16 == 0 ? ' ' : c;
    }
    return '[' + text;
}
std::string tooManyValues() {
    std::string text = "[0";
    for (int i = 1; i < 2'500'000; ++i) {
        text += "," + std::to_string(i);
    }
    return text + "]";
}

const std::string invalid = "Quarlino returned invalid JSON: [json.exception.parse_error.101] parse error: ";
const std::string tooDeep = invalid + "JSON nested deeper than 512 levels";
const std::string tooMany = invalid + "JSON with more than 2500000 values";

struct HostileAnswer {
    std::string name;
    std::vector<std::string> argv;
    std::string method, target;
    int status;
    std::string (*body)();
    bool gzip;
    Outcome expected;
};

void PrintTo(const HostileAnswer& c, std::ostream* os) { *os << c.name; }

class HostileAnswers : public QuilEndToEnd, public testing::WithParamInterface<HostileAnswer> {};

// Unbounded, the deep answers alone cost quil gigabytes and tens of seconds;
// the bounds leave room for sanitizers on a loaded machine.
TEST_P(HostileAnswers, FailLikeInvalidJsonQuicklyInBoundedMemoryAndStoreNothing) {
    const HostileAnswer& c = GetParam();
    signIn("tok-1", "ws-1");
    const std::string profiles = readFile(profilesFile());
    const std::string credentials = readFile(credentialsFile());
    auto stub = platform.expect(c.method, c.target).respond(c.status, c.body());
    if (c.gzip) {
        stub.gzip();
    }

    const auto started = std::chrono::steady_clock::now();
    const ProcessResult result = quil(c.argv, "s3cret\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
    EXPECT_LT(result.peakResidentKilobytes, 1024 * 1024);
    expectOutcome(result, c.expected);
    EXPECT_EQ(readFile(profilesFile()), profiles);
    EXPECT_EQ(readFile(credentialsFile()), credentials);
}

// A refusal whose body cannot be read is reported by its status, as always.
INSTANTIATE_TEST_SUITE_P(
    Bodies, HostileAnswers,
    testing::Values(
        HostileAnswer{"LoginWithADeepTextField",
                      {"auth", "login", "--email", "dana@example.com", "--password-stdin"},
                      "POST", "/api/v1/user/login", 200, deepTextField, false,
                      {1, "", "quil: " + tooDeep + "\n"}},
        HostileAnswer{"DeepList", {"workspace", "list", "--output", "json"}, "GET", "/api/workspaces", 200,
                      deepArrays, false, {1, "", jsonError("INTERNAL_ERROR", std::nullopt, tooDeep)}},
        HostileAnswer{"ListOfTooManyValues", {"project", "list", "--quiet"}, "GET", "/api/project", 200,
                      tooManyValues, false, {1, "", "quil: " + tooMany + "\n"}},
        HostileAnswer{"GzipListOfTooManyValues", {"project", "list"}, "GET", "/api/project", 200, tooManyValues,
                      true, {1, "", "quil: " + tooMany + "\n"}},
        HostileAnswer{"RefusalWithADeepBody", {"workspace", "list"}, "GET", "/api/workspaces", 403, deepArrays,
                      false, {4, "", "quil: Quarlino API returned HTTP 403\n"}},
        HostileAnswer{"RefusalWithAGzipDeepBody", {"project", "list", "--output", "json"}, "GET", "/api/project",
                      403, deepArraysWithSpaces, true,
                      {4, "", jsonError("FORBIDDEN", 403, "Quarlino API returned HTTP 403")}}),
    [](const testing::TestParamInfo<HostileAnswer>& info) { return info.param.name; });

}  // namespace
}  // namespace quarlino::quil::e2e
