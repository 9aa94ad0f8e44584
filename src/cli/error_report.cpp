#include "cli/error_report.hpp"

#include <nlohmann/json.hpp>
#include <ostream>
#include <stdexcept>
#include <string>

#include "application/api_error.hpp"
#include "cli/command_line.hpp"
#include "cli/visible_text.hpp"

namespace quarlino::quil::cli {
namespace {

constexpr FailureClass invalidArgument{"INVALID_ARGUMENT", 2};
constexpr FailureClass internalError{"INTERNAL_ERROR", 1};

}  // namespace

FailureClass classifyApiStatus(int status) {
    switch (status) {
    case 401:
        return {"UNAUTHENTICATED", 3};
    case 403:
        return {"FORBIDDEN", 4};
    case 404:
        return {"NOT_FOUND", 5};
    case 409:
    case 412:
        return {"CONFLICT", 6};
    default:
        return {"API_ERROR", 1};
    }
}

void writeError(std::ostream& out, bool json, std::string_view code, std::string_view message,
                std::optional<int> httpStatus) {
    if (!json) {
        // The message may carry platform text; the JSON form escapes it anyway.
        out << "quil: " << visibleText(message, LineBreaks::Keep) << "\n";
        return;
    }
    nlohmann::json record{{"code", code}, {"message", message}};
    record["httpStatus"] = httpStatus ? nlohmann::json(*httpStatus) : nlohmann::json(nullptr);
    // A command word or option value can carry bytes that are not UTF-8 into
    // the message; replacing them keeps the record valid instead of throwing.
    out << record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

int reportFailure(std::ostream& err, bool json, const std::exception& failure) {
    if (const auto* apiError = dynamic_cast<const application::ApiError*>(&failure)) {
        const FailureClass failureClass = classifyApiStatus(apiError->statusCode());
        writeError(err, json, failureClass.code, apiError->what(), apiError->statusCode());
        return failureClass.exitCode;
    }
    const FailureClass failureClass =
        dynamic_cast<const std::invalid_argument*>(&failure) != nullptr ? invalidArgument : internalError;
    writeError(err, json, failureClass.code, failure.what(), std::nullopt);
    return failureClass.exitCode;
}

int reportParseError(std::ostream& err, bool json, const std::exception& failure) {
    writeError(err, json, invalidArgument.code, failure.what(), std::nullopt);
    if (!json) {
        err << "\n" << CommandLine::usage();
    }
    return invalidArgument.exitCode;
}

bool requestsJsonBeforeParsing(const std::vector<std::string_view>& arguments) {
    for (std::size_t index = 0; index + 1 < arguments.size(); ++index) {
        if (arguments[index] == "--output" && arguments[index + 1] == "json") {
            return true;
        }
    }
    return false;
}

}  // namespace quarlino::quil::cli
