#pragma once

#include <algorithm>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "application/port/quarlino_gateway.hpp"
#include "cli/parsed_command.hpp"
#include "config/client_config.hpp"
#include "model/records.hpp"

namespace quarlino::quil::cli {

class OutputFormatter;

// Throws std::invalid_argument when the configuration carries no access token.
void requireAuthentication(const config::ClientConfig& config);

// Writes the prompt to `out` and reads one line from `in` without its "\n"
// (a "\r" stays). Throws std::runtime_error when nothing can be read.
std::string readLine(std::istream& in, std::ostream& out, std::string_view prompt);

// All remaining input, less one final "\n" and then, only after it, one "\r".
std::string readSecretFromStdin(std::istream& in);

// Consent to a destructive command: --yes, or "y", "Y", "yes" or "YES" typed
// after the prompt on `out`, whose control characters show as stand-ins. With
// JSON output nobody is there to answer, so --yes is required.
bool confirmDestructive(const ParsedCommand& command, std::istream& in, std::ostream& out,
                        std::string_view prompt);

// confirmDestructive, with a refusal reported by the group's cancellation
// message; a refusal is no error, so the caller just stops.
bool confirmOrCancel(const ParsedCommand& command, std::istream& in, std::ostream& err, std::string_view prompt,
                     OutputFormatter& formatter, std::string_view cancelled);

// The value of an option the parser already required; its absence is a bug.
std::string_view requiredOption(const ParsedCommand& command, std::string_view name);

// ASCII letters upper-cased; every other byte, UTF-8 included, kept as it is.
std::string upperAscii(std::string_view value);

// "-" becomes "_" and letters are upper-cased; the result must be one of the
// allowed values, which are written that way.
std::string normalizeEnumOption(std::string_view value, std::initializer_list<std::string_view> allowed,
                                std::string_view name);

[[noreturn]] void throwRecordNotFound(std::string_view kind, std::string_view selector);
[[noreturn]] void throwAmbiguousRecord(std::string_view kind, std::string_view selector);

// Every record, in list order, whose id or other key equals the selector
// byte for byte; a record matching on several keys is listed once.
template <typename Record>
std::vector<const Record*> matchingRecords(const std::vector<Record>& records, std::string_view selector,
                                           std::initializer_list<std::string Record::*> keys) {
    std::vector<const Record*> matches;
    for (const Record& record : records) {
        if (std::any_of(keys.begin(), keys.end(), [&](auto key) { return record.*key == selector; })) {
            matches.push_back(&record);
        }
    }
    return matches;
}

// The one record whose id or other key equals the selector byte for byte. An
// id match has no priority over a name match: a name that looks like another
// record's id must not silently pick either of them.
template <typename Record>
Record resolve(const std::vector<Record>& records, std::string_view selector,
               std::initializer_list<std::string Record::*> keys, std::string_view kind) {
    const std::vector<const Record*> matches = matchingRecords(records, selector, keys);
    if (matches.empty()) {
        throwRecordNotFound(kind, selector);
    }
    if (matches.size() > 1) {
        throwAmbiguousRecord(kind, selector);
    }
    return *matches.front();
}

model::Workspace resolveWorkspace(const std::vector<model::Workspace>& workspaces, std::string_view selector);
model::Organization resolveOrganization(application::port::QuarlinoGateway& gateway, std::string_view selector);
model::Project resolveProject(application::port::QuarlinoGateway& gateway, std::string_view selector);
model::Pipeline resolvePipeline(application::port::QuarlinoGateway& gateway, std::string_view selector);
model::VariableGroup resolveVariableGroup(application::port::QuarlinoGateway& gateway, std::string_view selector);
model::SecretGroup resolveSecretGroup(application::port::QuarlinoGateway& gateway, std::string_view selector);

// The whole content of the file, or of `in` when the path is "-".
std::string readFile(std::string_view path, std::istream& in);

// A JSON object read like readFile and parsed strictly; `subject` names the
// document in the messages ("cannot parse <subject>: ...", "<subject> must be
// a JSON object").
nlohmann::json readJsonObjectDocument(std::string_view path, std::istream& in, std::string_view subject);

// A deployment target configuration read like readJsonObjectDocument,
// returned compact with its keys in byte order.
std::string readJsonObject(std::string_view path, std::istream& in);

// Compact JSON with invalid UTF-8 replaced by U+FFFD: JSON built from names
// the user typed or the platform returned must never fail to print.
std::string compactJson(const nlohmann::json& value);

// Hands a platform answer to a renderer of the formatter, with the raw body
// that JSON output prints; the command has then succeeded.
template <typename Value, typename Formatter>
int renderResponse(Formatter& formatter, void (Formatter::*render)(const Value&, std::string_view),
                   const model::ApiResponse<Value>& response) {
    (formatter.*render)(response.value, response.body);
    return 0;
}

// The result of a change: the receipt as compact JSON in JSON mode (also when
// quiet), else the message unless quiet.
void mutationReceipt(OutputFormatter& formatter, const nlohmann::json& receipt, std::string_view message);

}  // namespace quarlino::quil::cli
