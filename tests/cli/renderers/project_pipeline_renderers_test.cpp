#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "cli/output_formatter.hpp"

// The renderers' rules that the end-to-end tables do not show already: the
// extra tables of a single action, "-" and fallback cells of a bare
// pipeline, and the validation result in its quiet and empty forms.
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

const model::ActionDefinition deploy{"deploy", "Deploy", "", "", "cd", "f-1", {}};
const model::ActionOutput url{"url", "string", "Where it runs"};
const model::ActionDefinition documented{"deploy", "Deploy", "Ships it.", "", "cd", "f-1", {url}};
const model::Pipeline lonely{"pl-1", "Build", "p-1", "", "", {}, {}, false};

class ProjectPipelineRenderers : public testing::TestWithParam<RenderCase> {};

TEST_P(ProjectPipelineRenderers, PrintExactly) { EXPECT_EQ(rendered(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Rules, ProjectPipelineRenderers,
    testing::Values(
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
        RenderCase{"ActionQuietIsTheCodeAlone", Mode::Quiet,
                   [](OutputFormatter& f) { f.action(documented, ""); },
                   "deploy\n"},
        RenderCase{"PipelineDashesAndProjectIdFallback", Mode::Table,
                   [](OutputFormatter& f) { f.pipeline(lonely, ""); },
                   "ID    NAME   PROJECT  VARIABLE GROUP  SECRET GROUP  CONTINUE  LAST STATUS  \n"
                   "pl-1  Build  p-1      -               -             no        -            \n"},
        RenderCase{"ValidSource", Mode::Table, [](OutputFormatter& f) { f.validation({true, {}}, ""); },
                   "Pipeline source is valid\n"},
        RenderCase{"ValidSourceQuietPrintsNothing", Mode::Quiet,
                   [](OutputFormatter& f) { f.validation({true, {}}, ""); }, ""},
        RenderCase{"InvalidWithoutDiagnosticsIsTheHeader", Mode::Table,
                   [](OutputFormatter& f) { f.validation({false, {}}, ""); }, "CODE  LOCATION  MESSAGE  \n"}),
    [](const testing::TestParamInfo<RenderCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarlino::quil::cli
