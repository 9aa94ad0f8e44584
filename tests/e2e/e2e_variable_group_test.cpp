#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string groups =
    R"([{"id":"vg-1","name":"ci","description":"Build settings"},{"id":"vg-2","name":"empty","description":""},)"
    R"({"id":"vg-3","name":"dup"},{"id":"vg-4","name":"dup"}])";
const Exchange listGroups{"GET", "/api/variable-groups", 200, groups};
const std::string groupPath = "/api/variable-groups/vg-1";
const std::string ci =
    R"({"id":"vg-1","name":"ci","description":"Build settings","variables":[)"
    R"({"id":"v-1","name":"REGION","value":"eu-west"},{"id":"v-2","name":"EMPTY","value":""}]})";
const std::string ciTable =
    tableText({{"ID", "NAME", "DESCRIPTION"}, {"vg-1", "ci", "Build settings"}}) + "\n" +
    tableText({{"VARIABLE ID", "NAME", "VALUE"}, {"v-1", "REGION", "eu-west"}, {"v-2", "EMPTY", ""}});
const std::string emptyGroup = R"({"id":"vg-2","name":"empty","description":"","variables":[]})";
const std::string stored = R"({"id":"v-1","name":"REGION","value":"eu-west"},{"id":"v-2","name":"EMPTY","value":""})";

// The read-then-write of set and unset: the group as read, then the whole
// list of variables written back.
std::vector<Exchange> rewrite(const std::string& variables) {
    return {listGroups,
            {"GET", groupPath, 200, ci},
            {"PUT", groupPath + "/variables", 200, ci, R"({"variables":[)" + variables + "]}"}};
}

const std::string deletePrompt = "Delete variable group 'ci'? [y/N] ";

const std::vector<CommandCase> variableGroupCases{
    {"ListTable", {"variable-group", "list"}, "", {listGroups},
     {0,
      tableText({{"ID", "NAME", "DESCRIPTION"},
                 {"vg-1", "ci", "Build settings"},
                 {"vg-2", "empty", "-"},
                 {"vg-3", "dup", "-"},
                 {"vg-4", "dup", "-"}}),
      ""}},
    {"ListWithoutWorkspace", {"variable-group", "list"}, "", {},
     {2, "", "quil: no active workspace; run 'quil workspace use <id|slug>' or pass --workspace\n"}, ""},
    {"ShowWithVariables", {"variable-group", "show", "ci"}, "", {listGroups, {"GET", groupPath, 200, ci}},
     {0, ciTable, ""}},
    {"ShowWithoutVariables", {"variable-group", "show", "vg-2"}, "",
     {listGroups, {"GET", "/api/variable-groups/vg-2", 200, emptyGroup}},
     {0, tableText({{"ID", "NAME", "DESCRIPTION"}, {"vg-2", "empty", "-"}}), ""}},
    {"ShowJson", {"variable-group", "show", "ci", "--output", "json"}, "", {listGroups, {"GET", groupPath, 200, ci}},
     {0, ci + "\n", ""}},
    {"ShowAmbiguous", {"variable-group", "show", "dup"}, "", {listGroups},
     {2, "", "quil: variable group name is ambiguous; use its ID: dup\n"}},
    {"ShowUnknown", {"variable-group", "show", "CI"}, "", {listGroups},
     {2, "", "quil: variable group not found: CI\n"}},
    {"CreateWithDescription", {"variable-group", "create", "ci", "--description", "Build settings", "--quiet"}, "",
     {{"POST", "/api/variable-groups", 201, ci, R"({"description":"Build settings","name":"ci"})"}}, {0, "vg-1\n", ""}},
    {"CreateWithoutDescription", {"variable-group", "create", "empty", "--output", "json"}, "",
     {{"POST", "/api/variable-groups", 201, emptyGroup, R"({"description":"","name":"empty"})"}},
     {0, emptyGroup + "\n", ""}},
    {"SetReplacesTheValue", {"variable-group", "set", "ci", "REGION=us=east"}, "",
     rewrite(R"({"id":"v-1","name":"REGION","value":"us=east"},{"id":"v-2","name":"EMPTY","value":""})"),
     {0, ciTable, ""}},
    {"SetAppendsANewVariable", {"variable-group", "set", "ci", "NEW=", "--quiet"}, "",
     rewrite(stored + R"(,{"id":null,"name":"NEW","value":""})"), {0, "vg-1\n", ""}},
    {"SetWithoutEquals", {"variable-group", "set", "ci", "REGION"}, "", {listGroups},
     {2, "", "quil: variable assignment must use NAME=VALUE\n"}},
    {"SetWithoutName", {"variable-group", "set", "ci", "=x"}, "", {listGroups},
     {2, "", "quil: variable assignment must use NAME=VALUE\n"}},
    {"SetOnAGroupReadWithoutVariables", {"variable-group", "set", "ci", "A=B"}, "",
     {listGroups, {"GET", groupPath, 200, R"({"id":"vg-1","name":"ci"})"}},
     {1, "", "quil: Quarlino returned a variable group without its variables\n"}},
    {"UnsetRemovesTheVariable", {"variable-group", "unset", "ci", "EMPTY", "--quiet"}, "",
     rewrite(R"({"id":"v-1","name":"REGION","value":"eu-west"})"), {0, "vg-1\n", ""}},
    {"UnsetMissingWritesNothing", {"variable-group", "unset", "ci", "MISSING"}, "",
     {listGroups, {"GET", groupPath, 200, ci}}, {2, "", "quil: variable not found in group: MISSING\n"}},
    {"DeleteAccepted", {"variable-group", "delete", "ci"}, "Y\n",
     {listGroups, {"DELETE", groupPath, 204, ""}}, {0, "Deleted variable group ci\n", deletePrompt}},
    {"DeleteRefused", {"variable-group", "delete", "ci"}, "nope\n", {listGroups},
     {0, "Variable-group deletion cancelled\n", deletePrompt}},
    {"DeleteAtEndOfInput", {"variable-group", "delete", "ci"}, "", {listGroups},
     {1, "", deletePrompt + "quil: cannot read command input\n"}},
    {"DeleteQuietPrintsNothing", {"variable-group", "delete", "ci", "--yes", "--quiet"}, "",
     {listGroups, {"DELETE", groupPath, 204, ""}}, {0, "", ""}},
    {"DeleteJsonReceipt", {"variable-group", "delete", "ci", "--yes", "--output", "json"}, "",
     {listGroups, {"DELETE", groupPath, 204, ""}}, {0, R"({"deleted":true,"id":"vg-1"})" "\n", ""}},
    {"DeleteJsonNeedsYes", {"variable-group", "delete", "ci", "--output", "json"}, "", {listGroups},
     {2, "",
      jsonError("INVALID_ARGUMENT", std::nullopt, "--yes is required for destructive commands with --output json")}},
};

INSTANTIATE_TEST_SUITE_P(VariableGroup, CommandCaseTest, testing::ValuesIn(variableGroupCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
