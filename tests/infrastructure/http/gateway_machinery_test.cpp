#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "application/api_error.hpp"
#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/record_mappers.hpp"
#include "support/quil/recording_transport.hpp"

namespace quarlino::quil::infrastructure::http {
namespace {

using application::ApiError;
using application::port::HttpMethod;
using application::port::HttpResponse;
using testsupport::quil::RecordingTransport;

HttpResponse responseWith(std::string body, int status = 200) { return HttpResponse{status, {}, std::move(body)}; }

// Percent-encoding -------------------------------------------------------------------

struct EncodingCase {
    std::string value;
    std::string encoded;
};

class Encoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(Encoding, WritesEveryReservedByteAsUpperCaseHex) {
    EXPECT_EQ(encode(GetParam().value), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Encoding,
    testing::Values(EncodingCase{"", ""}, EncodingCase{"a b/c", "a%20b%2Fc"}, EncodingCase{"A-z_0.9~", "A-z_0.9~"},
                    EncodingCase{"\xC3\xA9", "%C3%A9"}, EncodingCase{"?", "%3F"}, EncodingCase{"+", "%2B"},
                    EncodingCase{"%", "%25"}, EncodingCase{"#&=", "%23%26%3D"}, EncodingCase{"\xFF\x7F", "%FF%7F"},
                    EncodingCase{std::string("a\0b", 3), "a%00b"}, EncodingCase{"\xEA\xBA", "%EA%BA"},
                    EncodingCase{"..", ".."}, EncodingCase{"*'()!@:", "%2A%27%28%29%21%40%3A"}));

TEST(Segment, EncodesLikeEncode) {
    EXPECT_EQ(segment("team one/two"), "team%20one%2Ftwo");
    EXPECT_EQ(segment("a.b"), "a.b");
    EXPECT_EQ(segment("..."), "...");
    EXPECT_EQ(segment("%2E"), "%252E");
}

TEST(Segment, RefusesIdentifiersThatWouldChangeThePath) {
    const std::vector<std::pair<std::string, std::string>> refused{
        {"", "Quarlino resource identifier cannot be empty"},
        {".", "Quarlino resource identifier cannot be \".\""},
        {"..", "Quarlino resource identifier cannot be \"..\""},
    };
    for (const auto& [value, message] : refused) {
        try {
            segment(value);
            ADD_FAILURE() << "accepted [" << value << "]";
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(error.what(), message);
        }
    }
}

TEST(Query, EncodesValuesAndKeepsEmptyOnes) {
    EXPECT_EQ(withQuery("/api/x", {}), "/api/x");
    EXPECT_EQ(withQuery("/api/x", {{"path", ""}}), "/api/x?path=");
    EXPECT_EQ(withQuery("/api/x", {{"a", "1 2"}, {"b", "src/main"}, {"c", "."}}), "/api/x?a=1%202&b=src%2Fmain&c=.");
}

// Bodies -------------------------------------------------------------------------------

TEST(Body, IsCompactWithKeysInByteOrder) {
    const nlohmann::json body{{"name", "n"}, {"email", "e"}, {"handle", "h"}, {"password", "p"}};
    EXPECT_EQ(jsonBody(body), R"({"email":"e","handle":"h","name":"n","password":"p"})");
    EXPECT_EQ(jsonBody({{"b", 1}, {"a", {{"d", true}, {"Z", nullptr}}}, {"\xC3\xA9", 2}, {"B", 3}}),
              "{\"B\":3,\"a\":{\"Z\":null,\"d\":true},\"b\":1,\"\xC3\xA9\":2}");
}

TEST(Body, WritesUtf8UnchangedAndEscapesWhatJsonRequires) {
    EXPECT_EQ(jsonBody({{"name", "caf\xC3\xA9 \"q\"\n\x01"}}), "{\"name\":\"caf\xC3\xA9 \\\"q\\\"\\n\\u0001\"}");
}

TEST(Body, RefusesTextThatIsNotUtf8) {
    try {
        jsonBody({{"name", "\xFF"}});
        ADD_FAILURE() << "serialised invalid UTF-8";
    } catch (const nlohmann::json::type_error& error) {
        EXPECT_EQ(error.id, 316);
    }
}

TEST(Body, NullForEmptyOrAbsentValues) {
    EXPECT_TRUE(textOrNull("").is_null());
    EXPECT_EQ(textOrNull("s"), "s");
    EXPECT_TRUE(valueOrNull(std::optional<std::string>{}).is_null());
    EXPECT_EQ(valueOrNull(std::optional<std::string>{""}), "");
    EXPECT_EQ(valueOrNull(std::optional<std::string_view>{"v"}), "v");
    EXPECT_EQ(jsonBody(valueOrNull(std::optional<std::uint64_t>{18446744073709551615ULL})), "18446744073709551615");
    EXPECT_EQ(jsonBody(valueOrNull(std::optional<int>{-1})), "-1");
}

// Error messages -----------------------------------------------------------------------

struct ErrorBodyCase {
    std::string body;
    std::string message;
};

class ErrorMessage : public testing::TestWithParam<ErrorBodyCase> {};

TEST_P(ErrorMessage, TakesThePlatformsOwnText) {
    EXPECT_EQ(errorMessage(responseWith(GetParam().body, 502)), GetParam().message);
}

const std::string kFallback = "Quarlino API returned HTTP 502";

INSTANTIATE_TEST_SUITE_P(
    Bodies, ErrorMessage,
    testing::Values(ErrorBodyCase{R"({"message":"m","error":"e"})", "m"},
                    ErrorBodyCase{R"({"message":42,"error":"e"})", "e"},
                    ErrorBodyCase{R"({"error":"e","detail":"d"})", "e"}, ErrorBodyCase{R"({"detail":"d"})", "d"},
                    ErrorBodyCase{R"({"message":"","error":"e"})", ""},
                    ErrorBodyCase{R"({"message":null,"error":{},"detail":[],"errors":["x"]})", "x"},
                    ErrorBodyCase{R"({"detail":"d","errors":["x"]})", "d"},
                    ErrorBodyCase{R"({"errors":["a","b"]})", "a"}, ErrorBodyCase{R"({"errors":[]})", kFallback},
                    ErrorBodyCase{R"({"errors":[{"code":"x"}]})", kFallback},
                    ErrorBodyCase{R"({"errors":[1,"b"]})", kFallback}, ErrorBodyCase{R"({"errors":"a"})", kFallback},
                    ErrorBodyCase{R"({"message":true})", kFallback}, ErrorBodyCase{R"(["a"])", kFallback},
                    ErrorBodyCase{R"("text")", kFallback}, ErrorBodyCase{"<html>Bad gateway</html>", kFallback},
                    ErrorBodyCase{R"({"message":"m")", kFallback}, ErrorBodyCase{"", kFallback}));

// Parsing, records and lists ----------------------------------------------------------

TEST(ParseJson, EmptyBodyIsAnEmptyObject) { EXPECT_EQ(parseJson(responseWith("")), nlohmann::json::object()); }

TEST(ParseJson, InvalidBodyNamesTheParserError) {
    for (const std::string body : {"{", "not json", "/* c */ {}", "[1,]", "1e999"}) {
        try {
            parseJson(responseWith(body));
            ADD_FAILURE() << "parsed [" << body << "]";
        } catch (const std::runtime_error& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("Quarlino returned invalid JSON: [json.exception.", 0), 0U) << message;
        }
    }
}

// Up to the limits a body parses; a level or a token byte more makes it
// invalid JSON, and an error body that says nothing readable. A count of
// values is no limit: memory is (the end-to-end table reaches it).
TEST(ParseJson, NestingAndTokensAreBounded) {
    const auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    const auto values = [](std::size_t count) {  // an array of count - 1 zeros
        std::string text = "[0";
        for (std::size_t i = 2; i < count; ++i) {
            text += ",0";
        }
        return text + "]";
    };
    EXPECT_EQ(parseJson(responseWith(nested(512))).size(), 1U);
    EXPECT_EQ(parseJson(responseWith(values(2'500'002))).size(), 2'500'001U);
    // Tokens are told apart by their unescaped quotes alone.
    std::string escapedBackslashes = "[";
    std::size_t strings = 1;
    for (; escapedBackslashes.size() <= (16U << 20); ++strings) {
        escapedBackslashes += '"' + std::string(1000, 'a') + R"(\\",)";
    }
    escapedBackslashes += '"' + std::string((16U << 20) - 2, 'a') + "\"]";
    EXPECT_EQ(parseJson(responseWith(escapedBackslashes)).size(), strings);
    std::string escapedQuotes = "[\"";
    while (escapedQuotes.size() <= (16U << 20)) {
        escapedQuotes += R"(a\")";
    }
    escapedQuotes += "\"]";
    const std::string invalid = "Quarlino returned invalid JSON: [json.exception.parse_error.101] parse error: ";
    for (const auto& [body, problem] : std::vector<std::pair<std::string, std::string>>{
             {nested(513), "JSON nested deeper than 512 levels"},
             {"[\"" + std::string(16 << 20, 'a') + "\"]", "JSON token longer than 16777216 bytes"},
             {std::string(16 << 20, '7') + "1", "JSON token longer than 16777216 bytes"},
             {escapedQuotes, "JSON token longer than 16777216 bytes"}}) {
        try {
            parseJson(responseWith(body));
            ADD_FAILURE() << "parsed past the limit: " << problem;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), invalid + problem);
        }
        EXPECT_EQ(errorMessage(responseWith(body, 502)), kFallback);
    }
}

