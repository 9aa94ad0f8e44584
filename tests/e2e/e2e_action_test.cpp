#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

// "Deploy" is one action's display name and another's code; categories
// differ in ASCII case, and "étape"/"Étape" differ in a non-ASCII byte.
const std::string actions =
    R"([{"code":"build","displayName":"Build image","description":"","icon":"hammer","category":"Build","formId":"f-b","outputs":[]},)"
    R"({"code":"deploy","displayName":"Deploy","description":"Ships it.","icon":"rocket","category":"deploy","formId":"f-d",)"
    R"("outputs":[{"name":"url","type":"string","description":"Where it runs"}]},)"
    R"({"code":"Deploy","displayName":"Roll out","description":"","icon":"","category":"DEPLOY","formId":"f-r"},)"
    R"({"code":"lint","displayName":"Lint","description":"","icon":"","category":"étape","formId":"f-l"},)"
    R"({"code":"test","displayName":"Test","description":"","icon":"","category":"Étape","formId":"f-t"}])";

const Exchange listActions{"GET", "/api/actions", 200, actions};

const std::string deployJson =
    R"({"category":"deploy","code":"deploy","description":"Ships it.","displayName":"Deploy","formId":"f-d",)"
    R"("icon":"rocket","outputs":[{"description":"Where it runs","name":"url","type":"string"}]})";
const std::string rollOutJson =
    R"({"category":"DEPLOY","code":"Deploy","description":"","displayName":"Roll out","formId":"f-r","icon":"",)"
    R"("outputs":[]})";

const std::vector<CommandCase> actionCases{
    {"ListTable", {"action", "list"}, "", {listActions},
     {0,
      tableText({{"CODE", "NAME", "CATEGORY"},
                 {"build", "Build image", "Build"},
                 {"deploy", "Deploy", "deploy"},
                 {"Deploy", "Roll out", "DEPLOY"},
                 {"lint", "Lint", "étape"},
                 {"test", "Test", "Étape"}}),
      ""}},
    {"ListJsonIsThePlatformsText", {"action", "list", "--output", "json"}, "", {listActions},
     {0, actions + "\n", ""}},
    {"CategoryIgnoresAsciiCase", {"action", "list", "--category", "Deploy"}, "", {listActions},
     {0, tableText({{"CODE", "NAME", "CATEGORY"}, {"deploy", "Deploy", "deploy"}, {"Deploy", "Roll out", "DEPLOY"}}),
      ""}},
    {"CategoryComparesOtherBytesExactly", {"action", "list", "--category", "ÉTAPE", "--quiet"}, "", {listActions},
     {0, "test\n", ""}},
    {"CategoryWithANonAsciiLetter", {"action", "list", "--category", "étape", "--quiet"}, "", {listActions},
     {0, "lint\n", ""}},
    {"CategoryJsonIsRebuilt", {"action", "list", "--category", "DEPLOY", "--output", "json"}, "", {listActions},
     {0, "[" + deployJson + "," + rollOutJson + "]\n", ""}},
    {"CategoryWithoutMatchesJson", {"action", "list", "--category", "none", "--output", "json"}, "", {listActions},
     {0, "[]\n", ""}},
    {"CategoryWithoutMatchesTable", {"action", "list", "--category", "none"}, "", {listActions},
     {0, "CODE  NAME  CATEGORY  \n", ""}},
    {"ShowWithDescriptionAndOutputs", {"action", "show", "deploy"}, "", {listActions},
     {0,
      tableText({{"CODE", "NAME", "CATEGORY", "FORM"}, {"deploy", "Deploy", "deploy", "f-d"}}) + "\nShips it.\n\n" +
          tableText({{"OUTPUT", "TYPE", "DESCRIPTION"}, {"url", "string", "Where it runs"}}),
      ""}},
    {"ShowByDisplayName", {"action", "show", "Roll out"}, "", {listActions},
     {0, tableText({{"CODE", "NAME", "CATEGORY", "FORM"}, {"Deploy", "Roll out", "DEPLOY", "f-r"}}), ""}},
    {"ShowJsonIsTheOneAction", {"action", "show", "deploy", "--output", "json"}, "", {listActions},
     {0, deployJson + "\n", ""}},
    {"ShowAmbiguous", {"action", "show", "Deploy"}, "", {listActions},
     {2, "", "quil: action name is ambiguous; use its ID: Deploy\n"}},
    {"ShowNotFound", {"action", "show", "DEPLOY"}, "", {listActions}, {2, "", "quil: action not found: DEPLOY\n"}},
};

INSTANTIATE_TEST_SUITE_P(Action, CommandCaseTest, testing::ValuesIn(actionCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
