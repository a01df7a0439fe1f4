#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/UserDefaultsInPlaceWrite.h"
#include "platform/runtime/Exception.h"
#include "tests/platform/foundation/filemanager_test_folders.h"

namespace ns {
namespace {

using testing_support::readFile;
using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;

class UserDefaultsTest : public ::testing::Test {
protected:
    UserDefaultsTest() {
        environment_.set("GAMEHOST_HOME", home_.path());
        UserDefaults::resetStandardUserDefaultsForTesting();
    }
    ~UserDefaultsTest() override {
        UserDefaults::resetStandardUserDefaultsForTesting();
        FileManager::setFileSystemFreeSizeForTesting(std::nullopt);
        detail::setInPlaceCutForTesting(detail::InPlaceCut::None);
    }

    // What a new launch of the app would see.
    static Ref<UserDefaults> relaunch() {
        UserDefaults::resetStandardUserDefaultsForTesting();
        return UserDefaults::standardUserDefaults();
    }

    std::string storePath() const { return home_ / "Library/Preferences/defaults.plist"; }

    // A saved text as a relaunch reads it, "(nil)" when there is none, so a
    // lost value fails the case rather than the whole run.
    static std::string savedText(const Ref<UserDefaults>& defaults, std::string_view key) {
        auto text = defaults->stringForKey(key);
        return text ? text->utf8() : "(nil)";
    }
    // A saved login's name, password and login style.
    static void setLogin(const Ref<UserDefaults>& defaults, const char* name, const char* password, int64_t style) {
        defaults->setObjectForKey(str(name), "TV_username");
        defaults->setObjectForKey(str(password), "TV_pwd");
        defaults->setIntegerForKey(style, "TV_LoginStyle");
    }
    // The file as a new launch reads it, the shared defaults left as they are.
    Ref<UserDefaults> onDisk() const { return std::make_shared<UserDefaults>(storePath()); }

    std::vector<std::string> asideFiles() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(home_ / "Library/Preferences")) {
            if (entry.path().filename().string().find("defaults.plist.corrupt-") == 0) found.push_back(entry.path().string());
        }
        return found;
    }

    ScratchFolder home_;
    ScopedEnvironment environment_;
};

TEST_F(UserDefaultsTest, ValuesSurviveARelaunchOnlyOnceSynchronized) {
    auto defaults = UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->storePath(), storePath());
    EXPECT_EQ(defaults->integerForKey("TV_LoginStyle"), 0);  // a fresh install
    EXPECT_FALSE(defaults->stringForKey("TV_username"));

    defaults->setObjectForKey(str("2024-05-01" "10086"), "nowDate");
    defaults->setObjectForKey(str("玩家 ✓"), "TV_username");
    defaults->setIntegerForKey(1, "TV_LoginStyle");
    defaults->setDoubleForKey(2.5, "ratio");
    defaults->setBoolForKey(true, "flag");
    defaults->setObjectForKey(Array::make({Dictionary::make({{"name", str("a")}, {"pwd", str("b")}})}), "TV_accounts");
    defaults->setObjectForKey(Date::withTimeIntervalSince1970(1714564800), "lastUpdated");
    defaults->setObjectForKey(Data::withBytes(std::string_view("\0\1\2", 3)), "blob");
    ASSERT_TRUE(defaults->synchronize());
    defaults->setObjectForKey(str("not synchronized"), "late");

    auto again = relaunch();
    ASSERT_NE(again, defaults);
    EXPECT_EQ(savedText(again, "nowDate"), "2024-05-0110086");
    EXPECT_EQ(savedText(again, "TV_username"), "玩家 ✓");
    EXPECT_EQ(again->integerForKey("TV_LoginStyle"), 1);
    EXPECT_EQ(again->doubleForKey("ratio"), 2.5);
    EXPECT_TRUE(again->boolForKey("flag"));
    EXPECT_TRUE(again->arrayForKey("TV_accounts")->isEqual(defaults->arrayForKey("TV_accounts")));
    EXPECT_TRUE(again->objectForKey("lastUpdated")->isEqual(Date::withTimeIntervalSince1970(1714564800)));
    EXPECT_EQ(again->dataForKey("blob")->length(), 3u);
    EXPECT_FALSE(again->objectForKey("late"));

    again->removeObjectForKey("TV_username");
    again->setObjectForKey(nullptr, "nowDate");  // nil removes too
    ASSERT_TRUE(again->synchronize());
    auto third = relaunch();
    EXPECT_FALSE(third->objectForKey("TV_username"));
    EXPECT_FALSE(third->objectForKey("nowDate"));
    EXPECT_EQ(third->integerForKey("TV_LoginStyle"), 1);
}

