#include <cstdint>
#include <ostream>
#include <stdexcept>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t dashboardShow = 102;
constexpr std::uint8_t dashboardRecent = 103;
constexpr std::uint8_t dashboardPipelines = 104;

}  // namespace

int CliApplication::runDashboard(const ParsedCommand& command, std::ostream& out) {
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;

    switch (command.id) {
        case dashboardShow:
            return renderResponse(formatter, &OutputFormatter::dashboardStats, gateway.dashboardStats());
        case dashboardRecent:
            return renderResponse(formatter, &OutputFormatter::recentActivity, gateway.recentActivity());
        case dashboardPipelines:
            return renderResponse(formatter, &OutputFormatter::dashboardPipelines, gateway.dashboardPipelineStatuses());
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
