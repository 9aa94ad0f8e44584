#include "infrastructure/config/config_files.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/quil/scoped_environment.hpp"
#include "support/quil/temporary_directory.hpp"

namespace {

namespace fs = std::filesystem;
namespace detail = quarlino::quil::infrastructure::config::detail;
using nlohmann::json;
using testsupport::quil::ScopedEnvironment;
using testsupport::quil::contentOf;
using testsupport::quil::TemporaryDirectory;

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

unsigned modeOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

template <typename Exception, typename Action>
std::string messageOf(Action action) {
    try {
        action();
    } catch (const Exception& error) {
        return error.what();
    }
    return "<no error>";
}

TEST(ConfigurationRoot, PrefersANonEmptyXdgConfigHome) {
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", "/xdg/config");
    const ScopedEnvironment home("HOME", std::nullopt);
    EXPECT_EQ(detail::configurationRoot(), fs::path("/xdg/config/quil"));
}

TEST(ConfigurationRoot, FallsBackToHomeWhenXdgIsEmptyOrUnset) {
    const ScopedEnvironment home("HOME", "/home/someone");
    {
        const ScopedEnvironment xdg("XDG_CONFIG_HOME", "");
        EXPECT_EQ(detail::configurationRoot(), fs::path("/home/someone/.config/quil"));
    }
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(detail::configurationRoot(), fs::path("/home/someone/.config/quil"));
}

TEST(ConfigurationRoot, RequiresOneOfTheTwoVariables) {
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", "");
    const ScopedEnvironment home("HOME", "");
    EXPECT_EQ(messageOf<std::runtime_error>([] { detail::configurationRoot(); }),
              "HOME or XDG_CONFIG_HOME is required for Quil configuration");
}

class ConfigFiles : public ::testing::Test {
protected:
    TemporaryDirectory temporary_;
    fs::path directory_ = temporary_.path() / "nested" / "quil";
    fs::path file_ = directory_ / "state.json";
    fs::path temporaryFile_ = directory_ / "state.json.tmp";
};

TEST_F(ConfigFiles, ReadingAMissingFileGivesTheFallbackAndCreatesNothing) {
    const json fallback = {{"fallback", true}};
    EXPECT_EQ(detail::readJson(file_, fallback), fallback);
    EXPECT_EQ(detail::readJson(temporary_.path() / "plain-file" / "below", fallback), fallback);
    EXPECT_FALSE(fs::exists(temporary_.path() / "nested"));
}

// A socket cannot be opened as a file, by root either: it stands for a
// configuration file that exists but cannot be read.
TEST_F(ConfigFiles, ReportsAnExistingFileThatCannotBeOpened) {
    fs::create_directories(directory_);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(file_.string().size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, file_.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(listener);

    EXPECT_EQ(messageOf<std::runtime_error>([&] { detail::readJson(file_, json::object()); }),
              "cannot read Quil configuration: " + file_.string());
}

TEST_F(ConfigFiles, ReportsCorruptJsonWithThePath) {
    fs::create_directories(directory_);
    for (const std::string broken : {"", "{", "{} x", "// note\n{}", "{\"a\": 1,}"}) {
        writeFile(file_, broken);
        const std::string message = messageOf<std::runtime_error>([&] { detail::readJson(file_, json::object()); });
        EXPECT_EQ(message.rfind("invalid Quil configuration in " + file_.string() + ": ", 0), 0u)
            << "content '" << broken << "' gave: " << message;
        EXPECT_NE(message.find("parse error"), std::string::npos) << message;
    }
}

TEST_F(ConfigFiles, WritesTwoSpaceIndentedSortedJsonWithAFinalNewline) {
    const json document = {{"zeta", json::array()},
                           {"alpha", {{"b", nullptr}, {"a", "h\xC3\xA9"}}},
                           {"empty", json::object()},
                           {"list", {1, "two"}}};
    detail::writeJson(file_, document);
    EXPECT_EQ(contentOf(file_),
              "{\n"
              "  \"alpha\": {\n"
              "    \"a\": \"h\xC3\xA9\",\n"
              "    \"b\": null\n"
              "  },\n"
              "  \"empty\": {},\n"
              "  \"list\": [\n"
              "    1,\n"
              "    \"two\"\n"
              "  ],\n"
              "  \"zeta\": []\n"
              "}\n");
    EXPECT_EQ(detail::readJson(file_, json()), document);
}

TEST_F(ConfigFiles, WrittenFileIsPrivateInAPrivateDirectoryWithNoTemporaryLeft) {
    const mode_t previous = ::umask(0);  // the modes must not depend on the umask
    detail::writeJson(file_, json::object());
    ::umask(previous);
    EXPECT_EQ(modeOf(file_), 0600u);
    EXPECT_EQ(modeOf(directory_), 0700u);
    EXPECT_FALSE(fs::exists(temporaryFile_));
}

TEST_F(ConfigFiles, TightensAnExistingOpenDirectoryAndFile) {
    fs::create_directories(directory_);
    fs::permissions(directory_, fs::perms(0755), fs::perm_options::replace);
    writeFile(file_, "{}");
    fs::permissions(file_, fs::perms(0644), fs::perm_options::replace);
    detail::writeJson(file_, json{{"k", "v"}});
    EXPECT_EQ(modeOf(directory_), 0700u);
    EXPECT_EQ(modeOf(file_), 0600u);
}

// A link at the temporary name is refused, whether it points at an existing
// file or at a name that does not exist yet: the token is never written
// through it and the old configuration stays.
TEST_F(ConfigFiles, RefusesALinkPlantedAtTheTemporaryName) {
    detail::writeJson(file_, json{{"old", 1}});
    const std::string before = contentOf(file_);
    const fs::path victim = temporary_.path() / "victim";
    writeFile(victim, "precious");
    const fs::path unborn = temporary_.path() / "unborn";

    for (const fs::path& pointee : {victim, unborn}) {
        fs::create_symlink(pointee, temporaryFile_);
        EXPECT_EQ(messageOf<std::runtime_error>([&] { detail::writeJson(file_, json{{"token", "t"}}); }),
                  "cannot write Quil configuration: " + file_.string());
        EXPECT_EQ(contentOf(file_), before);
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(temporaryFile_)));
        fs::remove(temporaryFile_);
    }
    EXPECT_EQ(contentOf(victim), "precious");
    EXPECT_FALSE(fs::exists(unborn));
}

