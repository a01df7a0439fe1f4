#include <sqlite3.h>

#include <climits>
#include <string>
#include <vector>

#include "image/cache/TVKVStorage.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"
#include "tests/image/cache/cache_test_support.h"

namespace cache_test {
namespace {

// A second connection to the manifest, as a tool outside the storage would
// open it.
class RawManifest {
public:
    explicit RawManifest(const std::string& folder) { sqlite3_open((folder + "/manifest.sqlite").c_str(), &db_); }
    ~RawManifest() { sqlite3_close(db_); }

    std::vector<std::string> column(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            out.push_back(value ? value : "(null)");
        }
        sqlite3_finalize(stmt);
        return out;
    }
    int exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }

private:
    sqlite3* db_ = nullptr;
};

class KVStorageTest : public CacheTest {
protected:
    ns::Ref<TVKVStorage> make(TVKVStorageType type, const std::string& name = "kv") {
        auto storage = TVKVStorage::initWithPath(folder(name), type);
        EXPECT_TRUE(storage);
        return storage;
    }
    std::string data(const std::string& name = "kv") const { return folder(name) + "/data"; }
};

TEST_F(KVStorageTest, CreationChecksPathTypeAndMakesTheLayout) {
    ns::LogCapture logs;
    EXPECT_FALSE(TVKVStorage::initWithPath("", TVKVStorageTypeMixed));
    EXPECT_TRUE(logs.contains("TVKVStorage init error: invalid path: []."));

    // 960 characters are the most a path may have. (SQLite on this system
    // opens no database path beyond 512 bytes, so only the check is seen.)
    std::string path = scratch_.path();
    while (path.size() < 960) path += "/" + std::string(std::min<size_t>(200, 960 - path.size() - 1), 'p');
    ASSERT_EQ(path.size(), 960u);
    logs.clear();
    TVKVStorage::initWithPath(path, TVKVStorageTypeMixed);
    EXPECT_FALSE(logs.contains("invalid path"));
    EXPECT_FALSE(TVKVStorage::initWithPath(path + "q", TVKVStorageTypeMixed));
    EXPECT_TRUE(logs.contains("TVKVStorage init error: invalid path: [" + path + "q]."));
    // Characters, not bytes: 960 two-byte characters pass.
    logs.clear();
    std::string wide = scratch_.path() + "/";
    while (ns::String::make(wide)->length() < 960) wide += "é";
    TVKVStorage::initWithPath(wide, TVKVStorageTypeMixed);
    EXPECT_FALSE(logs.contains("invalid path"));

    EXPECT_FALSE(TVKVStorage::initWithPath(folder(), TVKVStorageType(3)));
    EXPECT_TRUE(logs.contains("TVKVStorage init error: invalid type: 3."));

    // A file where the folder should be.
    scratch_.write("blocked", "x");
    EXPECT_FALSE(TVKVStorage::initWithPath(folder("blocked"), TVKVStorageTypeMixed));
    EXPECT_TRUE(logs.contains("TVKVStorage init error:"));

    try {
        TVKVStorage plain;
        ADD_FAILURE() << "the plain initializer made a storage";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "TVKVStorage init error");
        EXPECT_EQ(e.reason(), "Please use the designated initializer and pass the 'path' and 'type'.");
    }

    auto storage = make(TVKVStorageTypeMixed);
    EXPECT_EQ(storage->path(), folder());
    EXPECT_EQ(storage->type(), TVKVStorageTypeMixed);
    EXPECT_TRUE(storage->errorLogsEnabled());
    ASSERT_TRUE(storage->saveItemWithKey("k", bytes(3)));
    EXPECT_EQ(entries(folder()), (std::vector<std::string>{"data", "manifest.sqlite", "manifest.sqlite-shm",
                                                           "manifest.sqlite-wal", "trash"}));
    RawManifest raw(folder());
    EXPECT_EQ(raw.column("select sql from sqlite_master where name = 'manifest'"),
              std::vector<std::string>{"CREATE TABLE manifest (key text, filename text, size integer, inline_data "
                                       "blob, modification_time integer, last_access_time integer, extended_data "
                                       "blob, primary key(key))"});
    EXPECT_EQ(raw.column("select sql from sqlite_master where name = 'last_access_time_idx'"),
              std::vector<std::string>{"CREATE INDEX last_access_time_idx on manifest(last_access_time)"});
    EXPECT_EQ(raw.column("pragma journal_mode"), std::vector<std::string>{"wal"});
}

