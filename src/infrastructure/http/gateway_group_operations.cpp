#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Variable groups and secret groups. The platform replaces a group's entries
// only as a whole list, so setting or removing one entry reads the group,
// rebuilds the complete list on the client and writes it back. Nothing guards
// that read-then-write against a concurrent change: the last writer wins.
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

// One entry of a group as it is resent in a replacement list.
struct GroupEntry {
    std::string name;
    nlohmann::json element;
};

// What differs between the two twin families.
struct EntryFamily {
    std::string_view groupsPath;
    const char* entriesKey;
    std::string_view entriesSuffix;
    std::string_view missingEntriesMessage;
    std::string_view notFoundMessage;
    std::vector<GroupEntry> (*entries)(const nlohmann::json& group);
};

nlohmann::json variablePayload(const model::Variable& variable) {
    return {{"id", variable.id}, {"name", variable.name}, {"value", variable.value}};
}

// The client never holds a stored secret value; null asks the platform to keep it.
nlohmann::json retainedSecret(const model::Secret& secret) {
    return {{"id", secret.id}, {"name", secret.name}, {"value", nullptr}};
}

std::vector<GroupEntry> variableEntries(const nlohmann::json& group) {
    std::vector<GroupEntry> entries;
    for (const auto& variable : parseVariableGroup(group).variables) {
        entries.push_back({variable.name, variablePayload(variable)});
    }
    return entries;
}

std::vector<GroupEntry> secretEntries(const nlohmann::json& group) {
    std::vector<GroupEntry> entries;
    for (const auto& secret : parseSecretGroup(group).secrets) {
        entries.push_back({secret.name, retainedSecret(secret)});
    }
    return entries;
}

constexpr EntryFamily kVariables{
    "/api/variable-groups",
    "variables",
    "/variables",
    "Quarlino returned a variable group without its variables",
    "variable not found in group: ",
    variableEntries,
};

constexpr EntryFamily kSecrets{
    "/api/secret-groups",
    "secrets",
    "/secrets",
    "Quarlino returned a secret group without its secrets",
    "secret not found in group: ",
    secretEntries,
};

std::string groupPath(const EntryFamily& family, std::string_view groupId) {
    return std::string(family.groupsPath) + "/" + segment(groupId);
}

std::string createBody(std::string_view name, std::string_view description) {
    return jsonBody({{"description", description}, {"name", name}});
}

// The write replaces every entry, so a group read without its entry list
// would delete the entries it failed to report: refuse to go on instead.
std::vector<GroupEntry> readEntries(HttpQuarlinoGateway& gateway, const EntryFamily& family,
                                    std::string_view groupId) {
    const nlohmann::json group = parseJson(gateway.send(HttpMethod::GET, groupPath(family, groupId), ""));
    const bool hasEntries = group.is_object() && group.contains(family.entriesKey) &&
                            group.at(family.entriesKey).is_array();
    if (!hasEntries) {
        throw std::runtime_error(std::string(family.missingEntriesMessage));
    }
    return family.entries(group);
}

// Every entry of that name takes the value; with none, a new entry is appended.
nlohmann::json entriesWithValue(const std::vector<GroupEntry>& entries, std::string_view name,
                                std::string_view value) {
    nlohmann::json list = nlohmann::json::array();
    bool matched = false;
    for (const auto& entry : entries) {
        nlohmann::json element = entry.element;
        if (entry.name == name) {
            element["value"] = value;
            matched = true;
        }
        list.push_back(std::move(element));
    }
    if (!matched) {
        const nlohmann::json added = {{"id", nullptr}, {"name", name}, {"value", value}};
        list.push_back(added);
    }
    return list;
}

// Every entry of that name is left out; with none, nothing is written.
nlohmann::json entriesWithout(const EntryFamily& family, const std::vector<GroupEntry>& entries,
                              std::string_view name) {
    nlohmann::json list = nlohmann::json::array();
    bool removed = false;
    for (const auto& entry : entries) {
        if (entry.name == name) {
            removed = true;
            continue;
        }
        list.push_back(entry.element);
    }
    if (!removed) {
        throw std::invalid_argument(std::string(family.notFoundMessage) + std::string(name));
    }
    return list;
}

