#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "cli/output_formatter.hpp"

// Only the renderers' rules are tabled here: "-" and fallback cells, yes/no
// cells, the extra tables of a single action and the validation result,
// which ignores --quiet when the source is invalid.
namespace quarlino::quil::cli {
namespace {

using Render = std::function<void(OutputFormatter&)>;

enum class Mode { Table, Quiet };

struct RenderCase {
    const char* name;
    Mode mode;
    Render render;
    const char* expected;
};

std::ostream& operator<<(std::ostream& out, const RenderCase& entry) { return out << entry.name; }

std::string rendered(const RenderCase& entry) {
    ParsedCommand command;
    if (entry.mode == Mode::Quiet) {
        command.flags.insert("quiet");
    }
    std::ostringstream out;
    OutputFormatter formatter(command, out);
    entry.render(formatter);
    return out.str();
}

const model::Project bare{"p-1", "Demo", {}, {}, {}, false, false};
const model::Project withRepository{"p-2", "Site", "r-9", {}, "READY", true, false};
const model::ActionDefinition deploy{"deploy", "Deploy", "", "", "cd", "f-1", {}};
const model::ActionOutput url{"url", "string", "Where it runs"};
const model::ActionDefinition documented{"deploy", "Deploy", "Ships it.", "", "cd", "f-1", {url}};
const model::Pipeline lonely{"pl-1", "Build", "p-1", "", "", {}, {}, false};
const model::Pipeline grouped{"pl-2", "Ship", "p-1", "Demo", "FAILED", "sg-1", "vg-1", true};
const model::Execution unstarted{"e-1", "pl-1", "", {}, "QUEUED", "", "", ""};
const model::SourceDiagnostic unplaced{"E1", "no stages", 0, 7};
const model::SourceDiagnostic placed{"E2", "bad key", 3, 14};

class ProjectPipelineRenderers : public testing::TestWithParam<RenderCase> {};

TEST_P(ProjectPipelineRenderers, PrintExactly) { EXPECT_EQ(rendered(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Rules, ProjectPipelineRenderers,
    testing::Values(
        RenderCase{"ProjectWithoutRepositoryShowsDash", Mode::Table,
                   [](OutputFormatter& f) { f.project(bare, ""); },
                   "ID   NAME  GIT  REPOSITORY  \n"
                   "p-1  Demo  no   -           \n"},
        RenderCase{"ProjectListShowsTheRepositoryStatus", Mode::Table,
                   [](OutputFormatter& f) { f.projects({bare, withRepository}, ""); },
                   "ID   NAME  GIT  REPOSITORY STATUS  \n"
                   "p-1  Demo  no   -                  \n"
                   "p-2  Site  yes  READY              \n"},
        RenderCase{"EntryWithoutSizeShowsDashAndZeroStaysZero", Mode::Table,
                   [](OutputFormatter& f) {
                       f.repositoryEntries({{"src", "src", "directory", {}}, {"empty", "src/empty", "file", 0}}, "");
                   },
                   "TYPE       PATH       SIZE  \n"
                   "directory  src        -     \n"
                   "file       src/empty  0     \n"},
        RenderCase{"EntriesQuietArePaths", Mode::Quiet,
                   [](OutputFormatter& f) { f.repositoryEntries({{"a", "a", "", {}}, {"c", "b/c", "", {}}}, ""); }, "a\nb/c\n"},
        RenderCase{"ActionAloneHasOneTable", Mode::Table, [](OutputFormatter& f) { f.action(deploy, ""); },
                   "CODE    NAME    CATEGORY  FORM  \n"
                   "deploy  Deploy  cd        f-1   \n"},
        RenderCase{"ActionOutputsWithoutDescription", Mode::Table,
                   [](OutputFormatter& f) {
                       model::ActionDefinition action = deploy;
                       action.outputs = {url, {"id", "number", ""}};
                       f.action(action, "");
                   },
                   "CODE    NAME    CATEGORY  FORM  \n"
                   "deploy  Deploy  cd        f-1   \n"
                   "\n"
                   "OUTPUT  TYPE    DESCRIPTION    \n"
                   "url     string  Where it runs  \n"
                   "id      number                 \n"},
        RenderCase{"ActionDescriptionThenOutputs", Mode::Table,
                   [](OutputFormatter& f) { f.action(documented, ""); },
                   "CODE    NAME    CATEGORY  FORM  \n"
                   "deploy  Deploy  cd        f-1   \n"
                   "\n"
                   "Ships it.\n"
                   "\n"
                   "OUTPUT  TYPE    DESCRIPTION    \n"
                   "url     string  Where it runs  \n"},
        RenderCase{"ActionQuietIsTheCodeAlone", Mode::Quiet,
                   [](OutputFormatter& f) { f.action(documented, ""); },
                   "deploy\n"},
        RenderCase{"PipelineDashesAndProjectIdFallback", Mode::Table,
                   [](OutputFormatter& f) { f.pipeline(lonely, ""); },
                   "ID    NAME   PROJECT  VARIABLE GROUP  SECRET GROUP  CONTINUE  LAST STATUS  \n"
                   "pl-1  Build  p-1      -               -             no        -            \n"},
        RenderCase{"PipelineWithGroups", Mode::Table, [](OutputFormatter& f) { f.pipeline(grouped, ""); },
                   "ID    NAME  PROJECT  VARIABLE GROUP  SECRET GROUP  CONTINUE  LAST STATUS  \n"
                   "pl-2  Ship  Demo     vg-1            sg-1          yes       FAILED       \n"},
        RenderCase{"PipelineListShowsTheProjectId", Mode::Table,
                   [](OutputFormatter& f) { f.pipelines({lonely, grouped}, ""); },
                   "ID    NAME   PROJECT  LAST STATUS  \n"
                   "pl-1  Build  p-1      -            \n"
                   "pl-2  Ship   p-1      FAILED       \n"},
        RenderCase{"ValidSource", Mode::Table, [](OutputFormatter& f) { f.validation({true, {}}, ""); },
                   "Pipeline source is valid\n"},
        RenderCase{"ValidSourceQuietPrintsNothing", Mode::Quiet,
                   [](OutputFormatter& f) { f.validation({true, {}}, ""); }, ""},
        RenderCase{"InvalidSourceTableEvenQuiet", Mode::Quiet,
                   [](OutputFormatter& f) { f.validation({false, {unplaced, placed}}, ""); },
                   "CODE  LOCATION  MESSAGE    \n"
                   "E1    -         no stages  \n"
                   "E2    3:14      bad key    \n"},
        RenderCase{"InvalidWithoutDiagnosticsIsTheHeader", Mode::Table,
                   [](OutputFormatter& f) { f.validation({false, {}}, ""); }, "CODE  LOCATION  MESSAGE  \n"},
        RenderCase{"RunWithoutNumberOrStart", Mode::Table, [](OutputFormatter& f) { f.execution(unstarted, ""); },
                   "ID   PIPELINE  NUMBER  STATUS  STARTED  \n"
                   "e-1  pl-1      -       QUEUED  -        \n"},
        RenderCase{"RunsWithNumberAndName", Mode::Table,
                   [](OutputFormatter& f) {
                       f.executions({{"e-2", "pl-1", "Build", 0, "RUNNING", "09:00", "", ""}}, "");
                   },
                   "ID   PIPELINE  NUMBER  STATUS   STARTED  \n"
                   "e-2  Build     0       RUNNING  09:00    \n"},
        RenderCase{"ReportFallsBackToTheActionId", Mode::Table,
                   [](OutputFormatter& f) {
                       f.testReports({{"tr-1", "e-1", "a-7", "", "JUNIT", "", 0, 4, 1, 0, 2, 1.5, ""}}, "");
                   },
                   "ACTION  FORMAT  TESTS  FAILURES  ERRORS  SKIPPED  SECONDS   \n"
                   "a-7     JUNIT   4      1         0       2        1.500000  \n"}),
    [](const testing::TestParamInfo<RenderCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarlino::quil::cli
