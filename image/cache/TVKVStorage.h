#pragma once
// Byte values under text keys in one folder. A SQLite database, the manifest,
// holds one row per item; the value lives inline in that row or in a file of
// its own under "data", as the storage type says:
//
//   <path>/manifest.sqlite (+ -shm, -wal)   the manifest
//   <path>/data/<filename>                  value files
//   <path>/trash/<UUID>/                    former "data" folders being deleted
//
// Not safe for concurrent calls: its one user (the disk cache) serialises
// them. The only work on another thread is emptying the trash, on the serial
// queue "com.norvane.cache.disk.trash".
//
// Failures are NO, nil (an empty result) or -1, with console logs while
// errorLogsEnabled is on.

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "image/cache/TVKVStorageItem.h"
#include "image/cache/TVTextHash.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Data.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

enum TVKVStorageType : unsigned long {
    TVKVStorageTypeFile = 0,    // every value in its own file; a save without a file name fails
    TVKVStorageTypeSQLite = 1,  // values inline in the manifest
    TVKVStorageTypeMixed = 2,   // a file when the caller names one, inline otherwise
};

class TVKVStorage : public ns::Object {
    RT_DECLARE_CLASS(TVKVStorage)
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using ProgressBlock = std::function<void(int removedCount, int totalCount)>;
    using EndBlock = std::function<void(bool error)>;

    // A storage needs a path and a type: the plain initializer raises
    // "TVKVStorage init error".
    TVKVStorage();
    TVKVStorage(Passkey, std::string path, TVKVStorageType type);
    ~TVKVStorage() override;

    // The storage in the folder (made when missing), or nil after logging why:
    // a path of 1 to 960 characters, a type below 3, folders that can be
    // made and a database that opens (after one reset).
    static ns::Ref<TVKVStorage> initWithPath(std::string_view path, TVKVStorageType type);

    const std::string& path() const { return path_; }
    TVKVStorageType type() const { return type_; }
    bool errorLogsEnabled() const { return errorLogsEnabled_.load(std::memory_order_relaxed); }
    void setErrorLogsEnabled(bool enabled) { errorLogsEnabled_.store(enabled, std::memory_order_relaxed); }

    // ---- Saving ----
    bool saveItem(const TVKVStorageItem& item);
    bool saveItemWithKey(std::string_view key, const ns::Ref<ns::Data>& value);
    // An empty file name puts the value inline (refused by the File type).
    bool saveItemWithKey(std::string_view key, const ns::Ref<ns::Data>& value, std::string_view filename,
                         const ns::Ref<ns::Data>& extendedData);

    // ---- Removing ----
    bool removeItemForKey(std::string_view key);
    bool removeItemForKeys(const std::vector<std::string>& keys);
    bool removeItemsLargerThanSize(int32_t size);
    bool removeItemsEarlierThanTime(int32_t time);
    // Least recently used first, until the total fits.
    bool removeItemsToFitSize(int32_t maxSize);
    bool removeItemsToFitCount(int32_t maxCount);
    bool removeAllItems();
    // Removes 32 items at a time, reporting after each batch; both blocks run
    // on the calling thread.
    void removeAllItemsWithProgressBlock(const ProgressBlock& progress, const EndBlock& end);

    // ---- Reading ----
    ns::Ref<TVKVStorageItem> getItemForKey(std::string_view key);
    ns::Ref<TVKVStorageItem> getItemInfoForKey(std::string_view key);
    ns::Ref<ns::Data> getItemValueForKey(std::string_view key);
    // Empty for none or on failure.
    std::vector<ns::Ref<TVKVStorageItem>> getItemForKeys(const std::vector<std::string>& keys);
    std::vector<ns::Ref<TVKVStorageItem>> getItemInfoForKeys(const std::vector<std::string>& keys);
    std::map<std::string, ns::Ref<ns::Data>> getItemValueForKeys(const std::vector<std::string>& keys);

    bool itemExistsForKey(std::string_view key);
    // -1 on failure; a total beyond 32 bits reads as INT32_MAX.
    int getItemsCount();
    int getItemsSize();

