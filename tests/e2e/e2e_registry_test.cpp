#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string projects = R"([{"id":"p-1","name":"shop"},{"id":"p-2","name":"api"}])";
const Exchange listProjects{"GET", "/api/project", 200, projects};
const std::string registryPath = "/api/v1/projects/p-1/registry";
const std::string registry =
    R"({"id":"reg-1","repository":"registry.example/acme/shop","visibility":"PRIVATE","status":"ACTIVE",)"
    R"("quotaBytes":1073741824,"logicalUsageBytes":2048})";
const std::string registryTable = tableText({{"ID", "REPOSITORY", "VISIBILITY", "STATUS", "USAGE", "QUOTA"},
                                             {"reg-1", "registry.example/acme/shop", "PRIVATE", "ACTIVE", "2048",
                                              "1073741824"}});

const std::string repositories =
    R"([{"repository":"shop","component":"web","artifacts":[)"
    R"({"digest":"sha256:aa","tag":"1.0","sizeBytes":512,"pushedAt":"2026-05-01T10:00:00Z"},)"
    R"({"digest":"sha256:bb","tag":"","sizeBytes":0,"pushedAt":"2026-05-02T10:00:00Z"}]},)"
    R"({"repository":"base","component":"","artifacts":[]},)"
    R"({"repository":"tools","artifacts":[{"digest":"sha256:cc","tag":"v2","sizeBytes":7,"pushedAt":"now"}]}])";

const std::string tokensPath = registryPath + "/tokens";
const std::string tokens =
    R"([{"id":"tk-1","name":"ci","prefix":"qrt_ab","permissions":["PULL","PUSH"],)"
    R"("expiresAt":"2027-01-01T00:00:00Z","lastUsedAt":"2026-06-01T00:00:00Z"},)"
    R"({"id":"tk-2","name":"tk-1","prefix":"qrt_cd","permissions":["PULL"]},)"
    R"({"id":"tk-3","name":"deploy","prefix":"qrt_ef","permissions":[],"revokedAt":"2026-07-01"},)"
    R"({"id":"tk-4","name":"deploy","prefix":"qrt_gh","permissions":["PUSH"]}])";
const std::string createdToken =
    R"({"id":"tk-9","name":"ci","prefix":"qrt_zz","permissions":["PULL","PUSH"],)"
    R"("expiresAt":"2027-01-01T00:00:00Z","secret":"qrt_zz_s3cr3t"})";
Exchange createToken(const std::string& body) { return {"POST", tokensPath, 201, createdToken, body}; }

const std::string disablePrompt = "Disable Registry for project 'shop'? [y/N] ";
const std::string revokePrompt = "Revoke Registry token 'ci'? [y/N] ";

