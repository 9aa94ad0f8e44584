#include "e2e/quil_harness.hpp"

#include <chrono>
#include <cstddef>
#include <random>

namespace quarlino::quil::e2e {
namespace {

// Generous enough for sanitizer builds on a loaded machine; unbounded, the
// deep answers alone cost quil gigabytes and tens of seconds.
constexpr long kPeakKilobytes = 1024 * 1024;
constexpr auto kDuration = std::chrono::seconds(30);
constexpr std::size_t kValueLimit = 3'000'000;

std::string deepTextField() {
    return R"({"id":"usr-1","name":)" + std::string(75'000, '[') + std::string(75'000, ']') +
           R"(,"quarlino-token":"tok-new"})";
}
std::string deepArrays() { return std::string(16 << 20, '['); }
// Whitespace here and there keeps the gzip form within the hundredfold a
// decoded body may grow by.
std::string deepArraysWithSpaces() {
    std::minstd_rand random(7);
    std::string text(16 << 20, '[');
    for (char& c : text) {
        c = random() % 16 == 0 ? ' ' : c;
    }
    return '[' + text;
}
std::string zeros() {
    std::string text = "[0";
    for (std::size_t i = 1; i < kValueLimit; ++i) {
        text += ",0";
    }
    return text + "]";
}
std::string counting() {
    std::string text = "[0";
    for (std::size_t i = 1; i < kValueLimit; ++i) {
        text += "," + std::to_string(i);
    }
    return text + "]";
}

std::string invalidJson(const std::string& problem) {
    return "Quarlino returned invalid JSON: [json.exception.parse_error.101] parse error: " + problem;
}
const std::string tooDeep = invalidJson("JSON nested deeper than 512 levels");
const std::string tooMany = invalidJson("JSON with more than 3000000 values");

struct HostileAnswer {
    std::string name;
    std::vector<std::string> argv;
    std::string method;
    std::string target;
    int status;
    std::string (*body)();
    bool gzip;
    Outcome expected;
};

void PrintTo(const HostileAnswer& c, std::ostream* os) { *os << c.name; }

class HostileAnswers : public QuilEndToEnd, public testing::WithParamInterface<HostileAnswer> {};

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
    EXPECT_LT(std::chrono::steady_clock::now() - started, kDuration);

    expectOutcome(result, c.expected);
    EXPECT_LT(result.peakResidentKilobytes, kPeakKilobytes);
    EXPECT_EQ(readFile(profilesFile()), profiles);
    EXPECT_EQ(readFile(credentialsFile()), credentials);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, HostileAnswers,
    testing::Values(
        HostileAnswer{"LoginWithADeepTextField",
                      {"auth", "login", "--email", "dana@example.com", "--password-stdin"},
                      "POST", "/api/v1/user/login", 200, deepTextField, false,
                      {1, "", "quil: " + tooDeep + "\n"}},
        HostileAnswer{"DeepList", {"workspace", "list", "--output", "json"}, "GET", "/api/workspaces", 200,
                      deepArrays, false, {1, "", jsonError("INTERNAL_ERROR", std::nullopt, tooDeep)}},
        HostileAnswer{"ListOfTooManyValues", {"project", "list", "--quiet"}, "GET", "/api/project", 200, zeros,
                      false, {1, "", "quil: " + tooMany + "\n"}},
        HostileAnswer{"GzipListOfTooManyValues", {"project", "list"}, "GET", "/api/project", 200, counting, true,
                      {1, "", "quil: " + tooMany + "\n"}},
        // A refusal's body that cannot be read leaves its status to speak.
        HostileAnswer{"RefusalWithADeepBody", {"workspace", "list"}, "GET", "/api/workspaces", 403, deepArrays,
                      false, {4, "", "quil: Quarlino API returned HTTP 403\n"}},
        HostileAnswer{"RefusalWithAGzipDeepBody", {"project", "list"}, "GET", "/api/project", 403,
                      deepArraysWithSpaces, true, {4, "", "quil: Quarlino API returned HTTP 403\n"}},
        HostileAnswer{"RefusalWithTooManyValues", {"project", "list", "--output", "json"}, "GET", "/api/project",
                      403, counting, true, {4, "", jsonError("FORBIDDEN", 403, "Quarlino API returned HTTP 403")}}),
    [](const testing::TestParamInfo<HostileAnswer>& info) { return info.param.name; });

}  // namespace
}  // namespace quarlino::quil::e2e
