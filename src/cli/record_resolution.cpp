#include <stdexcept>
#include <string>

#include "cli/command_helpers.hpp"

namespace quarlino::quil::cli {

void throwRecordNotFound(std::string_view kind, std::string_view selector) {
    throw std::invalid_argument(std::string(kind) + " not found: " + std::string(selector));
}

void throwAmbiguousRecord(std::string_view kind, std::string_view selector) {
    throw std::invalid_argument(std::string(kind) + " name is ambiguous; use its ID: " + std::string(selector));
}

model::Workspace resolveWorkspace(const std::vector<model::Workspace>& workspaces, std::string_view selector) {
    return resolve(workspaces, selector, {&model::Workspace::id, &model::Workspace::slug, &model::Workspace::name},
                   "workspace");
}

model::Organization resolveOrganization(application::port::QuarlinoGateway& gateway, std::string_view selector) {
    return resolve(gateway.listOrganizations().value, selector,
                   {&model::Organization::id, &model::Organization::slug, &model::Organization::name},
                   "organization");
}

model::Project resolveProject(application::port::QuarlinoGateway& gateway, std::string_view selector) {
    return resolve(gateway.listProjects().value, selector, {&model::Project::id, &model::Project::name}, "project");
}

model::Pipeline resolvePipeline(application::port::QuarlinoGateway& gateway, std::string_view selector) {
    return resolve(gateway.listPipelines().value, selector, {&model::Pipeline::id, &model::Pipeline::name},
                   "pipeline");
}

model::VariableGroup resolveVariableGroup(application::port::QuarlinoGateway& gateway, std::string_view selector) {
    return resolve(gateway.listVariableGroups().value, selector,
                   {&model::VariableGroup::id, &model::VariableGroup::name}, "variable group");
}

model::SecretGroup resolveSecretGroup(application::port::QuarlinoGateway& gateway, std::string_view selector) {
    return resolve(gateway.listSecretGroups().value, selector, {&model::SecretGroup::id, &model::SecretGroup::name},
                   "secret group");
}

}  // namespace quarlino::quil::cli
