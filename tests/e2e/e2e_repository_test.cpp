#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string projects =
    R"([{"id":"p-1","name":"Demo"},{"id":"p-3","name":"Twin"},{"id":"p-4","name":"Twin"}])";
const std::string tree =
    R"({"entries":[{"name":"src","path":"src","type":"directory"},)"
    R"({"name":"README.md","path":"README.md","type":"file","size":120},)"
    R"({"name":".keep","path":".keep","type":"file","size":0}]})";

const Exchange listProjects{"GET", "/api/project", 200, projects};

std::string projectTable(const std::string& id, const std::string& git, const std::string& repository) {
    return tableText({{"ID", "NAME", "GIT", "REPOSITORY"}, {id, "Demo", git, repository}});
}

const std::vector<CommandCase> repositoryCases{
    {"Show", {"repository", "show", "Demo"}, "",
     {listProjects, {"GET", "/api/project/p-1", 200, R"({"id":"p-1","name":"Demo","gitRepositoryEnabled":false})"}},
     {0, projectTable("p-1", "no", "-"), ""}},
    {"ShowAmbiguous", {"repository", "show", "Twin"}, "", {listProjects},
     {2, "", "quil: project name is ambiguous; use its ID: Twin\n"}},
    {"ShowByIdDespiteTheSharedName", {"repository", "show", "p-4", "--quiet"}, "",
     {listProjects, {"GET", "/api/project/p-4", 200, R"({"id":"p-4","name":"Twin"})"}}, {0, "p-4\n", ""}},
    {"EnableSendsNoBody", {"repository", "enable", "Demo"}, "",
     {listProjects,
      {"POST", "/api/project/p-1/git-repository", 200,
       R"({"id":"p-1","name":"Demo","gitRepositoryEnabled":true,"repositoryId":"r-7"})", ""}},
     {0, projectTable("p-1", "yes", "r-7"), ""}},
    {"TreeOfTheRoot", {"repository", "tree", "Demo"}, "",
     {listProjects, {"GET", "/api/project/p-1/repository/tree?path=", 200, tree}},
     {0,
      tableText({{"TYPE", "PATH", "SIZE"},
                 {"directory", "src", "-"},
                 {"file", "README.md", "120"},
                 {"file", ".keep", "0"}}),
      ""}},
    {"TreeOfAPathQuiet", {"repository", "tree", "Demo", "--path", "src/main dir", "--quiet"}, "",
     {listProjects, {"GET", "/api/project/p-1/repository/tree?path=src%2Fmain%20dir", 200, tree}},
     {0, "src\nREADME.md\n.keep\n", ""}},
    {"TreeJson", {"repository", "tree", "Demo", "--output", "json"}, "",
     {listProjects, {"GET", "/api/project/p-1/repository/tree?path=", 200, tree}}, {0, tree + "\n", ""}},
    {"TreeOfAMissingPath", {"repository", "tree", "Demo", "--path", "nope"}, "",
     {listProjects, {"GET", "/api/project/p-1/repository/tree?path=nope", 404, R"({"message":"no such path"})"}},
     {5, "", "quil: no such path\n"}},
};

INSTANTIATE_TEST_SUITE_P(Repository, CommandCaseTest, testing::ValuesIn(repositoryCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