TEST_F(ConfigFiles, ReplacesALeftoverTemporaryFile) {
    fs::create_directories(directory_);
    writeFile(temporaryFile_, "stale content from an interrupted run");
    fs::permissions(temporaryFile_, fs::perms(0644), fs::perm_options::replace);
    // A second name of the leftover's readable inode must never see the new
    // content: the document goes into a fresh private file.
    const fs::path otherName = temporary_.path() / "other-name";
    fs::create_hard_link(temporaryFile_, otherName);
    detail::writeJson(file_, json::array());
    EXPECT_EQ(contentOf(file_), "[]\n");
    EXPECT_EQ(modeOf(file_), 0600u);
    EXPECT_FALSE(fs::exists(temporaryFile_));
    EXPECT_EQ(contentOf(otherName), "stale content from an interrupted run");
}

TEST_F(ConfigFiles, FailingToCreateTheTemporaryFileKeepsTheOldContent) {
    detail::writeJson(file_, json{{"old", 1}});
    const std::string before = contentOf(file_);
    fs::create_directory(temporaryFile_);  // cannot be replaced by a file

    EXPECT_EQ(messageOf<std::runtime_error>([&] { detail::writeJson(file_, json{{"new", 2}}); }),
              "cannot write Quil configuration: " + file_.string());
    EXPECT_EQ(contentOf(file_), before);
    EXPECT_TRUE(fs::is_directory(temporaryFile_));
}

// Lowers the file-size limit of the process (which binds root as well) so a
// write fails part-way, and restores it afterwards.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = previous_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

TEST_F(ConfigFiles, AWriteThatFailsPartWayKeepsTheOldContentAndLeavesNoTemporary) {
    detail::writeJson(file_, json{{"old", "document"}});
    const std::string before = contentOf(file_);
    const json large = {{"payload", std::string(4096, 'x')}};
    {
        const FileSizeLimit limit(64);
        EXPECT_EQ(messageOf<std::runtime_error>([&] { detail::writeJson(file_, large); }),
                  "cannot complete Quil configuration write: " + file_.string());
    }
    EXPECT_EQ(contentOf(file_), before);
    EXPECT_FALSE(fs::exists(temporaryFile_));
}

TEST_F(ConfigFiles, AFailedRenameRemovesTheTemporaryFile) {
    fs::create_directories(file_ / "occupied");  // a non-empty directory at the target
    EXPECT_THROW(detail::writeJson(file_, json::object()), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(temporaryFile_));
    EXPECT_TRUE(fs::is_directory(file_ / "occupied"));
}

TEST_F(ConfigFiles, TextThatIsNotUtf8FailsBeforeAnythingIsCreated) {
    detail::writeJson(file_, json{{"old", 1}});
    const std::string before = contentOf(file_);
    EXPECT_THROW(detail::writeJson(file_, json{{"bad", "\xFF"}}), json::type_error);
    EXPECT_EQ(contentOf(file_), before);
    EXPECT_FALSE(fs::exists(temporaryFile_));
}

// Writers that overlap must not take each other's temporary file: each write
// either lands whole or fails, and none of them reports a rename failure.
TEST_F(ConfigFiles, OverlappingWritersEachReplaceTheFileWhole) {
    constexpr int writers = 8;
    constexpr int rounds = 40;
    std::vector<int> failures(writers, 0);
    std::vector<std::thread> threads;
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([&, writer] {
            const json document = {{"writer", writer}, {"payload", std::string(8192, 'w')}};
            for (int round = 0; round < rounds; ++round) {
                try {
                    detail::writeJson(file_, document);
                } catch (const std::exception&) {
                    ++failures[static_cast<std::size_t>(writer)];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(writers, 0));
    const json stored = detail::readJson(file_, json());
    EXPECT_EQ(stored.at("payload"), std::string(8192, 'w'));
    EXPECT_FALSE(fs::exists(temporaryFile_));
}

}  // namespace
