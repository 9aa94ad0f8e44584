// The integer widths and optionals of the records are part of their contract
// with the mappers and the formatter; these checks fail the build when one
// drifts.
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "application/client_session.hpp"
#include "application/port/http_transport.hpp"
#include "model/records.hpp"

namespace {

namespace model = quarlino::quil::model;
namespace port = quarlino::quil::application::port;

template <typename Field, typename Expected>
constexpr bool is = std::is_same_v<Field, Expected>;

static_assert(is<decltype(model::Team::memberCount), std::uint64_t>);
static_assert(is<decltype(model::AuthorizationRole::version), int>);
static_assert(is<decltype(model::AuthorizationGrant::revision), std::uint64_t>);
static_assert(is<decltype(model::AuthorizationRoleDefinition::expectedVersion), std::optional<int>>);
static_assert(is<decltype(model::AuthorizationGrantDefinition::expectedRevision), std::optional<std::uint64_t>>);
static_assert(is<decltype(model::RepositoryEntry::size), std::optional<std::uint64_t>>);
static_assert(is<decltype(model::Execution::executionNumber), std::optional<int>>);
static_assert(is<decltype(model::EditorSnapshot::revision), std::uint64_t>);
static_assert(is<decltype(model::DeploymentTarget::revision), int>);
static_assert(is<decltype(model::ExecutionTestReport::durationSeconds), double>);
static_assert(is<decltype(model::DashboardStats::successRate), double>);
static_assert(is<decltype(model::DashboardStats::totalPipelines), std::uint64_t>);
static_assert(is<decltype(model::ProjectRegistry::quotaBytes), std::uint64_t>);
static_assert(is<decltype(model::RegistryArtifact::sizeBytes), std::uint64_t>);
static_assert(is<decltype(model::BrowserLoginPoll::login), std::optional<model::LoginResult>>);
static_assert(is<decltype(model::Profile::workspaceId), std::optional<std::string>>);
static_assert(is<decltype(model::ApiResponse<std::vector<model::Workspace>>::value), std::vector<model::Workspace>>);
static_assert(std::is_aggregate_v<model::Execution> && std::is_aggregate_v<model::ApiResponse<model::User>>);

static_assert(is<std::underlying_type_t<port::HttpMethod>, std::uint8_t>);
static_assert(static_cast<int>(port::HttpMethod::GET) == 0 && static_cast<int>(port::HttpMethod::POST) == 1 &&
              static_cast<int>(port::HttpMethod::PUT) == 2 && static_cast<int>(port::HttpMethod::PATCH) == 3 &&
              static_cast<int>(port::HttpMethod::DELETE) == 4);

}  // namespace
