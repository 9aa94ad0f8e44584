#include "application/update_service.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "application/api_error.hpp"
#include "support/quil/recording_transport.hpp"

namespace {

using Json = nlohmann::json;
using quarlino::quil::application::ApiError;
using quarlino::quil::application::UpdateCheckResult;
using quarlino::quil::application::UpdateService;
using quarlino::quil::application::port::HttpMethod;
using testsupport::quil::RecordingTransport;

constexpr const char* manifestPath = "/quil/latest.json";
const std::string digest(64, 'a');

Json artifact(const std::string& os, const std::string& arch) {
    return Json{{"os", os},
                {"arch", arch},
                {"url", "https://releases.example/quil-" + os + "-" + arch},
                {"sha256", digest},
                {"signatureUrl", "https://releases.example/quil.sig"},
                {"sbomUrl", "https://releases.example/quil.sbom"}};
}

Json validManifest() {
    return Json{{"version", "0.2.0"},
                {"publishedAt", "2026-11-30T10:00:00Z"},
                {"notes", "ignored"},
                {"artifacts", Json::array({artifact("darwin", "amd64"), artifact("linux", "amd64")})}};
}

UpdateCheckResult checkBody(const std::string& body, const std::string& path = manifestPath) {
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, path, 200, body);
    return UpdateService(transport).check(path);
}

UpdateCheckResult checkManifest(const Json& manifest) { return checkBody(manifest.dump()); }

// The message of the std::runtime_error a manifest check raises.
std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ApiError& error) {
        return std::string("ApiError: ") + error.what();
    } catch (const std::invalid_argument& error) {
        return std::string("invalid_argument: ") + error.what();
    } catch (const nlohmann::json::exception& error) {
        return "json " + std::to_string(error.id) + ": " + error.what();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "<no error>";
}

TEST(UpdateServiceTest, ReportsTheLinuxAmd64ArtifactOfANewerRelease) {
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, manifestPath, 200, validManifest().dump());

    const UpdateCheckResult result = UpdateService(transport).check(manifestPath);

    EXPECT_EQ(result.currentVersion, "0.1.0");
    EXPECT_EQ(result.latestVersion, "0.2.0");
    EXPECT_EQ(result.publishedAt, "2026-11-30T10:00:00Z");
    EXPECT_TRUE(result.updateAvailable);
    EXPECT_EQ(result.os, "linux");
    EXPECT_EQ(result.arch, "amd64");
    EXPECT_EQ(result.url, "https://releases.example/quil-linux-amd64");
    EXPECT_EQ(result.sha256, digest);
    EXPECT_EQ(result.signatureUrl, "https://releases.example/quil.sig");
    EXPECT_EQ(result.sbomUrl, "https://releases.example/quil.sbom");

    const auto& request = transport.onlyRequest();
    EXPECT_EQ(request.headers, (std::map<std::string, std::string>{{"Accept", "application/json"}}));
    EXPECT_TRUE(request.body.empty());
}

TEST(UpdateServiceTest, SendsAPathWithAQueryUnchanged) {
    EXPECT_EQ(checkBody(validManifest().dump(), "/quil/latest.json?channel=stable").latestVersion, "0.2.0");
}

class ManifestPathTest : public testing::TestWithParam<std::string> {};

