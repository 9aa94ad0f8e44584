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
    const application::ClientSession current = session(command, true);
    requireAuthentication(current.config);
    const auto context = api(current.config);
    auto& gateway = context->gateway;

    switch (command.id) {
        case dashboardShow: {
            const auto stats = gateway.dashboardStats();
            formatter.dashboardStats(stats.value, stats.body);
            return 0;
        }
        case dashboardRecent: {
            const auto activity = gateway.recentActivity();
            formatter.recentActivity(activity.value, activity.body);
            return 0;
        }
        case dashboardPipelines: {
            const auto pipelines = gateway.dashboardPipelineStatuses();
            formatter.dashboardPipelines(pipelines.value, pipelines.body);
            return 0;
        }
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