TEST_F(UserDefaultsTest, TypedReadsConvertLikeThePlatform) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObjectForKey(str("42"), "text42");
    defaults->setObjectForKey(num(7), "seven");
    defaults->setObjectForKey(str("YES"), "yes");
    defaults->setObjectForKey(str("false"), "no");
    defaults->setObjectForKey(str("1"), "one");
    defaults->setObjectForKey(Number::withDouble(3.9), "real");

    EXPECT_EQ(defaults->integerForKey("text42"), 42);
    EXPECT_EQ(savedText(defaults, "seven"), "7");
    EXPECT_TRUE(defaults->boolForKey("yes"));
    EXPECT_FALSE(defaults->boolForKey("no"));
    EXPECT_TRUE(defaults->boolForKey("one"));
    EXPECT_EQ(defaults->integerForKey("real"), 3);
    EXPECT_FALSE(defaults->arrayForKey("text42"));
    EXPECT_FALSE(defaults->dictionaryForKey("seven"));
    EXPECT_EQ(defaults->doubleForKey("missing"), 0.0);
    EXPECT_FALSE(defaults->boolForKey("missing"));
}

TEST_F(UserDefaultsTest, KeepsImmutableCopiesAndRefusesOtherValues) {
    auto defaults = UserDefaults::standardUserDefaults();
    auto list = MutableArray::make({MutableString::make("first")});
    defaults->setObjectForKey(list, "list");
    cast<MutableString>(list->objectAtIndex(0))->appendString(" changed");
    list->addObject(str("second"));

    auto stored = defaults->arrayForKey("list");
    EXPECT_FALSE(cast<MutableArray>(stored));
    EXPECT_FALSE(cast<MutableString>(stored->objectAtIndex(0)));
    EXPECT_TRUE(stored->isEqual(Array::make({str("first")})));

    try {
        defaults->setObjectForKey(Array::make({Null::null()}), "bad");
        ADD_FAILURE() << "a null inside an array was accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), InvalidArgumentException);
        EXPECT_NE(e.reason().find("bad"), std::string::npos) << e.reason();
    }
    EXPECT_THROW(defaults->setObjectForKey(URL::make("http://example.test/"), "url"), Exception);
    EXPECT_FALSE(defaults->objectForKey("bad"));
}

TEST_F(UserDefaultsTest, CorruptFileIsReportedAndKeptAside) {
    const std::string garbage = "<plist><dict><key>TV_sid</key><string>abc";
    std::filesystem::create_directories(home_ / "Library/Preferences");
    { std::ofstream(storePath(), std::ios::binary) << garbage; }

    LogCapture log;
    auto defaults = UserDefaults::standardUserDefaults();
    EXPECT_FALSE(defaults->objectForKey("TV_sid"));
    EXPECT_TRUE(log.contains("corrupt")) << (log.lines().empty() ? "" : log.lines()[0]);
    EXPECT_TRUE(log.contains(storePath()));

    auto aside = asideFiles();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside[0]), garbage);
    EXPECT_FALSE(std::filesystem::exists(storePath()));

    defaults->setObjectForKey(str("new"), "TV_sid");
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_EQ(savedText(relaunch(), "TV_sid"), "new");
    EXPECT_EQ(readFile(aside[0]), garbage);

    // A file holding a property list that is not a dictionary is set aside too.
    UserDefaults::resetStandardUserDefaultsForTesting();
    ASSERT_TRUE(writePropertyListToFile(Array::make({str("x")}).get(), storePath(), true));
    EXPECT_FALSE(UserDefaults::standardUserDefaults()->objectForKey("TV_sid"));
    EXPECT_EQ(asideFiles().size(), 2u);
}

