#include "support/quil/fake_credential_store.hpp"

#include <utility>

namespace testsupport::quil {

FakeCredentialStore::FakeCredentialStore(std::map<std::string, std::string, std::less<>> tokens)
    : tokens_(std::move(tokens)) {}

std::optional<std::string> FakeCredentialStore::loadToken(std::string_view profile) const {
    ++calls_;
    const auto found = tokens_.find(profile);
    return found == tokens_.end() ? std::nullopt : std::optional<std::string>(found->second);
}

void FakeCredentialStore::saveToken(std::string_view profile, std::string_view token) {
    ++calls_;
    tokens_.insert_or_assign(std::string(profile), std::string(token));
}

void FakeCredentialStore::removeToken(std::string_view profile) {
    ++calls_;
    if (const auto found = tokens_.find(profile); found != tokens_.end()) {
        tokens_.erase(found);
    }
}

}  // namespace testsupport::quil
