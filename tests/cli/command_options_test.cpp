#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/command_helpers.hpp"
#include "cli/command_line.hpp"

namespace quarlino::quil::cli {
namespace {

TEST(RequireAuthentication, OnlyAnAccessTokenCounts) {
    const config::ClientConfig anonymous("https://q.example", std::nullopt, std::chrono::seconds(30), false, "w");
    try {
        requireAuthentication(anonymous);
        ADD_FAILURE() << "accepted without a token";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "not authenticated; run 'quil auth login'");
    }
    EXPECT_NO_THROW(requireAuthentication(anonymous.withAccessToken("t")));
}

TEST(RequiredOption, ReturnsTheValueOrReportsABrokenInvariant) {
    const ParsedCommand command = CommandLine::parse({"team", "list", "--organization=acme"});
    EXPECT_EQ(requiredOption(command, "organization"), "acme");
    try {
        requiredOption(command, "email");
        ADD_FAILURE() << "no failure";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "validated command is missing --email");
    }
}

struct EnumCase {
    std::string value;
    std::string canonical;  // empty: refused
};

TEST(NormalizeEnumOption, DashesBecomeUnderscoresAndLettersUpperCase) {
    const std::vector<EnumCase> cases{
        {"public", "PUBLIC"},
        {"Private", "PRIVATE"},
        {"PUBLIC", "PUBLIC"},
        {"docker-compose", "DOCKER_COMPOSE"},
        {"Docker_Compose", "DOCKER_COMPOSE"},
        {"internal", ""},
        {" public", ""},
        {"public ", ""},
        {"", ""},
        {"dockercompose", ""},
    };
    for (const EnumCase& example : cases) {
        const auto normalize = [&] {
            return normalizeEnumOption(example.value, {"PRIVATE", "PUBLIC", "DOCKER_COMPOSE"}, "visibility");
        };
        if (!example.canonical.empty()) {
            EXPECT_EQ(normalize(), example.canonical) << example.value;
            continue;
        }
        try {
            normalize();
            ADD_FAILURE() << "accepted: " << example.value;
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(error.what(), "--visibility has an invalid value: " + example.value);
        }
    }
}

}  // namespace
}  // namespace quarlino::quil::cli
