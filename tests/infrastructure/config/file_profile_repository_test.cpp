#include "infrastructure/config/file_profile_repository.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/quil/scoped_environment.hpp"
#include "support/quil/temporary_directory.hpp"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using quarlino::quil::infrastructure::config::FileProfileRepository;
using quarlino::quil::model::Profile;
using testsupport::quil::ScopedEnvironment;
using testsupport::quil::contentOf;
using testsupport::quil::TemporaryDirectory;

std::vector<std::string> namesOf(const std::vector<Profile>& profiles) {
    std::vector<std::string> names;
    for (const Profile& profile : profiles) {
        names.push_back(profile.name);
    }
    return names;
}

class FileProfileRepositoryTest : public ::testing::Test {
protected:
    void store(const std::string& content) {
        fs::create_directories(path_.parent_path());
        std::ofstream(path_, std::ios::binary) << content;
    }

    json document() const { return json::parse(contentOf(path_)); }

    TemporaryDirectory temporary_;
    fs::path path_ = temporary_.path() / "quil" / "profiles.json";
    FileProfileRepository profiles_{path_};
};

TEST_F(FileProfileRepositoryTest, MissingFileHasNoProfilesAndIsNotCreatedByReading) {
    EXPECT_TRUE(profiles_.list().empty());
    EXPECT_EQ(profiles_.find("default"), std::nullopt);
    EXPECT_EQ(profiles_.activeName(), std::nullopt);
    EXPECT_FALSE(fs::exists(path_.parent_path()));
}

TEST_F(FileProfileRepositoryTest, WritesTheDocumentInItsExactLayout) {
    profiles_.save(Profile{"work", "https://work.example", "ws-1"});
    profiles_.save(Profile{"home", "https://home.example", std::nullopt});
    EXPECT_EQ(contentOf(path_),
              "{\n"
              "  \"activeProfile\": null,\n"
              "  \"profiles\": [\n"
              "    {\n"
              "      \"name\": \"work\",\n"
              "      \"serverUrl\": \"https://work.example\",\n"
              "      \"workspaceId\": \"ws-1\"\n"
              "    },\n"
              "    {\n"
              "      \"name\": \"home\",\n"
              "      \"serverUrl\": \"https://home.example\",\n"
              "      \"workspaceId\": null\n"
              "    }\n"
              "  ]\n"
              "}\n");
    struct stat status {};
    ASSERT_EQ(::stat(path_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(path_.parent_path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_FALSE(fs::exists(path_.string() + ".tmp"));
}

TEST_F(FileProfileRepositoryTest, ReadsProfilesInFileOrder) {
    store(R"({"profiles": [
        {"name": "b", "serverUrl": "https://b", "workspaceId": "w"},
        {"name": "a", "serverUrl": "https://a", "workspaceId": null},
        {"name": "c", "serverUrl": "https://c"}]})");
    const auto listed = profiles_.list();
    EXPECT_EQ(namesOf(listed), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(listed[0].workspaceId, "w");
    EXPECT_EQ(listed[1].workspaceId, std::nullopt);
    EXPECT_EQ(listed[2].workspaceId, std::nullopt);
    EXPECT_EQ(profiles_.find("a")->serverUrl, "https://a");
    EXPECT_EQ(profiles_.find("A"), std::nullopt);
    EXPECT_EQ(profiles_.find(""), std::nullopt);
}

TEST_F(FileProfileRepositoryTest, SavingAStoredNameReplacesItInPlaceAndKeepsUnknownKeys) {
    store(R"({"activeProfile": "b", "future": 1, "profiles": [
        {"name": "a", "serverUrl": "https://a", "workspaceId": null, "colour": "red"},
        {"name": "b", "serverUrl": "https://b", "workspaceId": null, "colour": "blue"},
        {"name": "c", "serverUrl": "https://c", "workspaceId": null}]})");
    profiles_.save(Profile{"b", "https://new-b", "ws"});
    EXPECT_EQ(document(), json::parse(R"({"activeProfile": "b", "future": 1, "profiles": [
        {"name": "a", "serverUrl": "https://a", "workspaceId": null, "colour": "red"},
        {"name": "b", "serverUrl": "https://new-b", "workspaceId": "ws"},
        {"name": "c", "serverUrl": "https://c", "workspaceId": null}]})"));
}

