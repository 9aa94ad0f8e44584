#pragma once

#include <optional>
#include <string>

namespace quarlino::quil::model {

// One entry of the local profiles file.
struct Profile {
    std::string name;
    std::string serverUrl;
    std::optional<std::string> workspaceId;
};

}  // namespace quarlino::quil::model
