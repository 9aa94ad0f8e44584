#include "infrastructure/http/json_element_walk.hpp"
#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Designated initialisers read the members in record order, which decides
// which member's error surfaces first.
namespace quarlino::quil::infrastructure::http {

namespace {

model::ActionOutput parseActionOutput(const nlohmann::json& item) {
    return model::ActionOutput{
        .name = stringValue(item, "name"),
        .type = stringValue(item, "type"),
        .description = stringValue(item, "description"),
    };
}

model::RegistryArtifact parseRegistryArtifact(const nlohmann::json& item) {
    return model::RegistryArtifact{
        .digest = stringValue(item, "digest"),
        .tag = stringValue(item, "tag"),
        .mediaType = stringValue(item, "mediaType"),
        .sizeBytes = unsignedValue(item, "sizeBytes"),
        .pushedAt = stringValue(item, "pushedAt"),
    };
}

model::SourceDiagnostic parseDiagnostic(const nlohmann::json& element) {
    return model::SourceDiagnostic{
        .code = stringValue(element, "code"),
        .message = stringValue(element, "message"),
        .startLine = intValue(element, "startLine"),
        .startColumn = intValue(element, "startColumn"),
    };
}

}  // namespace

model::Project parseProject(const nlohmann::json& object) {
    return model::Project{
        .id = stringValue(object, "id"),
        .name = stringValue(object, "name"),
        .repositoryId = optionalString(object, "repositoryId"),
        .gitRepositoryUrl = optionalString(object, "gitRepositoryUrl"),
        .gitRepositoryStatus = optionalString(object, "gitRepositoryStatus"),
        .gitRepositoryEnabled = booleanValue(object, "gitRepositoryEnabled"),
        .gitRepositoryInitialized = booleanValue(object, "gitRepositoryInitialized"),
    };
}

model::ActionDefinition parseActionDefinition(const nlohmann::json& object) {
    return model::ActionDefinition{
        .code = stringValue(object, "code"),
        .displayName = stringValue(object, "displayName"),
        .description = stringValue(object, "description"),
        .icon = stringValue(object, "icon"),
        .category = stringValue(object, "category"),
        .formId = stringValue(object, "formId"),
        .outputs = mapElements(arrayMember(object, "outputs"), parseActionOutput),
    };
}

model::ProjectRegistry parseProjectRegistry(const nlohmann::json& object) {
    return model::ProjectRegistry{
        .id = stringValue(object, "id"),
        .projectId = stringValue(object, "projectId"),
        .ownerHandle = stringValue(object, "ownerHandle"),
        .projectSlug = stringValue(object, "projectSlug"),
        .repository = stringValue(object, "repository"),
        .visibility = stringValue(object, "visibility"),
        .status = stringValue(object, "status"),
        .quotaBytes = unsignedValue(object, "quotaBytes"),
        .logicalUsageBytes = unsignedValue(object, "logicalUsageBytes"),
        .created = stringValue(object, "created"),
        .updated = stringValue(object, "updated"),
    };
}

model::RegistryRepository parseRegistryRepository(const nlohmann::json& object) {
    return model::RegistryRepository{
        .repository = stringValue(object, "repository"),
        .component = stringValue(object, "component"),
        .artifacts = mapElements(arrayMember(object, "artifacts"), parseRegistryArtifact),
    };
}

model::RegistryAccessToken parseRegistryAccessToken(const nlohmann::json& object) {
    return model::RegistryAccessToken{
        .id = stringValue(object, "id"),
        .name = stringValue(object, "name"),
        .prefix = stringValue(object, "prefix"),
        .permissions = stringList(object, "permissions"),
        .expiresAt = optionalString(object, "expiresAt"),
        .revokedAt = optionalString(object, "revokedAt"),
        .lastUsedAt = optionalString(object, "lastUsedAt"),
        .created = stringValue(object, "created"),
        .secret = optionalString(object, "secret"),
    };
}

model::Pipeline parsePipeline(const nlohmann::json& object) {
    return model::Pipeline{
        .id = stringValue(object, "id"),
        .name = stringValue(object, "name"),
        .projectId = stringValue(object, "projectId"),
        .projectName = stringValue(object, "projectName"),
        .lastStatus = stringValue(object, "lastStatus"),
        .secretGroupId = optionalString(object, "secretGroupId"),
        .variableGroupId = optionalString(object, "variableGroupId"),
        .continueOnError = booleanValue(object, "continueOnError"),
    };
}

std::vector<model::SourceDiagnostic> parseDiagnostics(const nlohmann::json& value) {
    return mapArrayElements(value, parseDiagnostic);
}

model::EditorSnapshot parseSnapshot(const nlohmann::json& object) {
    // "source" first: a snapshot without it is no snapshot, and a non-object
    // must fail here rather than on the revision.
    const nlohmann::json& source = object.at("source");
    return model::EditorSnapshot{
        .revision = unsignedValue(object, "revision"),
        .validSource = stringValue(source, "validSource"),
        .draftSource = optionalString(source, "draftSource"),
        .status = stringValue(source, "status"),
        .diagnostics = parseDiagnostics(arrayMember(object, "diagnostics")),
    };
}

}  // namespace quarlino::quil::infrastructure::http
