#pragma once

#include <array>
#include <optional>
#include <string>

namespace testsupport::quil {

// Sets or unsets one environment variable for the life of the object and
// restores the previous state afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, std::optional<std::string> value);
    ~ScopedEnvironment();

    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    static void apply(const std::string& name, const std::optional<std::string>& value);

    std::string name_;
    std::optional<std::string> previous_;
};

// Unsets the four variables of the client configuration for the life of the
// object, so a test starts from the defaults whatever the caller's
// environment holds.
class CleanClientEnvironment {
public:
    CleanClientEnvironment();

private:
    std::array<ScopedEnvironment, 4> variables_;
};

}  // namespace testsupport::quil