application::port::HttpResponse replaceEntries(HttpQuarlinoGateway& gateway, const EntryFamily& family,
                                               std::string_view groupId, nlohmann::json list) {
    std::string body = jsonBody({{family.entriesKey, std::move(list)}});
    std::string path = groupPath(family, groupId) + std::string(family.entriesSuffix);
    return gateway.send(HttpMethod::PUT, std::move(path), std::move(body));
}

application::port::HttpResponse setEntry(HttpQuarlinoGateway& gateway, const EntryFamily& family,
                                         std::string_view groupId, std::string_view name,
                                         std::string_view value) {
    const std::vector<GroupEntry> entries = readEntries(gateway, family, groupId);
    return replaceEntries(gateway, family, groupId, entriesWithValue(entries, name, value));
}

application::port::HttpResponse unsetEntry(HttpQuarlinoGateway& gateway, const EntryFamily& family,
                                           std::string_view groupId, std::string_view name) {
    const std::vector<GroupEntry> entries = readEntries(gateway, family, groupId);
    return replaceEntries(gateway, family, groupId, entriesWithout(family, entries, name));
}

}  // namespace

// Variable groups ------------------------------------------------------------------

model::ApiResponse<std::vector<model::VariableGroup>> HttpQuarlinoGateway::listVariableGroups() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kVariables.groupsPath), ""), parseVariableGroup);
}

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::getVariableGroup(std::string_view groupId) {
    return parseRecordResponse(send(HttpMethod::GET, groupPath(kVariables, groupId), ""), parseVariableGroup);
}

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::createVariableGroup(std::string_view name,
                                                                                  std::string_view description) {
    std::string body = createBody(name, description);
    return parseRecordResponse(send(HttpMethod::POST, std::string(kVariables.groupsPath), std::move(body)),
                               parseVariableGroup);
}

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::setVariable(std::string_view groupId,
                                                                          std::string_view name,
                                                                          std::string_view value) {
    return parseRecordResponse(setEntry(*this, kVariables, groupId, name, value), parseVariableGroup);
}

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::unsetVariable(std::string_view groupId,
                                                                            std::string_view name) {
    return parseRecordResponse(unsetEntry(*this, kVariables, groupId, name), parseVariableGroup);
}

void HttpQuarlinoGateway::deleteVariableGroup(std::string_view groupId) {
    send(HttpMethod::DELETE, groupPath(kVariables, groupId), "");
}

// Secret groups --------------------------------------------------------------------

model::ApiResponse<std::vector<model::SecretGroup>> HttpQuarlinoGateway::listSecretGroups() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kSecrets.groupsPath), ""), parseSecretGroup);
}

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::getSecretGroup(std::string_view groupId) {
    return parseRecordResponse(send(HttpMethod::GET, groupPath(kSecrets, groupId), ""), parseSecretGroup);
}

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::createSecretGroup(std::string_view name,
                                                                              std::string_view description) {
    std::string body = createBody(name, description);
    return parseRecordResponse(send(HttpMethod::POST, std::string(kSecrets.groupsPath), std::move(body)),
                               parseSecretGroup);
}

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::setSecret(std::string_view groupId,
                                                                      std::string_view name,
                                                                      std::string_view value) {
    return parseRecordResponse(setEntry(*this, kSecrets, groupId, name, value), parseSecretGroup);
}

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::unsetSecret(std::string_view groupId,
                                                                        std::string_view name) {
    return parseRecordResponse(unsetEntry(*this, kSecrets, groupId, name), parseSecretGroup);
}

void HttpQuarlinoGateway::deleteSecretGroup(std::string_view groupId) {
    send(HttpMethod::DELETE, groupPath(kSecrets, groupId), "");
}

}  // namespace quarlino::quil::infrastructure::http
