#include <string>
#include <vector>

#include "cli/output_formatter.hpp"
#include "cli/visible_text.hpp"

namespace quarlino::quil::cli {

namespace {

const std::vector<std::string> registryHeaders{"ID", "REPOSITORY", "VISIBILITY", "STATUS", "USAGE", "QUOTA"};
const std::vector<std::string> repositoryHeaders{"REPOSITORY", "COMPONENT", "TAG", "DIGEST", "SIZE", "PUSHED"};
const std::vector<std::string> tokenHeaders{"ID", "NAME", "PREFIX", "PERMISSIONS", "EXPIRES", "REVOKED"};
const std::vector<std::string> tokenListHeaders{"ID",      "NAME",    "PREFIX",   "PERMISSIONS",
                                                "EXPIRES", "REVOKED", "LAST USED"};

using Row = std::vector<std::string>;

std::vector<std::string> registryRow(const model::ProjectRegistry& registry) {
    return {registry.id,
            registry.repository,
            registry.visibility,
            registry.status,
            std::to_string(registry.logicalUsageBytes),
            std::to_string(registry.quotaBytes)};
}

// A repository without artifacts still gets a row, so that it shows at all.
void eachRepositoryRow(const std::vector<model::RegistryRepository>& repositories,
                       const OutputFormatter::RowVisitor& visit) {
    for (const auto& repository : repositories) {
        const std::string component = dashIfEmpty(repository.component);
        if (repository.artifacts.empty()) {
            visit({repository.repository, component, "-", "-", "0", "-"});
        }
        for (const auto& artifact : repository.artifacts) {
            visit({repository.repository, component, dashIfEmpty(artifact.tag), artifact.digest,
                   std::to_string(artifact.sizeBytes), artifact.pushedAt});
        }
    }
}

// repository[/component][:tag], the parts shown as "-" left out.
std::string imageReference(const Row& row) {
    std::string reference = row[0];
    if (row[1] != "-") {
        reference += "/" + row[1];
    }
    if (row[2] != "-") {
        reference += ":" + row[2];
    }
    return reference;
}

std::vector<std::string> tokenRow(const model::RegistryAccessToken& token) {
    return {token.id,
            token.name,
            token.prefix,
            join(token.permissions),
            valueOrDash(token.expiresAt),
            valueOrDash(token.revokedAt)};
}

std::vector<std::string> tokenListRow(const model::RegistryAccessToken& token) {
    Row row = tokenRow(token);
    row.push_back(valueOrDash(token.lastUsedAt));
    return row;
}

template <typename Record>
std::string idOf(const Record& record) {
    return record.id;
}

}  // namespace

void OutputFormatter::projectRegistry(const model::ProjectRegistry& registry, std::string_view rawBody) {
    renderRecord(registry, rawBody, registryHeaders, idOf<model::ProjectRegistry>, registryRow);
}

void OutputFormatter::registryRepositories(const std::vector<model::RegistryRepository>& repositories,
                                           std::string_view rawBody) {
    // The quiet form is composed from the cells of each row.
    switch (mode()) {
        case Mode::Json:
            rawJson(rawBody);
            return;
        case Mode::Quiet:
            eachRepositoryRow(repositories, [&](const Row& row) { line(imageReference(row)); });
            return;
        case Mode::Table:
            table(repositoryHeaders, [&](const RowVisitor& visit) { eachRepositoryRow(repositories, visit); });
            return;
    }
}

void OutputFormatter::registryAccessToken(const model::RegistryAccessToken& token, std::string_view rawBody) {
    // The secret exists only in the answer that created the token: quiet mode
    // hands it to scripts, table mode shows it after the table.
    const auto keyOf = [](const model::RegistryAccessToken& t) { return t.secret.value_or(t.id); };
    if (renderRecord(token, rawBody, tokenHeaders, keyOf, tokenRow) && token.secret) {
        // Only controls change: the printable characters are the token.
        write("\nToken (shown once): " + visibleText(*token.secret, LineBreaks::Show) + "\n");
    }
}

void OutputFormatter::registryAccessTokens(const std::vector<model::RegistryAccessToken>& tokens,
                                           std::string_view rawBody) {
    renderList(std::span<const model::RegistryAccessToken>(tokens), rawBody, tokenListHeaders,
               idOf<model::RegistryAccessToken>, tokenListRow);
}

}  // namespace quarlino::quil::cli
