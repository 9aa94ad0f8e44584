#include <string>
#include <vector>

#include "cli/output_formatter.hpp"
#include "cli/visible_text.hpp"

namespace quarlino::quil::cli {

namespace {

const std::vector<std::string> agentHeaders{"ID", "NAME", "STATUS", "LAST SEEN", "CERTIFICATE EXPIRES"};
const std::vector<std::string> enrollmentHeaders{"EXPIRES", "TOKEN"};
const std::vector<std::string> targetHeaders{"ID",       "NAME",  "REFERENCE", "KIND",
                                             "STRATEGY", "AGENT", "REVISION",  "ENABLED"};
const std::vector<std::string> targetListHeaders{"ID", "NAME", "REFERENCE", "KIND", "STRATEGY", "AGENT", "ENABLED"};

template <typename Record>
std::string idOf(const Record& record) {
    return record.id;
}

std::vector<std::string> agentRow(const model::DeploymentAgent& agent) {
    return {agent.id, agent.name, agent.status, dashIfEmpty(agent.lastSeenAt), dashIfEmpty(agent.certificateExpiresAt)};
}

std::vector<std::string> targetListRow(const model::DeploymentTarget& target) {
    return {target.id,
            target.name,
            target.referenceName,
            target.targetKind,
            target.updateStrategy,
            valueOrDash(target.agentId),
            yesNo(target.enabled)};
}

std::vector<std::string> targetRow(const model::DeploymentTarget& target) {
    std::vector<std::string> row = targetListRow(target);
    row.insert(row.end() - 1, std::to_string(target.revision));
    return row;
}

}  // namespace

void OutputFormatter::deploymentAgents(const std::vector<model::DeploymentAgent>& agents, std::string_view rawBody) {
    renderList(std::span<const model::DeploymentAgent>(agents), rawBody, agentHeaders, idOf<model::DeploymentAgent>,
               agentRow);
}

void OutputFormatter::deploymentEnrollmentToken(const model::DeploymentEnrollmentToken& token,
                                                std::string_view rawBody) {
    const auto tokenOf = [](const model::DeploymentEnrollmentToken& t) { return t.token; };
    const auto row = [](const model::DeploymentEnrollmentToken& t) {
        return std::vector<std::string>{t.expiresAt, t.token};
    };
    if (renderRecord(token, rawBody, enrollmentHeaders, tokenOf, row)) {
        write("Store this token now; it cannot be retrieved again.\n");
    }
}

void OutputFormatter::deploymentTarget(const model::DeploymentTarget& target, std::string_view rawBody) {
    if (renderRecord(target, rawBody, targetHeaders, idOf<model::DeploymentTarget>, targetRow)) {
        write("\nConfiguration: " + visibleText(target.configuration, LineBreaks::Show) + "\n");
    }
}

void OutputFormatter::deploymentTargets(const std::vector<model::DeploymentTarget>& targets, std::string_view rawBody) {
    renderList(std::span<const model::DeploymentTarget>(targets), rawBody, targetListHeaders,
               idOf<model::DeploymentTarget>, targetListRow);
}

}  // namespace quarlino::quil::cli