TEST_F(KVStorageTest, ValuesGoInlineOrToFilesByType) {
    auto mixed = make(TVKVStorageTypeMixed);
    ASSERT_TRUE(mixed->saveItemWithKey("inline", bytes(10, 'a'), "", bytes(2, 'e')));
    ASSERT_TRUE(mixed->saveItemWithKey("file", bytes(20, 'b'), "file.bin", nullptr));
    EXPECT_EQ(readFile(data() + "/file.bin"), std::string(20, 'b'));
    EXPECT_EQ(entries(data()), std::vector<std::string>{"file.bin"});

    auto item = mixed->getItemForKey("inline");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->key, "inline");
    EXPECT_EQ(text(item->value), std::string(10, 'a'));
    EXPECT_EQ(item->filename, "");
    EXPECT_EQ(item->size, 10);
    EXPECT_EQ(item->modTime, int32_t(WallDate));
    EXPECT_EQ(text(item->extendedData), "ee");
    auto info = mixed->getItemInfoForKey("file");
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->value);
    EXPECT_EQ(info->filename, "file.bin");
    EXPECT_EQ(info->size, 20);
    EXPECT_EQ(text(mixed->getItemValueForKey("file")), std::string(20, 'b'));

    // Saving inline over a file value deletes the file.
    ASSERT_TRUE(mixed->saveItemWithKey("file", bytes(5, 'c')));
    EXPECT_EQ(entries(data()), std::vector<std::string>{});
    EXPECT_EQ(text(mixed->getItemValueForKey("file")), "ccccc");
    EXPECT_EQ(mixed->getItemsCount(), 2);
    EXPECT_EQ(mixed->getItemsSize(), 15);

    // File type: a name is required; nothing is written without one.
    auto files = make(TVKVStorageTypeFile, "files");
    EXPECT_FALSE(files->saveItemWithKey("k", bytes(4)));
    EXPECT_FALSE(files->saveItemWithKey("k", ns::Data::make(), "k.bin", nullptr));
    EXPECT_FALSE(files->saveItemWithKey("", bytes(4), "k.bin", nullptr));
    EXPECT_EQ(files->getItemsCount(), 0);
    EXPECT_EQ(entries(data("files")), std::vector<std::string>{});
    ASSERT_TRUE(files->saveItemWithKey("k", bytes(4, 'f'), "k.bin", nullptr));
    EXPECT_EQ(text(files->getItemValueForKey("k")), "ffff");

    // SQLite type: inline even with... no file name; reads never touch "data".
    auto inlineOnly = make(TVKVStorageTypeSQLite, "inline");
    ASSERT_TRUE(inlineOnly->saveItemWithKey("k", bytes(4, 's')));
    EXPECT_EQ(text(inlineOnly->getItemValueForKey("k")), "ssss");
    EXPECT_TRUE(inlineOnly->itemExistsForKey("k"));
    EXPECT_FALSE(inlineOnly->itemExistsForKey("other"));
    EXPECT_FALSE(inlineOnly->itemExistsForKey(""));
}

TEST_F(KVStorageTest, AValueFileDeletedOutsideHealsTheRow) {
    auto storage = make(TVKVStorageTypeMixed);
    for (const char* key : {"a", "b", "c"}) {
        ASSERT_TRUE(storage->saveItemWithKey(key, bytes(8, key[0]), std::string(key) + ".bin", nullptr));
    }
    std::filesystem::remove(data() + "/a.bin");
    std::filesystem::remove(data() + "/b.bin");
    EXPECT_FALSE(storage->getItemForKey("a"));
    EXPECT_FALSE(storage->getItemInfoForKey("a"));  // the row is gone
    EXPECT_FALSE(storage->getItemValueForKey("b"));
    EXPECT_FALSE(storage->itemExistsForKey("b"));

    ASSERT_TRUE(storage->saveItemWithKey("a", bytes(8, 'a'), "a.bin", nullptr));
    std::filesystem::remove(data() + "/a.bin");
    auto items = storage->getItemForKeys({"a", "c", "missing"});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->key, "c");
    EXPECT_EQ(storage->getItemsCount(), 1);

    auto values = storage->getItemValueForKeys({"c", "missing"});
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(text(values["c"]), "cccccccc");
    EXPECT_EQ(storage->getItemInfoForKeys({"c", "a"}).size(), 1u);
    EXPECT_TRUE(storage->getItemForKeys({}).empty());
}