TEST_P(ManifestPathTest, IsRejectedBeforeAnythingIsSent) {
    RecordingTransport transport;  // fails the test on any request
    UpdateService service(transport);
    EXPECT_EQ(failureOf([&] { service.check(GetParam()); }),
              "invalid_argument: release manifest path must be an absolute HTTP path");
    EXPECT_TRUE(transport.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(BadPaths, ManifestPathTest,
                         testing::Values("", "quil/latest.json", "https://releases.example/quil.json",
                                         "/quil/latest.json\n", "/quil\r/latest.json", "/a\nHost: evil"));

class ReleaseServerStatusTest : public testing::TestWithParam<int> {};

TEST_P(ReleaseServerStatusTest, OutsideTwoHundredsIsAnApiErrorWithTheBody) {
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, manifestPath, GetParam(), "not here");
    UpdateService service(transport);
    try {
        service.check(manifestPath);
        FAIL() << "status " << GetParam() << " was accepted";
    } catch (const ApiError& error) {
        EXPECT_EQ(error.statusCode(), GetParam());
        EXPECT_EQ(std::string(error.what()), "Quil release server returned HTTP " + std::to_string(GetParam()));
        EXPECT_EQ(error.responseBody(), "not here");
    }
}

INSTANTIATE_TEST_SUITE_P(Statuses, ReleaseServerStatusTest, testing::Values(0, 199, 300, 304, 404, 500));

class AcceptedStatusTest : public testing::TestWithParam<int> {};

TEST_P(AcceptedStatusTest, AnyTwoHundredStatusCarriesAManifest) {
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, manifestPath, GetParam(), validManifest().dump());
    EXPECT_EQ(UpdateService(transport).check(manifestPath).latestVersion, "0.2.0");
}

INSTANTIATE_TEST_SUITE_P(Statuses, AcceptedStatusTest, testing::Values(200, 203, 299));

class InvalidManifestBodyTest : public testing::TestWithParam<std::string> {};

TEST_P(InvalidManifestBodyTest, IsNotAnObject) {
    EXPECT_EQ(failureOf([] { checkBody(GetParam()); }), "Quil release server returned an invalid manifest");
}

INSTANTIATE_TEST_SUITE_P(Bodies, InvalidManifestBodyTest,
                         testing::Values("", "null", "[]", "\"text\"", "42", "{", "{} {}", "{}x",
                                         "{/* comment */}", "<html></html>"));

struct ManifestCase {
    std::string name;
    std::function<void(Json&)> change;
    std::string failure;
};

void PrintTo(const ManifestCase& test, std::ostream* out) { *out << test.name; }

class ManifestCheckTest : public testing::TestWithParam<ManifestCase> {};

TEST_P(ManifestCheckTest, FailsWithItsMessage) {
    Json manifest = validManifest();
    GetParam().change(manifest);
    EXPECT_EQ(failureOf([&] { checkManifest(manifest); }), GetParam().failure);
}

Json& chosen(Json& manifest) { return manifest["artifacts"][1]; }

const std::string missingVersion = "Quil release manifest is missing version";
const std::string noArtifact = "Quil release manifest has no artifact for linux-amd64";
const std::string badVersion = "Quil release manifest contains an invalid semantic version";
const std::string badDigest = "Quil release manifest contains an invalid SHA-256 digest";

