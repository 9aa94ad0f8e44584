#include "e2e/quil_harness.hpp"

#include <nlohmann/json.hpp>

namespace quarlino::quil::e2e {
namespace {

using nlohmann::json;

const std::string digest(64, 'a');

json artifact(const std::string& arch) {
    return {{"os", "linux"},
            {"arch", arch},
            {"url", "https://dl.example.com/quil-" + arch},
            {"sha256", digest},
            {"signatureUrl", "https://dl.example.com/quil.sig"},
            {"sbomUrl", "https://dl.example.com/quil.sbom"}};
}

std::string manifest(const std::string& version) {
    return json{{"version", version},
                {"publishedAt", "2026-11-30T12:00:00Z"},
                {"artifacts", {artifact("arm64"), artifact("amd64")}}}
        .dump();
}

// The release server must be HTTPS; it is a TLS fake platform trusted
// through the test CA. A stored and an environment token exist, and must
// never reach it.
class UpdateCheck : public QuilEndToEnd {
protected:
    UpdateCheck() : releases(FakePlatform::Options{true}) {
        signIn("tok-stored", "ws-1");
        setEnvironment("QUARLINO_ACCESS_TOKEN", "tok-environment");
        setEnvironment("SSL_CERT_FILE", FakePlatform::caFile());
    }

    FakePlatform releases;
};

TEST_F(UpdateCheck, NewerReleaseShowsWhereToDownloadIt) {
    releases.expect("GET", "/quil/latest.json").respond(200, manifest("0.2.0-rc.1"));
    const std::vector<std::size_t> widths{9, 12, 18, 13, 22};

    expectOutcome(quil({"update", "check", "--release-server", releases.url()}),
                  {0,
                   columns(widths, {"CURRENT", "LATEST", "UPDATE AVAILABLE", "PLATFORM", "PUBLISHED"}) +
                       columns(widths, {"0.1.0", "0.2.0-rc.1", "yes", "linux-amd64", "2026-11-30T12:00:00Z"}) +
                       "\nDownload: https://dl.example.com/quil-amd64\nSHA-256: " + digest + "\n",
                   ""});

    const auto requests = releases.requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].header("Accept"), "application/json");
    expectIdentity(requests[0], std::nullopt, std::nullopt);
}

// The release server's text gets the stand-ins of platform text.
TEST_F(UpdateCheck, DownloadLineShowsControlsAsStandIns) {
    json release = json::parse(manifest("0.2.0"));
    release["artifacts"][1]["url"] = "https://dl.example.com/x\r\x1B[2K\x07\x7F\xC2\x9B\xE2\x80\xAE" "y";
    releases.expect("GET", "/quil/latest.json").respond(200, release.dump());
    const std::vector<std::size_t> widths{9, 8, 18, 13, 22};

    expectOutcome(quil({"update", "check", "--release-server", releases.url()}),
                  {0,
                   columns(widths, {"CURRENT", "LATEST", "UPDATE AVAILABLE", "PLATFORM", "PUBLISHED"}) +
                       columns(widths, {"0.1.0", "0.2.0", "yes", "linux-amd64", "2026-11-30T12:00:00Z"}) +
                       "\nDownload: https://dl.example.com/x^M^[[2K^G^?\\u009b\\u202ey\nSHA-256: " + digest + "\n",
                   ""});
}

TEST_F(UpdateCheck, SameVersionAsJsonAndQuiet) {
    setEnvironment("QUIL_RELEASE_SERVER_URL", releases.url());
    releases.expect("GET", "/channels/stable.json?arch=any").respond(200, manifest("0.1.0")).times(2);

    expectOutcome(quil({"update", "check", "--manifest-path", "/channels/stable.json?arch=any", "--output", "json"}),
                  {0,
                   R"({"artifact":{"arch":"amd64","os":"linux","sbomUrl":"https://dl.example.com/quil.sbom",)"
                   R"("sha256":")" + digest +
                       R"(","signatureUrl":"https://dl.example.com/quil.sig","url":"https://dl.example.com/quil-amd64"},)"
                       R"("currentVersion":"0.1.0","latestVersion":"0.1.0","publishedAt":"2026-11-30T12:00:00Z",)"
                       R"("updateAvailable":false})"
                       "\n",
                   ""});
    expectOutcome(quil({"update", "check", "--manifest-path", "/channels/stable.json?arch=any", "--quiet"}),
                  {0, "0.1.0\n", ""});
}

TEST_F(UpdateCheck, ReleaseServerMustUseHttpsEvenWhenThePlatformMayNot) {
    FakePlatform plain;

    expectOutcome(quil({"update", "check", "--release-server", plain.url()}),
                  {2, "", "quil: Quarlino server URL must use HTTPS\n"});
}

TEST_F(UpdateCheck, MissingManifest) {
    releases.expect("GET", "/quil/latest.json").respond(404, R"({"message":"no such file"})");

    expectOutcome(quil({"update", "check", "--release-server", releases.url(), "--output", "json"}),
                  {5, "", jsonError("NOT_FOUND", 404, "Quil release server returned HTTP 404")});
}

TEST_F(UpdateCheck, ManifestWithoutThisPlatform) {
    const std::string onlyArm =
        json{{"version", "0.2.0"}, {"publishedAt", "now"}, {"artifacts", {artifact("arm64")}}}.dump();
    releases.expect("GET", "/quil/latest.json").respond(200, onlyArm);

    expectOutcome(quil({"update", "check", "--release-server", releases.url()}),
                  {1, "", "quil: Quil release manifest has no artifact for linux-amd64\n"});
}

}  // namespace
}  // namespace quarlino::quil::e2e