const std::vector<CommandCase> registryCases{
    {"ShowTable", {"registry", "show", "shop"}, "", {listProjects, {"GET", registryPath, 200, registry}},
     {0, registryTable, ""}},
    {"ShowUnknownProject", {"registry", "show", "Shop"}, "", {listProjects},
     {2, "", "quil: project not found: Shop\n"}},
    {"ShowWithoutWorkspace", {"registry", "show", "shop"}, "", {},
     {2, "", "quil: no active workspace; run 'quil workspace use <id|slug>' or pass --workspace\n"}, ""},
    {"EnableSendsAnEmptyObject", {"registry", "enable", "shop", "--quiet"}, "",
     {listProjects, {"POST", registryPath, 201, registry, "{}"}}, {0, "reg-1\n", ""}},
    {"UpdateSendsTheCanonicalVisibility", {"registry", "update", "shop", "--visibility", "public"}, "",
     {listProjects, {"PATCH", registryPath, 200, registry, R"({"visibility":"PUBLIC"})"}}, {0, registryTable, ""}},
    {"UpdateRefusesAnUnknownVisibility", {"registry", "update", "shop", "--visibility", "secret"}, "", {listProjects},
     {2, "", "quil: --visibility has an invalid value: secret\n"}},
    {"RepositoriesTable", {"registry", "repositories", "shop"}, "",
     {listProjects, {"GET", registryPath + "/repositories", 200, repositories}},
     {0,
      tableText({{"REPOSITORY", "COMPONENT", "TAG", "DIGEST", "SIZE", "PUSHED"},
                 {"shop", "web", "1.0", "sha256:aa", "512", "2026-05-01T10:00:00Z"},
                 {"shop", "web", "-", "sha256:bb", "0", "2026-05-02T10:00:00Z"},
                 {"base", "-", "-", "-", "0", "-"},
                 {"tools", "-", "v2", "sha256:cc", "7", "now"}}),
      ""}},
    {"RepositoriesQuietComposesReferences", {"registry", "repositories", "shop", "--quiet"}, "",
     {listProjects, {"GET", registryPath + "/repositories", 200, repositories}},
     {0, "shop/web:1.0\nshop/web\nbase\ntools:v2\n", ""}},
    {"DisableAccepted", {"registry", "disable", "shop"}, "y\n", {listProjects, {"DELETE", registryPath, 204, ""}},
     {0, "Registry disable requested for project shop\n", disablePrompt}},
    {"DisableRefused", {"registry", "disable", "shop"}, "no\n", {listProjects},
     {0, "Registry disable cancelled\n", disablePrompt}},
    {"DisableAtEndOfInput", {"registry", "disable", "shop"}, "", {listProjects},
     {1, "", disablePrompt + "quil: cannot read command input\n"}},
    {"DisableJsonNeedsYes", {"registry", "disable", "shop", "--output", "json"}, "", {listProjects},
     {2, "", jsonError("INVALID_ARGUMENT", std::nullopt,
                       "--yes is required for destructive commands with --output json")}},
    {"DisableJsonReceipt", {"registry", "disable", "shop", "--yes", "--output", "json", "--quiet"}, "",
     {listProjects, {"DELETE", registryPath, 204, ""}}, {0, R"({"disableRequested":true,"projectId":"p-1"})" "\n", ""}},
    {"TokenListTable", {"registry", "token", "list", "shop"}, "", {listProjects, {"GET", tokensPath, 200, tokens}},
     {0,
      tableText({{"ID", "NAME", "PREFIX", "PERMISSIONS", "EXPIRES", "REVOKED", "LAST USED"},
                 {"tk-1", "ci", "qrt_ab", "PULL,PUSH", "2027-01-01T00:00:00Z", "-", "2026-06-01T00:00:00Z"},
                 {"tk-2", "tk-1", "qrt_cd", "PULL", "-", "-", "-"},
                 {"tk-3", "deploy", "qrt_ef", "", "-", "2026-07-01", "-"},
                 {"tk-4", "deploy", "qrt_gh", "PUSH", "-", "-", "-"}}),
      ""}},
    {"TokenCreateShowsTheSecretOnce",
     {"registry", "token", "create", "shop", "ci", "--permissions", "pull,push,PULL", "--expires-at",
      "2027-01-01T00:00:00Z"},
     "",
     {listProjects, createToken(R"({"expiresAt":"2027-01-01T00:00:00Z","name":"ci","permissions":["PULL","PUSH"]})")},
     {0,
      tableText({{"ID", "NAME", "PREFIX", "PERMISSIONS", "EXPIRES", "REVOKED"},
                 {"tk-9", "ci", "qrt_zz", "PULL,PUSH", "2027-01-01T00:00:00Z", "-"}}) +
          "\nToken (shown once): qrt_zz_s3cr3t\n",
      ""}},
    {"TokenCreateQuietPrintsOnlyTheSecret",
     {"registry", "token", "create", "shop", "ci", "--permissions", "push,pull", "--quiet"},
     "", {listProjects, createToken(R"({"expiresAt":null,"name":"ci","permissions":["PUSH","PULL"]})")},
     {0, "qrt_zz_s3cr3t\n", ""}},
    {"TokenCreateJsonPrintsTheBody",
     {"registry", "token", "create", "shop", "ci", "--permissions", "PULL", "--output", "json"},
     "", {listProjects, createToken(R"({"expiresAt":null,"name":"ci","permissions":["PULL"]})")},
     {0, createdToken + "\n", ""}},
    // A token shown to no one is no success.
    {"TokenCreateWithOutputClosed", {"registry", "token", "create", "shop", "ci", "--permissions", "PULL"}, "",
     {listProjects, createToken(R"({"expiresAt":null,"name":"ci","permissions":["PULL"]})")},
     {1, "", "quil: cannot write to standard output\n"}, "ws-1", {}, {}, ">&-"},
    {"TokenCreateRefusesATrailingComma", {"registry", "token", "create", "shop", "ci", "--permissions", "PULL,"}, "",
     {listProjects}, {2, "", "quil: --permissions has an invalid value: \n"}},
    {"TokenCreateRefusesABlankPiece", {"registry", "token", "create", "shop", "ci", "--permissions", "PULL, PUSH"}, "",
     {listProjects}, {2, "", "quil: --permissions has an invalid value:  PUSH\n"}},
    {"TokenRevokeAccepted", {"registry", "token", "revoke", "shop", "ci"}, "yes\n",
     {listProjects, {"GET", tokensPath, 200, tokens}, {"DELETE", tokensPath + "/tk-1", 204, ""}},
     {0, "Revoked Registry token ci\n", revokePrompt}},
    {"TokenRevokeRefused", {"registry", "token", "revoke", "shop", "ci"}, "N\n",
     {listProjects, {"GET", tokensPath, 200, tokens}}, {0, "Registry token revocation cancelled\n", revokePrompt}},
    {"TokenRevokeJsonReceipt", {"registry", "token", "revoke", "shop", "tk-4", "--yes", "--output", "json"}, "",
     {listProjects, {"GET", tokensPath, 200, tokens}, {"DELETE", tokensPath + "/tk-4", 204, ""}},
     {0, R"({"id":"tk-4","revoked":true})" "\n", ""}},
    {"TokenRevokeIdAndNameClash", {"registry", "token", "revoke", "shop", "tk-1"}, "y\n",
     {listProjects, {"GET", tokensPath, 200, tokens}},
     {2, "", "quil: Registry access token name is ambiguous; use its ID: tk-1\n"}},
    {"TokenRevokeSharedName", {"registry", "token", "revoke", "shop", "deploy", "--yes"}, "",
     {listProjects, {"GET", tokensPath, 200, tokens}},
     {2, "", "quil: Registry access token name is ambiguous; use its ID: deploy\n"}},
    {"TokenRevokeUnknown", {"registry", "token", "revoke", "shop", "CI", "--yes"}, "",
     {listProjects, {"GET", tokensPath, 200, tokens}}, {2, "", "quil: Registry access token not found: CI\n"}},
};

INSTANTIATE_TEST_SUITE_P(Registry, CommandCaseTest, testing::ValuesIn(registryCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
