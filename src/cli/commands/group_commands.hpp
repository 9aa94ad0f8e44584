#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "application/port/quarlino_gateway.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"
#include "cli/parsed_command.hpp"

namespace quarlino::quil::cli {

// What tells the variable-group and the secret-group commands apart. Both
// groups number their commands alike from `firstId`: list, show, create,
// set, unset, delete.
template <typename Group>
struct GroupCommands {
    using Gateway = application::port::QuarlinoGateway;
    using Text = Gateway::Text;

    std::uint8_t firstId;
    std::string_view kind;  // "variable group"
    std::string_view cancelled;
    std::string_view unsupported;
    Group (*resolve)(Gateway&, std::string_view);
    model::ApiResponse<std::vector<Group>> (Gateway::*list)();
    model::ApiResponse<Group> (Gateway::*get)(Text);
    model::ApiResponse<Group> (Gateway::*create)(Text, Text);
    model::ApiResponse<Group> (Gateway::*unset)(Text, Text);
    void (Gateway::*remove)(Text);
    void (OutputFormatter::*render)(const Group&, std::string_view);
    void (OutputFormatter::*renderList)(const std::vector<Group>&, std::string_view);
};

// Runs one command of a group family; `set` stores one member in the
// resolved group and returns the group as it now is.
template <typename Group, typename Set>
int runGroupCommand(const GroupCommands<Group>& family, const ParsedCommand& command,
                    application::port::QuarlinoGateway& gateway, OutputFormatter& formatter, std::istream& in,
                    std::ostream& err, Set set) {
    const auto render = [&](const model::ApiResponse<Group>& response) {
        return renderResponse(formatter, family.render, response);
    };
    const int offset = command.id - family.firstId;
    if (offset < 0 || offset > 5) {
        throw std::logic_error(std::string(family.unsupported));
    }
    if (offset == 0) {
        return renderResponse(formatter, family.renderList, (gateway.*family.list)());
    }
    if (offset == 2) {
        return render((gateway.*family.create)(command.operand(0), command.option("description").value_or("")));
    }
    const Group group = family.resolve(gateway, command.operand(0));
    switch (offset) {
        case 1:
            return render((gateway.*family.get)(group.id));
        case 3:
            return render(set(group));
        case 4:
            return render((gateway.*family.unset)(group.id, command.operand(1)));
        default: {
            const std::string kind(family.kind);
            if (!confirmDestructive(command, in, err, "Delete " + kind + " '" + group.name + "'?")) {
                formatter.message(family.cancelled);
                return 0;
            }
            (gateway.*family.remove)(group.id);
            mutationReceipt(formatter, {{"deleted", true}, {"id", group.id}}, "Deleted " + kind + " " + group.name);
            return 0;
        }
    }
}

}  // namespace quarlino::quil::cli
