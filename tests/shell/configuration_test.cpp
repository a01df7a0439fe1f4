// Where the server addresses come from, and how a broken configuration is
// named.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/foundation/Log.h"
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
        unsetAddresses();
    }
    ~GamePageAddressTest() override {
        ::unsetenv("GAMEHOST_RESOURCES");
        unsetAddresses();
        std::filesystem::remove_all(folder_);
    }

    static void unsetAddresses() {
        for (const auto& address : shell::ConfiguredAddresses) ::unsetenv(address.variable);
    }

    void writeFile(const std::string& bytes) { std::ofstream(folder_ / "GameHost.plist", std::ios::binary) << bytes; }

    std::string path() const { return (folder_ / "GameHost.plist").string(); }

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

TEST_F(GamePageAddressTest, AWellFormedConfigurationHasNoFaults) {
    writeFile("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
              "<key>GamePageURL</key><string>http://127.0.0.1:8080/</string>"
              "<key>PlatformServerURL</key><string>https://platform.example</string>"
              "<key>GameServerURL</key><string>http://127.0.0.1:8082/</string>"
              "<key>ChannelAPIURL</key><string>https://127.0.0.1:8083/sdkapicoupon/</string>"
              "<key>ActivityPageURL</key><string>http://127.0.0.1:8084</string>"
              "<key>ChannelChatURL</key><string>http://127.0.0.1:8083/robot/h5chat.html</string></dict></plist>");
    EXPECT_TRUE(shell::configurationFaults().empty());
}

TEST_F(GamePageAddressTest, AFileThatCannotBeReadIsNamedWithItsReason) {
    const std::string truncated =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>GamePageURL</key><string>http://127.0.0.1";
    for (const std::string& bytes : {truncated, std::string("\x89\x01\xff\xfe garbage \x00\x13", 15),
                                     std::string("<plist version=\"1.0\"><dict><key>GameServerURL</key>"
                                                 "<integer>x8082</integer></dict></plist>")}) {
        writeFile(bytes);
        auto faults = shell::configurationFaults();
        ASSERT_EQ(faults.size(), 7u);
        EXPECT_EQ(faults[0].rfind(path() + " cannot be read: ", 0), 0u) << faults[0];
        EXPECT_GT(faults[0].size(), (path() + " cannot be read: ").size());
        EXPECT_EQ(faults[1],
                  "game page address is empty: set GAMEHOST_GAME_PAGE_URL or \"GamePageURL\" in GameHost.plist");

        // The page's load says the same, not only "missing".
        ns::LogCapture log;
        EXPECT_FALSE(shell::gamePageURL());
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find("(GameHost.plist cannot be read: "), std::string::npos) << log.lines()[0];
    }

    // A root that is not a dictionary.
    writeFile("<plist version=\"1.0\"><array><string>http://127.0.0.1:8080/</string></array></plist>");
    EXPECT_EQ(shell::configurationFaults().at(0), path() + " cannot be read: it does not hold a dictionary");
}

