#include "support/quil/scoped_environment.hpp"

#include <cstdlib>
#include <utility>

namespace testsupport::quil {

ScopedEnvironment::ScopedEnvironment(std::string name, std::optional<std::string> value)
    : name_(std::move(name)) {
    if (const char* current = std::getenv(name_.c_str())) {
        previous_ = current;
    }
    apply(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    apply(name_, previous_);
}

void ScopedEnvironment::apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

CleanClientEnvironment::CleanClientEnvironment()
    : variables_{
          ScopedEnvironment{"QUARLINO_SERVER_URL", std::nullopt},
          ScopedEnvironment{"QUARLINO_ACCESS_TOKEN", std::nullopt},
          ScopedEnvironment{"QUARLINO_HTTP_TIMEOUT_SECONDS", std::nullopt},
          ScopedEnvironment{"QUARLINO_ALLOW_INSECURE_HTTP", std::nullopt},
      } {}

}  // namespace testsupport::quil
