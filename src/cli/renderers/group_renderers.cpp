#include <string>
#include <vector>

#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

const std::vector<std::string> groupHeaders{"ID", "NAME", "DESCRIPTION"};
const std::vector<std::string> variableHeaders{"VARIABLE ID", "NAME", "VALUE"};
const std::vector<std::string> secretHeaders{"SECRET ID", "NAME", "CONFIGURED"};

template <typename Group>
std::string idOf(const Group& group) {
    return group.id;
}

template <typename Group>
std::vector<std::string> groupRow(const Group& group) {
    return {group.id, group.name, dashIfEmpty(group.description)};
}

std::vector<std::string> variableRow(const model::Variable& variable) {
    return {variable.id, variable.name, variable.value};
}

std::vector<std::string> secretRow(const model::Secret& secret) {
    return {secret.id, secret.name, yesNo(secret.configured)};
}

}  // namespace

void OutputFormatter::variableGroup(const model::VariableGroup& group, std::string_view rawBody) {
    if (renderRecord(group, rawBody, groupHeaders, idOf<model::VariableGroup>, groupRow<model::VariableGroup>) &&
        !group.variables.empty()) {
        write("\n");
        table(variableHeaders, eachRow(std::span<const model::Variable>(group.variables), variableRow));
    }
}

void OutputFormatter::variableGroups(const std::vector<model::VariableGroup>& groups, std::string_view rawBody) {
    renderList(std::span<const model::VariableGroup>(groups), rawBody, groupHeaders, idOf<model::VariableGroup>,
               groupRow<model::VariableGroup>);
}

// Only whether a value is stored: secret values never reach the client.
void OutputFormatter::secretGroup(const model::SecretGroup& group, std::string_view rawBody) {
    if (renderRecord(group, rawBody, groupHeaders, idOf<model::SecretGroup>, groupRow<model::SecretGroup>) &&
        !group.secrets.empty()) {
        write("\n");
        table(secretHeaders, eachRow(std::span<const model::Secret>(group.secrets), secretRow));
    }
}

void OutputFormatter::secretGroups(const std::vector<model::SecretGroup>& groups, std::string_view rawBody) {
    renderList(std::span<const model::SecretGroup>(groups), rawBody, groupHeaders, idOf<model::SecretGroup>,
               groupRow<model::SecretGroup>);
}

}  // namespace quarlino::quil::cli