INSTANTIATE_TEST_SUITE_P(
    Members, ManifestCheckTest,
    testing::Values(
        ManifestCase{"VersionMissing", [](Json& m) { m.erase("version"); }, missingVersion},
        ManifestCase{"VersionNull", [](Json& m) { m["version"] = nullptr; }, missingVersion},
        ManifestCase{"VersionNumber", [](Json& m) { m["version"] = 1; }, missingVersion},
        ManifestCase{"VersionEmpty", [](Json& m) { m["version"] = ""; }, missingVersion},
        ManifestCase{"PublishedAtMissing", [](Json& m) { m.erase("publishedAt"); },
                     "Quil release manifest is missing publishedAt"},
        ManifestCase{"PublishedAtEmpty", [](Json& m) { m["publishedAt"] = ""; },
                     "Quil release manifest is missing publishedAt"},
        ManifestCase{"VersionCheckedBeforePublishedAt",
                     [](Json& m) {
                         m.erase("version");
                         m.erase("publishedAt");
                     },
                     missingVersion},
        ManifestCase{"ArtifactsMissing", [](Json& m) { m.erase("artifacts"); },
                     "Quil release manifest is missing artifacts"},
        ManifestCase{"ArtifactsObject", [](Json& m) { m["artifacts"] = Json::object(); },
                     "Quil release manifest is missing artifacts"},
        ManifestCase{"ArtifactsEmpty", [](Json& m) { m["artifacts"] = Json::array(); }, noArtifact},
        ManifestCase{"OnlyOtherPlatforms",
                     [](Json& m) {
                         m["artifacts"] = Json::array({artifact("linux", "arm64"), artifact("windows", "amd64")});
                     },
                     noArtifact},
        ManifestCase{"PlatformMembersMissing",
                     [](Json& m) {
                         chosen(m).erase("os");
                         chosen(m).erase("arch");
                     },
                     noArtifact},
        ManifestCase{"PlatformMatchIsCaseSensitive", [](Json& m) { chosen(m)["os"] = "Linux"; }, noArtifact},
        ManifestCase{"ElementNotAnObject", [](Json& m) { m["artifacts"][0] = "linux-amd64"; },
                     "json 306: [json.exception.type_error.306] cannot use value() with string"},
        ManifestCase{"OsNotAString", [](Json& m) { m["artifacts"][0]["os"] = nullptr; },
                     "json 302: [json.exception.type_error.302] type must be string, but is null"},
        ManifestCase{"ArchNotAStringOnLinux",
                     [](Json& m) {
                         m["artifacts"][0]["os"] = "linux";
                         m["artifacts"][0]["arch"] = 64;
                     },
                     "json 302: [json.exception.type_error.302] type must be string, but is number"},
        ManifestCase{"UrlMissing", [](Json& m) { chosen(m).erase("url"); }, "Quil release manifest is missing url"},
        ManifestCase{"Sha256Empty", [](Json& m) { chosen(m)["sha256"] = ""; },
                     "Quil release manifest is missing sha256"},
        ManifestCase{"SignatureUrlNumber", [](Json& m) { chosen(m)["signatureUrl"] = 7; },
                     "Quil release manifest is missing signatureUrl"},
        ManifestCase{"SbomUrlMissing", [](Json& m) { chosen(m).erase("sbomUrl"); },
                     "Quil release manifest is missing sbomUrl"},
        ManifestCase{"MissingMembersBeforeHttps",
                     [](Json& m) {
                         chosen(m)["url"] = "http://releases.example/quil";
                         chosen(m).erase("sbomUrl");
                     },
                     "Quil release manifest is missing sbomUrl"},
        ManifestCase{"UrlPlainHttp", [](Json& m) { chosen(m)["url"] = "http://releases.example/quil"; },
                     "Quil release manifest artifact URL must use HTTPS"},
        ManifestCase{"UrlUpperCaseScheme", [](Json& m) { chosen(m)["url"] = "HTTPS://releases.example/quil"; },
                     "Quil release manifest artifact URL must use HTTPS"},
        ManifestCase{"SignatureUrlPlainHttp", [](Json& m) { chosen(m)["signatureUrl"] = "http://x/sig"; },
                     "Quil release manifest signature URL must use HTTPS"},
        ManifestCase{"SbomUrlShort", [](Json& m) { chosen(m)["sbomUrl"] = "https:/"; },
                     "Quil release manifest SBOM URL must use HTTPS"},
        ManifestCase{"HttpsBeforeDigest",
                     [](Json& m) {
                         chosen(m)["sbomUrl"] = "ftp://x";
                         chosen(m)["sha256"] = "short";
                     },
                     "Quil release manifest SBOM URL must use HTTPS"},
        ManifestCase{"DigestUpperCase", [](Json& m) { chosen(m)["sha256"] = std::string(64, 'A'); }, badDigest},
        ManifestCase{"DigestTooShort", [](Json& m) { chosen(m)["sha256"] = std::string(63, 'a'); }, badDigest},
        ManifestCase{"DigestTooLong", [](Json& m) { chosen(m)["sha256"] = std::string(65, 'a'); }, badDigest},
        ManifestCase{"DigestNotHex", [](Json& m) { chosen(m)["sha256"] = std::string(63, 'a') + "g"; },
                     badDigest},
        ManifestCase{"VersionTwoParts", [](Json& m) { m["version"] = "1.0"; }, badVersion},
        ManifestCase{"VersionOnePart", [](Json& m) { m["version"] = "1"; }, badVersion},
        ManifestCase{"VersionFourParts", [](Json& m) { m["version"] = "1.0.0.0"; }, badVersion},
        ManifestCase{"VersionEmptyPart", [](Json& m) { m["version"] = "1..0"; }, badVersion},
        ManifestCase{"VersionTrailingDot", [](Json& m) { m["version"] = "1.0."; }, badVersion},
        ManifestCase{"VersionLeadingLetter", [](Json& m) { m["version"] = "v1.0.0"; }, badVersion},
        ManifestCase{"VersionLetterPart", [](Json& m) { m["version"] = "1.x.0"; }, badVersion},
        ManifestCase{"VersionSign", [](Json& m) { m["version"] = "1.+2.0"; }, badVersion},
        ManifestCase{"VersionBlank", [](Json& m) { m["version"] = "1. 2.0"; }, badVersion},
        ManifestCase{"VersionSuffixOnly", [](Json& m) { m["version"] = "-rc.1"; }, badVersion},
        ManifestCase{"VersionBeyondInt", [](Json& m) { m["version"] = "0.2147483648.0"; }, badVersion},
        ManifestCase{"VersionFarBeyondInt", [](Json& m) { m["version"] = "99999999999999999999.0.0"; },
                     badVersion},
        ManifestCase{"VersionCheckedAfterArtifact",
                     [](Json& m) {
                         m["version"] = "1.0";
                         chosen(m)["sha256"] = "bad";
                     },
                     badDigest}),
    [](const testing::TestParamInfo<ManifestCase>& info) { return info.param.name; });