struct ListCase {
    std::string body;
    std::size_t size;  // ignored when the body is refused
    bool refused;
};

class ListRule : public testing::TestWithParam<ListCase> {};

TEST_P(ListRule, NeedsAnArrayRoot) {
    const auto& [body, size, refused] = GetParam();
    if (!refused) {
        const auto result = parseArrayResponse(responseWith(body), parseUser);
        EXPECT_EQ(result.value.size(), size);
        EXPECT_EQ(result.body, body);
        return;
    }
    try {
        parseArrayResponse(responseWith(body), parseUser);
        ADD_FAILURE() << "accepted [" << body << "]";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Quarlino API returned an object where an array was expected");
    }
}

INSTANTIATE_TEST_SUITE_P(Roots, ListRule,
                         testing::Values(ListCase{"[]", 0, false}, ListCase{" [ {}, 7, \"x\" ] \n", 3, false},
                                         ListCase{"", 0, true}, ListCase{"null", 0, true}, ListCase{"{}", 0, true},
                                         ListCase{R"({"items":[]})", 0, true}, ListCase{R"("[]")", 0, true},
                                         ListCase{"3", 0, true}));

TEST(ListRule, MapsElementsInOrder) {
    const auto result = parseArrayResponse(responseWith(R"([{"id":"b"},{"id":"a"},{"id":"b"}])"), parseUser);
    ASSERT_EQ(result.value.size(), 3U);
    EXPECT_EQ(result.value[0].id, "b");
    EXPECT_EQ(result.value[1].id, "a");
    EXPECT_EQ(result.value[2].id, "b");
}

