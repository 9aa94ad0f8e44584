#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/commands/access_commands.hpp"
#include "support/quil/mock_quarlino_gateway.hpp"

namespace quarlino::quil::cli {
namespace {

using testing::_;
using testing::Return;

// Once the platform has made the change, its receipt must print whatever
// bytes the records hold: invalid UTF-8 is replaced, never an error.
class AccessReceipts : public testing::Test {
protected:
    AccessReceipts() {
        model::Organization acme;
        acme.id = "o-1";
        acme.slug = "acme";
        EXPECT_CALL(gateway, listOrganizations())
            .WillOnce(Return(model::ApiResponse<std::vector<model::Organization>>{{acme}, ""}));
    }

    std::string run(const std::vector<std::string_view>& words) {
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runAccessCommand(CommandLine::parse(words), in, out, err, gateway, std::nullopt), 0);
        return out.str();
    }

    testing::StrictMock<testsupport::quil::MockQuarlinoGateway> gateway;
};

TEST_F(AccessReceipts, ArchivedRoleWithBytesThatAreNotUtf8) {
    model::AuthorizationRole role;
    role.id = "r\xFF";
    role.name = "Ops";
    EXPECT_CALL(gateway, listAuthorizationRoles(std::string_view("o-1")))
        .WillOnce(Return(model::ApiResponse<std::vector<model::AuthorizationRole>>{{role}, ""}));
    EXPECT_CALL(gateway, deleteAuthorizationRole(std::string_view("o-1"), std::string_view("r\xFF")));

    EXPECT_EQ(run({"role", "delete", "Ops", "--organization", "acme", "--yes", "--output", "json"}),
              "{\"archived\":true,\"id\":\"r\xEF\xBF\xBD\"}\n");
}

TEST_F(AccessReceipts, RevokedGrantWithBytesThatAreNotUtf8) {
    model::AuthorizationGrant grant;
    grant.id = "g1";
    model::EffectivePermissions remaining;
    remaining.permissions.push_back({});
    remaining.permissions.back().permission = "read\xC3";
    EXPECT_CALL(gateway, listAuthorizationGrants(std::string_view("o-1"), _, _))
        .WillOnce(Return(model::ApiResponse<std::vector<model::AuthorizationGrant>>{{grant}, ""}));
    EXPECT_CALL(gateway, revokeAuthorizationGrant(std::string_view("o-1"), std::string_view("g1")));
    EXPECT_CALL(gateway, effectivePermissions(_, _, _, _, _))
        .WillOnce(Return(model::ApiResponse<model::EffectivePermissions>{remaining, ""}));

    EXPECT_EQ(run({"grant", "revoke", "g1", "--organization", "acme", "--yes", "--output", "json"}),
              "{\"id\":\"g1\",\"remainingEffectivePermissions\":[\"read\xEF\xBF\xBD\"],\"revoked\":true}\n");
}

}  // namespace
}  // namespace quarlino::quil::cli
