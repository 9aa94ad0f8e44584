#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "application/port/profile_repository.hpp"

namespace quarlino::quil::infrastructure::config {

// Profiles and the active mark in "profiles.json". Every operation reads the
// file afresh; every change rewrites it whole, keeping keys it does not know.
class FileProfileRepository final : public application::port::ProfileRepository {
public:
    FileProfileRepository();
    explicit FileProfileRepository(std::filesystem::path path);

    static std::filesystem::path defaultPath();

    std::vector<model::Profile> list() const override;
    std::optional<model::Profile> find(std::string_view name) const override;
    void save(const model::Profile& profile) override;
    void remove(std::string_view name) override;
    std::optional<std::string> activeName() const override;
    void setActive(std::string_view name) override;

private:
    std::filesystem::path path_;
};

}  // namespace quarlino::quil::infrastructure::config