TEST(ListRule, OneRejectedElementFailsTheList) {
    // Elements are mapped as they are read: the first one rejected ends the
    // read, whatever follows it; invalid JSON before it wins.
    for (const char* body : {R"([{"id":"w"},"text"])", R"([{"id":"w"},"text",{"id":)"}) {
        try {
            parseArrayResponse(responseWith(body), parseWorkspace);
            ADD_FAILURE() << "accepted a text element in " << body;
        } catch (const nlohmann::json::type_error& error) {
            EXPECT_EQ(error.id, 306);
        }
    }
    try {
        parseArrayResponse(responseWith(R"([{"id":"w"},{"id":,"text"])"), parseWorkspace);
        ADD_FAILURE() << "accepted invalid JSON";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Quarlino returned invalid JSON: ", 0), 0U) << error.what();
    }
}

TEST(RecordRule, EmptyBodyGivesDefaultsAndBodyIsKeptByteForByte) {
    const auto empty = parseRecordResponse(responseWith(""), parseTeam);
    EXPECT_EQ(empty.value.id, "");
    EXPECT_EQ(empty.value.memberCount, 0U);
    EXPECT_EQ(empty.body, "");

    const std::string body = "{ \"slug\" : \"s\",\n  \"id\":\"t1\" }  ";
    const auto team = parseRecordResponse(responseWith(body), parseTeam);
    EXPECT_EQ(team.value.id, "t1");
    EXPECT_EQ(team.value.slug, "s");
    EXPECT_EQ(team.body, body);
}

// The request step ----------------------------------------------------------------------

TEST(Gateway, RefusesAnEmptyTransport) {
    try {
        HttpQuarlinoGateway gateway{std::unique_ptr<application::port::HttpTransport>{}};
        ADD_FAILURE() << "built without a transport";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "HTTP transport is required");
    }
}

