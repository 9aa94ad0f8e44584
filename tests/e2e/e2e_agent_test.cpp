#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string agents =
    R"([{"id":"ag-1","name":"edge-1","status":"ONLINE","lastSeenAt":"2026-05-01T10:00:00Z",)"
    R"("certificateExpiresAt":"2027-05-01T00:00:00Z"},)"
    R"({"id":"ag-2","name":"edge-2","status":"PENDING","lastSeenAt":"","certificateExpiresAt":""},)"
    R"({"id":"ag-3","name":"twin","status":"ONLINE"},{"id":"ag-4","name":"twin","status":"OFFLINE"}])";
const Exchange listAgents{"GET", "/api/deployment-agents", 200, agents};
const std::string tokenPath = "/api/deployment-agents/enrollment-tokens";
const std::string enrollment = R"({"token":"enr_0ne_t1me","expiresAt":"2026-05-02T10:00:00Z"})";
Exchange enroll(const std::string& body) { return {"POST", tokenPath, 201, enrollment, body}; }
const std::string revokePrompt = "Revoke deployment agent 'edge-1'? [y/N] ";
const std::string badLifetime = "quil: --expires-in must be a positive integer\n";

const std::vector<CommandCase> agentCases{
    {"ListTable", {"agent", "list"}, "", {listAgents},
     {0,
      tableText({{"ID", "NAME", "STATUS", "LAST SEEN", "CERTIFICATE EXPIRES"},
                 {"ag-1", "edge-1", "ONLINE", "2026-05-01T10:00:00Z", "2027-05-01T00:00:00Z"},
                 {"ag-2", "edge-2", "PENDING", "-", "-"},
                 {"ag-3", "twin", "ONLINE", "-", "-"},
                 {"ag-4", "twin", "OFFLINE", "-", "-"}}),
      ""}},
    {"ListWithoutWorkspace", {"agent", "list"}, "", {},
     {2, "", "quil: no active workspace; run 'quil workspace use <id|slug>' or pass --workspace\n"}, ""},
    {"EnrollmentTokenShownOnce", {"agent", "enrollment-token", "edge-1"}, "",
     {enroll(R"({"agentName":"edge-1","expiresInSeconds":null})")},
     {0,
      tableText({{"EXPIRES", "TOKEN"}, {"2026-05-02T10:00:00Z", "enr_0ne_t1me"}}) +
          "Store this token now; it cannot be retrieved again.\n",
      ""}},
    {"EnrollmentTokenLargestLifetime",
     {"agent", "enrollment-token", "edge-1", "--expires-in", "18446744073709551615", "--quiet"}, "",
     {enroll(R"({"agentName":"edge-1","expiresInSeconds":18446744073709551615})")}, {0, "enr_0ne_t1me\n", ""}},
    {"EnrollmentTokenJson", {"agent", "enrollment-token", "edge-1", "--expires-in", "3600", "--output", "json"}, "",
     {enroll(R"({"agentName":"edge-1","expiresInSeconds":3600})")}, {0, enrollment + "\n", ""}},
    {"EnrollmentTokenJsonWithOutputClosed", {"agent", "enrollment-token", "edge-1", "--output", "json"}, "",
     {enroll(R"({"agentName":"edge-1","expiresInSeconds":null})")},
     {1, "", jsonError("INTERNAL_ERROR", std::nullopt, "cannot write to standard output")}, "ws-1", {}, {}, ">&-"},
    {"LifetimeZero", {"agent", "enrollment-token", "edge-1", "--expires-in", "0"}, "", {}, {2, "", badLifetime}},
    {"LifetimeWithUnit", {"agent", "enrollment-token", "edge-1", "--expires-in", "10s"}, "", {}, {2, "", badLifetime}},
    {"LifetimeWithSign", {"agent", "enrollment-token", "edge-1", "--expires-in", "+10"}, "", {}, {2, "", badLifetime}},
    {"LifetimePast64Bits", {"agent", "enrollment-token", "edge-1", "--expires-in", "18446744073709551616"}, "", {},
     {2, "", badLifetime}},
    {"DeleteAccepted", {"agent", "delete", "edge-1"}, "y\n",
     {listAgents, {"DELETE", "/api/deployment-agents/ag-1", 204, ""}},
     {0, "Revoked deployment agent edge-1\n", revokePrompt}},
    {"DeleteRefused", {"agent", "delete", "ag-1"}, "\n", {listAgents},
     {0, "Deployment-agent revocation cancelled\n", revokePrompt}},
    {"DeleteAtEndOfInput", {"agent", "delete", "edge-1"}, "", {listAgents},
     {1, "", revokePrompt + "quil: cannot read command input\n"}},
    {"DeleteJsonReceipt", {"agent", "delete", "edge-1", "--yes", "--output", "json"}, "",
     {listAgents, {"DELETE", "/api/deployment-agents/ag-1", 204, ""}}, {0, R"({"id":"ag-1","revoked":true})" "\n", ""}},
    {"DeleteJsonNeedsYes", {"agent", "delete", "edge-1", "--output", "json"}, "", {listAgents},
     {2, "",
      jsonError("INVALID_ARGUMENT", std::nullopt, "--yes is required for destructive commands with --output json")}},
    {"DeleteAmbiguousBeforeAnyPrompt", {"agent", "delete", "twin"}, "y\n", {listAgents},
     {2, "", "quil: deployment agent name is ambiguous; use its ID: twin\n"}},
    {"DeleteUnknown", {"agent", "delete", "edge-9", "--yes"}, "", {listAgents},
     {2, "", "quil: deployment agent not found: edge-9\n"}},
};

INSTANTIATE_TEST_SUITE_P(Agent, CommandCaseTest, testing::ValuesIn(agentCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
