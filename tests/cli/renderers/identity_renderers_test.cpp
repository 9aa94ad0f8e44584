#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {
namespace {

using Render = std::function<void(OutputFormatter&, std::string_view rawBody)>;

std::string rendered(const Render& render, bool json, bool quiet, std::string_view rawBody = "{\"raw\":1}") {
    ParsedCommand command;
    command.outputFormat = json ? OutputFormat::Json : OutputFormat::Table;
    if (quiet) {
        command.flags.insert("quiet");
    }
    std::ostringstream out;
    OutputFormatter formatter(command, out);
    render(formatter, rawBody);
    return out.str();
}

const model::User ada{"u-1", "Ada", "ada@example.com", "ada"};
const model::Workspace main{"w-1", "Main", "main", false, "OWNER"};
const model::Workspace personal{"w-22", "Mine", "", true, "MEMBER"};
const model::Organization acme{"o-1", "Acme", "acme", true, "ADMIN", "2026-01-01", "2026-02-01"};
const model::Team ops{"t-1", "o-1", "Ops", "ops", 0, "c", "u"};
const model::Team core{"t-2", "o-1", "Core team", "core", 12, "c", "u"};
const model::TeamMember bob{"u-2", "Bob", "bob@example.com", "bobby", "2026-03-04T05:06:07Z"};

struct RendererCase {
    const char* name;
    Render render;
    const char* table;
    const char* quiet;
};

std::ostream& operator<<(std::ostream& out, const RendererCase& entry) { return out << entry.name; }

class IdentityRenderers : public testing::TestWithParam<RendererCase> {};

TEST_P(IdentityRenderers, TablesLineUpTheirColumns) {
    EXPECT_EQ(rendered(GetParam().render, false, false), GetParam().table);
}

TEST_P(IdentityRenderers, QuietModeWritesTheIdentifiers) {
    EXPECT_EQ(rendered(GetParam().render, false, true), GetParam().quiet);
}

TEST_P(IdentityRenderers, JsonModeWritesTheRawBodyAloneEvenWhenQuiet) {
    EXPECT_EQ(rendered(GetParam().render, true, false), "{\"raw\":1}\n");
    EXPECT_EQ(rendered(GetParam().render, true, true), "{\"raw\":1}\n");
}

INSTANTIATE_TEST_SUITE_P(
    Records, IdentityRenderers,
    testing::Values(
        RendererCase{"user", [](OutputFormatter& f, std::string_view body) { f.user(ada, body); },
                     "ID   NAME  EMAIL            HANDLE  \n"
                     "u-1  Ada   ada@example.com  ada     \n",
                     "u-1\n"},
        RendererCase{"workspace", [](OutputFormatter& f, std::string_view body) { f.workspace(personal, body); },
                     "ID    NAME  SLUG  ROLE    \n"
                     "w-22  Mine        MEMBER  \n",
                     "w-22\n"},
        RendererCase{"workspaces",
                     [](OutputFormatter& f, std::string_view body) { f.workspaces({main, personal}, body); },
                     "ID    NAME  SLUG  ROLE    PERSONAL  \n"
                     "w-1   Main  main  OWNER   no        \n"
                     "w-22  Mine        MEMBER  yes       \n",
                     "w-1\nw-22\n"},
        RendererCase{"organization", [](OutputFormatter& f, std::string_view body) { f.organization(acme, body); },
                     "ID   NAME  SLUG  ROLE   PERSONAL  \n"
                     "o-1  Acme  acme  ADMIN  yes       \n",
                     "o-1\n"},
        RendererCase{"organizations",
                     [](OutputFormatter& f, std::string_view body) { f.organizations({acme}, body); },
                     "ID   NAME  SLUG  ROLE   PERSONAL  \n"
                     "o-1  Acme  acme  ADMIN  yes       \n",
                     "o-1\n"},
        RendererCase{"team", [](OutputFormatter& f, std::string_view body) { f.team(ops, body); },
                     "ID   NAME  SLUG  MEMBERS  \n"
                     "t-1  Ops   ops   0        \n",
                     "t-1\n"},
        RendererCase{"teams", [](OutputFormatter& f, std::string_view body) { f.teams({ops, core}, body); },
                     "ID   NAME       SLUG  MEMBERS  \n"
                     "t-1  Ops        ops   0        \n"
                     "t-2  Core team  core  12       \n",
                     "t-1\nt-2\n"},
        RendererCase{"teamMember", [](OutputFormatter& f, std::string_view body) { f.teamMember(bob, body); },
                     "USER ID  NAME  EMAIL            HANDLE  JOINED                \n"
                     "u-2      Bob   bob@example.com  bobby   2026-03-04T05:06:07Z  \n",
                     "u-2\n"},
        RendererCase{"teamMembers",
                     [](OutputFormatter& f, std::string_view body) { f.teamMembers({bob, bob}, body); },
                     "USER ID  NAME  EMAIL            HANDLE  JOINED                \n"
                     "u-2      Bob   bob@example.com  bobby   2026-03-04T05:06:07Z  \n"
                     "u-2      Bob   bob@example.com  bobby   2026-03-04T05:06:07Z  \n",
                     "u-2\nu-2\n"},
        RendererCase{"emptyWorkspaces",
                     [](OutputFormatter& f, std::string_view body) { f.workspaces({}, body); },
                     "ID  NAME  SLUG  ROLE  PERSONAL  \n", ""},
        RendererCase{"emptyTeamMembers",
                     [](OutputFormatter& f, std::string_view body) { f.teamMembers({}, body); },
                     "USER ID  NAME  EMAIL  HANDLE  JOINED  \n", ""}),
    [](const testing::TestParamInfo<RendererCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarlino::quil::cli
