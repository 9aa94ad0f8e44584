#pragma once

#include <string>
#include <string_view>

namespace quarlino::quil::application {

// The secrets of one browser login attempt: the state that ties the login
// page to this process, and a proof-key pair (S256) so that only the process
// that opened the request can exchange it for a token. Each value is 43
// characters of unpadded base64url text.
struct BrowserLoginSecrets {
    std::string state;
    std::string codeVerifier;
    std::string codeChallenge;
};

// Throws std::runtime_error when the random generator does not deliver.
BrowserLoginSecrets generateBrowserLoginSecrets();

// The platform's login page for a browser login request. The page lives on
// the web host, which is the API host without its "api." label. The code and
// the state stay as they are but for the bytes a browser escapes in a
// fragment, which are percent-encoded; the verifier never goes into this URL.
// Throws std::invalid_argument for a server URL without a scheme.
std::string browserLoginUrl(std::string_view serverUrl, std::string_view authorizationCode,
                            std::string_view state);

}  // namespace quarlino::quil::application
