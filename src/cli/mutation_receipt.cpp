#include <nlohmann/json.hpp>

#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

std::string compactJson(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool confirmOrCancel(const ParsedCommand& command, std::istream& in, std::ostream& err, std::string_view prompt,
                     OutputFormatter& formatter, std::string_view cancelled) {
    if (confirmDestructive(command, in, err, prompt)) {
        return true;
    }
    formatter.message(cancelled);
    return false;
}

void mutationReceipt(OutputFormatter& formatter, const nlohmann::json& receipt, std::string_view message) {
    if (formatter.isJson()) {
        // Receipts echo user input; bytes that are not UTF-8 must not fail a
        // change that has already been made.
        formatter.rawJson(compactJson(receipt));
        return;
    }
    formatter.message(message);
}

}  // namespace quarlino::quil::cli
