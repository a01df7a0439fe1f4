// Where the game page's address comes from.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "shell/GameHostConfiguration.h"

namespace {

class GamePageAddressTest : public ::testing::Test {
protected:
    GamePageAddressTest() {
        folder_ = std::filesystem::temp_directory_path() /
                  ("shell-config-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        ::setenv("GAMEHOST_RESOURCES", folder_.c_str(), 1);
        ::unsetenv(shell::GamePageURLEnvironmentVariable);
    }
    ~GamePageAddressTest() override {
        ::unsetenv("GAMEHOST_RESOURCES");
        ::unsetenv(shell::GamePageURLEnvironmentVariable);
        std::filesystem::remove_all(folder_);
    }

    void writePlist(const std::string& address) {
        std::ofstream(folder_ / "GameHost.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>GamePageURL</key><string>"
            << address << "</string></dict></plist>\n";
    }

    std::filesystem::path folder_;
};

}  // namespace

TEST_F(GamePageAddressTest, EnvironmentOverridesThePlist) {
    writePlist("http://127.0.0.1:8080/");
    ASSERT_TRUE(shell::gamePageURL());
    EXPECT_EQ(shell::gamePageURL()->absoluteString()->utf8(), "http://127.0.0.1:8080/");

    ::setenv(shell::GamePageURLEnvironmentVariable, "http://127.0.0.1:9999/game", 1);
    EXPECT_EQ(shell::gamePageURL()->absoluteString()->utf8(), "http://127.0.0.1:9999/game");

    // An empty variable counts as unset.
    ::setenv(shell::GamePageURLEnvironmentVariable, "", 1);
    EXPECT_EQ(shell::gamePageURL()->absoluteString()->utf8(), "http://127.0.0.1:8080/");
}

TEST_F(GamePageAddressTest, MissingOrUnusableAddressIsNil) {
    EXPECT_FALSE(shell::gamePageAddress());
    EXPECT_FALSE(shell::gamePageURL());

    writePlist("");
    EXPECT_FALSE(shell::gamePageURL());

    writePlist("not a url");
    EXPECT_TRUE(shell::gamePageAddress());
    EXPECT_FALSE(shell::gamePageURL());
}

TEST_F(GamePageAddressTest, ShippedBundleNamesTheLocalPageServer) {
    ::setenv("GAMEHOST_RESOURCES", GAMEHOST_SOURCE_RESOURCES, 1);
    ASSERT_TRUE(shell::gamePageURL());
    EXPECT_EQ(shell::gamePageURL()->absoluteString()->utf8(), "http://127.0.0.1:8080/");
}
