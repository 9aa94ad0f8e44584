#pragma once

#include <string>

#include "config/client_config.hpp"

namespace quarlino::quil::application {

// What a command runs under: the selected profile's name (also when no such
// profile is stored) and its resolved configuration.
struct ClientSession {
    std::string profileName;
    config::ClientConfig config;
};

}  // namespace quarlino::quil::application