TEST_F(GamePageAddressTest, EachEmptyOrUnusableAddressIsNamedOnceWithItsKeyAndVariable) {
    // Only the page address, from the environment, and a file without the
    // others: each of them is empty.
    writeFile("<plist version=\"1.0\"><dict/></plist>");
    ::setenv(shell::GamePageURLEnvironmentVariable, "http://127.0.0.1:9999/game", 1);
    EXPECT_EQ(shell::configurationFaults(),
              (std::vector<std::string>{
                  "platform server address is empty: set GAMEHOST_PLATFORM_SERVER_URL or \"PlatformServerURL\" "
                  "in GameHost.plist",
                  "game server address is empty: set GAMEHOST_GAME_SERVER_URL or \"GameServerURL\" in GameHost.plist",
                  "channel API address is empty: set GAMEHOST_CHANNEL_API_URL or \"ChannelAPIURL\" in "
                  "GameHost.plist",
                  "activity page address is empty: set GAMEHOST_ACTIVITY_PAGE_URL or \"ActivityPageURL\" in "
                  "GameHost.plist",
                  "channel chat page address is empty: set GAMEHOST_CHANNEL_CHAT_URL or \"ChannelChatURL\" in "
                  "GameHost.plist",
              }));

    // A value of the wrong type; addresses that cannot serve.
    writeFile("<plist version=\"1.0\"><dict><key>PlatformServerURL</key><integer>8081</integer>"
              "<key>GameServerURL</key><string>127.0.0.1:8082</string></dict></plist>");
    ::setenv(shell::GamePageURLEnvironmentVariable, "ftp://127.0.0.1/page", 1);
    // The channel API address is a base that endpoint paths follow.
    ::setenv("GAMEHOST_CHANNEL_API_URL", "http://127.0.0.1:8083/sdkapicoupon", 1);
    EXPECT_EQ(shell::configurationFaults(),
              (std::vector<std::string>{
                  "game page address \"ftp://127.0.0.1/page\" from GAMEHOST_GAME_PAGE_URL is not an http or https "
                  "URL: set GAMEHOST_GAME_PAGE_URL or \"GamePageURL\" in GameHost.plist",
                  "platform server address is empty (\"PlatformServerURL\" is not a text): set "
                  "GAMEHOST_PLATFORM_SERVER_URL or \"PlatformServerURL\" in GameHost.plist",
                  "game server address \"127.0.0.1:8082\" from \"GameServerURL\" is not an http or https URL: set "
                  "GAMEHOST_GAME_SERVER_URL or \"GameServerURL\" in GameHost.plist",
                  "channel API address \"http://127.0.0.1:8083/sdkapicoupon\" from GAMEHOST_CHANNEL_API_URL does not "
                  "end in \"/\": set GAMEHOST_CHANNEL_API_URL or \"ChannelAPIURL\" in GameHost.plist",
                  "activity page address is empty: set GAMEHOST_ACTIVITY_PAGE_URL or \"ActivityPageURL\" in "
                  "GameHost.plist",
                  "channel chat page address is empty: set GAMEHOST_CHANNEL_CHAT_URL or \"ChannelChatURL\" in "
                  "GameHost.plist",
              }));

    // The check logs each once.
    ns::LogCapture log;
    shell::checkConfiguration();
    ASSERT_EQ(log.lines().size(), 6u);
    EXPECT_EQ(log.lines()[1].rfind("configuration: platform server address is empty", 0), 0u);
}

TEST_F(GamePageAddressTest, TheCheckTakesOneMoreAddress) {
    static constexpr shell::ConfiguredAddress extra[] = {{"channel API address", "ChannelAPIURL", "GAMEHOST_TEST_API"}};
    ::setenv("GAMEHOST_TEST_API", "http:///sdkapi/", 1);
    EXPECT_EQ(shell::configurationFaults(extra),
              (std::vector<std::string>{"channel API address \"http:///sdkapi/\" from GAMEHOST_TEST_API has no host: "
                                        "set GAMEHOST_TEST_API or \"ChannelAPIURL\" in GameHost.plist"}));
    ::unsetenv("GAMEHOST_TEST_API");
}

TEST_F(GamePageAddressTest, AMissingFileOrFolderIsNamedOnceNotAsEveryEmptyAddress) {
    // No GameHost.plist in the folder: one line says so; an address the
    // environment gives is still checked on its own.
    ::setenv("GAMEHOST_GAME_SERVER_URL", "games.example", 1);
    EXPECT_EQ(shell::configurationFaults(),
              (std::vector<std::string>{
                  "GameHost.plist is missing from the resources folder " + folder_.string() +
                      ": set the addresses by their environment variables",
                  "game server address \"games.example\" from GAMEHOST_GAME_SERVER_URL is not an http or https URL: "
                  "set GAMEHOST_GAME_SERVER_URL or \"GameServerURL\" in GameHost.plist",
              }));
    ::unsetenv("GAMEHOST_GAME_SERVER_URL");

    // The folder itself missing is named as the folder.
    const std::string gone = (folder_ / "gone").string();
    ::setenv("GAMEHOST_RESOURCES", gone.c_str(), 1);
    EXPECT_EQ(shell::configurationFaults(),
              (std::vector<std::string>{"the resources folder " + gone +
                                        " is missing (named by GAMEHOST_RESOURCES): set the addresses by their "
                                        "environment variables"}));
    ns::LogCapture log;
    EXPECT_FALSE(shell::gamePageURL());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("(the resources folder " + gone + " is missing"), std::string::npos);

    // With every address in the environment, nothing is missing that matters.
    for (const auto& address : shell::ConfiguredAddresses) {
        ::setenv(address.variable, address.isBase ? "http://127.0.0.1:1/api/" : "http://127.0.0.1:1/", 1);
    }
    EXPECT_TRUE(shell::configurationFaults().empty());
}
