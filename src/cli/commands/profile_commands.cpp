#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t profileList = 8;
constexpr std::uint8_t profileUse = 9;
constexpr std::uint8_t profileShow = 10;
constexpr std::uint8_t profileCreate = 11;
constexpr std::uint8_t profileDelete = 12;

bool isActive(const application::ProfileService& profiles, const model::Profile& profile) {
    const auto activeName = profiles.activeName();
    return activeName.has_value() && *activeName == profile.name;
}

}  // namespace

int CliApplication::runProfile(const ParsedCommand& command, std::istream& in, std::ostream& out,
                               std::ostream& err) {
    OutputFormatter formatter(command, out);
    switch (command.id) {
        case profileList: {
            const auto activeName = profiles.activeName();
            formatter.profiles(profiles.list(), activeName);
            return 0;
        }
        case profileUse: {
            const std::string name(command.operand(0));
            profiles.use(name);
            mutationReceipt(formatter, {{"active", true}, {"profile", name}}, "Active profile: " + name);
            return 0;
        }
        case profileShow: {
            const model::Profile profile = profiles.get(command.option("profile"));
            formatter.profile(profile, isActive(profiles, profile));
            return 0;
        }
        case profileCreate: {
            const std::string server(requiredOption(command, "server"));
            const model::Profile profile = profiles.create(std::string(command.operand(0)), server);
            formatter.profile(profile, isActive(profiles, profile));
            return 0;
        }
        case profileDelete: {
            const std::string name(command.operand(0));
            // Asked before the profile is looked up: the answer decides whether
            // anything is touched at all.
            if (!confirmDestructive(command, in, err, "Delete profile '" + name + "'?")) {
                formatter.message("Profile deletion cancelled");
                return 0;
            }
            profiles.remove(name);
            mutationReceipt(formatter, {{"deleted", true}, {"profile", name}}, "Deleted profile " + name);
            return 0;
        }
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
