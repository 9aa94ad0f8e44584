#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "infrastructure/http/gateway_test_support.hpp"

namespace gatewaytest {
namespace {

namespace model = quarlino::quil::model;

model::AuthorizationRoleDefinition role(std::optional<int> expectedVersion) {
    return {"Deployer", "Ships builds", {"pipeline.run", "project.read"}, {"PROJECT"}, expectedVersion};
}

model::AuthorizationGrantDefinition grant(std::optional<std::string> expiresAt,
                                          std::optional<std::uint64_t> expectedRevision) {
    return {"USER", "u1", "r1", "PROJECT", "p1", std::move(expiresAt), expectedRevision};
}

constexpr const char* kRoleBody =
    R"({"assignableScopeTypes":["PROJECT"],"description":"Ships builds","expectedVersion":null,)"
    R"("name":"Deployer","permissions":["pipeline.run","project.read"]})";
constexpr const char* kGrantBody =
    R"({"expectedRevision":null,"expiresAt":null,"principalId":"u1","principalType":"USER",)"
    R"("roleId":"r1","scopeId":"p1","scopeType":"PROJECT"})";

// Request shapes -------------------------------------------------------------------

const std::string kRoles = "/api/organizations/o%2F1/authorization/roles";
const std::string kGrants = "/api/organizations/o1/authorization/grants";

const std::vector<OperationCase> kAuthorizationRequests = {
    {"Catalog", [](Gateway& g) { g.authorizationCatalog(); },
     {HttpMethod::GET, "/api/authorization/catalog", ""}, "{}"},
    {"Capabilities", [](Gateway& g) { g.authorizationCapabilities("PROJECT", "p 1/x"); },
     {HttpMethod::GET, "/api/authorization/capabilities?resourceType=PROJECT&resourceId=p%201%2Fx", ""}, "{}"},
    {"CapabilitiesWithEmptyResource", [](Gateway& g) { g.authorizationCapabilities("WORKSPACE", ""); },
     {HttpMethod::GET, "/api/authorization/capabilities?resourceType=WORKSPACE&resourceId=", ""}, "{}"},
    {"Decision", [](Gateway& g) { g.authorizationDecision("project.read", "PROJECT", "p1"); },
     {HttpMethod::GET, "/api/authorization/decision?permission=project.read&resourceType=PROJECT&resourceId=p1", ""},
     "{}"},
    {"ListRoles", [](Gateway& g) { g.listAuthorizationRoles("o/1"); }, {HttpMethod::GET, kRoles, ""}, "[]"},
    {"GetRole", [](Gateway& g) { g.getAuthorizationRole("o/1", "r 1"); },
     {HttpMethod::GET, kRoles + "/r%201", ""}, "{}"},
    {"PreviewRole", [](Gateway& g) { g.previewAuthorizationRole("o/1", role(std::nullopt)); },
     {HttpMethod::POST, kRoles + "/preview", kRoleBody}, "{}"},
    {"CreateRole", [](Gateway& g) { g.createAuthorizationRole("o/1", role(std::nullopt)); },
     {HttpMethod::POST, kRoles, kRoleBody}, "{}", 201},
    {"UpdateRole", [](Gateway& g) { g.updateAuthorizationRole("o/1", "r1", role(std::nullopt)); },
     {HttpMethod::PUT, kRoles + "/r1", kRoleBody}, "{}"},
    {"DuplicateRole", [](Gateway& g) { g.duplicateAuthorizationRole("o/1", "r1", "Copy", "Of deployer"); },
     {HttpMethod::POST, kRoles + "/r1/duplicate", R"({"description":"Of deployer","name":"Copy"})"}, "{}", 201},
    {"DuplicateRoleWithEmptyDescription", [](Gateway& g) { g.duplicateAuthorizationRole("o/1", "r1", "Copy", ""); },
     {HttpMethod::POST, kRoles + "/r1/duplicate", R"({"description":"","name":"Copy"})"}, "{}", 201},
    {"DeleteRole", [](Gateway& g) { g.deleteAuthorizationRole("o/1", "r1"); },
     {HttpMethod::DELETE, kRoles + "/r1", ""}, "", 204},
    {"ListGrants", [](Gateway& g) { g.listAuthorizationGrants("o1", std::nullopt, std::nullopt); },
     {HttpMethod::GET, kGrants, ""}, "[]"},
    {"CreateGrant", [](Gateway& g) { g.createAuthorizationGrant("o1", grant(std::nullopt, std::nullopt)); },
     {HttpMethod::POST, kGrants, kGrantBody}, "{}", 201},
    {"UpdateGrant", [](Gateway& g) { g.updateAuthorizationGrant("o1", "g1", grant(std::nullopt, std::nullopt)); },
     {HttpMethod::PUT, kGrants + "/g1", kGrantBody}, "{}"},
    {"RevokeGrant", [](Gateway& g) { g.revokeAuthorizationGrant("o1", "g1"); },
     {HttpMethod::DELETE, kGrants + "/g1", ""}, "gone", 200},
    {"EffectivePermissions",
     [](Gateway& g) { g.effectivePermissions("o1", "TEAM", "t 1", "PROJECT", ""); },
     {HttpMethod::GET,
      kGrants + "/effective?principalType=TEAM&principalId=t%201&resourceType=PROJECT&resourceId=", ""},
     "{}"},
    {"PrincipalCandidatesWithoutQuery", [](Gateway& g) { g.grantPrincipalCandidates("o1", std::nullopt); },
     {HttpMethod::GET, kGrants + "/principals", ""}, "[]"},
    {"PrincipalCandidatesWithEmptyQuery", [](Gateway& g) { g.grantPrincipalCandidates("o1", ""); },
     {HttpMethod::GET, kGrants + "/principals?query=", ""}, "[]"},
    {"PrincipalCandidatesWithQuery", [](Gateway& g) { g.grantPrincipalCandidates("o1", "ann b"); },
     {HttpMethod::GET, kGrants + "/principals?query=ann%20b", ""}, "[]"},
};

class AuthorizationRequestTest : public OperationRequestTest {};

TEST_P(AuthorizationRequestTest, SendsExactRequest) { runCase(); }
INSTANTIATE_TEST_SUITE_P(AuthorizationOperations, AuthorizationRequestTest,
                         testing::ValuesIn(kAuthorizationRequests), caseName);

// The version tokens and the optional members of the bodies ---------------------------

struct BodyCase {
    std::string name;
    std::function<void(Gateway&)> call;
    HttpMethod method;
    std::string path;
    std::string body;
};

class AuthorizationBodyTest : public testing::TestWithParam<BodyCase> {};

TEST_P(AuthorizationBodyTest, SendsExactBody) {
    const BodyCase& row = GetParam();
    testsupport::quil::RecordingTransport transport;
    transport.expect(row.method, row.path, 200, "{}");
    Gateway gateway{transport};
    row.call(gateway);
    expectRequest(transport.onlyRequest(), {row.method, row.path, row.body});
}

const std::vector<BodyCase> kBodies = {
    {"RoleWithVersion", [](Gateway& g) { g.updateAuthorizationRole("o1", "r1", role(3)); }, HttpMethod::PUT,
     "/api/organizations/o1/authorization/roles/r1",
     R"({"assignableScopeTypes":["PROJECT"],"description":"Ships builds","expectedVersion":3,)"
     R"("name":"Deployer","permissions":["pipeline.run","project.read"]})"},
    {"RoleWithNegativeVersion", [](Gateway& g) { g.previewAuthorizationRole("o1", role(-1)); }, HttpMethod::POST,
     "/api/organizations/o1/authorization/roles/preview",
     R"({"assignableScopeTypes":["PROJECT"],"description":"Ships builds","expectedVersion":-1,)"
     R"("name":"Deployer","permissions":["pipeline.run","project.read"]})"},
    {"RoleWithEmptyFields",
     [](Gateway& g) { g.createAuthorizationRole("o1", model::AuthorizationRoleDefinition{}); }, HttpMethod::POST,
     "/api/organizations/o1/authorization/roles",
     R"({"assignableScopeTypes":[],"description":"","expectedVersion":null,"name":"","permissions":[]})"},
    {"GrantWithRevisionAndExpiry",
     [](Gateway& g) { g.updateAuthorizationGrant("o1", "g1", grant("2027-01-01T00:00:00Z", 0)); },
     HttpMethod::PUT, "/api/organizations/o1/authorization/grants/g1",
     R"({"expectedRevision":0,"expiresAt":"2027-01-01T00:00:00Z","principalId":"u1","principalType":"USER",)"
     R"("roleId":"r1","scopeId":"p1","scopeType":"PROJECT"})"},
    {"GrantWithLargestRevisionAndEmptyExpiry",
     [](Gateway& g) {
         g.updateAuthorizationGrant("o1", "g1", grant("", std::numeric_limits<std::uint64_t>::max()));
     },
     HttpMethod::PUT, "/api/organizations/o1/authorization/grants/g1",
     R"({"expectedRevision":18446744073709551615,"expiresAt":"","principalId":"u1","principalType":"USER",)"
     R"("roleId":"r1","scopeId":"p1","scopeType":"PROJECT"})"},
};

INSTANTIATE_TEST_SUITE_P(AuthorizationOperations, AuthorizationBodyTest, testing::ValuesIn(kBodies),
                         [](const testing::TestParamInfo<BodyCase>& info) { return info.param.name; });

// The grant filter is all or nothing.
struct FilterCase {
    std::string name;
    std::optional<std::string_view> scopeType;
    std::optional<std::string_view> scopeId;
    std::string path;
};

class GrantFilterTest : public testing::TestWithParam<FilterCase> {};

TEST_P(GrantFilterTest, AddsTheQueryOnlyWithBothParts) {
    const FilterCase& row = GetParam();
    testsupport::quil::RecordingTransport transport;
    transport.expect(HttpMethod::GET, row.path, 200, "[]");
    Gateway gateway{transport};
    gateway.listAuthorizationGrants("o1", row.scopeType, row.scopeId);
    EXPECT_EQ(transport.onlyRequest().path, row.path);
}

INSTANTIATE_TEST_SUITE_P(
    AuthorizationOperations, GrantFilterTest,
    testing::Values(FilterCase{"Neither", std::nullopt, std::nullopt, kGrants},
                    FilterCase{"TypeOnly", "PROJECT", std::nullopt, kGrants},
                    FilterCase{"IdOnly", std::nullopt, "p1", kGrants},
                    FilterCase{"Both", "PROJECT", "p 1/x", kGrants + "?scopeType=PROJECT&scopeId=p%201%2Fx"},
                    FilterCase{"BothEmpty", "", "", kGrants + "?scopeType=&scopeId="}),
    [](const testing::TestParamInfo<FilterCase>& info) { return info.param.name; });

// Results ---------------------------------------------------------------------------

class AuthorizationOperationsTest : public GatewayFamilyTest {};

TEST_F(AuthorizationOperationsTest, CatalogMapsEveryMember) {
    const std::string body =
        R"({"version":4,"resourceTypes":["PROJECT",1,"TEAM"],"permissions":[)"
        R"({"code":"project.read","subjectType":"PROJECT","evaluationType":"DIRECT","internal":true},)"
        R"({"code":"team.read","evaluatedOnParent":true}]})";
    transport.expect(HttpMethod::GET, "/api/authorization/catalog", 200, body);
    const auto result = gateway.authorizationCatalog();
    EXPECT_EQ(result.value.version, 4);
    EXPECT_EQ(result.value.resourceTypes, (std::vector<std::string>{"PROJECT", "TEAM"}));
    ASSERT_EQ(result.value.permissions.size(), 2u);
    EXPECT_EQ(result.value.permissions[0].code, "project.read");
    EXPECT_EQ(result.value.permissions[0].subjectType, "PROJECT");
    EXPECT_EQ(result.value.permissions[0].evaluationType, "DIRECT");
    EXPECT_TRUE(result.value.permissions[0].internal);
    EXPECT_FALSE(result.value.permissions[0].evaluatedOnParent);
    EXPECT_FALSE(result.value.permissions[1].internal);
    EXPECT_TRUE(result.value.permissions[1].evaluatedOnParent);
    EXPECT_EQ(result.body, body);
}

TEST_F(AuthorizationOperationsTest, CatalogOfAnEmptyAnswerIsEmpty) {
    transport.expect(HttpMethod::GET, "/api/authorization/catalog", 200, "");
    const auto result = gateway.authorizationCatalog();
    EXPECT_EQ(result.value.version, 0);
    EXPECT_TRUE(result.value.resourceTypes.empty());
    EXPECT_TRUE(result.value.permissions.empty());
    EXPECT_EQ(result.body, "");
}

TEST_F(AuthorizationOperationsTest, CatalogPermissionsObjectGivesMemberValuesInKeyOrder) {
    transport.expect(HttpMethod::GET, "/api/authorization/catalog", 200,
                     R"({"permissions":{"b":{"code":"second"},"a":{"code":"first"}}})");
    const auto result = gateway.authorizationCatalog();
    ASSERT_EQ(result.value.permissions.size(), 2u);
    EXPECT_EQ(result.value.permissions[0].code, "first");
    EXPECT_EQ(result.value.permissions[1].code, "second");
}

TEST_F(AuthorizationOperationsTest, CatalogRefusesWrongTypes) {
    transport.expect(HttpMethod::GET, "/api/authorization/catalog", 200, R"({"permissions":[{"internal":null}]})");
    transport.expect(HttpMethod::GET, "/api/authorization/catalog", 200, R"({"permissions":"x"})");
    transport.expect(HttpMethod::GET, "/api/authorization/catalog", 200, "[]");
    expectJsonError([&] { gateway.authorizationCatalog(); }, 302);
    expectJsonError([&] { gateway.authorizationCatalog(); }, 306);
    expectJsonError([&] { gateway.authorizationCatalog(); }, 306);
}

TEST_F(AuthorizationOperationsTest, CapabilitiesMapsEchoedResourceAndDecisions) {
    const std::string path = "/api/authorization/capabilities?resourceType=PROJECT&resourceId=p1";
    transport.expect(HttpMethod::GET, path, 200,
                     R"({"resourceType":"PROJECT","resourceId":7,"allowedPermissions":[3,"project.read"],)"
                     R"("decisions":[{"allowed":true,"permission":"project.read","implicationPath":["a","b"]}]})");
    const auto result = gateway.authorizationCapabilities("PROJECT", "p1");
    EXPECT_EQ(result.value.resourceType, "PROJECT");
    EXPECT_EQ(result.value.resourceId, "7");
    EXPECT_EQ(result.value.allowedPermissions, std::vector<std::string>{"project.read"});
    ASSERT_EQ(result.value.decisions.size(), 1u);
    EXPECT_TRUE(result.value.decisions[0].allowed);
    EXPECT_EQ(result.value.decisions[0].implicationPath, (std::vector<std::string>{"a", "b"}));
}

TEST_F(AuthorizationOperationsTest, CapabilitiesEdgeShapes) {
    const std::string path = "/api/authorization/capabilities?resourceType=T&resourceId=i";
    transport.expect(HttpMethod::GET, path, 200, R"({"allowedPermissions":"project.read"})");
    transport.expect(HttpMethod::GET, path, 200, "[]");
    transport.expect(HttpMethod::GET, path, 200, R"({"decisions":["x"]})");
    const auto single = gateway.authorizationCapabilities("T", "i");
    EXPECT_TRUE(single.value.allowedPermissions.empty());
    EXPECT_TRUE(single.value.decisions.empty());
    expectJsonError([&] { gateway.authorizationCapabilities("T", "i"); }, 306);
    expectJsonError([&] { gateway.authorizationCapabilities("T", "i"); }, 306);
}

TEST_F(AuthorizationOperationsTest, DecisionMapsTheRoot) {
    const std::string path = "/api/authorization/decision?permission=p&resourceType=T&resourceId=i";
    transport.expect(HttpMethod::GET, path, 200, R"({"allowed":false,"reason":"no grant"})");
    transport.expect(HttpMethod::GET, path, 200, R"("yes")");
    const auto result = gateway.authorizationDecision("p", "T", "i");
    EXPECT_FALSE(result.value.allowed);
    EXPECT_EQ(result.value.reason, "no grant");
    expectJsonError([&] { gateway.authorizationDecision("p", "T", "i"); }, 306);
}

TEST_F(AuthorizationOperationsTest, RoleResultsAreMapped) {
    transport.expect(HttpMethod::GET, "/api/organizations/o1/authorization/roles", 200,
                     R"([{"id":"r1","name":"Deployer","version":2,"permissions":["a"]},{"id":"r2","archived":true}])");
    transport.expect(HttpMethod::POST, "/api/organizations/o1/authorization/roles/r1/duplicate", 201,
                     R"({"id":"r3","name":"Copy"})");
    const auto roles = gateway.listAuthorizationRoles("o1");
    ASSERT_EQ(roles.value.size(), 2u);
    EXPECT_EQ(roles.value[0].version, 2);
    EXPECT_EQ(roles.value[0].permissions, std::vector<std::string>{"a"});
    EXPECT_TRUE(roles.value[1].archived);
    const auto copy = gateway.duplicateAuthorizationRole("o1", "r1", "Copy", "");
    EXPECT_EQ(copy.value.id, "r3");
    EXPECT_EQ(copy.body, R"({"id":"r3","name":"Copy"})");
}

TEST_F(AuthorizationOperationsTest, ListRolesRefusesAnEmptyBody) {
    transport.expect(HttpMethod::GET, "/api/organizations/o1/authorization/roles", 200, "");
    expectFailure<std::runtime_error>([&] { gateway.listAuthorizationRoles("o1"); }, kNotAnArray);
}

TEST_F(AuthorizationOperationsTest, PreviewMapsTheThreeLists) {
    transport.expect(HttpMethod::POST, "/api/organizations/o1/authorization/roles/preview", 200,
                     R"({"explicitPermissions":["a"],"derivedPermissions":["b",null,"c"],"assignableScopeTypes":"X"})");
    const auto result = gateway.previewAuthorizationRole("o1", role(std::nullopt));
    EXPECT_EQ(result.value.explicitPermissions, std::vector<std::string>{"a"});
    EXPECT_EQ(result.value.derivedPermissions, (std::vector<std::string>{"b", "c"}));
    EXPECT_TRUE(result.value.assignableScopeTypes.empty());
}

TEST_F(AuthorizationOperationsTest, GrantResultsAreMapped) {
    transport.expect(HttpMethod::POST, kGrants, 201,
                     R"({"id":"g1","revision":5,"expiresAt":"","revokedAt":"2026-01-01"})");
    const auto result = gateway.createAuthorizationGrant("o1", grant(std::nullopt, std::nullopt));
    EXPECT_EQ(result.value.id, "g1");
    EXPECT_EQ(result.value.revision, 5u);
    EXPECT_FALSE(result.value.expiresAt.has_value());
    EXPECT_EQ(result.value.revokedAt, std::optional<std::string>("2026-01-01"));
}

TEST_F(AuthorizationOperationsTest, EffectivePermissionsMapsEchoAndDecisions) {
    const std::string path =
        kGrants + "/effective?principalType=USER&principalId=u1&resourceType=PROJECT&resourceId=p1";
    transport.expect(HttpMethod::GET, path, 200,
                     R"({"principalType":"USER","principalId":"u1","resourceType":"PROJECT","resourceId":"p1",)"
                     R"("permissions":{"x":{"allowed":true,"permission":"project.read"}}})");
    transport.expect(HttpMethod::GET, path, 200, R"({"permissions":[1]})");
    const auto result = gateway.effectivePermissions("o1", "USER", "u1", "PROJECT", "p1");
    EXPECT_EQ(result.value.principalType, "USER");
    EXPECT_EQ(result.value.resourceId, "p1");
    ASSERT_EQ(result.value.permissions.size(), 1u);
    EXPECT_EQ(result.value.permissions[0].permission, "project.read");
    expectJsonError(
        [&] { gateway.effectivePermissions("o1", "USER", "u1", "PROJECT", "p1"); }, 306);
}

TEST_F(AuthorizationOperationsTest, PrincipalCandidatesAreReadAsText) {
    transport.expect(HttpMethod::GET, kGrants + "/principals", 200,
                     R"([5,{"name":2},{"principalType":"USER","principalId":"u1","name":"Ann","detail":"ann@x"}])");
    const auto result = gateway.grantPrincipalCandidates("o1", std::nullopt);
    ASSERT_EQ(result.value.size(), 3u);
    EXPECT_EQ(result.value[0].name, "");
    EXPECT_EQ(result.value[0].principalId, "");
    EXPECT_EQ(result.value[1].name, "2");
    EXPECT_EQ(result.value[1].principalType, "");
    EXPECT_EQ(result.value[2].principalType, "USER");
    EXPECT_EQ(result.value[2].principalId, "u1");
    EXPECT_EQ(result.value[2].detail, "ann@x");
}

TEST_F(AuthorizationOperationsTest, DeleteRoleConflictRaisesTheStatus) {
    transport.expect(HttpMethod::DELETE, "/api/organizations/o1/authorization/roles/r1", 409,
                     R"({"message":"role in use"})");
    expectApiError([&] { gateway.deleteAuthorizationRole("o1", "r1"); }, 409, "role in use",
                   R"({"message":"role in use"})");
}

TEST_F(AuthorizationOperationsTest, EmptyIdentifiersSendNothing) {
    expectFailure<std::invalid_argument>([&] { gateway.listAuthorizationRoles(""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.getAuthorizationRole("o1", ""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.updateAuthorizationRole("o1", "", role(1)); },
                                         kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.revokeAuthorizationGrant("o1", ""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.grantPrincipalCandidates("", "q"); }, kEmptyIdentifier);
    EXPECT_TRUE(transport.requests().empty());
}

}  // namespace
}  // namespace gatewaytest
