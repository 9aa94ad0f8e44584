#include "application/update_service.hpp"

#include <array>
#include <cstddef>
#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "application/api_error.hpp"
#include "application/bounded_json.hpp"

namespace quarlino::quil::application {

namespace {

using Json = nlohmann::json;
using Version = std::array<int, 3>;

constexpr std::string_view manifestPrefix = "Quil release manifest ";

[[noreturn]] void failManifest(std::string_view problem) {
    throw std::runtime_error(std::string(manifestPrefix).append(problem));
}

void checkManifestPath(std::string_view path) {
    if (path.empty() || path.front() != '/' || path.find_first_of("\r\n") != std::string_view::npos) {
        throw std::invalid_argument("release manifest path must be an absolute HTTP path");
    }
}

Json fetchManifest(port::HttpTransport& transport, std::string_view path) {
    port::HttpRequest request;
    request.method = port::HttpMethod::GET;
    request.path = std::string(path);
    request.headers.emplace("Accept", "application/json");
    port::HttpResponse response = transport.send(request);
    if (response.status < 200 || response.status > 299) {
        throw ApiError(response.status, "Quil release server returned HTTP " + std::to_string(response.status),
                       std::move(response.body));
    }
    Json manifest = tryParseBoundedJson(response.body);
    if (!manifest.is_object()) {
        throw std::runtime_error("Quil release server returned an invalid manifest");
    }
    return manifest;
}

// A member that must be a non-empty string; any other form counts as missing.
std::string requiredString(const Json& object, const char* name) {
    const auto member = object.find(name);
    if (member == object.end() || !member->is_string() || member->get_ref<const std::string&>().empty()) {
        failManifest(std::string("is missing ") + name);
    }
    return member->get<std::string>();
}

// The first artifact built for this platform. Its platform members are read
// leniently when absent but must be strings when present; elements after the
// chosen one are never looked at.
const Json* chooseArtifact(const Json& manifest) {
    const auto artifacts = manifest.find("artifacts");
    if (artifacts == manifest.end() || !artifacts->is_array()) {
        failManifest("is missing artifacts");
    }
    for (const Json& artifact : *artifacts) {
        if (artifact.value("os", std::string()) != UpdateService::targetOs) {
            continue;
        }
        if (artifact.value("arch", std::string()) == UpdateService::targetArch) {
            return &artifact;
        }
    }
    failManifest("has no artifact for " + std::string(UpdateService::targetOs) + "-" +
                 std::string(UpdateService::targetArch));
}

void requireHttps(std::string_view url, std::string_view label) {
    if (!url.starts_with("https://")) {
        failManifest(std::string(label).append(" must use HTTPS"));
    }
}

bool isLowerHexDigest(std::string_view digest) {
    constexpr std::size_t sha256HexLength = 64;
    if (digest.size() != sha256HexLength) {
        return false;
    }
    for (const char c : digest) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

[[noreturn]] void failVersion() { failManifest("contains an invalid semantic version"); }

int versionNumber(std::string_view part) {
    if (part.empty()) {
        failVersion();
    }
    long long value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9') {
            failVersion();
        }
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int>::max()) {
            failVersion();
        }
    }
    return static_cast<int>(value);
}

// Major, minor and patch; a pre-release or build suffix plays no part.
Version parseVersion(std::string_view text) {
    const std::string_view core = text.substr(0, text.find_first_of("-+"));
    Version version{};
    std::size_t start = 0;
    for (std::size_t index = 0; index < version.size(); ++index) {
        const std::size_t dot = core.find('.', start);
        const bool last = index + 1 == version.size();
        if (last != (dot == std::string_view::npos)) {
            failVersion();
        }
        version[index] = versionNumber(core.substr(start, last ? std::string_view::npos : dot - start));
        start = dot + 1;
    }
    return version;
}

}  // namespace

UpdateCheckResult UpdateService::check(std::string_view manifestPath) const {
    checkManifestPath(manifestPath);
    const Json manifest = fetchManifest(transport_, manifestPath);

    UpdateCheckResult result;
    result.currentVersion = std::string(currentVersion);
    result.latestVersion = requiredString(manifest, "version");
    result.publishedAt = requiredString(manifest, "publishedAt");

    const Json& artifact = *chooseArtifact(manifest);
    result.url = requiredString(artifact, "url");
    result.sha256 = requiredString(artifact, "sha256");
    result.signatureUrl = requiredString(artifact, "signatureUrl");
    result.sbomUrl = requiredString(artifact, "sbomUrl");

    requireHttps(result.url, "artifact URL");
    requireHttps(result.signatureUrl, "signature URL");
    requireHttps(result.sbomUrl, "SBOM URL");
    if (!isLowerHexDigest(result.sha256)) {
        failManifest("contains an invalid SHA-256 digest");
    }
    result.os = std::string(targetOs);
    result.arch = std::string(targetArch);

    const Version current = parseVersion(result.currentVersion);
    const Version latest = parseVersion(result.latestVersion);
    result.updateAvailable = latest > current;
    return result;
}

}  // namespace quarlino::quil::application
