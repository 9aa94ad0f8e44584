#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string groups = R"([{"id":"sg-1","name":"prod","description":""},{"id":"sg-2","name":"stage"}])";
const Exchange listGroups{"GET", "/api/secret-groups", 200, groups};
const std::string groupPath = "/api/secret-groups/sg-1";
const std::string prod =
    R"({"id":"sg-1","name":"prod","description":"","secrets":[)"
    R"({"id":"s-1","name":"TOKEN","configured":true},{"id":"s-2","name":"KEY","configured":false}]})";
const std::string prodTable =
    tableText({{"ID", "NAME", "DESCRIPTION"}, {"sg-1", "prod", "-"}}) + "\n" +
    tableText({{"SECRET ID", "NAME", "CONFIGURED"}, {"s-1", "TOKEN", "yes"}, {"s-2", "KEY", "no"}});

// The read-then-write of set and unset: other secrets go back without a
// value, which the platform keeps.
std::vector<Exchange> rewrite(const std::string& secrets) {
    return {listGroups,
            {"GET", groupPath, 200, prod},
            {"PUT", groupPath + "/secrets", 200, prod, R"({"secrets":[)" + secrets + "]}"}};
}

const std::string keyNull = R"({"id":"s-2","name":"KEY","value":null})";
const std::string deletePrompt = "Delete secret group 'prod'? [y/N] ";

const std::vector<CommandCase> secretGroupCases{
    {"ListTable", {"secret-group", "list"}, "", {listGroups},
     {0, tableText({{"ID", "NAME", "DESCRIPTION"}, {"sg-1", "prod", "-"}, {"sg-2", "stage", "-"}}), ""}},
    {"ShowWithSecrets", {"secret-group", "show", "prod"}, "", {listGroups, {"GET", groupPath, 200, prod}},
     {0, prodTable, ""}},
    {"ShowUnknown", {"secret-group", "show", "Prod"}, "", {listGroups},
     {2, "", "quil: secret group not found: Prod\n"}},
    {"CreateJson", {"secret-group", "create", "prod", "--output", "json"}, "",
     {{"POST", "/api/secret-groups", 201, prod, R"({"description":"","name":"prod"})"}}, {0, prod + "\n", ""}},
    {"SetFromStdinDropsCrLf", {"secret-group", "set", "prod", "TOKEN", "--stdin"}, "s3cr3t\r\n",
     rewrite(R"({"id":"s-1","name":"TOKEN","value":"s3cr3t"},)" + keyNull), {0, prodTable, ""}},
    {"SetFromStdinKeepsALoneCr", {"secret-group", "set", "prod", "NEW", "--stdin", "--quiet"}, "a b\r",
     rewrite(R"({"id":"s-1","name":"TOKEN","value":null},)" + keyNull +
             R"(,{"id":null,"name":"NEW","value":"a b\r"})"),
     {0, "sg-1\n", ""}},
    {"SetFromThePrompt", {"secret-group", "set", "prod", "KEY", "--quiet"}, "hunter2\n",
     rewrite(R"({"id":"s-1","name":"TOKEN","value":null},{"id":"s-2","name":"KEY","value":"hunter2"})"),
     {0, "sg-1\n", "Secret value: "}},
    {"SetPromptAtEndOfInput", {"secret-group", "set", "prod", "KEY"}, "", {listGroups},
     {1, "", "Secret value: quil: cannot read password\n"}},
    {"SetPromptFromClosedInput", {"secret-group", "set", "prod", "KEY"}, "", {listGroups},
     {1, "", "Secret value: quil: cannot read password\n"}, "ws-1", {}, {}, "<&-"},
    {"SetEmptyFromStdin", {"secret-group", "set", "prod", "KEY", "--stdin"}, "\n", {listGroups},
     {2, "", "quil: secret value cannot be empty\n"}},
    {"SetOnAGroupReadWithoutSecrets", {"secret-group", "set", "prod", "KEY", "--stdin"}, "v",
     {listGroups, {"GET", groupPath, 200, R"({"id":"sg-1","name":"prod"})"}},
     {1, "", "quil: Quarlino returned a secret group without its secrets\n"}},
    {"UnsetRemovesTheSecret", {"secret-group", "unset", "prod", "TOKEN", "--quiet"}, "", rewrite(keyNull),
     {0, "sg-1\n", ""}},
    {"UnsetMissingWritesNothing", {"secret-group", "unset", "prod", "MISSING"}, "",
     {listGroups, {"GET", groupPath, 200, prod}}, {2, "", "quil: secret not found in group: MISSING\n"}},
    {"DeleteAccepted", {"secret-group", "delete", "sg-1"}, "yes\n", {listGroups, {"DELETE", groupPath, 204, ""}},
     {0, "Deleted secret group prod\n", deletePrompt}},
    {"DeleteRefused", {"secret-group", "delete", "prod"}, "Yes\n", {listGroups},
     {0, "Secret-group deletion cancelled\n", deletePrompt}},
    {"DeleteJsonReceipt", {"secret-group", "delete", "prod", "--yes", "--output", "json"}, "",
     {listGroups, {"DELETE", groupPath, 204, ""}}, {0, R"({"deleted":true,"id":"sg-1"})" "\n", ""}},
};

INSTANTIATE_TEST_SUITE_P(SecretGroup, CommandCaseTest, testing::ValuesIn(secretGroupCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
