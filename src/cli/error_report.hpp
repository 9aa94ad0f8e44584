#pragma once

#include <exception>
#include <iosfwd>
#include <optional>
#include <string_view>
#include <vector>

namespace quarlino::quil::cli {

// The error word and exit code that one class of failure is reported with.
struct FailureClass {
    std::string_view code;
    int exitCode;
};

// The class of a failed exchange with the given HTTP status.
FailureClass classifyApiStatus(int status);

// Writes one error record: "quil: " and the message, or one compact JSON object
// with "code", "httpStatus" (null when absent) and "message".
void writeError(std::ostream& out, bool json, std::string_view code, std::string_view message,
                std::optional<int> httpStatus);

// Reports a failure of a parsed command and returns its exit code.
int reportFailure(std::ostream& err, bool json, const std::exception& failure);

// Reports a refused command line (with the general usage in text form) and
// returns its exit code.
int reportParseError(std::ostream& err, bool json, const std::exception& failure);

// Whether the words hold "--output" directly followed by "json": only that
// two-word form switches a parse error to JSON, since the line failed to parse.
bool requestsJsonBeforeParsing(const std::vector<std::string_view>& arguments);

}  // namespace quarlino::quil::cli
