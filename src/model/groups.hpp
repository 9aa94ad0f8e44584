#pragma once

#include <string>
#include <vector>

namespace quarlino::quil::model {

struct Variable {
    std::string id;
    std::string name;
    std::string value;
};

struct VariableGroup {
    std::string id;
    std::string name;
    std::string description;
    std::string ownerId;
    std::vector<Variable> variables;
    std::string created;
    std::string updated;
};

// A secret's value never leaves the platform; only whether one is stored.
struct Secret {
    std::string id;
    std::string name;
    bool configured = false;
};

struct SecretGroup {
    std::string id;
    std::string name;
    std::string description;
    std::string ownerId;
    std::vector<Secret> secrets;
    std::string created;
    std::string updated;
};

}  // namespace quarlino::quil::model
