// Server origins from the environment or the main bundle's plist.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "aggregation/core/KVTRServerConfig.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/String.h"

namespace {

// A bundle folder of its own and the three variables, put back afterwards.
class ServerConfigTest : public ::testing::Test {
protected:
    ServerConfigTest() {
        folder_ = std::filesystem::temp_directory_path() /
                  ("kvtr-config-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        for (const char* name : names_) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
        ::setenv("GAMEHOST_RESOURCES", folder_.c_str(), 1);
    }
    ~ServerConfigTest() override {
        for (size_t i = 0; i < std::size(names_); ++i) {
            if (saved_[i])
                ::setenv(names_[i], saved_[i]->c_str(), 1);
            else
                ::unsetenv(names_[i]);
        }
        std::filesystem::remove_all(folder_);
    }

    void writePlist(std::initializer_list<std::pair<const char*, const char*>> entries) {
        auto plist = ns::MutableDictionary::make();
        for (const auto& [key, value] : entries) plist->setObjectForKey(ns::String::make(value), key);
        ASSERT_TRUE(ns::writePropertyListToFile(plist.get(), (folder_ / "GameHost.plist").string(), true));
    }

    static constexpr const char* names_[] = {"GAMEHOST_RESOURCES", "GAMEHOST_PLATFORM_SERVER_URL",
                                             "GAMEHOST_GAME_SERVER_URL"};
    std::vector<std::optional<std::string>> saved_;
    std::filesystem::path folder_;
};

TEST_F(ServerConfigTest, ReadsThePlistAndDropsATrailingSlash) {
    writePlist({{"PlatformServerURL", "http://127.0.0.1:8081"}, {"GameServerURL", "http://127.0.0.1:8082/"}});
    EXPECT_EQ(KVTRServerConfig::platformServerOrigin(), "http://127.0.0.1:8081");
    EXPECT_EQ(KVTRServerConfig::gameServerOrigin(), "http://127.0.0.1:8082");
}

TEST_F(ServerConfigTest, TheEnvironmentWinsAndIsReadEachTime) {
    writePlist({{"PlatformServerURL", "http://plist:1"}, {"GameServerURL", "http://plist:2"}});
    ::setenv("GAMEHOST_GAME_SERVER_URL", "http://env:9", 1);
    EXPECT_EQ(KVTRServerConfig::gameServerOrigin(), "http://env:9");
    EXPECT_EQ(KVTRServerConfig::platformServerOrigin(), "http://plist:1");
    ::setenv("GAMEHOST_GAME_SERVER_URL", "", 1);
    EXPECT_EQ(KVTRServerConfig::gameServerOrigin(), "http://plist:2") << "an empty variable names nothing";
}

TEST_F(ServerConfigTest, NothingConfiguredGivesEmptyOrigins) {
    EXPECT_EQ(KVTRServerConfig::platformServerOrigin(), "");
    writePlist({{"GamePageURL", "https://page"}});
    EXPECT_EQ(KVTRServerConfig::gameServerOrigin(), "");
}

}  // namespace