TEST_F(UserDefaultsTest, UnreadableFileIsNeverWrittenOver) {
    // A folder where the file belongs cannot be read as one (even by root).
    std::filesystem::create_directories(storePath() + "/inside");
    LogCapture log;
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObjectForKey(str("value"), "key");
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_TRUE(std::filesystem::is_directory(storePath() + "/inside"));
    EXPECT_TRUE(log.contains("cannot read"));
    EXPECT_TRUE(asideFiles().empty());
}

TEST_F(UserDefaultsTest, AValueXmlCannotCarryDoesNotBlockTheOthers) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObjectForKey(str("keep me"), "good");
    defaults->setObjectForKey(str(std::string("bell\x07")), "bad");
    LogCapture log;
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_TRUE(log.contains("\"bad\""));
    EXPECT_EQ(savedText(defaults, "bad"), "bell\x07");  // still there for this run

    auto again = relaunch();
    EXPECT_EQ(savedText(again, "good"), "keep me");
    EXPECT_FALSE(again->objectForKey("bad"));
}


TEST_F(UserDefaultsTest, AFullVolumeStillTakesARemovalAndSavesTheRestLater) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObjectForKey(str("player-1"), "TV_username");
    defaults->setIntegerForKey(2, "TV_LoginStyle");
    ASSERT_TRUE(defaults->synchronize());

    // No room for a new copy: the logout's removal shrinks the file and is
    // written over the old one.
    FileManager::setFileSystemFreeSizeForTesting(0);
    defaults->removeObjectForKey("TV_username");
    defaults->setIntegerForKey(0, "TV_LoginStyle");
    LogCapture log;
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_TRUE(log.contains("saved over the old one"));
    auto relaunched = relaunch();
    EXPECT_FALSE(relaunched->objectForKey("TV_username")) << "the next start must not log the player in again";
    EXPECT_EQ(relaunched->integerForKey("TV_LoginStyle"), 0);

    // A change that grows the file waits, logged, and is kept to be saved.
    relaunched->setObjectForKey(str("a longer saved name than before"), "TV_username");
    EXPECT_FALSE(relaunched->synchronize());
    EXPECT_TRUE(log.contains("kept to be saved later"));
    EXPECT_FALSE(std::filesystem::is_empty(storePath()));

    // Space again: going to the background saves it, with no other call.
    FileManager::setFileSystemFreeSizeForTesting(std::nullopt);
    NotificationCenter::defaultCenter()->postNotificationName("UIApplicationDidEnterBackgroundNotification", nullptr);
    EXPECT_EQ(savedText(relaunch(), "TV_username"), "a longer saved name than before");

    // And quitting does too.
    auto last = UserDefaults::standardUserDefaults();
    last->setObjectForKey(str("at quit"), "TV_username");
    NotificationCenter::defaultCenter()->postNotificationName("UIApplicationWillTerminateNotification", nullptr);
    EXPECT_EQ(savedText(relaunch(), "TV_username"), "at quit");
}

