#include "infrastructure/config/file_credential_store.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "support/quil/scoped_environment.hpp"
#include "support/quil/temporary_directory.hpp"

namespace {

namespace fs = std::filesystem;
using quarlino::quil::infrastructure::config::FileCredentialStore;
using testsupport::quil::ScopedEnvironment;
using testsupport::quil::contentOf;
using testsupport::quil::TemporaryDirectory;

class FileCredentialStoreTest : public ::testing::Test {
protected:
    void store(const std::string& content) {
        fs::create_directories(path_.parent_path());
        std::ofstream(path_, std::ios::binary) << content;
    }

    TemporaryDirectory temporary_;
    fs::path path_ = temporary_.path() / "quil" / "credentials.json";
    FileCredentialStore credentials_{path_};
};

TEST_F(FileCredentialStoreTest, MissingFileHoldsNoTokenAndIsNotCreatedByReading) {
    EXPECT_EQ(credentials_.loadToken("default"), std::nullopt);
    EXPECT_FALSE(fs::exists(path_.parent_path()));
}

TEST_F(FileCredentialStoreTest, SavesTokensAsOneObjectKeyedByProfile) {
    credentials_.saveToken("work", "w-token");
    credentials_.saveToken("default", "d-token");
    credentials_.saveToken("work", "replaced");
    EXPECT_EQ(contentOf(path_), "{\n  \"default\": \"d-token\",\n  \"work\": \"replaced\"\n}\n");
    EXPECT_EQ(credentials_.loadToken("work"), "replaced");
    EXPECT_EQ(credentials_.loadToken("Work"), std::nullopt);

    struct stat status {};
    ASSERT_EQ(::stat(path_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_FALSE(fs::exists(path_.string() + ".tmp"));
}

TEST_F(FileCredentialStoreTest, RemovingFromAMissingFileCreatesAnEmptyObject) {
    credentials_.removeToken("default");
    EXPECT_EQ(contentOf(path_), "{}\n");
}

TEST_F(FileCredentialStoreTest, RemovesOnlyTheNamedTokenAndKeepsEverythingElse) {
    store(R"({"a": "1", "b": "2", "other": {"nested": true}})");
    credentials_.removeToken("a");
    credentials_.removeToken("absent");
    EXPECT_EQ(contentOf(path_), "{\n  \"b\": \"2\",\n  \"other\": {\n    \"nested\": true\n  }\n}\n");
}

TEST_F(FileCredentialStoreTest, ValuesThatAreNotTextAreNoTokenButStayInTheFile) {
    store(R"({"number": 42, "null": null, "empty": ""})");
    EXPECT_EQ(credentials_.loadToken("number"), std::nullopt);
    EXPECT_EQ(credentials_.loadToken("null"), std::nullopt);
    EXPECT_EQ(credentials_.loadToken("empty"), "");
    credentials_.saveToken("new", "t");
    EXPECT_EQ(nlohmann::json::parse(contentOf(path_)),
              nlohmann::json::parse(R"({"number": 42, "null": null, "empty": "", "new": "t"})"));
}

TEST_F(FileCredentialStoreTest, ARootThatIsNotAnObjectHoldsNoTokenAndIsNotOverwritten) {
    store("[\"t\"]");
    EXPECT_EQ(credentials_.loadToken("0"), std::nullopt);
    EXPECT_THROW(credentials_.saveToken("default", "t"), nlohmann::json::type_error);
    EXPECT_THROW(credentials_.removeToken("default"), nlohmann::json::type_error);
    EXPECT_EQ(contentOf(path_), "[\"t\"]");
}

TEST_F(FileCredentialStoreTest, CorruptFileFailsEveryOperationNamingThePath) {
    store("{\"default\": ");
    const std::string prefix = "invalid Quil configuration in " + path_.string() + ": ";
    for (const auto& operation : {std::function<void()>([&] { credentials_.loadToken("default"); }),
                                  std::function<void()>([&] { credentials_.saveToken("default", "t"); }),
                                  std::function<void()>([&] { credentials_.removeToken("default"); })}) {
        try {
            operation();
            ADD_FAILURE() << "expected an error";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()).rfind(prefix, 0), 0u) << error.what();
        }
    }
    EXPECT_EQ(contentOf(path_), "{\"default\": ");
}

TEST_F(FileCredentialStoreTest, DefaultLocationFollowsTheEnvironment) {
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", temporary_.path().string());
    EXPECT_EQ(FileCredentialStore::defaultPath(), temporary_.path() / "quil" / "credentials.json");
    FileCredentialStore located;
    located.saveToken("default", "t");
    EXPECT_EQ(credentials_.loadToken("default"), "t");
}

TEST_F(FileCredentialStoreTest, DefaultConstructionFailsWithoutAHome) {
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", std::nullopt);
    const ScopedEnvironment home("HOME", std::nullopt);
    EXPECT_THROW(FileCredentialStore{}, std::runtime_error);
}

}  // namespace