TEST(Gateway, DestroysTheTransportItOwns) {
    struct Transport final : application::port::HttpTransport {
        explicit Transport(bool& destroyed) : destroyed(destroyed) {}
        ~Transport() override { destroyed = true; }
        HttpResponse send(const application::port::HttpRequest&) override { return {}; }
        bool& destroyed;
    };
    bool destroyed = false;
    {
        HttpQuarlinoGateway gateway{std::make_unique<Transport>(destroyed)};
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}

TEST(Send, SetsAcceptAlwaysAndContentTypeOnlyForABody) {
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, "/api/a", 200).expect(HttpMethod::POST, "/api/b", 201);
    HttpQuarlinoGateway gateway{transport};

    gateway.send(HttpMethod::GET, "/api/a", "");
    gateway.send(HttpMethod::POST, "/api/b", "{}");

    const auto& requests = transport.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0].headers, (std::map<std::string, std::string>{{"Accept", "application/json"}}));
    EXPECT_EQ(requests[0].body, "");
    EXPECT_EQ(requests[1].method, HttpMethod::POST);
    EXPECT_EQ(requests[1].headers, (std::map<std::string, std::string>{{"Accept", "application/json"},
                                                                        {"Content-Type", "application/json"}}));
    EXPECT_EQ(requests[1].body, "{}");
}

TEST(Send, KeepsTheCallersOwnHeaders) {
    RecordingTransport transport;
    transport.expect(HttpMethod::PUT, "/api/c", 204);
    HttpQuarlinoGateway gateway{transport};

    gateway.send(HttpMethod::PUT, "/api/c", "[]",
                 {{"Accept", "text/plain"}, {"Content-Type", "application/x"}, {"If-Match", "7"}});

    EXPECT_EQ(transport.onlyRequest().headers,
              (std::map<std::string, std::string>{
                  {"Accept", "text/plain"}, {"Content-Type", "application/x"}, {"If-Match", "7"}}));
}

TEST(Send, ReturnsEverySuccessStatus) {
    for (const int status : {200, 201, 204, 299}) {
        RecordingTransport transport;
        transport.expect(HttpMethod::DELETE, "/api/d", status, "not json", {{"X-Id", "1"}});
        HttpQuarlinoGateway gateway{transport};
        const auto response = gateway.send(HttpMethod::DELETE, "/api/d", "");
        EXPECT_EQ(response.status, status);
        EXPECT_EQ(response.body, "not json");
        EXPECT_EQ(transport.requests().size(), 1U);
    }
}

TEST(Send, RaisesEveryOtherStatusOnceWithoutRetry) {
    for (const int status : {-1, 0, 100, 199, 300, 304, 400, 401, 404, 409, 412, 500, 503}) {
        RecordingTransport transport;
        transport.expect(HttpMethod::GET, "/api/e", status);
        HttpQuarlinoGateway gateway{transport};
        try {
            gateway.send(HttpMethod::GET, "/api/e", "");
            ADD_FAILURE() << "accepted status " << status;
        } catch (const ApiError& error) {
            EXPECT_EQ(error.statusCode(), status);
            EXPECT_EQ(std::string(error.what()), "Quarlino API returned HTTP " + std::to_string(status));
            EXPECT_EQ(error.responseBody(), "");
        }
        EXPECT_EQ(transport.requests().size(), 1U);
    }
}

TEST(Send, CarriesThePlatformsMessageAndRawBody) {
    const std::string body = R"({"error":"team not found","status":404})";
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, "/api/f", 404, body);
    HttpQuarlinoGateway gateway{transport};
    try {
        gateway.send(HttpMethod::GET, "/api/f", "");
        ADD_FAILURE() << "accepted 404";
    } catch (const ApiError& error) {
        EXPECT_EQ(error.statusCode(), 404);
        EXPECT_STREQ(error.what(), "team not found");
        EXPECT_EQ(error.responseBody(), body);
    }
}

TEST(Send, LetsTransportFailuresThrough) {
    RecordingTransport transport;
    transport.expectThrow(HttpMethod::GET, "/api/g", "connection reset");
    HttpQuarlinoGateway gateway{transport};
    try {
        gateway.send(HttpMethod::GET, "/api/g", "");
        ADD_FAILURE() << "swallowed the transport's failure";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "connection reset");
    }
}

