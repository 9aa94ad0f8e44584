#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "application/update_service.hpp"
#include "cli/parsed_command.hpp"
#include "model/records.hpp"

namespace quarlino::quil::cli {

// Writes the result of one command to standard output: the platform's raw
// JSON (or a small document of its own for local state), bare identifiers
// with --quiet, or an aligned table. JSON wins over --quiet. It never writes
// to the error stream and never colours anything.
//
// The renderers of each family of records are defined in a source file of
// their own under cli/renderers/, on the pattern of renderRecord/renderList.
class OutputFormatter {
public:
    OutputFormatter(const ParsedCommand& command, std::ostream& out);

    bool isJson() const { return format_ == static_cast<std::uint8_t>(OutputFormat::Json); }
    bool isQuiet() const { return quiet_; }

    // Human notices and receipts: table mode without --quiet only. Control
    // characters show as stand-ins (visibleText); line feeds and tabs stay.
    void message(std::string_view text);
    // Written in every mode; ends with exactly one "\n" of its own or the text's.
    void rawJson(std::string_view text);
    // Hands what was written so far on, as a follow loop does after each
    // round: a pipe sees it at once, and an interrupt cannot lose it.
    void flush();
    // Run log lines from startIndex on (quiet too); JSON mode prints the whole body.
    void logs(const std::vector<model::ExecutionLog>& entries, std::string_view rawBody, std::size_t startIndex);
    // Left-aligned columns, each as wide as its widest cell (in bytes, as
    // printed) plus two blanks. Control characters in cells, line feeds and
    // tabs included, show as stand-ins, so one row is one line.
    void table(const std::vector<std::string>& headers, const std::vector<std::vector<std::string>>& rows);
    // Hands each row of a table to the visitor, in order.
    using RowVisitor = std::function<void(const std::vector<std::string>& cells)>;
    using RowWalk = std::function<void(const RowVisitor& visit)>;
    // table, with the rows made by `walk`, twice: once for the widths, once
    // to write them, so that a long table is never held as a second copy of
    // its records.
    void table(const std::vector<std::string>& headers, const RowWalk& walk);

    // Local state: these print documents of their own in JSON mode.
    void profile(const model::Profile& profile, bool active);
    void profiles(const std::vector<model::Profile>& profiles, const std::optional<std::string>& activeName);
    void updateCheck(const application::UpdateCheckResult& result);

    // Identity and organisation.
    void user(const model::User& user, std::string_view rawBody);
    void workspace(const model::Workspace& workspace, std::string_view rawBody);
    void workspaces(const std::vector<model::Workspace>& workspaces, std::string_view rawBody);
    void organization(const model::Organization& organization, std::string_view rawBody);
    void organizations(const std::vector<model::Organization>& organizations, std::string_view rawBody);
    void team(const model::Team& team, std::string_view rawBody);
    void teams(const std::vector<model::Team>& teams, std::string_view rawBody);
    void teamMember(const model::TeamMember& member, std::string_view rawBody);
    void teamMembers(const std::vector<model::TeamMember>& members, std::string_view rawBody);

    // Projects, pipelines and runs.
    void project(const model::Project& project, std::string_view rawBody);
    void projects(const std::vector<model::Project>& projects, std::string_view rawBody);
    void repositoryEntries(const std::vector<model::RepositoryEntry>& entries, std::string_view rawBody);
    void actions(const std::vector<model::ActionDefinition>& actions, std::string_view rawBody);
    void action(const model::ActionDefinition& action, std::string_view rawBody);
    void pipeline(const model::Pipeline& pipeline, std::string_view rawBody);
    void pipelines(const std::vector<model::Pipeline>& pipelines, std::string_view rawBody);
    void validation(const model::SourceValidation& result, std::string_view rawBody);
    void execution(const model::Execution& execution, std::string_view rawBody);
    void executions(const std::vector<model::Execution>& executions, std::string_view rawBody);
    void testReports(const std::vector<model::ExecutionTestReport>& reports, std::string_view rawBody);

    // Registry, groups, deployment and dashboard.
    void projectRegistry(const model::ProjectRegistry& registry, std::string_view rawBody);
    void registryRepositories(const std::vector<model::RegistryRepository>& repositories, std::string_view rawBody);
    void registryAccessToken(const model::RegistryAccessToken& token, std::string_view rawBody);
    void registryAccessTokens(const std::vector<model::RegistryAccessToken>& tokens, std::string_view rawBody);
    void variableGroup(const model::VariableGroup& group, std::string_view rawBody);
    void variableGroups(const std::vector<model::VariableGroup>& groups, std::string_view rawBody);
    void secretGroup(const model::SecretGroup& group, std::string_view rawBody);
    void secretGroups(const std::vector<model::SecretGroup>& groups, std::string_view rawBody);
    void deploymentAgents(const std::vector<model::DeploymentAgent>& agents, std::string_view rawBody);
    void deploymentEnrollmentToken(const model::DeploymentEnrollmentToken& token, std::string_view rawBody);
    void deploymentTarget(const model::DeploymentTarget& target, std::string_view rawBody);
    void deploymentTargets(const std::vector<model::DeploymentTarget>& targets, std::string_view rawBody);
    void recentActivity(const std::vector<model::RecentActivity>& activity, std::string_view rawBody);
    void dashboardPipelines(const std::vector<model::DashboardPipelineStatus>& pipelines, std::string_view rawBody);
    void dashboardStats(const model::DashboardStats& stats, std::string_view rawBody);