TEST_F(FileProfileRepositoryTest, SavingIntoAnEmptyObjectAddsProfilesButNoActiveMark) {
    store("{}");
    EXPECT_TRUE(profiles_.list().empty());
    profiles_.save(Profile{"one", "https://one", std::nullopt});
    EXPECT_EQ(document(),
              json::parse(R"({"profiles": [{"name": "one", "serverUrl": "https://one", "workspaceId": null}]})"));
}

struct RemovalCase {
    const char* label;
    const char* before;
    const char* removed;
    const char* after;
};

class FileProfileRepositoryRemoval : public FileProfileRepositoryTest,
                                     public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(FileProfileRepositoryRemoval, MovesTheActiveMarkOnlyWhenTheActiveProfileGoes) {
    store(GetParam().before);
    profiles_.remove(GetParam().removed);
    EXPECT_EQ(document(), json::parse(GetParam().after));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileProfileRepositoryRemoval,
    ::testing::Values(
        RemovalCase{"active_goes_first_remaining_in_file_order",
                    R"({"activeProfile": "m", "profiles": [{"name": "z", "serverUrl": "u"},
                        {"name": "m", "serverUrl": "u"}, {"name": "a", "serverUrl": "u"}]})",
                    "m",
                    R"({"activeProfile": "z", "profiles": [{"name": "z", "serverUrl": "u"},
                        {"name": "a", "serverUrl": "u"}]})"},
        RemovalCase{"last_profile_clears_the_mark",
                    R"({"activeProfile": "only", "profiles": [{"name": "only", "serverUrl": "u"}]})", "only",
                    R"({"activeProfile": null, "profiles": []})"},
        RemovalCase{"inactive_profile_leaves_the_mark",
                    R"({"activeProfile": "a", "profiles": [{"name": "a", "serverUrl": "u"},
                        {"name": "b", "serverUrl": "u"}]})",
                    "b", R"({"activeProfile": "a", "profiles": [{"name": "a", "serverUrl": "u"}]})"},
        RemovalCase{"null_mark_stays_null",
                    R"({"activeProfile": null, "profiles": [{"name": "a", "serverUrl": "u"},
                        {"name": "b", "serverUrl": "u"}]})",
                    "a", R"({"activeProfile": null, "profiles": [{"name": "b", "serverUrl": "u"}]})"},
        RemovalCase{"missing_mark_stays_missing",
                    R"({"profiles": [{"name": "a", "serverUrl": "u"}, {"name": "b", "serverUrl": "u"}]})", "b",
                    R"({"profiles": [{"name": "a", "serverUrl": "u"}]})"},
        RemovalCase{"duplicates_all_go",
                    R"({"activeProfile": "x", "profiles": [{"name": "d", "serverUrl": "1"},
                        {"name": "x", "serverUrl": "u"}, {"name": "d", "serverUrl": "2"}]})",
                    "d", R"({"activeProfile": "x", "profiles": [{"name": "x", "serverUrl": "u"}]})"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(FileProfileRepositoryTest, RemovingAnUnknownNameFailsAndLeavesTheFileUntouched) {
    const std::string before = R"({"activeProfile":"a","profiles":[{"name":"a","serverUrl":"u"}]})";
    store(before);
    try {
        profiles_.remove("b");
        ADD_FAILURE() << "expected an error";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "profile not found: b");
    }
    EXPECT_EQ(contentOf(path_), before);
}

TEST_F(FileProfileRepositoryTest, SetActiveNeedsAStoredProfile) {
    profiles_.save(Profile{"a", "https://a", std::nullopt});
    EXPECT_THROW(profiles_.setActive("b"), std::invalid_argument);
    EXPECT_EQ(profiles_.activeName(), std::nullopt);
    profiles_.setActive("a");
    EXPECT_EQ(profiles_.activeName(), "a");
    EXPECT_EQ(document()["activeProfile"], "a");
}

TEST_F(FileProfileRepositoryTest, MalformedEntriesFailWithTheJsonLibrarysErrors) {
    store(R"({"profiles": [{"name": "a", "serverUrl": "u"}, {"name": "b"}]})");
    EXPECT_THROW(profiles_.list(), json::out_of_range);
    EXPECT_THROW(profiles_.find("a"), json::out_of_range);
    EXPECT_THROW(profiles_.setActive("a"), json::out_of_range);
    store(R"({"profiles": [{"name": 7, "serverUrl": "u"}]})");
    EXPECT_THROW(profiles_.list(), json::type_error);
    store(R"({"activeProfile": 3, "profiles": []})");
    EXPECT_THROW(profiles_.activeName(), json::type_error);
}

TEST_F(FileProfileRepositoryTest, CorruptFileIsReportedWithItsPath) {
    store("{\"profiles\": [");
    try {
        profiles_.list();
        ADD_FAILURE() << "expected an error";
    } catch (const std::runtime_error& error) {
        const std::string prefix = "invalid Quil configuration in " + path_.string() + ": ";
        EXPECT_EQ(std::string(error.what()).rfind(prefix, 0), 0u) << error.what();
    }
}

TEST_F(FileProfileRepositoryTest, DefaultLocationFollowsTheEnvironment) {
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", "");
    const ScopedEnvironment home("HOME", temporary_.path().string());
    EXPECT_EQ(FileProfileRepository::defaultPath(), temporary_.path() / ".config" / "quil" / "profiles.json");
}

// Each change is a read, modify and write of the whole file; repositories of
// the same file that change it at once (as separate quil processes do) must
// apply their changes one after the other instead of overwriting each other.
TEST_F(FileProfileRepositoryTest, SavesThatOverlapAreAllKept) {
    constexpr int writers = 6;
    constexpr int perWriter = 15;
    std::vector<std::thread> threads;
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([this, writer] {
            FileProfileRepository repository(path_);
            for (int index = 0; index < perWriter; ++index) {
                const std::string name = "w" + std::to_string(writer) + "-" + std::to_string(index);
                repository.save(Profile{name, "https://quarlino.test", std::nullopt});
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(profiles_.list().size(), static_cast<std::size_t>(writers * perWriter));
}

}  // namespace
