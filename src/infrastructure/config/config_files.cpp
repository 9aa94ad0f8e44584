#include "infrastructure/config/config_files.hpp"
#include "infrastructure/config/file_text.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "application/bounded_json.hpp"

namespace quarlino::quil::infrastructure::config::detail {
namespace fs = std::filesystem;
namespace {

constexpr auto privateDirectory = fs::perms::owner_all;
constexpr mode_t privateFileMode = S_IRUSR | S_IWUSR;

const char* nonEmptyEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

[[noreturn]] void failWrite(std::string_view reason, const fs::path& path) {
    throw std::runtime_error(std::string(reason) + path.string());
}

// Creates the private file at `path`: 0600 from its first moment, never
// through a symbolic link. A regular file left there by an interrupted run is
// unlinked first; a link planted at the name is refused and left alone.
int createPrivateFile(const fs::path& path) {
    constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int descriptor = ::open(path.c_str(), flags, privateFileMode);
    if (descriptor >= 0 || errno != EEXIST) {
        return descriptor;
    }
    struct stat leftover {};
    if (::lstat(path.c_str(), &leftover) != 0 || !S_ISREG(leftover.st_mode) || ::unlink(path.c_str()) != 0) {
        return -1;
    }
    // Whatever reappears at the name in between makes this creation fail too.
    return ::open(path.c_str(), flags, privateFileMode);
}

// Owns the descriptor of the temporary file and removes the file unless the
// write was committed by the rename.
class TemporaryFile {
public:
    TemporaryFile(fs::path path, const fs::path& target) : path_(std::move(path)) {
        descriptor_ = createPrivateFile(path_);
        if (descriptor_ < 0) {
            failWrite("cannot write Quil configuration: ", target);
        }
        created_ = true;
        // The umask may only have removed bits; make the mode exact.
        if (::fchmod(descriptor_, privateFileMode) != 0) {
            discard();
            failWrite("cannot write Quil configuration: ", target);
        }
    }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    ~TemporaryFile() { discard(); }

    bool writeAll(std::string_view text) {
        while (!text.empty()) {
            const ssize_t written = ::write(descriptor_, text.data(), text.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return false;
            }
            text.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    // Makes the content durable before it may replace the target.
    bool syncAndClose() {
        const bool synced = ::fsync(descriptor_) == 0;
        const bool closed = ::close(descriptor_) == 0;
        descriptor_ = -1;
        return synced && closed;
    }

    void renameOver(const fs::path& target) {
        fs::rename(path_, target);
        created_ = false;
    }

private:
    void discard() noexcept {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
            descriptor_ = -1;
        }
        if (created_) {
            ::unlink(path_.c_str());
            created_ = false;
        }
    }

    fs::path path_;
    int descriptor_ = -1;
    bool created_ = false;
};

// Holds an exclusive lock on the configuration directory while one writer
// owns the temporary file. Without it a second writer takes the first one's
// temporary file for a leftover and replaces it, and the first one then
// renames the second one's half-written file over the target. The lock is
// released when the descriptor closes, also when the process dies. On a file
// system that cannot lock, the write goes ahead unlocked as it always could.
class DirectoryWriteLock {
public:
    explicit DirectoryWriteLock(const fs::path& directory) {
        const fs::path name = directory.empty() ? fs::path(".") : directory;
        descriptor_ = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (descriptor_ >= 0 && ::flock(descriptor_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }

    DirectoryWriteLock(const DirectoryWriteLock&) = delete;
    DirectoryWriteLock& operator=(const DirectoryWriteLock&) = delete;

    ~DirectoryWriteLock() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }

private:
    int descriptor_ = -1;
};

void preparePrivateDirectory(const fs::path& directory) {
    if (directory.empty()) {
        return;
    }
    fs::create_directories(directory);
    fs::permissions(directory, privateDirectory, fs::perm_options::replace);
}

}  // namespace

fs::path configurationRoot() {
    if (const char* xdg = nonEmptyEnvironment("XDG_CONFIG_HOME")) {
        return fs::path(xdg) / "quil";
    }
    if (const char* home = nonEmptyEnvironment("HOME")) {
        return fs::path(home) / ".config" / "quil";
    }
    throw std::runtime_error("HOME or XDG_CONFIG_HOME is required for Quil configuration");
}

nlohmann::json readJson(const fs::path& path, const nlohmann::json& fallback) {
    if (!fs::exists(fs::status(path))) {
        return fallback;
    }
    const auto text = readFileText(path.string());
    if (!text) {
        throw std::runtime_error("cannot read Quil configuration: " + path.string());
    }
    try {
        return application::parseBoundedJson(*text);
    } catch (const nlohmann::json::exception& error) {
        throw std::runtime_error("invalid Quil configuration in " + path.string() + ": " + error.what());
    }
}

namespace {

// Writes while the caller holds the directory's write lock.
void writeLocked(const fs::path& path, const nlohmann::json& document) {
    // Serialised before anything is created, so text the library cannot
    // write leaves no trace on disk.
    const std::string text = document.dump(2) + "\n";

    fs::path temporaryPath = path;
    temporaryPath += ".tmp";
    TemporaryFile temporary(std::move(temporaryPath), path);
    if (!temporary.writeAll(text) || !temporary.syncAndClose()) {
        failWrite("cannot complete Quil configuration write: ", path);
    }
    temporary.renameOver(path);
}

}  // namespace

void writeJson(const fs::path& path, const nlohmann::json& document) {
    preparePrivateDirectory(path.parent_path());
    const DirectoryWriteLock lock(path.parent_path());
    writeLocked(path, document);
}

void updateJson(const fs::path& path, const nlohmann::json& fallback,
                const std::function<void(nlohmann::json&)>& change) {
    preparePrivateDirectory(path.parent_path());
    const DirectoryWriteLock lock(path.parent_path());
    nlohmann::json document = readJson(path, fallback);
    change(document);
    writeLocked(path, document);
}

}  // namespace quarlino::quil::infrastructure::config::detail
