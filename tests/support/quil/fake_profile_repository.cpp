#include "support/quil/fake_profile_repository.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace testsupport::quil {
namespace {

[[noreturn]] void profileNotFound(std::string_view name) {
    throw std::invalid_argument("profile not found: " + std::string(name));
}

}  // namespace

FakeProfileRepository::FakeProfileRepository(std::vector<model::Profile> profiles,
                                             std::optional<std::string> active)
    : profiles_(std::move(profiles)), active_(std::move(active)) {}

std::vector<model::Profile> FakeProfileRepository::list() const {
    return profiles_;
}

std::optional<model::Profile> FakeProfileRepository::find(std::string_view name) const {
    const auto found = std::find_if(profiles_.begin(), profiles_.end(),
                                    [name](const model::Profile& profile) { return profile.name == name; });
    return found == profiles_.end() ? std::nullopt : std::optional<model::Profile>(*found);
}

void FakeProfileRepository::save(const model::Profile& profile) {
    ++writes_;
    const auto found = std::find_if(profiles_.begin(), profiles_.end(),
                                    [&](const model::Profile& stored) { return stored.name == profile.name; });
    if (found != profiles_.end()) {
        *found = profile;
    } else {
        profiles_.push_back(profile);
    }
}

void FakeProfileRepository::remove(std::string_view name) {
    const auto removed = std::erase_if(profiles_, [name](const model::Profile& profile) {
        return profile.name == name;
    });
    if (removed == 0) {
        profileNotFound(name);
    }
    ++writes_;
    if (active_ == name) {
        active_ = profiles_.empty() ? std::nullopt : std::optional<std::string>(profiles_.front().name);
    }
}

std::optional<std::string> FakeProfileRepository::activeName() const {
    return active_;
}

void FakeProfileRepository::setActive(std::string_view name) {
    if (!find(name)) {
        profileNotFound(name);
    }
    ++writes_;
    active_ = std::string(name);
}

}  // namespace testsupport::quil
