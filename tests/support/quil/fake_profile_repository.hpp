#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "application/port/profile_repository.hpp"

namespace testsupport::quil {

namespace model = quarlino::quil::model;
namespace port = quarlino::quil::application::port;

// In-memory profiles with the same rules as the file repository: storage
// order, replace in place, unknown names rejected on remove and setActive,
// and the active mark moved to the first remaining profile on removal.
class FakeProfileRepository final : public port::ProfileRepository {
public:
    FakeProfileRepository() = default;
    FakeProfileRepository(std::vector<model::Profile> profiles, std::optional<std::string> active);

    std::vector<model::Profile> list() const override;
    std::optional<model::Profile> find(std::string_view name) const override;
    void save(const model::Profile& profile) override;
    void remove(std::string_view name) override;
    std::optional<std::string> activeName() const override;
    void setActive(std::string_view name) override;

    // Direct view of the stored state, for assertions.
    const std::vector<model::Profile>& stored() const noexcept { return profiles_; }
    const std::optional<std::string>& active() const noexcept { return active_; }
    int writes() const noexcept { return writes_; }

private:
    std::vector<model::Profile> profiles_;
    std::optional<std::string> active_;
    int writes_ = 0;
};

}  // namespace testsupport::quil
