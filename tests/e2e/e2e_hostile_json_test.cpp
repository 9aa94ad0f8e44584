#include "e2e/command_cases.hpp"

#include <chrono>
#include <cstdio>
#include <random>
#include <string_view>

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

// Far past what the budget lets through (a quarter of the body limit).
constexpr std::size_t kLargeBody = std::size_t{64} << 20;
std::string repeated(std::string_view open, std::string_view element, std::string_view close) {
    std::string text(open);
    text.reserve(kLargeBody);
    while (text.size() + element.size() + 1 + close.size() <= kLargeBody) {
        text.append(element).push_back(',');
    }
    text.pop_back();
    return text.append(close);
}
std::string tinyObjects() { return repeated("[", "{}", "]"); }
std::string tinyObjectsInARecord() { return repeated(R"({"id":"usr-1","quarlino-token":"tok-new","a":[)", "{}", "]}"); }

std::string commaSeparated(std::string_view element, std::size_t count) {
    std::string text;
    text.reserve(count * (element.size() + 1));
    for (std::size_t i = 0; i < count; ++i) {
        text.append(i == 0 ? "" : ",").append(element);
    }
    return text;
}
// Lists in a record, and in the elements of a list, each element a record.
std::string decisionsOfEmptyObjects() { return R"({"decisions":[)" + commaSeparated("{}", 9'000'000) + "]}"; }
std::string repositoriesOfEmptyArtifacts() {
    const std::string artifacts = commaSeparated("{}", 9'000'000);
    return R"([{"repository":"r1","artifacts":[)" + artifacts + R"(]},{"repository":"r2","artifacts":[)" +
           artifacts + "]}]";
}
std::string objectOfTwentyMillionMembers() {
    std::string text = "{";
    text.reserve(240'000'002);
    char member[16];
    for (int i = 0; i < 20'000'000; ++i) {
        std::snprintf(member, sizeof member, "%s\"%07d\":0", i == 0 ? "" : ",", i);
        text += member;
    }
    return text + "}";
}
// Records far smaller than what they can hold.
std::string sparseGrants() { return "[" + commaSeparated(R"({"id":"g"})", 1'000'000) + "]"; }
bool isOneMillionGrantIds(const std::string& out) {
    std::string expected;
    expected.reserve(2'000'000);
    for (int i = 0; i < 1'000'000; ++i) {
        expected += "g\n";
    }
    return out == expected;
}

