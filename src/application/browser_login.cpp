#include "application/browser_login.hpp"

#include <array>
#include <cstddef>
#include <stdexcept>

#include <openssl/crypto.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include "application/percent_encoding.hpp"

namespace quarlino::quil::application {

namespace {

constexpr std::string_view base64UrlAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr std::size_t secretBytes = 32;
constexpr std::string_view loginPagePath = "/#/cli-auth?authorizationCode=";

using SecretBuffer = std::array<unsigned char, secretBytes>;

// RFC 4648 section 5 without padding, as RFC 7636 wants it.
std::string base64Url(const unsigned char* data, std::size_t size) {
    std::string text;
    text.reserve((size * 4 + 2) / 3);
    for (std::size_t offset = 0; offset < size; offset += 3) {
        const std::size_t available = size - offset;
        const unsigned long group = (static_cast<unsigned long>(data[offset]) << 16) |
                                    (available > 1 ? static_cast<unsigned long>(data[offset + 1]) << 8 : 0UL) |
                                    (available > 2 ? static_cast<unsigned long>(data[offset + 2]) : 0UL);
        text.push_back(base64UrlAlphabet[(group >> 18) & 0x3F]);
        text.push_back(base64UrlAlphabet[(group >> 12) & 0x3F]);
        if (available > 1) {
            text.push_back(base64UrlAlphabet[(group >> 6) & 0x3F]);
        }
        if (available > 2) {
            text.push_back(base64UrlAlphabet[group & 0x3F]);
        }
    }
    return text;
}

// Random bytes rendered as text; the raw bytes do not outlive the call.
std::string randomSecret(SecretBuffer& buffer) {
    if (RAND_bytes(buffer.data(), static_cast<int>(buffer.size())) != 1) {
        OPENSSL_cleanse(buffer.data(), buffer.size());
        throw std::runtime_error("cannot generate Quil browser login secrets");
    }
    std::string text = base64Url(buffer.data(), buffer.size());
    OPENSSL_cleanse(buffer.data(), buffer.size());
    return text;
}

}  // namespace

BrowserLoginSecrets generateBrowserLoginSecrets() {
    SecretBuffer buffer{};
    BrowserLoginSecrets secrets;
    secrets.state = randomSecret(buffer);
    secrets.codeVerifier = randomSecret(buffer);
    static_assert(SHA256_DIGEST_LENGTH == secretBytes);
    SHA256(reinterpret_cast<const unsigned char*>(secrets.codeVerifier.data()), secrets.codeVerifier.size(),
           buffer.data());
    secrets.codeChallenge = base64Url(buffer.data(), buffer.size());
    return secrets;
}

std::string browserLoginUrl(std::string_view serverUrl, std::string_view authorizationCode,
                            std::string_view state) {
    constexpr std::string_view schemeSeparator = "://";
    const std::size_t schemeEnd = serverUrl.find(schemeSeparator);
    if (schemeEnd == std::string_view::npos) {
        throw std::invalid_argument("server URL must include its scheme");
    }
    const std::size_t authorityStart = schemeEnd + schemeSeparator.size();
    std::string_view authority = serverUrl.substr(authorityStart);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    constexpr std::string_view apiLabel = "api.";
    if (authority.starts_with(apiLabel)) {
        authority.remove_prefix(apiLabel.size());
    }

    // The code is the platform's and the page reads it as issued; only what a
    // browser would escape itself is escaped here, so that no control byte
    // reaches the terminal or the browser's command line.
    std::string url(serverUrl.substr(0, authorityStart));
    url.append(authority)
        .append(loginPagePath)
        .append(percentEncodeFragment(authorizationCode))
        .append("&state=")
        .append(percentEncodeFragment(state));
    return url;
}

}  // namespace quarlino::quil::application