// The volume fills during the session: later changes that lengthen the file
// wait in memory. The logout's own changes do not lengthen it, so they reach
// the disk over the old file, with the file's other entries as they were.
TEST_F(UserDefaultsTest, AVolumeFullBeforeALogoutStillTakesTheLogoutAndKeepsTheRest) {
    auto defaults = UserDefaults::standardUserDefaults();
    setLogin(defaults, "player-1", "pass123", 1);
    defaults->setObjectForKey(str("60"), "TV_ptbValue");
    defaults->setObjectForKey(str("sandbox"), "TV_noticeId");
    ASSERT_TRUE(defaults->synchronize());

    FileManager::setFileSystemFreeSizeForTesting(0);
    LogCapture log;
    defaults->setObjectForKey(Dictionary::make({{"roleId", str("500001")}}), "roleInfo");
    defaults->setObjectForKey(str("1060"), "TV_ptbValue");
    defaults->removeObjectForKey("TV_noticeId");  // shrinks: saved at once
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_EQ(onDisk()->integerForKey("TV_LoginStyle"), 1);

    // The logout: the style set to 2, then the name emptied once the server
    // confirms; each save writes what does not lengthen the file.
    defaults->setIntegerForKey(2, "TV_LoginStyle");
    EXPECT_FALSE(defaults->synchronize()) << "not everything is saved";
    defaults->setObjectForKey(str(""), "TV_username");
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_TRUE(log.contains("the others are kept to be saved later (TV_ptbValue, roleInfo)")) << log.lines().back();

    auto relaunched = onDisk();
    EXPECT_EQ(relaunched->integerForKey("TV_LoginStyle"), 2) << "the next start must not log the player in again";
    EXPECT_EQ(savedText(relaunched, "TV_username"), "");
    EXPECT_EQ(savedText(relaunched, "TV_pwd"), "pass123");
    EXPECT_EQ(savedText(relaunched, "TV_ptbValue"), "60") << "a longer value waits";
    EXPECT_FALSE(relaunched->objectForKey("roleInfo"));
    EXPECT_FALSE(relaunched->objectForKey("TV_noticeId"));
    EXPECT_TRUE(asideFiles().empty());

    // Nothing more fits: nothing is written again.
    log.clear();
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_TRUE(log.contains("no change fits in the old file's room"));

    // Room again: going to the background saves the rest.
    FileManager::setFileSystemFreeSizeForTesting(std::nullopt);
    NotificationCenter::defaultCenter()->postNotificationName("UIApplicationDidEnterBackgroundNotification", nullptr);
    relaunched = relaunch();
    EXPECT_EQ(savedText(relaunched, "TV_ptbValue"), "1060");
    EXPECT_TRUE(relaunched->dictionaryForKey("roleInfo"));
    EXPECT_EQ(relaunched->integerForKey("TV_LoginStyle"), 2);
}

// The logout's first save on a full volume changes the login style alone:
// the whole file is exactly as long as the old one, and is written over it.
TEST_F(UserDefaultsTest, AWholeFileOfTheOldFilesLengthIsWrittenOverIt) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObjectForKey(str("player1"), "TV_username");
    defaults->setIntegerForKey(1, "TV_LoginStyle");
    ASSERT_TRUE(defaults->synchronize());
    const size_t before = readFile(storePath()).size();

    FileManager::setFileSystemFreeSizeForTesting(0);
    defaults->setIntegerForKey(2, "TV_LoginStyle");
    LogCapture log;
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_TRUE(log.contains("no room for a new copy of " + storePath() + "; saved over the old one"));
    EXPECT_EQ(readFile(storePath()).size(), before);
    EXPECT_EQ(onDisk()->integerForKey("TV_LoginStyle"), 2) << "the next start must not log the player in again";
}

