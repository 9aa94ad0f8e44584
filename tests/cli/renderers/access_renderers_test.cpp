#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/output_formatter.hpp"
#include "cli/renderers/rendered.hpp"

namespace quarlino::quil::cli {
namespace {

// Only the renderers with rules of their own: "-" for what a record lacks,
// lines around the table, and quiet forms that are not identifiers.
struct AccessRendererCase {
    const char* name;
    Render render;
    const char* table;
    const char* quiet;
};

std::ostream& operator<<(std::ostream& out, const AccessRendererCase& entry) { return out << entry.name; }

class AccessRenderers : public testing::TestWithParam<AccessRendererCase> {};

TEST_P(AccessRenderers, TableAndQuietForms) {
    EXPECT_EQ(rendered(GetParam().render, false, false), GetParam().table);
    EXPECT_EQ(rendered(GetParam().render, false, true), GetParam().quiet);
    EXPECT_EQ(rendered(GetParam().render, true, true), "{\"raw\":1}\n");
}

model::AuthorizationDecision decision(bool allowed, std::string roleId = {}, std::string grantId = {},
                                     std::string scopeType = {}, std::vector<std::string> implication = {}) {
    model::AuthorizationDecision made;
    made.allowed = allowed;
    made.permission = "project.read";
    made.resourceType = "PROJECT";
    made.resourceId = "p1";
    made.roleId = std::move(roleId);
    made.grantId = std::move(grantId);
    made.grantedScopeType = std::move(scopeType);
    made.grantedScopeId = made.grantedScopeType.empty() ? "" : "w1";
    made.implicationPath = std::move(implication);
    made.reason = allowed ? "granted" : "no grant";
    return made;
}

const model::AuthorizationDecision bareDenial = decision(false);
const model::AuthorizationDecision grantedRead =
    decision(true, "r1", "g1", "WORKSPACE", {"project.write", "project.read"});

model::AuthorizationGrant openGrant() {
    model::AuthorizationGrant grant;
    grant.id = "g1";
    grant.principalType = "USER";
    grant.principalId = "u1";
    grant.roleId = "r1";
    grant.scopeType = "PROJECT";
    grant.scopeId = "p1";
    grant.revision = 3;
    return grant;
}

INSTANTIATE_TEST_SUITE_P(
    Access, AccessRenderers,
    testing::Values(
        AccessRendererCase{
            "decisionWithoutGrant",
            [](OutputFormatter& f, std::string_view body) { f.authorizationDecision(bareDenial, body); },
            "PERMISSION    RESOURCE    ALLOWED  ROLE  GRANT  GRANTED SCOPE  IMPLICATION  REASON    \n"
            "project.read  PROJECT:p1  no       -     -      -              -            no grant  \n",
            "denied\n"},
        AccessRendererCase{
            "decisionThroughAGrant",
            [](OutputFormatter& f, std::string_view body) { f.authorizationDecision(grantedRead, body); },
            "PERMISSION    RESOURCE    ALLOWED  ROLE  GRANT  GRANTED SCOPE  IMPLICATION                 REASON   \n"
            "project.read  PROJECT:p1  yes      r1    g1     WORKSPACE:w1   project.write,project.read  granted  \n",
            "allowed\n"},
        AccessRendererCase{
            "grantWithoutExpiryOrRevocation",
            [](OutputFormatter& f, std::string_view body) {
                f.authorizationGrant(openGrant(), body);
            },
            "ID  PRINCIPAL  ROLE  SCOPE       REVISION  EXPIRES  REVOKED  \n"
            "g1  USER:u1    r1    PROJECT:p1  3         -        -        \n",
            "g1\n"},
        AccessRendererCase{
            "catalogWithoutResourceTypes",
            [](OutputFormatter& f, std::string_view body) {
                f.authorizationCatalog({7, {}, {{"a.read", "PROJECT", "SELF", true, false}}}, body);
            },
            "Catalog version: 7\nResource types: \n\n"
            "PERMISSION  SUBJECT  EVALUATED ON  INTERNAL  ON PARENT  \n"
            "a.read      PROJECT  SELF          yes       no         \n",
            "a.read\n"},
        AccessRendererCase{
            "capabilitiesListOnlyTheAllowedWhenQuiet",
            [](OutputFormatter& f, std::string_view body) {
                f.authorizationCapabilities({"WORKSPACE", "w1", {"b"}, {bareDenial}}, body);
            },
            "WORKSPACE:w1\n"
            "PERMISSION    ALLOWED  ROLE  GRANT  IMPLICATION  REASON    \n"
            "project.read  no                                 no grant  \n",
            "b\n"},
        AccessRendererCase{
            "effectivePermissionsLeaveEmptyCells",
            [](OutputFormatter& f, std::string_view body) {
                f.effectivePermissions({"TEAM", "t1", "PROJECT", "p1", {bareDenial}}, body);
            },
            "TEAM:t1 on PROJECT:p1\n"
            "PERMISSION    ROLE  GRANT  GRANTED SCOPE  IMPLICATION  \n"
            "project.read               :                           \n",
            "project.read\n"}),
    [](const testing::TestParamInfo<AccessRendererCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarlino::quil::cli
