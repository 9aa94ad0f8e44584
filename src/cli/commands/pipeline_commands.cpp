#include "cli/commands/pipeline_commands.hpp"

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/commands/execution_commands.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t pipelineList = 63;
constexpr std::uint8_t pipelineShow = 64;
constexpr std::uint8_t pipelineCreate = 65;
constexpr std::uint8_t pipelineValidate = 66;
constexpr std::uint8_t pipelineUpdate = 67;
constexpr std::uint8_t pipelineExport = 68;
constexpr std::uint8_t pipelineRun = 69;
constexpr std::uint8_t pipelineConfigure = 70;
constexpr std::uint8_t pipelineDelete = 71;
constexpr std::uint8_t pipelineAttachSecretGroup = 72;
constexpr std::uint8_t pipelineDetachSecretGroup = 73;
constexpr std::uint8_t pipelineAttachVariableGroup = 74;
constexpr std::uint8_t pipelineDetachVariableGroup = 75;

using application::port::QuarlinoGateway;

nlohmann::json idOrNull(const std::optional<std::string>& id) {
    return id ? nlohmann::json(*id) : nlohmann::json(nullptr);
}

std::string pipelineListJson(const std::vector<model::Pipeline>& pipelines) {
    nlohmann::json array = nlohmann::json::array();
    for (const model::Pipeline& pipeline : pipelines) {
        array.push_back({{"continueOnError", pipeline.continueOnError},
                         {"id", pipeline.id},
                         {"lastStatus", pipeline.lastStatus},
                         {"name", pipeline.name},
                         {"projectId", pipeline.projectId},
                         {"projectName", pipeline.projectName},
                         {"secretGroupId", idOrNull(pipeline.secretGroupId)},
                         {"variableGroupId", idOrNull(pipeline.variableGroupId)}});
    }
    return compactJson(array);
}

bool parseContinueOnError(std::string_view value) {
    if (value == "true") {
        return true;
    }
    if (value == "false") {
        return false;
    }
    throw std::invalid_argument("--continue-on-error must be true or false");
}

void configurePipeline(const ParsedCommand& command, QuarlinoGateway& gateway, const model::Pipeline& pipeline,
                       OutputFormatter& output) {
    const auto continueOption = command.option("continue-on-error");
    // Checked before anything is changed.
    const bool continueOnError = continueOption && parseContinueOnError(*continueOption);
    nlohmann::json receipt{{"pipelineId", pipeline.id}};
    std::string summary;
    if (continueOption) {
        gateway.setPipelineContinueOnError(pipeline.id, continueOnError);
        receipt["continueOnError"] = continueOnError;
        summary = std::string("continue on error = ") + (continueOnError ? "true" : "false");
    }
    if (const auto runner = command.option("runner")) {
        gateway.setPipelineRunner(pipeline.id, *runner);
        receipt["runnerProfileCode"] = *runner;
        summary += (summary.empty() ? "" : "; ") + std::string("runner = ") + std::string(*runner);
    }
    mutationReceipt(output, receipt, "Configured pipeline " + pipeline.name + ": " + summary);
}

int deletePipeline(const ParsedCommand& command, std::istream& in, std::ostream& err, QuarlinoGateway& gateway,
                   const model::Pipeline& pipeline, OutputFormatter& output) {
    if (!confirmOrCancel(command, in, err, "Delete pipeline '" + pipeline.name + "'?", output,
                         "Pipeline deletion cancelled")) {
        return 0;
    }
    gateway.deletePipeline(pipeline.id);
    mutationReceipt(output, {{"deleted", true}, {"id", pipeline.id}}, "Deleted pipeline " + pipeline.name);
    return 0;
}

// Attaching names the group (a resolved record with an id and a name);
// detaching sends no group at all, which the platform takes as none.
template <typename Resolve, typename Link>
void linkGroup(const ParsedCommand& command, bool attach, const model::Pipeline& pipeline, OutputFormatter& output,
               const std::string& kind, const std::string& key, Resolve resolveGroup, Link link) {
    nlohmann::json receipt{{"pipelineId", pipeline.id}};
    if (!attach) {
        link(std::nullopt);
        receipt[key] = nullptr;
        mutationReceipt(output, receipt, "Detached " + kind + " from pipeline " + pipeline.name);
        return;
    }
    const auto group = resolveGroup(command.operand(1));
    link(group.id);
    receipt[key] = group.id;
    mutationReceipt(output, receipt, "Attached " + kind + " " + group.name + " to pipeline " + pipeline.name);
}

}  // namespace

void listPipelines(const ParsedCommand& command, QuarlinoGateway& gateway, OutputFormatter& output) {
    auto listed = gateway.listPipelines();
    const auto projectSelector = command.option("project");
    if (!projectSelector) {
        output.pipelines(listed.value, listed.body);
        return;
    }
    const std::string projectId = resolveProject(gateway, *projectSelector).id;
    std::erase_if(listed.value, [&](const model::Pipeline& pipeline) { return pipeline.projectId != projectId; });
    output.pipelines(listed.value, pipelineListJson(listed.value));
}

int CliApplication::runPipeline(const ParsedCommand& command, std::istream& in, std::ostream& out,
                                std::ostream& err) {
    if (command.id < pipelineList || command.id > pipelineDetachVariableGroup) {
        throw std::logic_error("unsupported pipeline command");
    }
    OutputFormatter output(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;

    switch (command.id) {
        case pipelineList:
            listPipelines(command, gateway, output);
            return 0;
        case pipelineCreate: {
            const model::Project project = resolveProject(gateway, requiredOption(command, "project"));
            const auto created = gateway.createPipeline(command.operand(0), project.id);
            output.pipeline(created.value, created.body);
            return 0;
        }
        case pipelineValidate:
            return validatePipelineSource(command, in, gateway, output);
        default:
            break;
    }

    // The pipeline is settled before any option is read or file opened.
    const model::Pipeline pipeline = resolvePipeline(gateway, command.operand(0));
    switch (command.id) {
        case pipelineShow: {
            const auto shown = gateway.getPipeline(pipeline.id);
            output.pipeline(shown.value, shown.body);
            return 0;
        }
        case pipelineUpdate:
            return updatePipelineSource(command, in, pipeline, gateway, output);
        case pipelineExport:
            exportPipeline(command, out, pipeline, gateway, output);
            return 0;
        case pipelineRun: {
            const auto started = gateway.startExecution(pipeline.id);
            if (command.hasFlag("follow")) {
                followExecution(gateway, output, started.value, sleeper);
            } else {
                output.execution(started.value, started.body);
            }
            return 0;
        }
        case pipelineConfigure:
            configurePipeline(command, gateway, pipeline, output);
            return 0;
        case pipelineDelete:
            return deletePipeline(command, in, err, gateway, pipeline, output);
        case pipelineAttachSecretGroup:
        case pipelineDetachSecretGroup:
            linkGroup(
                command, command.id == pipelineAttachSecretGroup, pipeline, output, "secret group", "secretGroupId",
                [&](std::string_view selector) { return resolveSecretGroup(gateway, selector); },
                [&](std::optional<std::string_view> id) { gateway.setPipelineSecretGroup(pipeline.id, id); });
            return 0;
        case pipelineAttachVariableGroup:
        case pipelineDetachVariableGroup:
            linkGroup(
                command, command.id == pipelineAttachVariableGroup, pipeline, output, "variable group",
                "variableGroupId", [&](std::string_view selector) { return resolveVariableGroup(gateway, selector); },
                [&](std::optional<std::string_view> id) { gateway.setPipelineVariableGroup(pipeline.id, id); });
            return 0;
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
