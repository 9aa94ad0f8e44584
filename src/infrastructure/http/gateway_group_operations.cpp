#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Variable groups and secret groups, twin families that differ only in their
// path, record, entry member and the way existing entries are resent. The
// platform replaces a group's entries only as a whole list, so setting or
// removing one entry reads the group, rebuilds the complete list on the
// client and writes it back. Nothing guards that read-then-write against a
// concurrent change: the last writer wins.
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

nlohmann::json variablePayload(const model::Variable& variable) {
    return {{"id", variable.id}, {"name", variable.name}, {"value", variable.value}};
}

// The client never holds a stored secret value; null asks the platform to keep it.
nlohmann::json retainedSecret(const model::Secret& secret) {
    return {{"id", secret.id}, {"name", secret.name}, {"value", nullptr}};
}

// What differs between the two families.
template <typename Group, typename Entry>
struct GroupFamily {
    std::string_view groupsPath;
    const char* entriesKey;  // also the last segment of the entries path
    std::string_view missingEntriesMessage;
    std::string_view notFoundMessage;
    Group (*parse)(const nlohmann::json&);
    std::vector<Entry> Group::*entries;
    nlohmann::json (*resend)(const Entry&);
};

constexpr GroupFamily<model::VariableGroup, model::Variable> kVariables{
    "/api/variable-groups",
    "variables",
    "Quarlino returned a variable group without its variables",
    "variable not found in group: ",
    parseVariableGroup,
    &model::VariableGroup::variables,
    variablePayload,
};

constexpr GroupFamily<model::SecretGroup, model::Secret> kSecrets{
    "/api/secret-groups",
    "secrets",
    "Quarlino returned a secret group without its secrets",
    "secret not found in group: ",
    parseSecretGroup,
    &model::SecretGroup::secrets,
    retainedSecret,
};

// One existing entry as it is resent in a replacement list.
struct ResentEntry {
    std::string name;
    nlohmann::json element;
};

template <typename Group, typename Entry>
std::string groupPath(const GroupFamily<Group, Entry>& family, std::string_view groupId) {
    return resourcePath(family.groupsPath, groupId);
}

// The write replaces every entry, so a group read without its entry list
// would delete the entries it failed to report: refuse to go on instead.
template <typename Group, typename Entry>
std::vector<ResentEntry> readEntries(HttpQuarlinoGateway& gateway, const GroupFamily<Group, Entry>& family,
                                     std::string_view groupId) {
    auto response = gateway.send(HttpMethod::GET, groupPath(family, groupId), "");
    return withAnswerBudget([&] {
        const nlohmann::json group = parseJson(response);
        const nlohmann::json* entries = findMember(group, family.entriesKey);
        if (entries == nullptr || !entries->is_array()) {
            throw std::runtime_error(std::string(family.missingEntriesMessage));
        }
        const Group parsed = family.parse(group);
        std::vector<ResentEntry> resent;
        for (const Entry& entry : parsed.*family.entries) {
            resent.push_back({entry.name, family.resend(entry)});
        }
        return resent;
    });
}

// Every entry of that name takes the value; with none, a new entry is appended.
nlohmann::json entriesWithValue(const std::vector<ResentEntry>& entries, std::string_view name,
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
nlohmann::json entriesWithout(const std::vector<ResentEntry>& entries, std::string_view name,
                              std::string_view notFoundMessage) {
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
        throw std::invalid_argument(std::string(notFoundMessage) + std::string(name));
    }
    return list;
}

template <typename Group, typename Entry>
model::ApiResponse<Group> replaceEntries(HttpQuarlinoGateway& gateway, const GroupFamily<Group, Entry>& family,
                                         std::string_view groupId, nlohmann::json list) {
    std::string body = jsonBody({{family.entriesKey, std::move(list)}});
    std::string path = groupPath(family, groupId) + "/" + family.entriesKey;
    return parseRecordResponse(gateway.send(HttpMethod::PUT, std::move(path), std::move(body)), family.parse);
}

// The operations both families share ----------------------------------------------

