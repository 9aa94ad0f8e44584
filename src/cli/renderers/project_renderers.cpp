#include <string>
#include <vector>

#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

// The single project shows its repository id, the list the repository's status.
const std::vector<std::string> projectHeaders{"ID", "NAME", "GIT", "REPOSITORY"};
const std::vector<std::string> projectListHeaders{"ID", "NAME", "GIT", "REPOSITORY STATUS"};
const std::vector<std::string> repositoryEntryHeaders{"TYPE", "PATH", "SIZE"};
const std::vector<std::string> actionListHeaders{"CODE", "NAME", "CATEGORY"};
const std::vector<std::string> actionHeaders{"CODE", "NAME", "CATEGORY", "FORM"};
const std::vector<std::string> actionOutputHeaders{"OUTPUT", "TYPE", "DESCRIPTION"};

std::string projectId(const model::Project& project) { return project.id; }

std::string entryPath(const model::RepositoryEntry& entry) { return entry.path; }

std::string actionCode(const model::ActionDefinition& action) { return action.code; }

std::vector<std::string> projectRow(const model::Project& project) {
    return {project.id, project.name, yesNo(project.gitRepositoryEnabled), valueOrDash(project.repositoryId)};
}

std::vector<std::string> projectListRow(const model::Project& project) {
    return {project.id, project.name, yesNo(project.gitRepositoryEnabled),
            valueOrDash(project.gitRepositoryStatus)};
}

std::vector<std::string> repositoryEntryRow(const model::RepositoryEntry& entry) {
    return {entry.type, entry.path, numberOrDash(entry.size)};
}

std::vector<std::string> actionListRow(const model::ActionDefinition& action) {
    return {action.code, action.displayName, action.category};
}

std::vector<std::string> actionRow(const model::ActionDefinition& action) {
    return {action.code, action.displayName, action.category, action.formId};
}

}  // namespace

void OutputFormatter::project(const model::Project& project, std::string_view rawBody) {
    renderRecord(project, rawBody, projectHeaders, projectId, projectRow);
}

void OutputFormatter::projects(const std::vector<model::Project>& projects, std::string_view rawBody) {
    renderList(std::span<const model::Project>(projects), rawBody, projectListHeaders, projectId, projectListRow);
}

void OutputFormatter::repositoryEntries(const std::vector<model::RepositoryEntry>& entries,
                                        std::string_view rawBody) {
    renderList(std::span<const model::RepositoryEntry>(entries), rawBody, repositoryEntryHeaders, entryPath,
               repositoryEntryRow);
}

void OutputFormatter::actions(const std::vector<model::ActionDefinition>& actions, std::string_view rawBody) {
    renderList(std::span<const model::ActionDefinition>(actions), rawBody, actionListHeaders, actionCode,
               actionListRow);
}

void OutputFormatter::action(const model::ActionDefinition& action, std::string_view rawBody) {
    // What follows the table is written in table mode only: exactly when
    // the table itself was written.
    if (!renderRecord(action, rawBody, actionHeaders, actionCode, actionRow)) {
        return;
    }
    if (!action.description.empty()) {
        description(action.description);
    }
    if (action.outputs.empty()) {
        return;
    }
    message("");
    table(actionOutputHeaders, eachRow(std::span<const model::ActionOutput>(action.outputs),
                                       [](const model::ActionOutput& output) -> std::vector<std::string> {
                                           return {output.name, output.type, output.description};
                                       }));
}

}  // namespace quarlino::quil::cli
