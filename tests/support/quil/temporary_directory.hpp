#pragma once

#include <filesystem>
#include <string>

namespace testsupport::quil {

// A fresh private directory under the system's temporary directory, removed
// with everything in it when the object goes.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();

    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }

private:
    std::filesystem::path path_;
};

// The bytes of a file, or "" when it cannot be read.
std::string contentOf(const std::filesystem::path& path);

}  // namespace testsupport::quil