TEST_F(KVStorageTest, ReadsRefreshTheAccessTimeSoEvictionIsLeastRecentlyUsed) {
    auto storage = make(TVKVStorageTypeMixed);
    for (const char* key : {"a", "b", "c", "d"}) {
        ASSERT_TRUE(storage->saveItemWithKey(key, bytes(10), key[0] == 'b' ? "b.bin" : "", nullptr));
        env_.fastForwardBy(1);
    }
    // Reads of several keys and of one refresh what they read.
    ASSERT_EQ(storage->getItemForKeys({"a"}).size(), 1u);
    env_.fastForwardBy(1);
    ASSERT_TRUE(storage->getItemValueForKey("b"));
    EXPECT_EQ(storage->getItemInfoForKey("b")->accessTime, int32_t(WallDate) + 5);
    EXPECT_EQ(storage->getItemInfoForKey("b")->modTime, int32_t(WallDate) + 1);

    ASSERT_TRUE(storage->removeItemsToFitCount(2));  // c and d were read least recently
    EXPECT_FALSE(storage->itemExistsForKey("c"));
    EXPECT_FALSE(storage->itemExistsForKey("d"));
    ASSERT_TRUE(storage->removeItemsToFitSize(10));  // then a
    EXPECT_FALSE(storage->itemExistsForKey("a"));
    EXPECT_TRUE(storage->itemExistsForKey("b"));
    EXPECT_TRUE(storage->removeItemsToFitSize(10));  // already met: nothing to delete
    EXPECT_TRUE(storage->itemExistsForKey("b"));

    ASSERT_TRUE(storage->saveItemWithKey("e", bytes(10)));
    env_.fastForwardBy(10);
    ASSERT_TRUE(storage->saveItemWithKey("f", bytes(10)));
    ASSERT_TRUE(storage->removeItemsEarlierThanTime(int32_t(WallDate) + 10));
    EXPECT_EQ(storage->getItemInfoForKeys({"b", "e", "f"}).size(), 1u);
    EXPECT_EQ(entries(data()), std::vector<std::string>{});  // b's file went with its row
}

TEST_F(KVStorageTest, BulkRemovalSentinels) {
    auto storage = make(TVKVStorageTypeMixed);
    auto fill = [&] {
        ASSERT_TRUE(storage->saveItemWithKey("small", bytes(5)));
        ASSERT_TRUE(storage->saveItemWithKey("large", bytes(50), "large.bin", nullptr));
    };
    fill();
    EXPECT_TRUE(storage->removeItemsLargerThanSize(INT32_MAX));
    EXPECT_EQ(storage->getItemsCount(), 2);
    EXPECT_TRUE(storage->removeItemsLargerThanSize(10));
    EXPECT_EQ(storage->getItemsCount(), 1);
    EXPECT_EQ(entries(data()), std::vector<std::string>{});
    EXPECT_TRUE(storage->removeItemsLargerThanSize(0));
    EXPECT_EQ(storage->getItemsCount(), 0);

    fill();
    EXPECT_TRUE(storage->removeItemsEarlierThanTime(0));
    EXPECT_EQ(storage->getItemsCount(), 2);
    EXPECT_TRUE(storage->removeItemsEarlierThanTime(INT32_MAX));
    EXPECT_EQ(storage->getItemsCount(), 0);

    fill();
    EXPECT_TRUE(storage->removeItemsToFitSize(INT32_MAX));
    EXPECT_TRUE(storage->removeItemsToFitCount(INT32_MAX));
    EXPECT_EQ(storage->getItemsCount(), 2);
    EXPECT_TRUE(storage->removeItemsToFitSize(0));
    EXPECT_EQ(storage->getItemsCount(), 0);
    fill();
    EXPECT_TRUE(storage->removeItemsToFitCount(0));
    EXPECT_EQ(storage->getItemsCount(), 0);

    fill();
    EXPECT_TRUE(storage->removeItemForKeys({"small", "large", "missing"}));
    EXPECT_EQ(storage->getItemsCount(), 0);
    EXPECT_FALSE(storage->removeItemForKeys({}));
    EXPECT_FALSE(storage->removeItemForKey(""));
    EXPECT_TRUE(storage->removeItemForKey("missing"));
}