// A saved login's keys kept together on a full volume: a login whose name
// lengthens the file waits whole, its password and style with it, while
// other changes that fit are still saved; a login that fits is saved whole.
TEST_F(UserDefaultsTest, KeysKeptTogetherAreSavedTogetherOrKeptBackTogether) {
    auto defaults = UserDefaults::standardUserDefaults();
    const std::vector<std::string> login{"TV_username", "TV_pwd", "TV_LoginStyle", "TV_subUserName"};
    defaults->keepTogether(login, "TV_LoginStyle", 1);
    defaults->keepTogether(login, "TV_LoginStyle", 1);
    setLogin(defaults, "player1", "secret1", 1);
    defaults->setObjectForKey(str("player1_1"), "TV_subUserName");
    defaults->setObjectForKey(str("sandbox"), "TV_noticeId");
    ASSERT_TRUE(defaults->synchronize());
    FileManager::setFileSystemFreeSizeForTesting(0);

    // The logout: the style alone, then the name emptied.
    defaults->setIntegerForKey(2, "TV_LoginStyle");
    EXPECT_TRUE(defaults->synchronize());
    defaults->setObjectForKey(str(""), "TV_username");
    EXPECT_TRUE(defaults->synchronize());

    // Another account logs in: a name longer than any before, a password and
    // a sub-account of the same lengths, the style back to 1; the notice id
    // shortens.
    LogCapture log;
    setLogin(defaults, "minor1 with a longer name", "pass123", 1);
    defaults->setObjectForKey(str("minor1_1x"), "TV_subUserName");
    defaults->setObjectForKey(str("sand"), "TV_noticeId");
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_TRUE(log.contains("(TV_noticeId); the others are kept to be saved later (TV_LoginStyle, TV_pwd, "
                             "TV_subUserName, TV_username)"))
        << log.lines().back();
    auto disk = onDisk();
    EXPECT_EQ(disk->integerForKey("TV_LoginStyle"), 2) << "never 1 without its name";
    EXPECT_EQ(savedText(disk, "TV_username"), "");
    EXPECT_EQ(savedText(disk, "TV_pwd"), "secret1") << "never another account's password";
    EXPECT_EQ(savedText(disk, "TV_subUserName"), "player1_1");
    EXPECT_EQ(savedText(disk, "TV_noticeId"), "sand") << "a change of its own still fits";

    // Changes of the set that together take no more room are saved
    // together: a longer sub-account paid for by a shorter password.
    setLogin(defaults, "", "p1", 2);
    defaults->setObjectForKey(str("player1_12"), "TV_subUserName");
    defaults->setObjectForKey(str("1000000"), "TV_ptbValue");
    EXPECT_FALSE(defaults->synchronize()) << "the coins still wait";
    disk = onDisk();
    EXPECT_EQ(savedText(disk, "TV_pwd"), "p1");
    EXPECT_EQ(savedText(disk, "TV_subUserName"), "player1_12");
    EXPECT_FALSE(disk->objectForKey("TV_ptbValue"));
}