// Ordinary run logs: 1,500,000 entries are some 236 MiB; 500,001 entries of
// four members each are past the former cap of 2,500,000 values.
std::string logField(const char* format, int i) {
    char text[80];
    std::snprintf(text, sizeof text, format, i);
    return text;
}
std::string logTimestamp(int i) { return logField("2026-12-09T16:39:00.%06dZ", i % 1'000'000); }
std::string logMessage(int i) { return logField("compiling src/module_%07d.cpp with -O2 -Wall, linked ok", i); }
std::string logLine(int i) { return logTimestamp(i) + " [build-and-test] " + logMessage(i) + "\n"; }
template <int entries>
std::string longLog() {
    std::string text = "[";
    text.reserve(std::size_t{entries} * 170);
    for (int i = 0; i < entries; ++i) {
        text += (i == 0 ? R"({"timestamp":")" : R"(,{"timestamp":")") + logTimestamp(i) +
                R"(","actionName":"build-and-test","actionType":"SHELL","message":")" + logMessage(i) + "\"}";
    }
    return text + "]";
}
// Checked line by line rather than against a copy of a few hundred megabytes.
template <int entries>
bool isLongLogText(const std::string& out) {
    std::size_t at = 0;
    for (int i = 0; i < entries; ++i) {
        const std::string line = logLine(i);
        if (out.compare(at, line.size(), line) != 0) {
            return false;
        }
        at += line.size();
    }
    return at == out.size();
}
template <int entries>
bool isLongLogJson(const std::string& out) {
    return out == longLog<entries>() + "\n";
}

const std::string invalid = "Quarlino returned invalid JSON: [json.exception.parse_error.101] parse error: ";
const std::string tooDeep = invalid + "JSON nested deeper than 512 levels";
const std::string tooLarge = invalid + "JSON taking more than 1073741824 bytes of memory";
const std::string notAnObject = "[json.exception.type_error.306] cannot use value() with number";
const Exchange listRuns{"GET", "/api/executions", 200, R"([{"id":"e-1","pipelineId":"pl-1","status":"RUNNING"}])"};
const Exchange runEnded{"GET", "/api/executions/e-1", 200, R"({"id":"e-1","status":"SUCCESS"})"};
const Exchange listProjects{"GET", "/api/project", 200, R"([{"id":"p-1","name":"web"}])"};
const Exchange listOrganizations{"GET", "/api/organizations", 200, R"([{"id":"o1","name":"o1","slug":"o1"}])"};

struct HostileAnswer {
    std::string name;
    std::vector<std::string> argv;
    std::string method, target;
    int status;
    std::string (*body)();
    bool gzip;
    Outcome expected;
    // Whether standard output is right, when it is too long to hold in the table.
    bool (*out)(const std::string&) = nullptr;
    // Answers around the hostile one, and how often that one is asked for.
    std::vector<Exchange> around = {};
    std::size_t times = 1;
    long peakKilobytes = 1024 * 1024;
    // Too slow for the sanitizer builds: only the plain build runs it, and
    // gives it the time a loaded machine may need.
    bool large = false;
};

void PrintTo(const HostileAnswer& c, std::ostream* os) { *os << c.name; }

class HostileAnswers : public QuilEndToEnd, public testing::WithParamInterface<HostileAnswer> {};

// Unbounded, the deep answers alone cost quil gigabytes and tens of seconds;
// the bounds leave room for sanitizers on a loaded machine.
TEST_P(HostileAnswers, EndQuicklyInBoundedMemoryAndStoreNothing) {
    const HostileAnswer& c = GetParam();
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (c.large) {
        GTEST_SKIP() << "a quarter of a gigabyte of JSON is for the plain build";
    }
#endif
    signIn("tok-1", "ws-1");
    if (c.large) {
        setEnvironment("QUARLINO_HTTP_TIMEOUT_SECONDS", "300");
    }
    const std::string profiles = readFile(profilesFile());
    const std::string credentials = readFile(credentialsFile());
    for (const Exchange& exchange : c.around) {
        platform.expect(exchange.method, exchange.target).respond(exchange.status, exchange.reply);
    }
    auto stub = platform.expect(c.method, c.target).respond(c.status, c.body()).times(c.times);
    if (c.gzip) {
        stub.gzip();
    }

    const auto started = std::chrono::steady_clock::now();
    const ProcessResult result = quil(c.argv, "s3cret\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(c.large ? 150 : 60));
    EXPECT_LT(result.peakResidentKilobytes, c.peakKilobytes);
    if (c.out != nullptr) {
        EXPECT_TRUE(c.out(result.out)) << "standard output differs, " << result.out.size() << " bytes";
        EXPECT_EQ(result.exitCode, c.expected.exitCode);
        EXPECT_EQ(result.err, c.expected.err);
    } else {
        expectOutcome(result, c.expected);
    }
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
        // Formerly too many values; each is now mapped, and refused by the mapper.
        HostileAnswer{"ListOfTooManyValues", {"project", "list", "--quiet"}, "GET", "/api/project", 200,
                      tooManyValues, false, {1, "", "quil: " + notAnObject + "\n"}},
        HostileAnswer{"GzipListOfTooManyValues", {"project", "list"}, "GET", "/api/project", 200, tooManyValues,
                      true, {1, "", "quil: " + notAnObject + "\n"}},
        HostileAnswer{"RefusalWithADeepBody", {"workspace", "list"}, "GET", "/api/workspaces", 403, deepArrays,
                      false, {4, "", "quil: Quarlino API returned HTTP 403\n"}},
        HostileAnswer{"RefusalWithAGzipDeepBody", {"project", "list", "--output", "json"}, "GET", "/api/project",
                      403, deepArraysWithSpaces, true,
                      {4, "", jsonError("FORBIDDEN", 403, "Quarlino API returned HTTP 403")}},
        // Many tiny values cost memory past the budget, as a list and as a tree.
        HostileAnswer{"ListOfTinyObjectsPastTheBudget", {"workspace", "list"}, "GET", "/api/workspaces", 200,
                      tinyObjects, false, {1, "", "quil: " + tooLarge + "\n"}, nullptr, {}, 1, 2048 * 1024, true},
        HostileAnswer{"LoginWithTinyObjectsPastTheBudget",
                      {"auth", "login", "--email", "dana@example.com", "--password-stdin"},
                      "POST", "/api/v1/user/login", 200, tinyObjectsInARecord, false,
                      {1, "", "quil: " + tooLarge + "\n"}, nullptr, {}, 1, 2048 * 1024, true},
        // What records keep is charged too: each list and each text in them.
        HostileAnswer{"RecordWithAListPastTheBudget", {"access", "capabilities"}, "GET",
                      "/api/authorization/capabilities?resourceType=WORKSPACE&resourceId=ws-1", 200,
                      decisionsOfEmptyObjects, false, {1, "", "quil: " + tooLarge + "\n"}, nullptr, {}, 1,
                      2048 * 1024, true},
        HostileAnswer{"ListsInListElementsPastTheBudget", {"registry", "repositories", "web"}, "GET",
                      "/api/v1/projects/p-1/registry/repositories", 200, repositoriesOfEmptyArtifacts, false,
                      {1, "", "quil: " + tooLarge + "\n"}, nullptr, {listProjects}, 1, 2048 * 1024, true},
        HostileAnswer{"ObjectWhereAListWasExpected", {"workspace", "list"}, "GET", "/api/workspaces", 200,
                      objectOfTwentyMillionMembers, false,
                      {1, "", "quil: Quarlino API returned an object where an array was expected\n"}, nullptr, {}, 1,
                      1024 * 1024, true},
        HostileAnswer{"SparseListPrintsWhole", {"grant", "list", "--organization", "o1", "--quiet"}, "GET",
                      "/api/organizations/o1/authorization/grants", 200, sparseGrants, false, {0, "", ""},
                      isOneMillionGrantIds, {listOrganizations}, 1, 1024 * 1024, true},
        // Ordinary logs past the former cap print whole.
        HostileAnswer{"RunLogOfOneAndAHalfMillionEntries", {"run", "logs", "e-1"}, "GET", "/api/executions/e-1/logs",
                      200, longLog<1'500'000>, false, {0, "", ""}, isLongLogText<1'500'000>, {listRuns}, 1,
                      2048 * 1024, true},
        HostileAnswer{"RunLogPastTheFormerCapAsJson", {"run", "logs", "e-1", "--output", "json"}, "GET",
                      "/api/executions/e-1/logs", 200, longLog<500'001>, false, {0, "", ""}, isLongLogJson<500'001>,
                      {listRuns}, 1, 2048 * 1024, true},
        HostileAnswer{"RunLogPastTheFormerCapFollowed", {"run", "logs", "e-1", "--follow"}, "GET",
                      "/api/executions/e-1/logs", 200, longLog<500'001>, false, {0, "", ""}, isLongLogText<500'001>,
                      {listRuns, runEnded}, 2, 2048 * 1024, true}),
    [](const testing::TestParamInfo<HostileAnswer>& info) { return info.param.name; });

}  // namespace
}  // namespace quarlino::quil::e2e