TEST(UpdateServiceTest, ChoosesTheFirstMatchingArtifactAndReadsNoFurther) {
    Json manifest = validManifest();
    Json second = artifact("linux", "amd64");
    second["url"] = "http://never-read";
    second["sha256"] = 5;
    manifest["artifacts"] = Json::array({artifact("linux", "arm64"), artifact("linux", "amd64"), second, "junk"});
    EXPECT_EQ(checkManifest(manifest).url, "https://releases.example/quil-linux-amd64");
}

TEST(UpdateServiceTest, SkipsOtherOperatingSystemsWithoutReadingTheirArch) {
    Json manifest = validManifest();
    manifest["artifacts"][0]["arch"] = 64;
    EXPECT_EQ(checkManifest(manifest).os, "linux");
}

TEST(UpdateServiceTest, AcceptsTheBareHttpsScheme) {
    Json manifest = validManifest();
    chosen(manifest)["url"] = "https://";
    EXPECT_EQ(checkManifest(manifest).url, "https://");
}

struct VersionCase {
    std::string latest;
    bool updateAvailable;
};

class VersionComparisonTest : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionComparisonTest, ComparesMajorMinorPatchAgainstTheProgram) {
    Json manifest = validManifest();
    manifest["version"] = GetParam().latest;
    const UpdateCheckResult result = checkManifest(manifest);
    EXPECT_EQ(result.updateAvailable, GetParam().updateAvailable);
    EXPECT_EQ(result.latestVersion, GetParam().latest);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionComparisonTest,
    testing::Values(VersionCase{"0.1.0", false}, VersionCase{"0.1.1", true}, VersionCase{"0.2.0", true},
                    VersionCase{"1.0.0", true}, VersionCase{"0.0.9", false}, VersionCase{"0.0.99", false},
                    VersionCase{"0.1.1-rc.1", true}, VersionCase{"0.1.1+build.7", true},
                    VersionCase{"0.1.0-rc.1", false}, VersionCase{"0.1.0+build.1", false},
                    VersionCase{"00.01.001", true}, VersionCase{"0.10.0", true},
                    VersionCase{"2147483647.0.0", true}, VersionCase{"0.1.1-rc+x.y", true}));

}  // namespace
