#pragma once

// Shared by the access, role and grant command sources only.

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "application/port/quarlino_gateway.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"
#include "cli/parsed_command.hpp"
#include "model/records.hpp"

namespace quarlino::quil::cli::access {

using Gateway = application::port::QuarlinoGateway;

inline constexpr std::uint8_t accessCatalog = 29;
inline constexpr std::uint8_t accessCapabilities = 30;
inline constexpr std::uint8_t accessDecision = 31;
inline constexpr std::uint8_t roleList = 32;
inline constexpr std::uint8_t roleShow = 33;
inline constexpr std::uint8_t rolePreview = 34;
inline constexpr std::uint8_t roleCreate = 35;
inline constexpr std::uint8_t roleUpdate = 36;
inline constexpr std::uint8_t roleDuplicate = 37;
inline constexpr std::uint8_t roleDelete = 38;
inline constexpr std::uint8_t grantList = 39;
inline constexpr std::uint8_t grantCreate = 40;
inline constexpr std::uint8_t grantUpdate = 41;
inline constexpr std::uint8_t grantRevoke = 42;
inline constexpr std::uint8_t grantEffective = 43;
inline constexpr std::uint8_t grantPrincipals = 44;

// A role or grant command inside the organization it was given.
struct OrganizationCommand {
    const ParsedCommand& command;
    std::istream& in;
    std::ostream& err;
    OutputFormatter& formatter;
    Gateway& gateway;
    const model::Organization& organization;
};

int runRoleCommand(const OrganizationCommand& context);
int runGrantCommand(const OrganizationCommand& context);

// "TYPE:ID" as (TYPE upper-cased, ID as typed); the ID may hold further ':'.
std::pair<std::string, std::string> reference(std::string_view value, std::string_view optionName);

// The role or grant definition named by --file ("-" is standard input).
nlohmann::json readDefinition(const ParsedCommand& command, std::istream& in);

// Readers of definition fields: absent and null count as empty.
std::string optionalText(const nlohmann::json& document, std::string_view key);
std::string requiredText(const nlohmann::json& document, std::string_view key);
// A non-empty list of non-empty strings, each kept once in first-seen order.
std::vector<std::string> requiredStrings(const nlohmann::json& document, std::string_view key);

void validateResourceType(const model::AuthorizationCatalog& catalog, std::string_view type);

// The role whose id, system code or name is the selector.
model::AuthorizationRole resolveRole(Gateway& gateway, std::string_view organizationId, std::string_view selector);

// The one record matching the selector on one of the keys. Access selectors
// report ambiguity without echoing the selector.
template <typename Record>
Record onlyMatch(const std::vector<Record>& records, std::string_view selector,
                 std::initializer_list<std::string Record::*> keys, std::string_view kind,
                 std::string_view ambiguousMessage) {
    const std::vector<const Record*> matches = matchingRecords(records, selector, keys);
    if (matches.empty()) {
        throwRecordNotFound(kind, selector);
    }
    if (matches.size() > 1) {
        throw std::invalid_argument(std::string(ambiguousMessage));
    }
    return *matches.front();
}

}  // namespace quarlino::quil::cli::access
