#include <stdexcept>
#include <string>
#include <vector>

#include "infrastructure/http/gateway_test_support.hpp"

namespace gatewaytest {
namespace {

// Request shapes -------------------------------------------------------------------

const std::vector<OperationCase> kGroupRequests = {
    {"ListVariableGroups", [](Gateway& g) { g.listVariableGroups(); },
     {HttpMethod::GET, "/api/variable-groups", ""}, "[]"},
    {"GetVariableGroup", [](Gateway& g) { g.getVariableGroup("vg 1/x"); },
     {HttpMethod::GET, "/api/variable-groups/vg%201%2Fx", ""}, "{}"},
    {"CreateVariableGroup", [](Gateway& g) { g.createVariableGroup("env", "Shared"); },
     {HttpMethod::POST, "/api/variable-groups", R"({"description":"Shared","name":"env"})"}, "{}", 201},
    {"CreateVariableGroupEmptyDescription", [](Gateway& g) { g.createVariableGroup("env", ""); },
     {HttpMethod::POST, "/api/variable-groups", R"({"description":"","name":"env"})"}, "{}", 201},
    {"DeleteVariableGroup", [](Gateway& g) { g.deleteVariableGroup("vg1"); },
     {HttpMethod::DELETE, "/api/variable-groups/vg1", ""}, "not json", 204},
    {"ListSecretGroups", [](Gateway& g) { g.listSecretGroups(); },
     {HttpMethod::GET, "/api/secret-groups", ""}, "[]"},
    {"GetSecretGroup", [](Gateway& g) { g.getSecretGroup("sg1"); },
     {HttpMethod::GET, "/api/secret-groups/sg1", ""}, "{}"},
    {"CreateSecretGroup", [](Gateway& g) { g.createSecretGroup("keys", ""); },
     {HttpMethod::POST, "/api/secret-groups", R"({"description":"","name":"keys"})"}, "{}", 201},
    {"DeleteSecretGroup", [](Gateway& g) { g.deleteSecretGroup("sg1"); },
     {HttpMethod::DELETE, "/api/secret-groups/sg1", ""}, R"({"id":"sg1"})", 200},
};

class GroupRequestTest : public OperationRequestTest {};

TEST_P(GroupRequestTest, SendsExactRequest) { runCase(); }
INSTANTIATE_TEST_SUITE_P(GroupOperations, GroupRequestTest, testing::ValuesIn(kGroupRequests), caseName);

// Results ---------------------------------------------------------------------------

class GroupOperationsTest : public GatewayFamilyTest {};

TEST_F(GroupOperationsTest, ListVariableGroupsMapsEveryGroupAndKeepsTheBody) {
    const std::string body =
        R"([{"id":"g1","name":"env","description":"d","ownerId":"u","created":"c","updated":"u2",)"
        R"("variables":[{"id":"v1","name":"A","value":"1"}]}, {"id":"g2"}])";
    transport.expect(HttpMethod::GET, "/api/variable-groups", 200, body);
    const auto result = gateway.listVariableGroups();
    ASSERT_EQ(result.value.size(), 2u);
    EXPECT_EQ(result.value[0].name, "env");
    EXPECT_EQ(result.value[0].ownerId, "u");
    ASSERT_EQ(result.value[0].variables.size(), 1u);
    EXPECT_EQ(result.value[0].variables[0].value, "1");
    EXPECT_EQ(result.value[1].id, "g2");
    EXPECT_EQ(result.body, body);
}

TEST_F(GroupOperationsTest, ListVariableGroupsRefusesAnEmptyBody) {
    transport.expect(HttpMethod::GET, "/api/variable-groups", 200, "");
    expectFailure<std::runtime_error>([&] { gateway.listVariableGroups(); }, kNotAnArray);
}

TEST_F(GroupOperationsTest, GetSecretGroupReadsNoSecretValue) {
    const std::string body = R"({"id":"s","secrets":[{"id":"k1","name":"TOKEN","configured":true,"value":"x"}]})";
    transport.expect(HttpMethod::GET, "/api/secret-groups/s", 200, body);
    const auto result = gateway.getSecretGroup("s");
    ASSERT_EQ(result.value.secrets.size(), 1u);
    EXPECT_EQ(result.value.secrets[0].name, "TOKEN");
    EXPECT_TRUE(result.value.secrets[0].configured);
    EXPECT_EQ(result.body, body);
}

TEST_F(GroupOperationsTest, CreateWithAnEmptyAnswerGivesDefaults) {
    transport.expect(HttpMethod::POST, "/api/secret-groups", 201, "");
    const auto result = gateway.createSecretGroup("keys", "d");
    EXPECT_EQ(result.value.id, "");
    EXPECT_TRUE(result.value.secrets.empty());
    EXPECT_EQ(result.body, "");
}

TEST_F(GroupOperationsTest, EmptyGroupIdentifierSendsNothing) {
    expectFailure<std::invalid_argument>([&] { gateway.getVariableGroup(""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.setVariable("", "A", "1"); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.unsetSecret("", "A"); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.deleteSecretGroup(""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.setVariable("..", "A", "1"); },
                                         "Quarlino resource identifier cannot be \"..\"");
    expectFailure<std::invalid_argument>([&] { gateway.unsetSecret(".", "A"); },
                                         "Quarlino resource identifier cannot be \".\"");
    EXPECT_TRUE(transport.requests().empty());
}

// Set and unset: read, rebuild the whole list, write it back -------------------------

constexpr const char* kVariableGroup = "/api/variable-groups/g1";
constexpr const char* kVariableEntries = "/api/variable-groups/g1/variables";
constexpr const char* kSecretGroup = "/api/secret-groups/s1";
constexpr const char* kSecretEntries = "/api/secret-groups/s1/secrets";

// A read answer holding these entries, and a write answer the result comes from.
std::string variableGroupWith(const std::string& entries) {
    return R"({"id":"g1","name":"read","variables":)" + entries + "}";
}
std::string secretGroupWith(const std::string& entries) {
    return R"({"id":"s1","name":"read","secrets":)" + entries + "}";
}

struct EntryWriteCase {
    std::string name;
    std::string readEntries;
    std::function<void(Gateway&)> call;
    std::string writtenBody;
};

class EntryWriteTest : public testing::TestWithParam<EntryWriteCase> {};

TEST_P(EntryWriteTest, ReadsThenWritesTheWholeList) {
    const EntryWriteCase& row = GetParam();
    const bool secrets = row.writtenBody.starts_with(R"({"secrets")");
    testsupport::quil::RecordingTransport transport;
    transport.expect(HttpMethod::GET, secrets ? kSecretGroup : kVariableGroup, 200,
                     secrets ? secretGroupWith(row.readEntries) : variableGroupWith(row.readEntries));
    transport.expect(HttpMethod::PUT, secrets ? kSecretEntries : kVariableEntries, 200, "{}");
    Gateway gateway{transport};
    row.call(gateway);
    ASSERT_EQ(transport.requests().size(), 2u);
    expectRequest(transport.requests()[0], {HttpMethod::GET, secrets ? kSecretGroup : kVariableGroup, ""});
    expectRequest(transport.requests()[1],
                  {HttpMethod::PUT, secrets ? kSecretEntries : kVariableEntries, row.writtenBody});
}

const std::string kThreeVariables =
    R"([{"id":"a","name":"A","value":"1"},{"id":"b","name":"B","value":"2"},{"id":"c","name":"C","value":"3"}])";

const std::vector<EntryWriteCase> kEntryWrites = {
    {"SetChangesOnlyTheMatchingEntryInPlace", kThreeVariables,
     [](Gateway& g) { g.setVariable("g1", "B", "new"); },
     R"({"variables":[{"id":"a","name":"A","value":"1"},{"id":"b","name":"B","value":"new"},)"
     R"({"id":"c","name":"C","value":"3"}]})"},
    {"SetOfAnUnknownNameAppendsWithNullId", kThreeVariables,
     [](Gateway& g) { g.setVariable("g1", "D", "4"); },
     R"({"variables":[{"id":"a","name":"A","value":"1"},{"id":"b","name":"B","value":"2"},)"
     R"({"id":"c","name":"C","value":"3"},{"id":null,"name":"D","value":"4"}]})"},
    {"SetComparesNamesExactly", R"([{"id":"p","name":"path","value":"/bin"}])",
     [](Gateway& g) { g.setVariable("g1", "PATH", "/usr"); },
     R"({"variables":[{"id":"p","name":"path","value":"/bin"},{"id":null,"name":"PATH","value":"/usr"}]})"},
    {"SetChangesEveryEntryOfThatName",
     R"([{"id":"x","name":"A","value":"1"},{"id":"y","name":"B","value":"2"},{"id":"z","name":"A","value":"3"}])",
     [](Gateway& g) { g.setVariable("g1", "A", "9"); },
     R"({"variables":[{"id":"x","name":"A","value":"9"},{"id":"y","name":"B","value":"2"},)"
     R"({"id":"z","name":"A","value":"9"}]})"},
    {"SetOnAnEmptyGroupSendsOnlyTheNewEntry", "[]", [](Gateway& g) { g.setVariable("g1", "A", ""); },
     R"({"variables":[{"id":null,"name":"A","value":""}]})"},
    {"SetResendsAnEntryWithoutIdAsEmptyId", R"([{"name":"A","value":"1"}])",
     [](Gateway& g) { g.setVariable("g1", "B", "2"); },
     R"({"variables":[{"id":"","name":"A","value":"1"},{"id":null,"name":"B","value":"2"}]})"},
    {"UnsetRemovesEveryEntryOfThatName",
     R"([{"id":"x","name":"A","value":"1"},{"id":"y","name":"B","value":"2"},{"id":"z","name":"A","value":"3"}])",
     [](Gateway& g) { g.unsetVariable("g1", "A"); }, R"({"variables":[{"id":"y","name":"B","value":"2"}]})"},
    {"UnsetOfTheOnlyVariableSendsAnEmptyList", R"([{"id":"x","name":"A","value":"1"}])",
     [](Gateway& g) { g.unsetVariable("g1", "A"); }, R"({"variables":[]})"},
    {"SetSecretResendsOtherSecretsWithNullValue",
     R"([{"id":"k1","name":"ONE","configured":true},{"id":"k2","name":"TWO","configured":false}])",
     [](Gateway& g) { g.setSecret("s1", "TWO", "s3cr3t"); },
     R"({"secrets":[{"id":"k1","name":"ONE","value":null},{"id":"k2","name":"TWO","value":"s3cr3t"}]})"},
    {"SetSecretOfAnUnknownNameAppendsWithNullId", R"([{"id":"k1","name":"ONE","configured":true}])",
     [](Gateway& g) { g.setSecret("s1", "NEW", "v"); },
     R"({"secrets":[{"id":"k1","name":"ONE","value":null},{"id":null,"name":"NEW","value":"v"}]})"},
    {"UnsetSecretKeepsTheOthersWithNullValue",
     R"([{"id":"k1","name":"ONE","configured":true},{"id":"k2","name":"TWO","configured":true}])",
     [](Gateway& g) { g.unsetSecret("s1", "ONE"); }, R"({"secrets":[{"id":"k2","name":"TWO","value":null}]})"},
    {"UnsetOfTheOnlySecretSendsAnEmptyList", R"([{"id":"k1","name":"ONE","configured":true}])",
     [](Gateway& g) { g.unsetSecret("s1", "ONE"); }, R"({"secrets":[]})"},
};

INSTANTIATE_TEST_SUITE_P(GroupEntries, EntryWriteTest, testing::ValuesIn(kEntryWrites),
                         [](const testing::TestParamInfo<EntryWriteCase>& info) { return info.param.name; });

TEST_F(GroupOperationsTest, SetReturnsTheGroupOfTheWriteAnswer) {
    transport.expect(HttpMethod::GET, kVariableGroup, 200, variableGroupWith("[]"));
    const std::string written = R"({"id":"g1","name":"written","variables":[{"id":"n","name":"A","value":"1"}]})";
    transport.expect(HttpMethod::PUT, kVariableEntries, 200, written);
    const auto result = gateway.setVariable("g1", "A", "1");
    EXPECT_EQ(result.value.name, "written");
    ASSERT_EQ(result.value.variables.size(), 1u);
    EXPECT_EQ(result.value.variables[0].id, "n");
    EXPECT_EQ(result.body, written);
}

TEST_F(GroupOperationsTest, UnsetSecretReturnsTheGroupOfTheWriteAnswer) {
    transport.expect(HttpMethod::GET, kSecretGroup, 200, secretGroupWith(R"([{"id":"k","name":"A"}])"));
    const std::string written = R"({"id":"s1","name":"written","secrets":[]})";
    transport.expect(HttpMethod::PUT, kSecretEntries, 200, written);
    const auto result = gateway.unsetSecret("s1", "A");
    EXPECT_EQ(result.value.name, "written");
    EXPECT_EQ(result.body, written);
}

TEST_F(GroupOperationsTest, UnsetOfAnUnknownNameStopsAfterTheRead) {
    transport.expect(HttpMethod::GET, kVariableGroup, 200, variableGroupWith(R"([{"id":"a","name":"A"}])"));
    transport.expect(HttpMethod::GET, kSecretGroup, 200, secretGroupWith("[]"));
    expectFailure<std::invalid_argument>([&] { gateway.unsetVariable("g1", "a"); },
                                         "variable not found in group: a");
    expectFailure<std::invalid_argument>([&] { gateway.unsetSecret("s1", "KEY"); },
                                         "secret not found in group: KEY");
    EXPECT_EQ(transport.requests().size(), 2u);
}

TEST_F(GroupOperationsTest, FailedReadSendsNoWrite) {
    transport.expect(HttpMethod::GET, kVariableGroup, 404, R"({"message":"no such group"})");
    expectApiError([&] { gateway.setVariable("g1", "A", "1"); }, 404, "no such group",
                   R"({"message":"no such group"})");
    EXPECT_EQ(transport.requests().size(), 1u);
}

TEST_F(GroupOperationsTest, FailedWriteRaisesTheWriteError) {
    transport.expect(HttpMethod::GET, kSecretGroup, 200, secretGroupWith("[]"));
    transport.expect(HttpMethod::PUT, kSecretEntries, 409, R"({"error":"busy"})");
    expectApiError([&] { gateway.setSecret("s1", "A", "1"); }, 409, "busy", R"({"error":"busy"})");
}

TEST_F(GroupOperationsTest, ValueThatIsNotUtf8FailsBeforeTheWrite) {
    transport.expect(HttpMethod::GET, kVariableGroup, 200, variableGroupWith("[]"));
    expectJsonError([&] { gateway.setVariable("g1", "A", "\xff"); }, 316);
    EXPECT_EQ(transport.requests().size(), 1u);
}

// A read answer without its entry list must never become a write that
// deletes every entry the answer failed to report.
struct MissingEntriesCase {
    std::string name;
    std::string readAnswer;
};

class MissingEntriesTest : public testing::TestWithParam<MissingEntriesCase> {
protected:
    void expectRefusal(const std::string& path, const std::function<void(Gateway&)>& call,
                       const std::string& message) {
        testsupport::quil::RecordingTransport transport;
        transport.expect(HttpMethod::GET, path, 200, GetParam().readAnswer);
        Gateway gateway{transport};
        expectFailure<std::runtime_error>([&] { call(gateway); }, message);
        EXPECT_EQ(transport.requests().size(), 1u);
    }
};

TEST_P(MissingEntriesTest, SetVariableRefusesToWrite) {
    expectRefusal(kVariableGroup, [](Gateway& g) { g.setVariable("g1", "A", "1"); },
                  "Quarlino returned a variable group without its variables");
}

TEST_P(MissingEntriesTest, UnsetVariableRefusesToWrite) {
    expectRefusal(kVariableGroup, [](Gateway& g) { g.unsetVariable("g1", "A"); },
                  "Quarlino returned a variable group without its variables");
}

TEST_P(MissingEntriesTest, SetSecretRefusesToWrite) {
    expectRefusal(kSecretGroup, [](Gateway& g) { g.setSecret("s1", "A", "1"); },
                  "Quarlino returned a secret group without its secrets");
}

TEST_P(MissingEntriesTest, UnsetSecretRefusesToWrite) {
    expectRefusal(kSecretGroup, [](Gateway& g) { g.unsetSecret("s1", "A"); },
                  "Quarlino returned a secret group without its secrets");
}

INSTANTIATE_TEST_SUITE_P(GroupEntries, MissingEntriesTest,
                         testing::Values(MissingEntriesCase{"EmptyBody", ""},
                                         MissingEntriesCase{"Array", R"([{"name":"A"}])"},
                                         MissingEntriesCase{"Text", R"("group")"},
                                         MissingEntriesCase{"Null", "null"},
                                         MissingEntriesCase{"NoEntries", R"({"id":"g"})"},
                                         MissingEntriesCase{"NullEntries",
                                                            R"({"variables":null,"secrets":null})"},
                                         MissingEntriesCase{"ObjectEntries",
                                                            R"({"variables":{"a":{}},"secrets":{"a":{}}})"}),
                         [](const testing::TestParamInfo<MissingEntriesCase>& info) { return info.param.name; });

}  // namespace
}  // namespace gatewaytest