    // Access control.
    void authorizationRole(const model::AuthorizationRole& role, std::string_view rawBody);
    void authorizationRoles(const std::vector<model::AuthorizationRole>& roles, std::string_view rawBody);
    void authorizationRolePreview(const model::AuthorizationRolePreview& preview, std::string_view rawBody);
    void authorizationGrant(const model::AuthorizationGrant& grant, std::string_view rawBody);
    void authorizationGrants(const std::vector<model::AuthorizationGrant>& grants, std::string_view rawBody);
    void grantPrincipalCandidates(const std::vector<model::GrantPrincipalCandidate>& candidates,
                                  std::string_view rawBody);
    void authorizationCatalog(const model::AuthorizationCatalog& catalog, std::string_view rawBody);
    void authorizationDecision(const model::AuthorizationDecision& decision, std::string_view rawBody);
    void authorizationCapabilities(const model::AuthorizationCapabilities& capabilities, std::string_view rawBody);
    void effectivePermissions(const model::EffectivePermissions& permissions, std::string_view rawBody);

private:
    enum class Mode { Json, Quiet, Table };

    Mode mode() const;
    // Writes the text and "\n" whatever the mode.
    void line(std::string_view text);
    // Writes the text as it is whatever the mode: platform text in it must
    // have gone through visibleText already.
    void write(std::string_view text);
    // A description after a record's table: free text typed in a web form,
    // set off by a blank line, its line breaks kept (CR LF ones included).
    void description(std::string_view text);

    // The pattern every record renderer follows. JSON: the raw body. Quiet:
    // keyOf(record) and "\n" per record. Table: headers and one rowOf(record)
    // per record. Returns true exactly when a table was written, so that the
    // renderer can add the lines that follow its table.
    template <typename Record, typename KeyOf, typename RowOf>
    bool renderList(std::span<const Record> records, std::string_view rawBody,
                    const std::vector<std::string>& headers, KeyOf keyOf, RowOf rowOf);

    template <typename Record, typename KeyOf, typename RowOf>
    bool renderRecord(const Record& record, std::string_view rawBody, const std::vector<std::string>& headers,
                      KeyOf keyOf, RowOf rowOf) {
        return renderList(std::span<const Record>(&record, 1), rawBody, headers, keyOf, rowOf);
    }

    std::uint8_t format_;
    bool quiet_;
    std::ostream& out_;
};

// The rows of a table, one rowOf(record) per record, made afresh on each walk.
template <typename Record, typename RowOf>
OutputFormatter::RowWalk eachRow(std::span<const Record> records, RowOf rowOf) {
    return [records, rowOf](const OutputFormatter::RowVisitor& visit) {
        for (const Record& record : records) {
            visit(rowOf(record));
        }
    };
}

template <typename Record, typename KeyOf, typename RowOf>
bool OutputFormatter::renderList(std::span<const Record> records, std::string_view rawBody,
                                 const std::vector<std::string>& headers, KeyOf keyOf, RowOf rowOf) {
    switch (mode()) {
        case Mode::Json:
            rawJson(rawBody);
            return false;
        case Mode::Quiet:
            for (const Record& record : records) {
                line(keyOf(record));
            }
            return false;
        case Mode::Table:
            break;
    }
    table(headers, eachRow(records, rowOf));
    return true;
}

// Cell conventions shared by every renderer.

// "," between the values, no blank. A comma goes before a value only once
// something has been written, so leading empty values leave no trace.
std::string join(const std::vector<std::string>& values);
std::string yesNo(bool value);
// "-" for an empty text, else the text.
std::string dashIfEmpty(std::string_view value);
// "-" for an absent text, else the text (an empty one stays empty).
std::string valueOrDash(const std::optional<std::string>& value);
// "type:id" with no blanks.
std::string typedId(std::string_view type, std::string_view id);

// The decimal value, "-" when absent.
template <typename Number>
    requires std::is_integral_v<Number>
std::string numberOrDash(const std::optional<Number>& value) {
    return value ? std::to_string(*value) : std::string("-");
}

}  // namespace quarlino::quil::cli
