#pragma once

#include <cstdint>
#include <string>

namespace quarlino::quil::model {

struct Workspace {
    std::string id;
    std::string name;
    std::string slug;
    bool personal = false;
    std::string role;
};

struct Organization {
    std::string id;
    std::string name;
    std::string slug;
    bool personal = false;
    std::string role;
    std::string created;
    std::string updated;
};

struct Team {
    std::string id;
    std::string organizationId;
    std::string name;
    std::string slug;
    std::uint64_t memberCount = 0;
    std::string created;
    std::string updated;
};

struct TeamMember {
    std::string userId;
    std::string name;
    std::string email;
    std::string handle;
    std::string joinedAt;
};

}  // namespace quarlino::quil::model
