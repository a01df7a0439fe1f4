#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/security/Keychain.h"

namespace sec {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

KeychainItem password(std::string service, std::string account, std::string_view data) {
    KeychainItem item;
    item.service = std::move(service);
    item.account = std::move(account);
    item.data = bytes(data);
    return item;
}

KeychainQuery query(std::optional<std::string> service, std::optional<std::string> account = std::nullopt) {
    KeychainQuery q;
    q.service = std::move(service);
    q.account = std::move(account);
    return q;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void spit(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

class KeychainTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "keychain-test-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        home_ = pattern;
        path_ = home_ / "Library" / "Keychains" / "keychain.db";
    }
    void TearDown() override { fs::remove_all(home_); }

    std::vector<std::string> filesBesideKeychain() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_.parent_path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path home_;
    fs::path path_;
};

TEST_F(KeychainTest, AddCopyUpdateDelete) {
    Keychain keychain(path_);
    ASSERT_EQ(keychain.add(password("pay", "device", "id-1")), errSecSuccess);
    ASSERT_EQ(keychain.add(password("pay", "token", "t-1")), errSecSuccess);

    KeychainItem found;
    ASSERT_EQ(keychain.copyMatching(query("pay", "token"), &found), errSecSuccess);
    EXPECT_EQ(found.data, bytes("t-1"));
    EXPECT_EQ(found.accessibility, kSecAttrAccessibleWhenUnlocked);
    // Without an account the first item added matches.
    ASSERT_EQ(keychain.copyMatching(query("pay"), &found), errSecSuccess);
    EXPECT_EQ(found.account, "device");

    KeychainChanges changes;
    changes.data = bytes("id-2");
    changes.accessibility = std::string(kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly);
    ASSERT_EQ(keychain.update(query("pay", "device"), changes), errSecSuccess);
    ASSERT_EQ(keychain.copyMatching(query("pay", "device"), &found), errSecSuccess);
    EXPECT_EQ(found.data, bytes("id-2"));
    EXPECT_EQ(found.accessibility, kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly);
    ASSERT_EQ(keychain.copyMatching(query("pay", "token"), &found), errSecSuccess);
    EXPECT_EQ(found.data, bytes("t-1"));

    ASSERT_EQ(keychain.remove(query("pay", "device")), errSecSuccess);
    EXPECT_EQ(keychain.copyMatching(query("pay", "device"), &found), errSecItemNotFound);
    EXPECT_EQ(keychain.copyMatching(query("pay", "token"), nullptr), errSecSuccess);
}

TEST_F(KeychainTest, StatusCodes) {
    Keychain keychain(path_);
    EXPECT_EQ(keychain.copyMatching(query("none"), nullptr), errSecItemNotFound);
    EXPECT_EQ(keychain.update(query("none"), KeychainChanges{}), errSecItemNotFound);
    EXPECT_EQ(keychain.remove(query("none")), errSecItemNotFound);

    ASSERT_EQ(keychain.add(password("s", "a", "one")), errSecSuccess);
    EXPECT_EQ(keychain.add(password("s", "a", "two")), errSecDuplicateItem);
    KeychainItem found;
    ASSERT_EQ(keychain.copyMatching(query("s", "a"), &found), errSecSuccess);
    EXPECT_EQ(found.data, bytes("one"));

    KeychainItem badClass = password("s", "b", "x");
    badClass.itemClass = "keys";
    EXPECT_EQ(keychain.add(badClass), errSecParam);
    KeychainItem badAccess = password("s", "b", "x");
    badAccess.accessibility = "sometimes";
    EXPECT_EQ(keychain.add(badAccess), errSecParam);
    KeychainQuery badQuery = query("s");
    badQuery.itemClass = "keys";
    EXPECT_EQ(keychain.copyMatching(badQuery, nullptr), errSecParam);
}

TEST_F(KeychainTest, UpdateThatWouldDuplicateChangesNothing) {
    Keychain keychain(path_);
    ASSERT_EQ(keychain.add(password("s", "a", "one")), errSecSuccess);
    ASSERT_EQ(keychain.add(password("s", "b", "two")), errSecSuccess);
    KeychainChanges rename;
    rename.account = "a";
    rename.data = bytes("changed");
    EXPECT_EQ(keychain.update(query("s", "b"), rename), errSecDuplicateItem);
    KeychainItem found;
    ASSERT_EQ(keychain.copyMatching(query("s", "b"), &found), errSecSuccess);
    EXPECT_EQ(found.data, bytes("two"));
}

TEST_F(KeychainTest, FileIsOwnerOnlyAndSurvivesReload) {
    std::string binary("\0\n\r \xff-", 6);
    {
        Keychain keychain(path_);
        KeychainItem item = password("svc with space", "", binary);
        item.accessibility = std::string(kSecAttrAccessibleAlways);
        ASSERT_EQ(keychain.add(item), errSecSuccess);
    }
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(path_.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    Keychain reloaded(path_);
    KeychainItem found;
    ASSERT_EQ(reloaded.copyMatching(query("svc with space", ""), &found), errSecSuccess);
    EXPECT_EQ(found.data, bytes(binary));
    EXPECT_EQ(found.accessibility, kSecAttrAccessibleAlways);
    // Replaced by rename: no temporary file is left behind.
    EXPECT_EQ(filesBesideKeychain(), std::vector<std::string>{"keychain.db"});
}

TEST_F(KeychainTest, LooserPermissionsAreTightenedOnWrite) {
    Keychain keychain(path_);
    ASSERT_EQ(keychain.add(password("s", "a", "1")), errSecSuccess);
    ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);
    ASSERT_EQ(keychain.add(password("s", "b", "2")), errSecSuccess);
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(KeychainTest, CorruptFileIsKeptAsideAndReported) {
    const std::string garbage = "this is not a keychain\n";
    spit(path_, garbage);
    Keychain keychain(path_);
    EXPECT_EQ(keychain.copyMatching(query("s"), nullptr), errSecItemNotFound);
    ASSERT_FALSE(keychain.corruptFileKeptAt().empty());
    EXPECT_EQ(slurp(keychain.corruptFileKeptAt()), garbage);

    // Carries on empty, and the kept copy is never overwritten.
    ASSERT_EQ(keychain.add(password("s", "a", "1")), errSecSuccess);
    EXPECT_EQ(keychain.copyMatching(query("s", "a"), nullptr), errSecSuccess);
    std::string first = keychain.corruptFileKeptAt();
    EXPECT_EQ(slurp(first), garbage);

    spit(path_, "second bad file\n");
    Keychain again(path_);
    EXPECT_EQ(again.copyMatching(query("s"), nullptr), errSecItemNotFound);
    EXPECT_NE(again.corruptFileKeptAt(), first);
    EXPECT_EQ(slurp(again.corruptFileKeptAt()), "second bad file\n");
    EXPECT_EQ(slurp(first), garbage);
}

TEST_F(KeychainTest, TruncatedFileCountsAsCorrupt) {
    {
        Keychain keychain(path_);
        ASSERT_EQ(keychain.add(password("s", "a", "secret")), errSecSuccess);
    }
    std::string whole = slurp(path_);
    spit(path_, whole.substr(0, whole.size() - 3));
    Keychain keychain(path_);
    EXPECT_EQ(keychain.copyMatching(query("s", "a"), nullptr), errSecItemNotFound);
    EXPECT_FALSE(keychain.corruptFileKeptAt().empty());
}

TEST_F(KeychainTest, UnreadableFileIsAnErrorAndLeftInPlace) {
    // A folder where the file should be cannot be read, even by root.
    fs::create_directories(path_);
    Keychain keychain(path_);
    EXPECT_EQ(keychain.copyMatching(query("s"), nullptr), errSecIO);
    EXPECT_EQ(keychain.add(password("s", "a", "1")), errSecIO);
    EXPECT_TRUE(keychain.corruptFileKeptAt().empty());
    EXPECT_TRUE(fs::is_directory(path_));
}

TEST_F(KeychainTest, ItemFunctionsUseTheHomeFolderOfTheMoment) {
    const char* saved = std::getenv("GAMEHOST_HOME");
    std::string savedValue = saved ? saved : "";
    ::setenv("GAMEHOST_HOME", (home_.string() + "/").c_str(), 1);

    EXPECT_EQ(Keychain::defaultPath(), path_.string());
    ASSERT_EQ(itemAdd(password("s", "a", "1")), errSecSuccess);
    EXPECT_TRUE(fs::exists(path_));
    KeychainItem found;
    ASSERT_EQ(itemCopyMatching(query("s", "a"), &found), errSecSuccess);
    EXPECT_EQ(found.data, bytes("1"));
    KeychainChanges changes;
    changes.data = bytes("2");
    EXPECT_EQ(itemUpdate(query("s", "a"), changes), errSecSuccess);
    EXPECT_EQ(Keychain(path_).copyMatching(query("s", "a"), &found), errSecSuccess);
    EXPECT_EQ(found.data, bytes("2"));
    EXPECT_EQ(itemDelete(query("s")), errSecSuccess);
    EXPECT_EQ(itemDelete(query("s")), errSecItemNotFound);

    if (saved) ::setenv("GAMEHOST_HOME", savedValue.c_str(), 1);
    else ::unsetenv("GAMEHOST_HOME");
}

}  // namespace
}  // namespace sec
