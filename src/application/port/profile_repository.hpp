#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/profile.hpp"

namespace quarlino::quil::application::port {

// The stored profiles, in storage order, and the name of the active one.
class ProfileRepository {
public:
    virtual ~ProfileRepository() = default;

    virtual std::vector<model::Profile> list() const = 0;
    virtual std::optional<model::Profile> find(std::string_view name) const = 0;
    // Replaces the profile of the same name in place, or appends it.
    virtual void save(const model::Profile& profile) = 0;
    virtual void remove(std::string_view name) = 0;
    virtual std::optional<std::string> activeName() const = 0;
    virtual void setActive(std::string_view name) = 0;

protected:
    ProfileRepository() = default;
    ProfileRepository(const ProfileRepository&) = default;
    ProfileRepository& operator=(const ProfileRepository&) = default;
};

}  // namespace quarlino::quil::application::port
