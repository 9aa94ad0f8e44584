#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "infrastructure/http/gateway_test_support.hpp"

namespace gatewaytest {
namespace {

namespace model = quarlino::quil::model;

// Request shapes of projects, repository, actions and registry --------------------------

const std::string kRegistry = "/api/v1/projects/p%201/registry";

const std::vector<OperationCase> kProjectRequests = {
    {"ListProjects", [](Gateway& g) { g.listProjects(); }, {HttpMethod::GET, "/api/project", ""}, "[]"},
    {"GetProject", [](Gateway& g) { g.getProject("p/1"); }, {HttpMethod::GET, "/api/project/p%2F1", ""}, "{}"},
    {"CreateProject", [](Gateway& g) { g.createProject("web", false); },
     {HttpMethod::POST, "/api/project", R"({"gitRepositoryEnabled":false,"name":"web"})"}, "{}", 201},
    {"CreateProjectWithRepository", [](Gateway& g) { g.createProject("", true); },
     {HttpMethod::POST, "/api/project", R"({"gitRepositoryEnabled":true,"name":""})"}, "{}", 201},
    {"RenameProject", [](Gateway& g) { g.renameProject("p1", "site"); },
     {HttpMethod::PUT, "/api/project/p1", R"({"name":"site"})"}, "{}"},
    {"DeleteProject", [](Gateway& g) { g.deleteProject("p1"); }, {HttpMethod::DELETE, "/api/project/p1", ""}, "",
     204},
    {"EnableRepository", [](Gateway& g) { g.enableRepository("p1"); },
     {HttpMethod::POST, "/api/project/p1/git-repository", ""}, "{}"},
    {"RepositoryTree", [](Gateway& g) { g.repositoryTree("p1", "src/main"); },
     {HttpMethod::GET, "/api/project/p1/repository/tree?path=src%2Fmain", ""}, "{}"},
    {"RepositoryTreeOfTheRoot", [](Gateway& g) { g.repositoryTree("p1", ""); },
     {HttpMethod::GET, "/api/project/p1/repository/tree?path=", ""}, "{}"},
    {"ListActions", [](Gateway& g) { g.listActions(); }, {HttpMethod::GET, "/api/actions", ""}, "[]"},
    {"GetRegistry", [](Gateway& g) { g.getProjectRegistry("p 1"); }, {HttpMethod::GET, kRegistry, ""}, "{}"},
    {"EnableRegistry", [](Gateway& g) { g.enableProjectRegistry("p 1"); }, {HttpMethod::POST, kRegistry, "{}"},
     "{}", 201},
    {"UpdateRegistryVisibility", [](Gateway& g) { g.updateProjectRegistryVisibility("p 1", "PUBLIC"); },
     {HttpMethod::PATCH, kRegistry, R"({"visibility":"PUBLIC"})"}, "{}"},
    {"ListRegistryRepositories", [](Gateway& g) { g.listRegistryRepositories("p 1"); },
     {HttpMethod::GET, kRegistry + "/repositories", ""}, "[]"},
    {"ListRegistryTokens", [](Gateway& g) { g.listRegistryAccessTokens("p 1"); },
     {HttpMethod::GET, kRegistry + "/tokens", ""}, "[]"},
    {"CreateRegistryToken",
     [](Gateway& g) { g.createRegistryAccessToken("p 1", {"ci", {"PULL", "PUSH"}, "2027-01-01"}); },
     {HttpMethod::POST, kRegistry + "/tokens", R"({"expiresAt":"2027-01-01","name":"ci","permissions":["PULL","PUSH"]})"},
     "{}", 201},
    {"CreateRegistryTokenWithoutPermissionsOrExpiry",
     [](Gateway& g) { g.createRegistryAccessToken("p 1", {"ci", {}, std::nullopt}); },
     {HttpMethod::POST, kRegistry + "/tokens", R"({"expiresAt":null,"name":"ci","permissions":[]})"}, "{}", 201},
    {"CreateRegistryTokenWithEmptyExpiry", [](Gateway& g) { g.createRegistryAccessToken("p 1", {"ci", {}, ""}); },
     {HttpMethod::POST, kRegistry + "/tokens", R"({"expiresAt":"","name":"ci","permissions":[]})"}, "{}", 201},
    {"RevokeRegistryToken", [](Gateway& g) { g.revokeRegistryAccessToken("p 1", "t 1"); },
     {HttpMethod::DELETE, kRegistry + "/tokens/t%201", ""}, "", 204},
    {"DisableRegistry", [](Gateway& g) { g.disableProjectRegistry("p 1"); }, {HttpMethod::DELETE, kRegistry, ""},
     "not json", 200},
};

class ProjectRequestTest : public OperationRequestTest {};

TEST_P(ProjectRequestTest, SendsExactRequest) { runCase(); }
INSTANTIATE_TEST_SUITE_P(ProjectOperations, ProjectRequestTest, testing::ValuesIn(kProjectRequests), caseName);

class ProjectListTest : public ListRefusalTest {};

TEST_P(ProjectListTest, RefusesAnEmptyBody) { runCase(); }

INSTANTIATE_TEST_SUITE_P(ProjectOperations, ProjectListTest,
                         testing::Values(kProjectRequests[0], kProjectRequests[9], kProjectRequests[13],
                                         kProjectRequests[14]),
                         caseName);

// Results ---------------------------------------------------------------------------

class ProjectOperationsTest : public GatewayFamilyTest {};

TEST_F(ProjectOperationsTest, ProjectsAreMapped) {
    const std::string body =
        R"([{"id":"p1","name":"web","repositoryId":"r1","gitRepositoryUrl":"",)"
        R"("gitRepositoryEnabled":true,"gitRepositoryInitialized":false}])";
    transport.expect(HttpMethod::GET, "/api/project", 200, body);
    transport.expect(HttpMethod::POST, "/api/project/p1/git-repository", 200, "");
    const auto list = gateway.listProjects();
    ASSERT_EQ(list.value.size(), 1u);
    EXPECT_EQ(list.value[0].repositoryId, std::optional<std::string>("r1"));
    EXPECT_FALSE(list.value[0].gitRepositoryUrl.has_value());
    EXPECT_TRUE(list.value[0].gitRepositoryEnabled);
    EXPECT_EQ(list.body, body);
    const auto enabled = gateway.enableRepository("p1");
    EXPECT_EQ(enabled.value.id, "");
    EXPECT_EQ(enabled.body, "");
}

TEST_F(ProjectOperationsTest, ActionsAreMapped) {
    transport.expect(HttpMethod::GET, "/api/actions", 200,
                     R"([{"code":"shell","displayName":"Shell","outputs":[{"name":"out","type":"text"}]}])");
    const auto result = gateway.listActions();
    ASSERT_EQ(result.value.size(), 1u);
    EXPECT_EQ(result.value[0].displayName, "Shell");
    ASSERT_EQ(result.value[0].outputs.size(), 1u);
    EXPECT_EQ(result.value[0].outputs[0].type, "text");
}

TEST_F(ProjectOperationsTest, RegistryResultsAreMapped) {
    transport.expect(HttpMethod::POST, "/api/v1/projects/p1/registry", 201,
                     R"({"id":"reg","visibility":"PRIVATE","quotaBytes":1024})");
    transport.expect(HttpMethod::GET, "/api/v1/projects/p1/registry/repositories", 200,
                     R"([{"repository":"web","artifacts":[{"tag":"v1","sizeBytes":5}]}])");
    transport.expect(HttpMethod::POST, "/api/v1/projects/p1/registry/tokens", 201,
                     R"({"id":"t1","prefix":"qr_","secret":"qr_s3cr3t","permissions":["PULL"]})");
    const auto registry = gateway.enableProjectRegistry("p1");
    EXPECT_EQ(registry.value.visibility, "PRIVATE");
    EXPECT_EQ(registry.value.quotaBytes, 1024u);
    const auto repositories = gateway.listRegistryRepositories("p1");
    ASSERT_EQ(repositories.value.size(), 1u);
    ASSERT_EQ(repositories.value[0].artifacts.size(), 1u);
    EXPECT_EQ(repositories.value[0].artifacts[0].sizeBytes, 5u);
    const auto token = gateway.createRegistryAccessToken("p1", {"ci", {"PULL"}, std::nullopt});
    EXPECT_EQ(token.value.secret, std::optional<std::string>("qr_s3cr3t"));
    EXPECT_EQ(token.value.permissions, std::vector<std::string>{"PULL"});
}

// The tree answer is an object whose "entries" are walked -----------------------------

const std::string kTree = "/api/project/p1/repository/tree?path=src";

model::RepositoryEntry onlyEntry(const std::vector<model::RepositoryEntry>& entries) {
    EXPECT_EQ(entries.size(), 1u);
    return entries.empty() ? model::RepositoryEntry{} : entries.front();
}

struct SizeCase {
    std::string name;
    std::string size;
    std::optional<std::uint64_t> expected;
};

class TreeEntrySizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(TreeEntrySizeTest, KeepsOnlyNonNegativeIntegers) {
    testsupport::quil::RecordingTransport transport;
    transport.expect(HttpMethod::GET, kTree, 200,
                     R"({"entries":[{"name":"a","path":"src/a","type":"file","size":)" + GetParam().size + "}]}");
    Gateway gateway{transport};
    const auto entry = onlyEntry(gateway.repositoryTree("p1", "src").value);
    EXPECT_EQ(entry.name, "a");
    EXPECT_EQ(entry.path, "src/a");
    EXPECT_EQ(entry.type, "file");
    EXPECT_EQ(entry.size, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(ProjectOperations, TreeEntrySizeTest,
                         testing::Values(SizeCase{"Zero", "0", 0}, SizeCase{"Positive", "4096", 4096},
                                         SizeCase{"Largest", "18446744073709551615", UINT64_MAX},
                                         SizeCase{"Negative", "-1", std::nullopt},
                                         SizeCase{"Fraction", "12.5", std::nullopt},
                                         SizeCase{"WholeFloat", "12.0", std::nullopt},
                                         SizeCase{"Text", R"("12")", std::nullopt},
                                         SizeCase{"Null", "null", std::nullopt}),
                         [](const testing::TestParamInfo<SizeCase>& info) { return info.param.name; });

TEST_F(ProjectOperationsTest, TreeEntriesShapes) {
    transport.expect(HttpMethod::GET, kTree, 200, "{}");
    transport.expect(HttpMethod::GET, kTree, 200, R"({"entries":null})");
    transport.expect(HttpMethod::GET, kTree, 200, R"({"entries":"file"})");
    transport.expect(HttpMethod::GET, kTree, 200, R"({"entries":{"z":{"name":"second"},"a":{"name":"first"}}})");
    EXPECT_TRUE(gateway.repositoryTree("p1", "src").value.empty());
    EXPECT_TRUE(gateway.repositoryTree("p1", "src").value.empty());
    const auto single = onlyEntry(gateway.repositoryTree("p1", "src").value);
    EXPECT_EQ(single.name, "");
    EXPECT_FALSE(single.size.has_value());
    const auto members = gateway.repositoryTree("p1", "src").value;
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].name, "first");
    EXPECT_EQ(members[1].name, "second");
}

// A list read as it arrives still follows the tree: the last of repeated
// members wins, and "entries" deeper down is not the list.
TEST_F(ProjectOperationsTest, TreeEntriesReadAsTheyArrive) {
    for (const std::string body : {R"({"entries":[{"name":"a"},{"name":"b"}],"entries":{"k":{"name":"last"}}})",
                                   R"({"entries":{"k":{"name":"a"}},"entries":[{"name":"last"}]})",
                                   R"({"entries":[{"name":"a"}],"entries":[{"name":"last"}]})",
                                   R"({"x":{"entries":[{"name":"a"}]},"entries":[{"name":"last"}]})"}) {
        transport.expect(HttpMethod::GET, kTree, 200, body);
        EXPECT_EQ(onlyEntry(gateway.repositoryTree("p1", "src").value).name, "last") << body;
    }
}

TEST_F(ProjectOperationsTest, TreeKeepsTheWholeBody) {
    const std::string body = R"({ "entries": [ {"name":"a"} ], "truncated": false })";
    transport.expect(HttpMethod::GET, kTree, 200, body);
    EXPECT_EQ(gateway.repositoryTree("p1", "src").body, body);
}

TEST_F(ProjectOperationsTest, TreeRefusesAnArrayRoot) {
    transport.expect(HttpMethod::GET, kTree, 200, R"([{"name":"a"}])");
    expectJsonError([&] { gateway.repositoryTree("p1", "src"); }, 306);
}

TEST_F(ProjectOperationsTest, EmptyIdentifiersSendNothing) {
    expectFailure<std::invalid_argument>([&] { gateway.getProject(""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.renameProject("", "x"); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.repositoryTree("", "src"); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.enableProjectRegistry(""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.revokeRegistryAccessToken("p1", ""); }, kEmptyIdentifier);
    EXPECT_TRUE(transport.requests().empty());
}

}  // namespace
}  // namespace gatewaytest
