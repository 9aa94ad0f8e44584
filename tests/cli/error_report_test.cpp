#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "application/api_error.hpp"
#include "cli/command_line.hpp"
#include "cli/error_report.hpp"

namespace quarlino::quil::cli {
namespace {

struct StatusCase {
    int status;
    std::string_view code;
    int exitCode;
};

class ApiStatusClass : public testing::TestWithParam<StatusCase> {};

TEST_P(ApiStatusClass, MapsStatusToWordAndExitCode) {
    const FailureClass failureClass = classifyApiStatus(GetParam().status);
    EXPECT_EQ(failureClass.code, GetParam().code);
    EXPECT_EQ(failureClass.exitCode, GetParam().exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ApiStatusClass,
    testing::Values(StatusCase{401, "UNAUTHENTICATED", 3}, StatusCase{403, "FORBIDDEN", 4},
                    StatusCase{404, "NOT_FOUND", 5}, StatusCase{409, "CONFLICT", 6}, StatusCase{412, "CONFLICT", 6},
                    StatusCase{0, "API_ERROR", 1}, StatusCase{200, "API_ERROR", 1}, StatusCase{400, "API_ERROR", 1},
                    StatusCase{402, "API_ERROR", 1}, StatusCase{405, "API_ERROR", 1}, StatusCase{408, "API_ERROR", 1},
                    StatusCase{410, "API_ERROR", 1}, StatusCase{411, "API_ERROR", 1}, StatusCase{413, "API_ERROR", 1},
                    StatusCase{500, "API_ERROR", 1}, StatusCase{-1, "API_ERROR", 1}));

std::string written(bool json, std::string_view code, std::string_view message, std::optional<int> status) {
    std::ostringstream out;
    writeError(out, json, code, message, status);
    return out.str();
}

TEST(WriteError, TextFormShowsOnlyTheMessage) {
    EXPECT_EQ(written(false, "UNAUTHENTICATED", "token expired", 401), "quil: token expired\n");
    EXPECT_EQ(written(false, "INTERNAL_ERROR", "", std::nullopt), "quil: \n");
}

TEST(WriteError, TextFormShowsControlsButKeepsLineBreaks) {
    EXPECT_EQ(written(false, "API_ERROR", "bad \x1B]0;t\x07 name\r\nnext\tline\xC2\x85", 500),
              "quil: bad ^[]0;t^G name^M\nnext\tline\\u0085\n");
}

TEST(WriteError, JsonFormIsOneCompactRecordWithKeysInByteOrder) {
    EXPECT_EQ(written(true, "NOT_FOUND", "project not found", 404),
              "{\"code\":\"NOT_FOUND\",\"httpStatus\":404,\"message\":\"project not found\"}\n");
    EXPECT_EQ(written(true, "INVALID_ARGUMENT", "bad", std::nullopt),
              "{\"code\":\"INVALID_ARGUMENT\",\"httpStatus\":null,\"message\":\"bad\"}\n");
    EXPECT_EQ(written(true, "API_ERROR", "x", -7), "{\"code\":\"API_ERROR\",\"httpStatus\":-7,\"message\":\"x\"}\n");
}

TEST(WriteError, JsonFormEscapesControlsAndKeepsUtf8Raw) {
    EXPECT_EQ(written(true, "API_ERROR", "quote \" slash \\ line\n tab\t caf\xC3\xA9", 500),
              "{\"code\":\"API_ERROR\",\"httpStatus\":500,"
              "\"message\":\"quote \\\" slash \\\\ line\\n tab\\t caf\xC3\xA9\"}\n");
}

TEST(WriteError, JsonFormReplacesBytesThatAreNotUtf8) {
    const std::string text = written(true, "INVALID_ARGUMENT", "unknown command: a\xFF" "b\xC3", std::nullopt);
    EXPECT_EQ(text, "{\"code\":\"INVALID_ARGUMENT\",\"httpStatus\":null,"
                    "\"message\":\"unknown command: a\xEF\xBF\xBD" "b\xEF\xBF\xBD\"}\n");
    EXPECT_TRUE(nlohmann::json::accept(text));
}

struct FailureCase {
    std::string name;
    std::exception_ptr failure;
    int exitCode;
    std::string json;
};

FailureCase failureCase(std::string name, const auto& error, int exitCode, std::string json) {
    return {std::move(name), std::make_exception_ptr(error), exitCode, std::move(json)};
}

class FailureReport : public testing::TestWithParam<FailureCase> {};

int reportCaught(const FailureCase& failureCase, std::ostream& err, bool json) {
    try {
        std::rethrow_exception(failureCase.failure);
    } catch (const std::exception& error) {
        return reportFailure(err, json, error);
    }
}

TEST_P(FailureReport, PrintsOneRecordAndReturnsTheExitCodeOfItsClass) {
    std::ostringstream jsonErr;
    EXPECT_EQ(reportCaught(GetParam(), jsonErr, true), GetParam().exitCode);
    EXPECT_EQ(jsonErr.str(), GetParam().json + "\n");

    std::ostringstream textErr;
    EXPECT_EQ(reportCaught(GetParam(), textErr, false), GetParam().exitCode);
    EXPECT_EQ(textErr.str(), "quil: m\n");
}

INSTANTIATE_TEST_SUITE_P(
    Classes, FailureReport,
    testing::Values(
        failureCase("Conflict", application::ApiError(412, "m", "{}"), 6,
                    R"({"code":"CONFLICT","httpStatus":412,"message":"m"})"),
        failureCase("Unauthenticated", application::ApiError(401, "m", ""), 3,
                    R"({"code":"UNAUTHENTICATED","httpStatus":401,"message":"m"})"),
        failureCase("TransportFailure", application::ApiError(0, "m", ""), 1,
                    R"({"code":"API_ERROR","httpStatus":0,"message":"m"})"),
        failureCase("InvalidArgument", std::invalid_argument("m"), 2,
                    R"({"code":"INVALID_ARGUMENT","httpStatus":null,"message":"m"})"),
        failureCase("Runtime", std::runtime_error("m"), 1, R"({"code":"INTERNAL_ERROR","httpStatus":null,"message":"m"})"),
        failureCase("Logic", std::logic_error("m"), 1, R"({"code":"INTERNAL_ERROR","httpStatus":null,"message":"m"})"),
        failureCase("OutOfRange", std::out_of_range("m"), 1,
                    R"({"code":"INTERNAL_ERROR","httpStatus":null,"message":"m"})"),
        failureCase("DomainError", std::domain_error("m"), 1,
                    R"({"code":"INTERNAL_ERROR","httpStatus":null,"message":"m"})")),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(ParseErrorReport, TextFormAddsAnEmptyLineAndTheGeneralUsage) {
    std::ostringstream err;
    EXPECT_EQ(reportParseError(err, false, std::invalid_argument("unknown command: x")), 2);
    EXPECT_EQ(err.str(), "quil: unknown command: x\n\n" + CommandLine::usage());
}

TEST(ParseErrorReport, JsonFormIsTheRecordAlone) {
    std::ostringstream err;
    EXPECT_EQ(reportParseError(err, true, std::invalid_argument("unknown command: x")), 2);
    EXPECT_EQ(err.str(), "{\"code\":\"INVALID_ARGUMENT\",\"httpStatus\":null,\"message\":\"unknown command: x\"}\n");
}

struct ScanCase {
    std::vector<std::string_view> words;
    bool json;
};

class JsonPreScan : public testing::TestWithParam<ScanCase> {};

TEST_P(JsonPreScan, OnlyTheAdjacentTwoWordPairCounts) {
    EXPECT_EQ(requestsJsonBeforeParsing(GetParam().words), GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Words, JsonPreScan,
    testing::Values(ScanCase{{}, false}, ScanCase{{"--output"}, false}, ScanCase{{"json"}, false},
                    ScanCase{{"--output", "json"}, true}, ScanCase{{"x", "--output", "json", "y"}, true},
                    ScanCase{{"x", "--output", "json"}, true}, ScanCase{{"--output=json"}, false},
                    ScanCase{{"--output:json"}, false}, ScanCase{{"--output", "JSON"}, false},
                    ScanCase{{"json", "--output"}, false}, ScanCase{{"--output", "x", "json"}, false},
                    ScanCase{{"--output", "table", "--output", "json"}, true}));

}  // namespace
}  // namespace quarlino::quil::cli
