#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

// Two projects share the name "Twin".
const std::string projects =
    R"([{"id":"p-1","name":"Demo","gitRepositoryEnabled":true,"gitRepositoryStatus":"READY","repositoryId":"r-1"},)"
    R"({"id":"p-2","name":"Site","gitRepositoryEnabled":false},)"
    R"({"id":"p-3","name":"Twin"},{"id":"p-4","name":"Twin"}])";
const std::string demo = R"({"id":"p-1","name":"Demo","gitRepositoryEnabled":true,"repositoryId":"r-1"})";

const Exchange listProjects{"GET", "/api/project", 200, projects};
const Exchange deleteDemo{"DELETE", "/api/project/p-1", 204, ""};

std::string demoTable(const std::string& name = "Demo", const std::string& git = "yes",
                      const std::string& repository = "r-1") {
    return tableText({{"ID", "NAME", "GIT", "REPOSITORY"}, {"p-1", name, git, repository}});
}

const std::string deletePrompt = "Delete project 'Demo'? [y/N] ";
const std::vector<std::string> deleteDemoCommand{"project", "delete", "Demo"};

std::vector<std::string> with(std::vector<std::string> argv, const std::vector<std::string>& more) {
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
}

CommandCase refusedDelete(const std::string& name, const std::string& answer) {
    return {name, deleteDemoCommand, answer, {listProjects}, {0, "Project deletion cancelled\n", deletePrompt}};
}

const std::vector<CommandCase> projectCases{
    {"ListTable",
     {"project", "list"},
     "",
     {{"GET", "/api/project", 200, projects, std::nullopt, {{"quarlino-workspace-id", "ws-1"}}}},
     {0,
      tableText({{"ID", "NAME", "GIT", "REPOSITORY STATUS"},
                 {"p-1", "Demo", "yes", "READY"},
                 {"p-2", "Site", "no", "-"},
                 {"p-3", "Twin", "no", "-"},
                 {"p-4", "Twin", "no", "-"}}),
      ""}},
    {"ListQuiet", {"project", "list", "--quiet"}, "", {listProjects}, {0, "p-1\np-2\np-3\np-4\n", ""}},
    {"ListJson", {"project", "list", "--output", "json"}, "", {listProjects}, {0, projects + "\n", ""}},
    {"ListNeedsAWorkspace",
     {"project", "list"},
     "",
     {},
     {2, "", "quil: no active workspace; run 'quil workspace use <id|slug>' or pass --workspace\n"},
     ""},
    {"ShowByName", {"project", "show", "Demo"}, "", {listProjects, {"GET", "/api/project/p-1", 200, demo}},
     {0, demoTable(), ""}},
    {"ShowWithoutRepository", {"project", "show", "p-2"}, "",
     {listProjects, {"GET", "/api/project/p-2", 200, R"({"id":"p-2","name":"Site"})"}},
     {0, tableText({{"ID", "NAME", "GIT", "REPOSITORY"}, {"p-2", "Site", "no", "-"}}), ""}},
    {"ShowAmbiguous", {"project", "show", "Twin"}, "", {listProjects},
     {2, "", "quil: project name is ambiguous; use its ID: Twin\n"}},
    {"ShowNotFound", {"project", "show", "demo"}, "", {listProjects}, {2, "", "quil: project not found: demo\n"}},
    {"CreateWithGit", {"project", "create", "Demo", "--git"}, "",
     {{"POST", "/api/project", 201, demo, R"({"gitRepositoryEnabled":true,"name":"Demo"})"}}, {0, demoTable(), ""}},
    {"CreateWithoutGit", {"project", "create", "Demo", "--quiet"}, "",
     {{"POST", "/api/project", 201, demo, R"({"gitRepositoryEnabled":false,"name":"Demo"})"}}, {0, "p-1\n", ""}},
    {"UpdateRenames", {"project", "update", "Demo", "--name", "Demo 2"}, "",
     {listProjects, {"PUT", "/api/project/p-1", 200, R"({"id":"p-1","name":"Demo 2","gitRepositoryEnabled":true})",
                     R"({"name":"Demo 2"})"}},
     {0, demoTable("Demo 2", "yes", "-"), ""}},
    {"UpdateOfAnUnknownProject", {"project", "update", "Nope", "--name", "X"}, "", {listProjects},
     {2, "", "quil: project not found: Nope\n"}},
    {"DeleteWithYes", with(deleteDemoCommand, {"--yes"}), "", {listProjects, deleteDemo},
     {0, "Deleted project Demo\n", ""}},
    {"DeleteAccepted", deleteDemoCommand, "Y\n", {listProjects, deleteDemo},
     {0, "Deleted project Demo\n", deletePrompt}},
    refusedDelete("DeleteRefusedNo", "no\n"),
    refusedDelete("DeleteRefusedCapitalisedYes", "Yes\n"),
    refusedDelete("DeleteRefusedWithABlank", " y\n"),
    {"DeleteAtEndOfInput", deleteDemoCommand, "", {listProjects},
     {1, "", deletePrompt + "quil: cannot read command input\n"}},
    {"DeleteJsonNeedsYes", with(deleteDemoCommand, {"--output", "json"}), "", {listProjects},
     {2, "",
      jsonError("INVALID_ARGUMENT", std::nullopt, "--yes is required for destructive commands with --output json")}},
    {"DeleteJsonReceipt", with(deleteDemoCommand, {"--yes", "--output", "json"}), "", {listProjects, deleteDemo},
     {0, R"({"deleted":true,"id":"p-1"})" "\n", ""}},
    {"DeleteForbidden", with(deleteDemoCommand, {"--yes"}), "",
     {listProjects, {"DELETE", "/api/project/p-1", 403, R"({"message":"owners only"})"}},
     {4, "", "quil: owners only\n"}},
};

INSTANTIATE_TEST_SUITE_P(Project, CommandCaseTest, testing::ValuesIn(projectCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