// Every operation that has both a body and an identifier builds the body
// first, so a body the JSON library refuses (type_error 316 for text that is
// not UTF-8) is reported even when the identifier is empty, and nothing goes
// out.
struct BodyFirstCase {
    std::string name;
    std::function<void(HttpQuarlinoGateway&)> call;
};

class BodyBeforePath : public testing::TestWithParam<BodyFirstCase> {};

TEST_P(BodyBeforePath, ReportsTheBodyBeforeTheIdentifier) {
    RecordingTransport transport;
    HttpQuarlinoGateway gateway{transport};
    try {
        GetParam().call(gateway);
        ADD_FAILURE() << "accepted an empty identifier and a body that is not UTF-8";
    } catch (const nlohmann::json::type_error& error) {
        EXPECT_EQ(error.id, 316);
    }
    EXPECT_TRUE(transport.requests().empty());
}

const std::string kNotUtf8 = "\xFF";

model::AuthorizationRoleDefinition badRole() { return {kNotUtf8, "", {}, {}, std::nullopt}; }

model::AuthorizationGrantDefinition badGrant() { return {"USER", kNotUtf8, "r", "ORG", "o", std::nullopt, std::nullopt}; }

INSTANTIATE_TEST_SUITE_P(
    Operations, BodyBeforePath,
    testing::Values(
        BodyFirstCase{"renameWorkspace", [](auto& g) { g.renameWorkspace("", kNotUtf8); }},
        BodyFirstCase{"renameOrganization", [](auto& g) { g.renameOrganization("", kNotUtf8); }},
        BodyFirstCase{"createTeam", [](auto& g) { g.createTeam("", kNotUtf8, ""); }},
        BodyFirstCase{"renameTeam", [](auto& g) { g.renameTeam("", "", kNotUtf8); }},
        BodyFirstCase{"addTeamMember", [](auto& g) { g.addTeamMember("", "", kNotUtf8); }},
        BodyFirstCase{"previewAuthorizationRole", [](auto& g) { g.previewAuthorizationRole("", badRole()); }},
        BodyFirstCase{"createAuthorizationRole", [](auto& g) { g.createAuthorizationRole("", badRole()); }},
        BodyFirstCase{"updateAuthorizationRole", [](auto& g) { g.updateAuthorizationRole("", "", badRole()); }},
        BodyFirstCase{"duplicateAuthorizationRole",
                      [](auto& g) { g.duplicateAuthorizationRole("", "", "copy", kNotUtf8); }},
        BodyFirstCase{"createAuthorizationGrant", [](auto& g) { g.createAuthorizationGrant("", badGrant()); }},
        BodyFirstCase{"updateAuthorizationGrant", [](auto& g) { g.updateAuthorizationGrant("", "", badGrant()); }},
        BodyFirstCase{"renameProject", [](auto& g) { g.renameProject("", kNotUtf8); }},
        BodyFirstCase{"updateProjectRegistryVisibility",
                      [](auto& g) { g.updateProjectRegistryVisibility("", kNotUtf8); }},
        BodyFirstCase{"createRegistryAccessToken",
                      [](auto& g) { g.createRegistryAccessToken("", {"ci", {kNotUtf8}, std::nullopt}); }},
        BodyFirstCase{"setPipelineSecretGroup", [](auto& g) { g.setPipelineSecretGroup("", kNotUtf8); }},
        BodyFirstCase{"setPipelineVariableGroup", [](auto& g) { g.setPipelineVariableGroup("", kNotUtf8); }},
        BodyFirstCase{"setPipelineRunner", [](auto& g) { g.setPipelineRunner("", kNotUtf8); }},
        BodyFirstCase{"updatePipelineSource", [](auto& g) { g.updatePipelineSource("", kNotUtf8, 1); }},
        BodyFirstCase{"updateDeploymentTarget",
                      [](auto& g) {
                          g.updateDeploymentTarget("", 1, {std::nullopt, kNotUtf8, "ref", "MACHINE",
                                                           "DOCKER_COMPOSE", "{}"});
                      }}),
    [](const testing::TestParamInfo<BodyFirstCase>& info) { return info.param.name; });

}  // namespace
}  // namespace quarlino::quil::infrastructure::http
