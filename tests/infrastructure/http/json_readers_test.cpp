#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "infrastructure/http/json_readers.hpp"

namespace quarlino::quil::infrastructure::http {
namespace {

using nlohmann::json;

std::string joined(const std::vector<std::string>& values) {
    std::string text = "[";
    for (const auto& value : values) {
        text += (text.size() > 1 ? "," : "") + value;
    }
    return text + "]";
}

// Every reader, rendered as text so that one table can hold them all.
const std::map<std::string, std::function<std::string(const json&)>> kReaders{
    {"text", [](const json& object) { return stringValue(object, "k"); }},
    {"optional", [](const json& object) { return optionalString(object, "k").value_or("<absent>"); }},
    {"list", [](const json& object) { return joined(stringList(object, "k")); }},
    {"bool", [](const json& object) { return std::string(booleanValue(object, "k") ? "true" : "false"); }},
    {"int", [](const json& object) { return std::to_string(intValue(object, "k")); }},
    {"uint64", [](const json& object) { return std::to_string(unsignedValue(object, "k")); }},
    {"double",
     [](const json& object) {
         std::ostringstream text;
         text << doubleValue(object, "k");
         return text.str();
     }},
};

std::string read(const std::string& reader, const json& object) {
    try {
        return kReaders.at(reader)(object);
    } catch (const json::exception& error) {
        return "error " + std::to_string(error.id);
    }
}

struct MemberCase {
    std::string reader;
    std::string member;  // JSON text of the member "k"; empty for a missing member
    std::string result;  // the rendered value, or "error <id>"
};

class MemberTypes : public testing::TestWithParam<MemberCase> {};

TEST_P(MemberTypes, FollowTheFieldsType) {
    const auto& [reader, member, result] = GetParam();
    const json object = member.empty() ? json::object() : json{{"k", json::parse(member)}};
    EXPECT_EQ(read(reader, object), result) << reader << " of " << (member.empty() ? "<missing>" : member);
}

INSTANTIATE_TEST_SUITE_P(
    Text, MemberTypes,
    testing::Values(MemberCase{"text", "", ""}, MemberCase{"text", "null", ""}, MemberCase{"text", R"("s")", "s"},
                    MemberCase{"text", R"("")", ""}, MemberCase{"text", "42", "42"}, MemberCase{"text", "-1", "-1"},
                    MemberCase{"text", "12.0", "12.0"}, MemberCase{"text", "true", "true"},
                    MemberCase{"text", R"({"b":1,"a":[2]})", R"({"a":[2],"b":1})"},
                    MemberCase{"text", R"([1,"x"])", R"([1,"x"])"}, MemberCase{"optional", "", "<absent>"},
                    MemberCase{"optional", "null", "<absent>"}, MemberCase{"optional", R"("")", "<absent>"},
                    MemberCase{"optional", "0", "0"}, MemberCase{"optional", R"("s")", "s"},
                    MemberCase{"optional", "false", "false"}));

INSTANTIATE_TEST_SUITE_P(
    Lists, MemberTypes,
    testing::Values(MemberCase{"list", "", "[]"}, MemberCase{"list", R"(["a",1,null,"b"])", "[a,b]"},
                    MemberCase{"list", R"("a")", "[]"}, MemberCase{"list", "null", "[]"},
                    MemberCase{"list", R"({"x":"a"})", "[]"}, MemberCase{"list", R"([["a"],"b"])", "[b]"}));

INSTANTIATE_TEST_SUITE_P(
    Booleans, MemberTypes,
    testing::Values(MemberCase{"bool", "", "false"}, MemberCase{"bool", "true", "true"},
                    MemberCase{"bool", "false", "false"}, MemberCase{"bool", "1", "error 302"},
                    MemberCase{"bool", R"("true")", "error 302"}, MemberCase{"bool", "null", "error 302"},
                    MemberCase{"bool", "{}", "error 302"}));

INSTANTIATE_TEST_SUITE_P(
    Integers, MemberTypes,
    testing::Values(MemberCase{"int", "", "0"}, MemberCase{"int", "7", "7"}, MemberCase{"int", "-3", "-3"},
                    MemberCase{"int", "2.9", "2"}, MemberCase{"int", "-2.9", "-2"}, MemberCase{"int", "true", "1"},
                    MemberCase{"int", "false", "0"}, MemberCase{"int", R"("7")", "error 302"},
                    MemberCase{"int", "null", "error 302"}, MemberCase{"int", "[]", "error 302"}));

INSTANTIATE_TEST_SUITE_P(
    Unsigned, MemberTypes,
    testing::Values(MemberCase{"uint64", "", "0"}, MemberCase{"uint64", "2", "2"}, MemberCase{"uint64", "2.9", "2"},
                    MemberCase{"uint64", "18446744073709551615", "18446744073709551615"},
                    MemberCase{"uint64", "-1", "18446744073709551615"}, MemberCase{"uint64", "true", "error 302"},
                    MemberCase{"uint64", "false", "error 302"}, MemberCase{"uint64", "null", "error 302"},
                    MemberCase{"uint64", R"("2")", "error 302"}));

INSTANTIATE_TEST_SUITE_P(
    Doubles, MemberTypes,
    testing::Values(MemberCase{"double", "", "0"}, MemberCase{"double", "1.5", "1.5"}, MemberCase{"double", "3", "3"},
                    MemberCase{"double", "-4", "-4"}, MemberCase{"double", "true", "error 302"},
                    MemberCase{"double", "null", "error 302"}, MemberCase{"double", R"("1.5")", "error 302"}));

struct RootCase {
    std::string reader;
    std::string result;
};

class NonObjectRoots : public testing::TestWithParam<RootCase> {};

// Text is read from anything; keyed reads need an object.
TEST_P(NonObjectRoots, FailOnlyForKeyedReads) {
    for (const std::string root : {R"("k")", "null", R"([{"k":1}])", "3", "true"}) {
        EXPECT_EQ(read(GetParam().reader, json::parse(root)), GetParam().result) << GetParam().reader << " of " << root;
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, NonObjectRoots,
                         testing::Values(RootCase{"text", ""}, RootCase{"optional", "<absent>"},
                                         RootCase{"list", "error 306"}, RootCase{"bool", "error 306"},
                                         RootCase{"int", "error 306"}, RootCase{"uint64", "error 306"},
                                         RootCase{"double", "error 306"}));

TEST(ParseStrings, TakesOnlyTheStringElementsOfAnArray) {
    EXPECT_EQ(parseStrings(json::parse(R"(["b","a",2,{"x":"y"},"b"])")), (std::vector<std::string>{"b", "a", "b"}));
    EXPECT_TRUE(parseStrings(json::parse(R"("a")")).empty());
    EXPECT_TRUE(parseStrings(json::parse(R"({"a":"b"})")).empty());
    EXPECT_TRUE(parseStrings(json()).empty());
}

TEST(Readers, MatchKeysExactly) {
    const json object{{"Name", "upper"}, {"name ", "space"}};
    EXPECT_EQ(stringValue(object, "name"), "");
    EXPECT_EQ(stringValue(object, "Name"), "upper");
}

TEST(FindMember, NeedsAnObjectWithThatKey) {
    const json object{{"k", 12}, {"f", 12.0}, {"n", nullptr}};
    ASSERT_NE(findMember(object, "n"), nullptr);
    EXPECT_TRUE(findMember(object, "n")->is_null());
    EXPECT_EQ(findMember(object, "x"), nullptr);
    EXPECT_EQ(findMember(json::array({object}), "k"), nullptr);
    EXPECT_EQ(findMember(json("k"), "k"), nullptr);
}

TEST(IntegerMember, TakesOnlyJsonIntegers) {
    const json object = json::parse(R"({"u":12,"s":-3,"f":12.0,"t":"12","b":true,"n":null})");
    EXPECT_EQ(*integerMember(object, "u"), 12);
    EXPECT_EQ(*integerMember(object, "s"), -3);
    for (const char* key : {"f", "t", "b", "n", "missing"}) {
        EXPECT_EQ(integerMember(object, key), nullptr) << key;
    }
    EXPECT_EQ(integerMember(json::array({12}), "0"), nullptr);
}

TEST(JsonValue, IsTheMemberOrTheFallback) {
    EXPECT_EQ(jsonValue(json::object(), "k", json::object()), json::object());
    EXPECT_TRUE(jsonValue(json{{"k", nullptr}}, "k", json::object()).is_null());
    EXPECT_EQ(arrayMember(json{{"k", "x"}}, "k"), "x");
    EXPECT_EQ(arrayMember(json::object(), "k"), json::array());
}

}  // namespace
}  // namespace quarlino::quil::infrastructure::http
