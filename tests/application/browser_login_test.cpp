#include "application/browser_login.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/sha.h>

namespace {

using quarlino::quil::application::browserLoginUrl;
using quarlino::quil::application::BrowserLoginSecrets;
using quarlino::quil::application::generateBrowserLoginSecrets;

// An encoder independent of the one under test: standard base64 made URL-safe.
std::string referenceBase64Url(const unsigned char* data, std::size_t size) {
    std::vector<unsigned char> encoded(4 * ((size + 2) / 3) + 1);
    const int length = EVP_EncodeBlock(encoded.data(), data, static_cast<int>(size));
    std::string text(encoded.begin(), encoded.begin() + length);
    std::replace(text.begin(), text.end(), '+', '-');
    std::replace(text.begin(), text.end(), '/', '_');
    text.erase(std::remove(text.begin(), text.end(), '='), text.end());
    return text;
}

std::vector<unsigned char> referenceDecode(std::string text) {
    std::replace(text.begin(), text.end(), '-', '+');
    std::replace(text.begin(), text.end(), '_', '/');
    const std::size_t padding = (4 - text.size() % 4) % 4;
    text.append(padding, '=');
    std::vector<unsigned char> decoded(text.size());
    const int length = EVP_DecodeBlock(decoded.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    EXPECT_GE(length, 0) << text;
    decoded.resize(static_cast<std::size_t>(std::max(length, 0)) - padding);
    return decoded;
}

bool isBase64UrlText(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

TEST(BrowserLoginSecretsTest, EachValueIsFortyThreeUrlSafeCharactersWithoutPadding) {
    const BrowserLoginSecrets secrets = generateBrowserLoginSecrets();
    for (const std::string* value : {&secrets.state, &secrets.codeVerifier, &secrets.codeChallenge}) {
        EXPECT_EQ(value->size(), 43U) << *value;
        EXPECT_TRUE(isBase64UrlText(*value)) << *value;
    }
}

TEST(BrowserLoginSecretsTest, StateAndVerifierAreTheCanonicalTextOfThirtyTwoBytes) {
    const BrowserLoginSecrets secrets = generateBrowserLoginSecrets();
    for (const std::string* value : {&secrets.state, &secrets.codeVerifier}) {
        const std::vector<unsigned char> bytes = referenceDecode(*value);
        ASSERT_EQ(bytes.size(), 32U) << *value;
        EXPECT_EQ(referenceBase64Url(bytes.data(), bytes.size()), *value);
    }
}

TEST(BrowserLoginSecretsTest, ChallengeIsTheSha256OfTheVerifierText) {
    const BrowserLoginSecrets secrets = generateBrowserLoginSecrets();
    std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
    SHA256(reinterpret_cast<const unsigned char*>(secrets.codeVerifier.data()), secrets.codeVerifier.size(),
           digest.data());
    EXPECT_EQ(secrets.codeChallenge, referenceBase64Url(digest.data(), digest.size()));
}

TEST(BrowserLoginSecretsTest, TwoAttemptsShareNoSecret) {
    const BrowserLoginSecrets first = generateBrowserLoginSecrets();
    const BrowserLoginSecrets second = generateBrowserLoginSecrets();
    EXPECT_NE(first.state, second.state);
    EXPECT_NE(first.codeVerifier, second.codeVerifier);
    EXPECT_NE(first.state, first.codeVerifier);
}

struct LoginUrlCase {
    std::string serverUrl;
    std::string expectedOrigin;
};

class BrowserLoginUrlTest : public testing::TestWithParam<LoginUrlCase> {};

TEST_P(BrowserLoginUrlTest, PointsAtTheLoginPageOfTheWebHost) {
    const LoginUrlCase& test = GetParam();
    EXPECT_EQ(browserLoginUrl(test.serverUrl, "code-1", "state-2"),
              test.expectedOrigin + "/#/cli-auth?authorizationCode=code-1&state=state-2");
}

INSTANTIATE_TEST_SUITE_P(
    ServerUrls, BrowserLoginUrlTest,
    testing::Values(LoginUrlCase{"https://api.quarlino.example", "https://quarlino.example"},
                    LoginUrlCase{"https://api.quarlino.example:8443", "https://quarlino.example:8443"},
                    LoginUrlCase{"https://quarlino.example", "https://quarlino.example"},
                    LoginUrlCase{"http://127.0.0.1:8080", "http://127.0.0.1:8080"},
                    LoginUrlCase{"https://api.quarlino.example/api/v1", "https://quarlino.example"},
                    LoginUrlCase{"https://api.quarlino.example?next=1", "https://quarlino.example"},
                    LoginUrlCase{"https://quarlino.example#top", "https://quarlino.example"},
                    LoginUrlCase{"https://API.quarlino.example", "https://API.quarlino.example"},
                    LoginUrlCase{"https://web.api.quarlino.example", "https://web.api.quarlino.example"},
                    LoginUrlCase{"https://api", "https://api"},
                    LoginUrlCase{"https://api.", "https://"},
                    LoginUrlCase{"custom://api.host", "custom://host"}));

// Printable ASCII stays as it is; what a browser escapes in a fragment cannot
// carry control bytes to the terminal and the browser.
TEST(BrowserLoginUrlTest, PercentEncodesCodeAndState) {
    EXPECT_EQ(browserLoginUrl("https://quarlino.example", "Az09-._~", "st_-A9"),
              "https://quarlino.example/#/cli-auth?authorizationCode=Az09-._~&state=st_-A9");
    EXPECT_EQ(browserLoginUrl("https://quarlino.example", "a b&c\x1B[2J\r\xE2\x80\xAE", "s=1"),
              "https://quarlino.example/#/cli-auth?authorizationCode=a%20b&c%1B[2J%0D%E2%80%AE&state=s=1");
}

TEST(BrowserLoginUrlTest, RequiresAScheme) {
    try {
        browserLoginUrl("api.quarlino.example", "code", "state");
        FAIL() << "a server URL without a scheme was accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "server URL must include its scheme");
    }
}

}  // namespace