template <typename Group, typename Entry>
model::ApiResponse<std::vector<Group>> listGroups(HttpQuarlinoGateway& gateway,
                                                  const GroupFamily<Group, Entry>& family) {
    return parseArrayResponse(gateway.send(HttpMethod::GET, std::string(family.groupsPath), ""), family.parse);
}

template <typename Group, typename Entry>
model::ApiResponse<Group> getGroup(HttpQuarlinoGateway& gateway, const GroupFamily<Group, Entry>& family,
                                   std::string_view groupId) {
    return parseRecordResponse(gateway.send(HttpMethod::GET, groupPath(family, groupId), ""), family.parse);
}

// The description is always sent, as "" when empty.
template <typename Group, typename Entry>
model::ApiResponse<Group> createGroup(HttpQuarlinoGateway& gateway, const GroupFamily<Group, Entry>& family,
                                      std::string_view name, std::string_view description) {
    std::string body = jsonBody({{"description", description}, {"name", name}});
    return parseRecordResponse(gateway.send(HttpMethod::POST, std::string(family.groupsPath), std::move(body)),
                               family.parse);
}

template <typename Group, typename Entry>
model::ApiResponse<Group> setEntry(HttpQuarlinoGateway& gateway, const GroupFamily<Group, Entry>& family,
                                   std::string_view groupId, std::string_view name, std::string_view value) {
    const std::vector<ResentEntry> entries = readEntries(gateway, family, groupId);
    return replaceEntries(gateway, family, groupId, entriesWithValue(entries, name, value));
}

template <typename Group, typename Entry>
model::ApiResponse<Group> unsetEntry(HttpQuarlinoGateway& gateway, const GroupFamily<Group, Entry>& family,
                                     std::string_view groupId, std::string_view name) {
    const std::vector<ResentEntry> entries = readEntries(gateway, family, groupId);
    return replaceEntries(gateway, family, groupId, entriesWithout(entries, name, family.notFoundMessage));
}

template <typename Group, typename Entry>
void deleteGroup(HttpQuarlinoGateway& gateway, const GroupFamily<Group, Entry>& family, std::string_view groupId) {
    gateway.send(HttpMethod::DELETE, groupPath(family, groupId), "");
}

}  // namespace

// Variable groups ------------------------------------------------------------------

model::ApiResponse<std::vector<model::VariableGroup>> HttpQuarlinoGateway::listVariableGroups() {
    return listGroups(*this, kVariables);
}

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::getVariableGroup(std::string_view groupId) {
    return getGroup(*this, kVariables, groupId);
}

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::createVariableGroup(std::string_view name,
                                                                                  std::string_view description) {
    return createGroup(*this, kVariables, name, description);
}

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::setVariable(std::string_view groupId,
                                                                          std::string_view name,
                                                                          std::string_view value) {
    return setEntry(*this, kVariables, groupId, name, value);
}

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::unsetVariable(std::string_view groupId,
                                                                            std::string_view name) {
    return unsetEntry(*this, kVariables, groupId, name);
}

void HttpQuarlinoGateway::deleteVariableGroup(std::string_view groupId) { deleteGroup(*this, kVariables, groupId); }

// Secret groups --------------------------------------------------------------------

model::ApiResponse<std::vector<model::SecretGroup>> HttpQuarlinoGateway::listSecretGroups() {
    return listGroups(*this, kSecrets);
}

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::getSecretGroup(std::string_view groupId) {
    return getGroup(*this, kSecrets, groupId);
}

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::createSecretGroup(std::string_view name,
                                                                              std::string_view description) {
    return createGroup(*this, kSecrets, name, description);
}

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::setSecret(std::string_view groupId,
                                                                      std::string_view name,
                                                                      std::string_view value) {
    return setEntry(*this, kSecrets, groupId, name, value);
}

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::unsetSecret(std::string_view groupId,
                                                                        std::string_view name) {
    return unsetEntry(*this, kSecrets, groupId, name);
}

void HttpQuarlinoGateway::deleteSecretGroup(std::string_view groupId) { deleteGroup(*this, kSecrets, groupId); }

}  // namespace quarlino::quil::infrastructure::http