TEST_F(KVStorageTest, ProgressRemovalReportsEachBatchOfThirtyTwo) {
    auto storage = make(TVKVStorageTypeMixed);
    std::vector<std::pair<int, int>> progress;
    std::vector<bool> ends;
    auto onProgress = [&](int removed, int total) { progress.emplace_back(removed, total); };
    auto onEnd = [&](bool error) { ends.push_back(error); };

    storage->removeAllItemsWithProgressBlock(onProgress, onEnd);
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(ends, std::vector<bool>{false});

    for (int i = 0; i < 70; ++i) {
        const std::string key = "k" + std::to_string(i);
        ASSERT_TRUE(storage->saveItemWithKey(key, bytes(4), i % 10 == 0 ? key + ".bin" : "", nullptr));
    }
    ends.clear();
    storage->removeAllItemsWithProgressBlock(onProgress, onEnd);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{32, 70}, {64, 70}, {70, 70}}));
    EXPECT_EQ(ends, std::vector<bool>{false});
    EXPECT_EQ(storage->getItemsCount(), 0);
    EXPECT_EQ(entries(data()), std::vector<std::string>{});
    storage->removeAllItemsWithProgressBlock(nullptr, nullptr);  // blocks are optional
}

TEST_F(KVStorageTest, RemoveAllWipesThroughTheTrash) {
    auto storage = make(TVKVStorageTypeMixed);
    ASSERT_TRUE(storage->saveItemWithKey("a", bytes(10), "a.bin", nullptr));
    ASSERT_TRUE(storage->saveItemWithKey("b", bytes(10)));
    ASSERT_TRUE(storage->removeAllItems());
    EXPECT_EQ(storage->getItemsCount(), 0);
    EXPECT_EQ(entries(data()), std::vector<std::string>{});
    env_.runUntilIdle();
    EXPECT_EQ(entries(folder() + "/trash"), std::vector<std::string>{});
    ASSERT_TRUE(storage->saveItemWithKey("c", bytes(10), "c.bin", nullptr));
    EXPECT_EQ(text(storage->getItemValueForKey("c")), std::string(10, 'v'));

    // When the trash cannot take "data", its files are deleted in place
    // rather than left behind without rows.
    std::filesystem::remove_all(folder() + "/trash");
    scratch_.write("kv/trash", "not a folder");
    ASSERT_TRUE(storage->removeAllItems());
    EXPECT_EQ(entries(data()), std::vector<std::string>{});
    EXPECT_EQ(storage->getItemsCount(), 0);
}

TEST_F(KVStorageTest, TemporaryFilesOfAnInterruptedWriteGoAtCreation) {
    {
        auto storage = make(TVKVStorageTypeMixed);
        ASSERT_TRUE(storage->saveItemWithKey("a", bytes(10, 'a'), "a.bin", nullptr));
    }
    scratch_.write("kv/data/" + std::string(TVKVStorage::TemporaryFilePrefix) + "1234", "torn");
    scratch_.write("kv/trash/old/x.bin", "leftover");
    auto storage = make(TVKVStorageTypeMixed);
    EXPECT_EQ(entries(data()), std::vector<std::string>{"a.bin"});
    env_.runUntilIdle();
    EXPECT_EQ(entries(folder() + "/trash"), std::vector<std::string>{});
    EXPECT_EQ(text(storage->getItemValueForKey("a")), std::string(10, 'a'));
}