    // Makes every database open fail while on, for tests of the reopen rule.
    static void failOpensForTesting(bool fail);
    // The prefix of a value file being written; such a file left by a crash
    // is removed when a storage is created on the folder.
    static constexpr std::string_view TemporaryFilePrefix = ".tvkv-writing-";

private:
    struct Row;

    // ---- Database ----
    bool dbOpen();
    bool dbClose();
    bool dbCheck();
    bool dbInitialize();
    void dbCheckpoint();
    bool dbExecute(const char* sql);
    sqlite3_stmt* dbPrepareStmt(const char* sql);
    sqlite3_stmt* dbPrepareKeysStmt(const std::string& sqlFormat, const std::vector<std::string>& keys);
    void logError(const char* method, int line, const char* what, int result, bool withMessage);
    bool dbStepDone(sqlite3_stmt* stmt, const char* method, int line, const char* what, bool finalize = false);

    bool dbSaveWithKey(std::string_view key, const ns::Data& value, std::string_view filename,
                       const ns::Data* extendedData);
    bool dbUpdateAccessTimeWithKey(std::string_view key);
    bool dbUpdateAccessTimeWithKeys(const std::vector<std::string>& keys);
    bool dbDeleteItemWithKey(std::string_view key);
    bool dbDeleteItemWithKeys(const std::vector<std::string>& keys);
    bool dbDeleteItemsWithSizeLargerThan(int32_t size);
    bool dbDeleteItemsWithTimeEarlierThan(int32_t time);
    ns::Ref<TVKVStorageItem> dbGetItemFromStmt(sqlite3_stmt* stmt, bool excludeInlineData);
    ns::Ref<TVKVStorageItem> dbGetItemWithKey(std::string_view key, bool excludeInlineData);
    std::vector<ns::Ref<TVKVStorageItem>> dbGetItemWithKeys(const std::vector<std::string>& keys,
                                                           bool excludeInlineData, bool* ok);
    ns::Ref<ns::Data> dbGetValueWithKey(std::string_view key);
    std::string dbGetFilenameWithKey(std::string_view key);
    std::vector<std::string> dbGetFilenameWithKeys(const std::vector<std::string>& keys);
    std::vector<std::string> dbGetFilenamesWithInt(const char* sql, int32_t value, const char* method, int line);
    std::vector<std::string> dbGetFilenamesWithSizeLargerThan(int32_t size);
    std::vector<std::string> dbGetFilenamesWithTimeEarlierThan(int32_t time);
    std::vector<ns::Ref<TVKVStorageItem>> dbGetItemSizeInfoOrderByTimeAscWithLimit(int count, bool* ok);
    int64_t dbGetItemCountWithKey(std::string_view key);
    int64_t dbGetTotalItemSize();
    int64_t dbGetTotalItemCount();
    int64_t dbGetInt64(const char* sql, const char* method, int line);

    // ---- Files ----
    bool fileWriteWithName(std::string_view filename, const ns::Data& data);
    ns::Ref<ns::Data> fileReadWithName(std::string_view filename);
    bool fileDeleteWithName(std::string_view filename);
    bool fileMoveAllToTrash();
    void fileEmptyTrashInBackground();
    void removeTemporaryFiles();
    void reset();

    // Evicts least recently used items in batches until `fits` says so.
    bool removeItemsToFit(int64_t total, int64_t limit, bool bySize);

    std::string path_;
    TVKVStorageType type_ = TVKVStorageTypeFile;
    std::string dbPath_;
    std::string dataPath_;
    std::string trashPath_;
    dispatch::QueueRef trashQueue_;

    sqlite3* db_ = nullptr;
    // Prepared statements by text, for the life of the open handle; they are
    // finalized only by the close.
    std::unordered_map<std::string, sqlite3_stmt*, TVTextHash, std::equal_to<>> stmtCache_;
    bool hasStmtCache_ = false;
    double dbLastOpenErrorTime_ = 0;
    uint64_t dbOpenErrorCount_ = 0;
    // Read by the disk cache from any thread.
    std::atomic<bool> errorLogsEnabled_{true};
};
