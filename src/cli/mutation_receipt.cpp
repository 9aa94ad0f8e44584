#include <nlohmann/json.hpp>

#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

void mutationReceipt(OutputFormatter& formatter, const nlohmann::json& receipt, std::string_view message) {
    if (formatter.isJson()) {
        // Receipts echo user input; bytes that are not UTF-8 must not fail a
        // change that has already been made.
        formatter.rawJson(receipt.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        return;
    }
    formatter.message(message);
}

}  // namespace quarlino::quil::cli