TEST_F(KVStorageTest, ASeveralKeyDeleteThatIsBusyFails) {
    auto storage = make(TVKVStorageTypeSQLite);
    ASSERT_TRUE(storage->saveItemWithKey("a", bytes(4)));
    ASSERT_TRUE(storage->saveItemWithKey("b", bytes(4)));
    RawManifest other(folder());
    ASSERT_EQ(other.exec("begin exclusive"), SQLITE_OK);
    ns::LogCapture logs;
    EXPECT_FALSE(storage->removeItemForKeys({"a", "b"}));
    EXPECT_TRUE(logs.contains("-[TVKVStorage _dbDeleteItemWithKeys:] line:"));
    storage->setErrorLogsEnabled(false);
    logs.clear();
    EXPECT_FALSE(storage->removeItemForKey("a"));
    EXPECT_TRUE(logs.lines().empty());
    ASSERT_EQ(other.exec("rollback"), SQLITE_OK);
    EXPECT_TRUE(storage->removeItemForKeys({"a", "b"}));
    EXPECT_EQ(storage->getItemsCount(), 0);
}

TEST_F(KVStorageTest, TotalsPastTwoGibibytesStillTrim) {
    auto storage = make(TVKVStorageTypeSQLite);
    ASSERT_TRUE(storage->saveItemWithKey("oldest", bytes(4)));
    env_.fastForwardBy(1);
    ASSERT_TRUE(storage->saveItemWithKey("older", bytes(4)));
    env_.fastForwardBy(1);
    ASSERT_TRUE(storage->saveItemWithKey("newest", bytes(4)));
    {
        // Sizes as large files would have: 1.5 GiB + 1 GiB + 512 KiB.
        RawManifest raw(folder());
        ASSERT_EQ(raw.exec("update manifest set size = 1610612736 where key = 'oldest';"
                           "update manifest set size = 1073741824 where key = 'older';"
                           "update manifest set size = 524288 where key = 'newest';"),
                  SQLITE_OK);
    }
    EXPECT_EQ(storage->getItemsSize(), INT32_MAX);  // saturates instead of wrapping negative
    EXPECT_TRUE(storage->removeItemsToFitSize(1 << 20));
    EXPECT_FALSE(storage->itemExistsForKey("oldest"));
    EXPECT_FALSE(storage->itemExistsForKey("older"));
    EXPECT_TRUE(storage->itemExistsForKey("newest"));
    EXPECT_EQ(storage->getItemsSize(), 524288);
}

TEST_F(KVStorageTest, ReopenWaitsTwoSecondsAndGivesUpAfterEightFailures) {
    auto storage = make(TVKVStorageTypeMixed);
    ASSERT_TRUE(storage->saveItemWithKey("a", bytes(4)));
    struct Unfail {
        ~Unfail() { TVKVStorage::failOpensForTesting(false); }
    } unfail;

    TVKVStorage::failOpensForTesting(true);
    ns::LogCapture logs;
    EXPECT_FALSE(storage->removeAllItems());  // closes, then the open fails
    EXPECT_TRUE(logs.contains("-[TVKVStorage _dbOpen] line:"));
    TVKVStorage::failOpensForTesting(false);
    EXPECT_EQ(storage->getItemsCount(), -1);  // within 2 s: no reopen
    env_.fastForwardBy(1.9);
    EXPECT_EQ(storage->getItemsCount(), -1);
    env_.fastForwardBy(0.2);
    EXPECT_EQ(storage->getItemsCount(), 0);  // reopened

    TVKVStorage::failOpensForTesting(true);
    EXPECT_FALSE(storage->removeAllItems());  // failure 1
    for (int failure = 2; failure <= 8; ++failure) {
        env_.fastForwardBy(2.1);
        EXPECT_EQ(storage->getItemsCount(), -1);  // failures 2 to 8
    }
    TVKVStorage::failOpensForTesting(false);
    env_.fastForwardBy(60);
    EXPECT_EQ(storage->getItemsCount(), -1);
    EXPECT_FALSE(storage->saveItemWithKey("b", bytes(4)));
    EXPECT_EQ(TVKVStorage::initWithPath(folder(), TVKVStorageTypeMixed)->getItemsCount(), 0);  // a new one opens
}

}  // namespace
}  // namespace cache_test