// A login's sub-account, a key the file lacks, waits on a full volume; the
// logout that comes on top of it puts the set out of use and is saved by
// itself, and so, while out of use, is each change that fits alone. A set
// with no lead still waits whole.
TEST_F(UserDefaultsTest, ALogoutIsSavedWhileTheRestOfItsLoginWaits) {
    auto defaults = UserDefaults::standardUserDefaults();
    const std::vector<std::string> login{"TV_username", "TV_pwd", "TV_LoginStyle", "TV_subUserName"};
    defaults->keepTogether(login, "TV_LoginStyle", 1);
    defaults->keepTogether({"roleId", "roleName", "roleLevel"});
    setLogin(defaults, "player1", "secret1", 1);
    defaults->setObjectForKey(str("500001"), "roleId");
    defaults->setObjectForKey(str("knight"), "roleName");
    ASSERT_TRUE(defaults->synchronize());
    FileManager::setFileSystemFreeSizeForTesting(0);

    defaults->setObjectForKey(str("player1_1 of the eastern realm"), "TV_subUserName");
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_FALSE(onDisk()->objectForKey("TV_subUserName"));

    LogCapture log;
    defaults->setIntegerForKey(2, "TV_LoginStyle");
    defaults->setObjectForKey(str("12"), "roleLevel");
    defaults->setObjectForKey(str("kn"), "roleName");
    EXPECT_FALSE(defaults->synchronize()) << "the sub-account still waits";
    EXPECT_TRUE(log.contains("(TV_LoginStyle); the others are kept to be saved later (TV_subUserName, "
                             "roleLevel, roleName)"))
        << log.lines().back();
    auto disk = onDisk();
    EXPECT_EQ(disk->integerForKey("TV_LoginStyle"), 2) << "the next start must not log the player in again";
    EXPECT_EQ(savedText(disk, "TV_username"), "player1");
    EXPECT_EQ(savedText(disk, "roleName"), "knight") << "a set with no lead waits whole";

    // The server confirms the logout: the emptied name is saved alone.
    defaults->setObjectForKey(str(""), "TV_username");
    EXPECT_FALSE(defaults->synchronize());
    disk = onDisk();
    EXPECT_EQ(savedText(disk, "TV_username"), "");
    EXPECT_EQ(savedText(disk, "TV_pwd"), "secret1");
    EXPECT_FALSE(disk->objectForKey("TV_subUserName"));

    // Removing the lead puts the set out of use too.
    defaults->removeObjectForKey("TV_LoginStyle");
    defaults->setObjectForKey(str("s1"), "TV_pwd");
    EXPECT_FALSE(defaults->synchronize());
    disk = onDisk();
    EXPECT_FALSE(disk->objectForKey("TV_LoginStyle"));
    EXPECT_EQ(savedText(disk, "TV_pwd"), "s1");

    // Room again: the rest follows.
    FileManager::setFileSystemFreeSizeForTesting(std::nullopt);
    EXPECT_TRUE(defaults->synchronize());
    disk = onDisk();
    EXPECT_EQ(savedText(disk, "TV_subUserName"), "player1_1 of the eastern realm");
    EXPECT_EQ(savedText(disk, "roleName"), "kn");
}

// Over the old file the save is one write of the old file's length: cut
// short by the process ending after it, the file reads whole; refused
// part-way by the volume, the old bytes go back.
TEST_F(UserDefaultsTest, AWriteOverTheOldFileLeavesItWholeOrAsItWas) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObjectForKey(str("a rather long player name"), "TV_username");
    defaults->setIntegerForKey(1, "TV_LoginStyle");
    defaults->setObjectForKey(Array::make({Array::make({str("player-1"), str("pass123")})}), "TV_accounts");
    ASSERT_TRUE(defaults->synchronize());
    const std::string before = readFile(storePath());
    FileManager::setFileSystemFreeSizeForTesting(0);

    detail::setInPlaceCutForTesting(detail::InPlaceCut::WriteFailsHalfway);
    LogCapture log;
    defaults->setIntegerForKey(2, "TV_LoginStyle");
    defaults->setObjectForKey(str("short"), "TV_username");
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_TRUE(log.contains("the old one is left as it was"));
    EXPECT_EQ(readFile(storePath()), before);

    detail::setInPlaceCutForTesting(detail::InPlaceCut::ProcessEndsAfterWrite);
    EXPECT_FALSE(defaults->synchronize());
    const std::string after = readFile(storePath());
    EXPECT_EQ(after.size(), before.size()) << "nothing left for a truncation to do";
    auto relaunched = relaunch();
    EXPECT_TRUE(asideFiles().empty()) << "the file reads whole";
    EXPECT_EQ(relaunched->integerForKey("TV_LoginStyle"), 2);
    EXPECT_EQ(savedText(relaunched, "TV_username"), "short");
    EXPECT_TRUE(relaunched->arrayForKey("TV_accounts"));

    // A later save with room writes the file at its own length again.
    detail::setInPlaceCutForTesting(detail::InPlaceCut::None);
    FileManager::setFileSystemFreeSizeForTesting(std::nullopt);
    relaunched->setObjectForKey(str("x"), "TV_username");
    ASSERT_TRUE(relaunched->synchronize());
    EXPECT_LT(readFile(storePath()).size(), before.size());
    EXPECT_EQ(savedText(relaunch(), "TV_username"), "x");
}

}  // namespace
}  // namespace ns
