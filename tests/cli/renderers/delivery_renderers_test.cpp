#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {
namespace {

using Render = std::function<void(OutputFormatter&)>;

std::string rendered(const Render& render, OutputFormat format, bool quiet) {
    ParsedCommand command;
    command.outputFormat = format;
    if (quiet) {
        command.flags.insert("quiet");
    }
    std::ostringstream out;
    OutputFormatter formatter(command, out);
    render(formatter);
    return out.str();
}

model::RegistryAccessToken token(std::optional<std::string> secret) {
    return {"tk-1", "ci", "qrt", {"PULL"}, std::nullopt, std::nullopt, std::nullopt, "c", std::move(secret)};
}

model::DeploymentTarget target() {
    model::DeploymentTarget target;
    target.id = "t-1";
    target.configuration = R"({"a":1})";
    return target;
}

// The lines that follow a table belong to table mode alone: quiet mode gives
// the identifier (or the one-time secret) and nothing else.
struct ExtraLinesCase {
    const char* name;
    Render render;
    std::string table;
    std::string quiet;
};

std::ostream& operator<<(std::ostream& out, const ExtraLinesCase& c) { return out << c.name; }

class DeliveryRenderers : public testing::TestWithParam<ExtraLinesCase> {};

TEST_P(DeliveryRenderers, TableAndQuietForms) {
    EXPECT_EQ(rendered(GetParam().render, OutputFormat::Table, false), GetParam().table);
    EXPECT_EQ(rendered(GetParam().render, OutputFormat::Table, true), GetParam().quiet);
    EXPECT_EQ(rendered(GetParam().render, OutputFormat::Json, true), "{\"raw\":1}\n");
}

INSTANTIATE_TEST_SUITE_P(
    Records, DeliveryRenderers,
    testing::Values(
        ExtraLinesCase{"tokenWithoutSecret",
                       [](OutputFormatter& f) { f.registryAccessToken(token({}), "{\"raw\":1}"); },
                       "ID    NAME  PREFIX  PERMISSIONS  EXPIRES  REVOKED  \n"
                       "tk-1  ci    qrt     PULL         -        -        \n",
                       "tk-1\n"},
        ExtraLinesCase{"tokenWithSecret",
                       [](OutputFormatter& f) { f.registryAccessToken(token("s3cr3t"), "{\"raw\":1}"); },
                       "ID    NAME  PREFIX  PERMISSIONS  EXPIRES  REVOKED  \n"
                       "tk-1  ci    qrt     PULL         -        -        \n"
                       "\nToken (shown once): s3cr3t\n",
                       "s3cr3t\n"},
        ExtraLinesCase{"enrollmentToken",
                       [](OutputFormatter& f) {
                           f.deploymentEnrollmentToken({"enr-1", "2026-01-01"}, "{\"raw\":1}");
                       },
                       "EXPIRES     TOKEN  \n"
                       "2026-01-01  enr-1  \n"
                       "Store this token now; it cannot be retrieved again.\n",
                       "enr-1\n"},
        ExtraLinesCase{"targetWithoutAgent", [](OutputFormatter& f) { f.deploymentTarget(target(), "{\"raw\":1}"); },
                       "ID   NAME  REFERENCE  KIND  STRATEGY  AGENT  REVISION  ENABLED  \n"
                       "t-1  " + std::string(33, ' ') + "-      0         no       \n"
                       "\nConfiguration: {\"a\":1}\n",
                       "t-1\n"},
        ExtraLinesCase{"secretGroupWithoutSecrets",
                       [](OutputFormatter& f) { f.secretGroup({"sg-1", "prod", "", "", {}, "", ""}, "{\"raw\":1}"); },
                       "ID    NAME  DESCRIPTION  \n"
                       "sg-1  prod  -            \n",
                       "sg-1\n"},
        ExtraLinesCase{"repositoryTagWithoutComponent",
                       [](OutputFormatter& f) {
                           f.registryRepositories({{"base", "", {{"sha256:1", "v2", "", 7, "now"}}}}, "{\"raw\":1}");
                       },
                       "REPOSITORY  COMPONENT  TAG  DIGEST    SIZE  PUSHED  \n"
                       "base        -          v2   sha256:1  7     now     \n",
                       "base:v2\n"},
        ExtraLinesCase{"statsHaveNoQuietForm",
                       [](OutputFormatter& f) { f.dashboardStats({2, 1, 33.25, "1m"}, "{\"raw\":1}"); },
                       "PIPELINES  EXECUTIONS TODAY  SUCCESS RATE  AVERAGE DURATION  \n"
                       "2          1                 33.250000%    1m                \n",
                       ""}),
    [](const testing::TestParamInfo<ExtraLinesCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarlino::quil::cli
