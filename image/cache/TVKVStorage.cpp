#include "image/cache/TVKVStorage.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "image/cache/TVCacheClock.h"
#include "image/cache/TVSharedApplication.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UUID.h"
#include "platform/runtime/Exception.h"

RT_DEFINE_CLASS(TVKVStorage, ns::Object, "TVKVStorage")

namespace {

constexpr const char* DBFileName = "manifest.sqlite";
constexpr const char* DBShmFileName = "manifest.sqlite-shm";
constexpr const char* DBWalFileName = "manifest.sqlite-wal";
constexpr const char* DataDirectoryName = "data";
constexpr const char* TrashDirectoryName = "trash";
constexpr const char* TrashQueueLabel = "com.norvane.cache.disk.trash";

constexpr size_t PathLengthMax = 960;
constexpr uint64_t MaxErrorRetryCount = 8;
constexpr double MinRetryTimeInterval = 2.0;

constexpr const char* InitScript =
    "pragma journal_mode = wal; pragma synchronous = normal; create table if not exists manifest (key text, filename "
    "text, size integer, inline_data blob, modification_time integer, last_access_time integer, extended_data blob, "
    "primary key(key)); create index if not exists last_access_time_idx on manifest(last_access_time);";

std::atomic<bool> openFailsForTesting{false};

int32_t unixTime32() { return int32_t(TVUnixTime()); }

int32_t saturate32(int64_t value) { return int32_t(std::min<int64_t>(value, INT32_MAX)); }

// "?,?,?" for three keys.
std::string placeholders(size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += i ? ",?" : "?";
    return out;
}

std::string withKeys(const std::string& format, size_t count) {
    std::string sql = format;
    sql.replace(sql.find("%@"), 2, placeholders(count));
    return sql;
}

// Text and blob bindings are not copied by SQLite: the bound buffers must
// outlive the step.
void bindText(sqlite3_stmt* stmt, int index, std::string_view text) {
    sqlite3_bind_text(stmt, index, text.data(), int(text.size()), nullptr);
}

void bindKeys(sqlite3_stmt* stmt, const std::vector<std::string>& keys, int from) {
    for (size_t i = 0; i < keys.size(); ++i) bindText(stmt, from + int(i), keys[i]);
}

std::string columnText(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? std::string(text, size_t(sqlite3_column_bytes(stmt, column))) : std::string();
}

// A blob of at least one byte, else nil.
ns::Ref<ns::Data> columnBlob(sqlite3_stmt* stmt, int column) {
    const void* bytes = sqlite3_column_blob(stmt, column);
    const int length = sqlite3_column_bytes(stmt, column);
    return bytes && length > 0 ? ns::Data::withBytes(bytes, size_t(length)) : nullptr;
}

}  // namespace

// ---- Creation ----

TVKVStorage::TVKVStorage() {
    ns::Exception::raise("TVKVStorage init error", "Please use the designated initializer and pass the 'path' and 'type'.");
}

TVKVStorage::TVKVStorage(Passkey, std::string path, TVKVStorageType type)
    : path_(std::move(path)),
      type_(type),
      dbPath_(path_ + "/" + DBFileName),
      dataPath_(path_ + "/" + DataDirectoryName),
      trashPath_(path_ + "/" + TrashDirectoryName),
      trashQueue_(dispatch::Queue::serial(TrashQueueLabel)) {}

ns::Ref<TVKVStorage> TVKVStorage::initWithPath(std::string_view path, TVKVStorageType type) {
    const uint64_t length = ns::String::make(std::string(path))->length();
    if (length == 0 || length > PathLengthMax) {
        ns::log("TVKVStorage init error: invalid path: [%@].", std::string(path));
        return nullptr;
    }
    if (type > TVKVStorageTypeMixed) {
        ns::log("TVKVStorage init error: invalid type: %lu.", (unsigned long)type);
        return nullptr;
    }
    auto storage = std::make_shared<TVKVStorage>(Passkey(), std::string(path), type);

    auto files = ns::FileManager::defaultManager();
    for (const std::string* folder : {&storage->path_, &storage->dataPath_, &storage->trashPath_}) {
        ns::Ref<ns::Error> error;
        if (!files->createDirectoryAtPath(*folder, true, &error)) {
            ns::log("TVKVStorage init error:%@", error);
            return nullptr;
        }
    }
    if (!storage->dbOpen() || !storage->dbInitialize()) {
        // A damaged database: start over once with an empty folder.
        storage->dbClose();
        storage->reset();
        if (!storage->dbOpen() || !storage->dbInitialize()) {
            storage->dbClose();
            ns::log("TVKVStorage init error: fail to open sqlite db.");
            return nullptr;
        }
    }
    storage->removeTemporaryFiles();
    storage->fileEmptyTrashInBackground();
    return storage;
}

TVKVStorage::~TVKVStorage() {
    if (path_.empty()) return;  // refused plain initializer
    // The close may have to finish a checkpoint: ask for time to do it.
    auto application = TVSharedApplication();
    ui::BackgroundTaskIdentifier task = ui::BackgroundTaskInvalid;
    if (application) task = application->beginBackgroundTaskWithExpirationHandler([] {});
    dbClose();
    if (task != ui::BackgroundTaskInvalid) application->endBackgroundTask(task);
}

void TVKVStorage::failOpensForTesting(bool fail) { openFailsForTesting.store(fail); }

// ---- Database ----

void TVKVStorage::logError(const char* method, int line, const char* what, int result, bool withMessage) {
    if (!errorLogsEnabled()) return;
    if (withMessage) {
        ns::log("%s line:%d %s (%d): %s", method, line, what, result, db_ ? sqlite3_errmsg(db_) : "");
    } else {
        ns::log("%s line:%d %s (%d).", method, line, what, result);
    }
}

bool TVKVStorage::dbOpen() {
    if (db_) return true;
    int result = openFailsForTesting.load() ? SQLITE_CANTOPEN : sqlite3_open(dbPath_.c_str(), &db_);
    if (result == SQLITE_OK) {
        stmtCache_.clear();
        hasStmtCache_ = true;
        dbLastOpenErrorTime_ = 0;
        dbOpenErrorCount_ = 0;
        return true;
    }
    // sqlite3_open may hand back a handle even on failure; it must be closed.
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    stmtCache_.clear();
    hasStmtCache_ = false;
    dbLastOpenErrorTime_ = TVMediaTime();
    dbOpenErrorCount_++;
    logError("-[TVKVStorage _dbOpen]", __LINE__, "sqlite open failed", result, false);
    return false;
}

bool TVKVStorage::dbClose() {
    if (!db_) return true;
    stmtCache_.clear();
    hasStmtCache_ = false;
    bool retry = false;
    bool finalizedAny = false;
    do {
        retry = false;
        int result = sqlite3_close(db_);
        if (result == SQLITE_BUSY || result == SQLITE_LOCKED) {
            if (!finalizedAny) {
                finalizedAny = true;
                while (sqlite3_stmt* stmt = sqlite3_next_stmt(db_, nullptr)) {
                    sqlite3_finalize(stmt);
                    retry = true;
                }
            }
        } else if (result != SQLITE_OK) {
            logError("-[TVKVStorage _dbClose]", __LINE__, "sqlite close failed", result, false);
        }
    } while (retry);
    db_ = nullptr;
    return true;
}

bool TVKVStorage::dbCheck() {
    if (db_) return true;
    if (dbOpenErrorCount_ < MaxErrorRetryCount && TVMediaTime() - dbLastOpenErrorTime_ > MinRetryTimeInterval) {
        return dbOpen() && dbInitialize();
    }
    return false;
}

bool TVKVStorage::dbInitialize() { return dbExecute(InitScript); }

void TVKVStorage::dbCheckpoint() {
    if (!dbCheck()) return;
    sqlite3_wal_checkpoint(db_, nullptr);
}

bool TVKVStorage::dbExecute(const char* sql) {
    if (!sql || !*sql) return false;
    if (!dbCheck()) return false;
    char* error = nullptr;
    int result = sqlite3_exec(db_, sql, nullptr, nullptr, &error);
    if (error) {
        if (errorLogsEnabled()) {
            ns::log("%s line:%d sqlite exec error (%d): %s", "-[TVKVStorage _dbExecute:]", __LINE__, result, error);
        }
        sqlite3_free(error);
    }
    return result == SQLITE_OK;
}

sqlite3_stmt* TVKVStorage::dbPrepareStmt(const char* sql) {
    if (!dbCheck() || !sql || !*sql || !hasStmtCache_) return nullptr;
    auto it = stmtCache_.find(std::string_view(sql));
    if (it != stmtCache_.end()) {
        sqlite3_reset(it->second);
        return it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    int result = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
    if (result != SQLITE_OK) {
        logError("-[TVKVStorage _dbPrepareStmt:]", __LINE__, "sqlite stmt prepare error", result, true);
        return nullptr;
    }
    stmtCache_.emplace(sql, stmt);
    return stmt;
}

// The several-key statements are prepared for each call and finalized by the
// caller (sqlite3_finalize on nullptr is harmless).
sqlite3_stmt* TVKVStorage::dbPrepareKeysStmt(const std::string& sqlFormat, const std::vector<std::string>& keys) {
    if (!dbCheck()) return nullptr;
    const std::string sql = withKeys(sqlFormat, keys.size());
    sqlite3_stmt* stmt = nullptr;
    int result = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
    if (result != SQLITE_OK) {
        logError("-[TVKVStorage _dbPrepareStmt:]", __LINE__, "sqlite stmt prepare error", result, true);
        return nullptr;
    }
    bindKeys(stmt, keys, 1);
    return stmt;
}

// Runs a statement that returns no rows; anything but SQLITE_DONE is logged
// as `what` and fails. A statement of several keys is finalized after.
bool TVKVStorage::dbStepDone(sqlite3_stmt* stmt, const char* method, int line, const char* what, bool finalize) {
    if (!stmt) return false;
    const int result = sqlite3_step(stmt);
    if (result != SQLITE_DONE) logError(method, line, what, result, true);
    if (finalize) sqlite3_finalize(stmt);
    return result == SQLITE_DONE;
}

bool TVKVStorage::dbSaveWithKey(std::string_view key, const ns::Data& value, std::string_view filename,
                                const ns::Data* extendedData) {
    sqlite3_stmt* stmt = dbPrepareStmt(
        "insert or replace into manifest (key, filename, size, inline_data, modification_time, last_access_time, "
        "extended_data) values (?1, ?2, ?3, ?4, ?5, ?6, ?7);");
    if (!stmt) return false;
    const int32_t now = unixTime32();
    bindText(stmt, 1, key);
    if (filename.empty()) {
        sqlite3_bind_null(stmt, 2);
        sqlite3_bind_blob(stmt, 4, value.bytes(), int(value.length()), nullptr);
    } else {
        bindText(stmt, 2, filename);
        sqlite3_bind_null(stmt, 4);
    }
    sqlite3_bind_int(stmt, 3, saturate32(int64_t(value.length())));
    sqlite3_bind_int(stmt, 5, now);
    sqlite3_bind_int(stmt, 6, now);
    if (extendedData && extendedData->length()) {
        sqlite3_bind_blob(stmt, 7, extendedData->bytes(), int(extendedData->length()), nullptr);
    } else {
        sqlite3_bind_null(stmt, 7);
    }
    return dbStepDone(stmt, "-[TVKVStorage _dbSaveWithKey:value:fileName:extendedData:]", __LINE__,
                      "sqlite insert error");
}

bool TVKVStorage::dbUpdateAccessTimeWithKey(std::string_view key) {
    sqlite3_stmt* stmt = dbPrepareStmt("update manifest set last_access_time = ?1 where key = ?2;");
    if (!stmt) return false;
    sqlite3_bind_int(stmt, 1, unixTime32());
    bindText(stmt, 2, key);
    return dbStepDone(stmt, "-[TVKVStorage _dbUpdateAccessTimeWithKey:]", __LINE__, "sqlite update error");
}

bool TVKVStorage::dbUpdateAccessTimeWithKeys(const std::vector<std::string>& keys) {
    const std::string format =
        "update manifest set last_access_time = " + std::to_string(unixTime32()) + " where key in (%@);";
    return dbStepDone(dbPrepareKeysStmt(format, keys), "-[TVKVStorage _dbUpdateAccessTimeWithKeys:]", __LINE__,
                      "sqlite update error", true);
}

bool TVKVStorage::dbDeleteItemWithKey(std::string_view key) {
    sqlite3_stmt* stmt = dbPrepareStmt("delete from manifest where key = ?1;");
    if (!stmt) return false;
    bindText(stmt, 1, key);
    return dbStepDone(stmt, "-[TVKVStorage _dbDeleteItemWithKey:]", __LINE__, "db delete error");
}

bool TVKVStorage::dbDeleteItemWithKeys(const std::vector<std::string>& keys) {
    // Only a finished delete is success: busy, full and I/O errors leave rows behind.
    return dbStepDone(dbPrepareKeysStmt("delete from manifest where key in (%@);", keys),
                      "-[TVKVStorage _dbDeleteItemWithKeys:]", __LINE__, "sqlite delete error", true);
}

bool TVKVStorage::dbDeleteItemsWithSizeLargerThan(int32_t size) {
    sqlite3_stmt* stmt = dbPrepareStmt("delete from manifest where size > ?1;");
    if (stmt) sqlite3_bind_int(stmt, 1, size);
    return dbStepDone(stmt, "-[TVKVStorage _dbDeleteItemsWithSizeLargerThan:]", __LINE__, "sqlite delete error");
}

bool TVKVStorage::dbDeleteItemsWithTimeEarlierThan(int32_t time) {
    sqlite3_stmt* stmt = dbPrepareStmt("delete from manifest where last_access_time < ?1;");
    if (stmt) sqlite3_bind_int(stmt, 1, time);
    return dbStepDone(stmt, "-[TVKVStorage _dbDeleteItemsWithTimeEarlierThan:]", __LINE__, "sqlite delete error");
}

// Columns: key, filename, size, [inline_data,] modification_time,
// last_access_time, extended_data.
ns::Ref<TVKVStorageItem> TVKVStorage::dbGetItemFromStmt(sqlite3_stmt* stmt, bool excludeInlineData) {
    auto item = std::make_shared<TVKVStorageItem>();
    int column = 0;
    item->key = columnText(stmt, column++);
    item->filename = columnText(stmt, column++);
    item->size = sqlite3_column_int(stmt, column++);
    if (!excludeInlineData) item->value = columnBlob(stmt, column++);
    item->modTime = sqlite3_column_int(stmt, column++);
    item->accessTime = sqlite3_column_int(stmt, column++);
    item->extendedData = columnBlob(stmt, column++);
    return item;
}

ns::Ref<TVKVStorageItem> TVKVStorage::dbGetItemWithKey(std::string_view key, bool excludeInlineData) {
    const char* sql = excludeInlineData
                          ? "select key, filename, size, modification_time, last_access_time, extended_data from "
                            "manifest where key = ?1;"
                          : "select key, filename, size, inline_data, modification_time, last_access_time, "
                            "extended_data from manifest where key = ?1;";
    sqlite3_stmt* stmt = dbPrepareStmt(sql);
    if (!stmt) return nullptr;
    bindText(stmt, 1, key);
    int result = sqlite3_step(stmt);
    if (result == SQLITE_ROW) return dbGetItemFromStmt(stmt, excludeInlineData);
    if (result != SQLITE_DONE) {
        logError("-[TVKVStorage _dbGetItemWithKey:excludeInlineData:]", __LINE__, "sqlite query error", result, true);
    }
    return nullptr;
}

std::vector<ns::Ref<TVKVStorageItem>> TVKVStorage::dbGetItemWithKeys(const std::vector<std::string>& keys,
                                                                    bool excludeInlineData, bool* ok) {
    *ok = false;
    const std::string format =
        excludeInlineData ? "select key, filename, size, modification_time, last_access_time, extended_data from "
                            "manifest where key in (%@);"
                          : "select key, filename, size, inline_data, modification_time, last_access_time, "
                            "extended_data from manifest where key in (%@)";
    sqlite3_stmt* stmt = dbPrepareKeysStmt(format, keys);
    if (!stmt) return {};
    std::vector<ns::Ref<TVKVStorageItem>> items;
    int result;
    while ((result = sqlite3_step(stmt)) == SQLITE_ROW) items.push_back(dbGetItemFromStmt(stmt, excludeInlineData));
    sqlite3_finalize(stmt);
    if (result != SQLITE_DONE) {
        logError("-[TVKVStorage _dbGetItemWithKeys:excludeInlineData:]", __LINE__, "sqlite query error", result, true);
        return {};
    }
    *ok = true;
    return items;
}

ns::Ref<ns::Data> TVKVStorage::dbGetValueWithKey(std::string_view key) {
    sqlite3_stmt* stmt = dbPrepareStmt("select inline_data from manifest where key = ?1;");
    if (!stmt) return nullptr;
    bindText(stmt, 1, key);
    int result = sqlite3_step(stmt);
    if (result == SQLITE_ROW) return columnBlob(stmt, 0);
    if (result != SQLITE_DONE) {
        logError("-[TVKVStorage _dbGetValueWithKey:]", __LINE__, "sqlite query error", result, true);
    }
    return nullptr;
}

std::string TVKVStorage::dbGetFilenameWithKey(std::string_view key) {
    sqlite3_stmt* stmt = dbPrepareStmt("select filename from manifest where key = ?1;");
    if (!stmt) return {};
    bindText(stmt, 1, key);
    int result = sqlite3_step(stmt);
    if (result == SQLITE_ROW) return columnText(stmt, 0);
    if (result != SQLITE_DONE) {
        logError("-[TVKVStorage _dbGetFilenameWithKey:]", __LINE__, "sqlite query error", result, true);
    }
    return {};
}

namespace {

// Every non-empty text of the first column; false when the query failed.
bool collectFilenames(sqlite3_stmt* stmt, std::vector<std::string>& names) {
    int result;
    while ((result = sqlite3_step(stmt)) == SQLITE_ROW) {
        std::string name = columnText(stmt, 0);
        if (!name.empty()) names.push_back(std::move(name));
    }
    return result == SQLITE_DONE;
}

}  // namespace

std::vector<std::string> TVKVStorage::dbGetFilenameWithKeys(const std::vector<std::string>& keys) {
    sqlite3_stmt* stmt = dbPrepareKeysStmt("select filename from manifest where key in (%@);", keys);
    if (!stmt) return {};
    std::vector<std::string> names;
    bool ok = collectFilenames(stmt, names);
    if (!ok) logError("-[TVKVStorage _dbGetFilenameWithKeys:]", __LINE__, "sqlite query error", sqlite3_errcode(db_), true);
    sqlite3_finalize(stmt);
    return ok ? names : std::vector<std::string>();
}

std::vector<std::string> TVKVStorage::dbGetFilenamesWithInt(const char* sql, int32_t value, const char* method,
                                                             int line) {
    sqlite3_stmt* stmt = dbPrepareStmt(sql);
    if (!stmt) return {};
    sqlite3_bind_int(stmt, 1, value);
    std::vector<std::string> names;
    if (!collectFilenames(stmt, names)) {
        logError(method, line, "sqlite query error", sqlite3_errcode(db_), true);
        return {};
    }
    return names;
}

std::vector<std::string> TVKVStorage::dbGetFilenamesWithSizeLargerThan(int32_t size) {
    return dbGetFilenamesWithInt("select filename from manifest where size > ?1 and filename is not null;", size,
                                 "-[TVKVStorage _dbGetFilenamesWithSizeLargerThan:]", __LINE__);
}

std::vector<std::string> TVKVStorage::dbGetFilenamesWithTimeEarlierThan(int32_t time) {
    return dbGetFilenamesWithInt("select filename from manifest where last_access_time < ?1 and filename is not null;",
                                 time, "-[TVKVStorage _dbGetFilenamesWithTimeEarlierThan:]", __LINE__);
}

std::vector<ns::Ref<TVKVStorageItem>> TVKVStorage::dbGetItemSizeInfoOrderByTimeAscWithLimit(int count, bool* ok) {
    *ok = false;
    sqlite3_stmt* stmt = dbPrepareStmt("select key, filename, size from manifest order by last_access_time asc limit ?1;");
    if (!stmt) return {};
    sqlite3_bind_int(stmt, 1, count);
    std::vector<ns::Ref<TVKVStorageItem>> items;
    int result;
    while ((result = sqlite3_step(stmt)) == SQLITE_ROW) {
        auto item = std::make_shared<TVKVStorageItem>();
        item->key = columnText(stmt, 0);
        item->filename = columnText(stmt, 1);
        item->size = sqlite3_column_int(stmt, 2);
        items.push_back(std::move(item));
    }
    if (result != SQLITE_DONE) {
        logError("-[TVKVStorage _dbGetItemSizeInfoOrderByTimeAscWithLimit:]", __LINE__, "sqlite query error", result,
                 true);
        return {};
    }
    *ok = true;
    return items;
}

int64_t TVKVStorage::dbGetInt64(const char* sql, const char* method, int line) {
    sqlite3_stmt* stmt = dbPrepareStmt(sql);
    if (!stmt) return -1;
    int result = sqlite3_step(stmt);
    if (result != SQLITE_ROW) {
        logError(method, line, "sqlite query error", result, true);
        return -1;
    }
    // 64 bits: a sum of sizes passes 2^31 long before a volume fills.
    return sqlite3_column_int64(stmt, 0);
}

int64_t TVKVStorage::dbGetItemCountWithKey(std::string_view key) {
    sqlite3_stmt* stmt = dbPrepareStmt("select count(key) from manifest where key = ?1;");
    if (!stmt) return -1;
    bindText(stmt, 1, key);
    int result = sqlite3_step(stmt);
    if (result != SQLITE_ROW) {
        logError("-[TVKVStorage _dbGetItemCountWithKey:]", __LINE__, "sqlite query error", result, true);
        return -1;
    }
    return sqlite3_column_int64(stmt, 0);
}

int64_t TVKVStorage::dbGetTotalItemSize() {
    return dbGetInt64("select sum(size) from manifest;", "-[TVKVStorage _dbGetTotalItemSize]", __LINE__);
}

int64_t TVKVStorage::dbGetTotalItemCount() {
    return dbGetInt64("select count(*) from manifest;", "-[TVKVStorage _dbGetTotalItemCount]", __LINE__);
}

// ---- Files ----

// Written beside its final name and renamed over it, so that a failed or
// interrupted write leaves the old value whole.
bool TVKVStorage::fileWriteWithName(std::string_view filename, const ns::Data& data) {
    const std::string target = dataPath_ + "/" + std::string(filename);
    // Unique per process and write: two processes on one folder never share one.
    static std::atomic<uint64_t> writes{0};
    std::string temporary = dataPath_ + "/" + std::string(TemporaryFilePrefix) + std::to_string(::getpid()) + "-" +
                            std::to_string(writes.fetch_add(1));
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const uint8_t* bytes = data.bytes();
    size_t left = size_t(data.length());
    bool ok = true;
    while (left > 0) {
        ssize_t written = ::write(fd, bytes, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        bytes += written;
        left -= size_t(written);
    }
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

ns::Ref<ns::Data> TVKVStorage::fileReadWithName(std::string_view filename) {
    return ns::Data::withContentsOfFile(dataPath_ + "/" + std::string(filename));
}

bool TVKVStorage::fileDeleteWithName(std::string_view filename) {
    return ns::FileManager::defaultManager()->removeItemAtPath(dataPath_ + "/" + std::string(filename));
}

bool TVKVStorage::fileMoveAllToTrash() {
    auto files = ns::FileManager::defaultManager();
    const std::string destination = trashPath_ + "/" + ns::UUIDString();
    if (files->moveItemAtPath(dataPath_, destination)) {
        return files->createDirectoryAtPath(dataPath_, true);
    }
    // The values must not outlive a wipe, even when the trash cannot take them.
    if (auto names = files->contentsOfDirectoryAtPath(dataPath_)) {
        for (const ns::Id& name : *names) files->removeItemAtPath(dataPath_ + "/" + ns::textOf(name));
    }
    return false;
}

void TVKVStorage::fileEmptyTrashInBackground() {
    trashQueue_->async([trashPath = trashPath_] {
        auto files = std::make_shared<ns::FileManager>();
        auto names = files->contentsOfDirectoryAtPath(trashPath);
        if (!names) return;
        for (const ns::Id& name : *names) files->removeItemAtPath(trashPath + "/" + ns::textOf(name));
    });
}

void TVKVStorage::removeTemporaryFiles() {
    auto files = ns::FileManager::defaultManager();
    auto names = files->contentsOfDirectoryAtPath(dataPath_);
    if (!names) return;
    for (const ns::Id& name : *names) {
        const std::string text = ns::textOf(name);
        if (text.starts_with(TemporaryFilePrefix)) files->removeItemAtPath(dataPath_ + "/" + text);
    }
}

void TVKVStorage::reset() {
    auto files = ns::FileManager::defaultManager();
    for (const char* name : {DBFileName, DBShmFileName, DBWalFileName}) files->removeItemAtPath(path_ + "/" + name);
    fileMoveAllToTrash();
    fileEmptyTrashInBackground();
}

// ---- Saving ----

bool TVKVStorage::saveItem(const TVKVStorageItem& item) {
    return saveItemWithKey(item.key, item.value, item.filename, item.extendedData);
}

bool TVKVStorage::saveItemWithKey(std::string_view key, const ns::Ref<ns::Data>& value) {
    return saveItemWithKey(key, value, {}, nullptr);
}

bool TVKVStorage::saveItemWithKey(std::string_view key, const ns::Ref<ns::Data>& value, std::string_view filename,
                                  const ns::Ref<ns::Data>& extendedData) {
    if (key.empty() || !value || value->length() == 0) return false;
    if (type_ == TVKVStorageTypeFile && filename.empty()) return false;

    if (!filename.empty()) {
        if (!fileWriteWithName(filename, *value)) return false;
        if (!dbSaveWithKey(key, *value, filename, extendedData.get())) {
            fileDeleteWithName(filename);
            return false;
        }
        return true;
    }
    if (type_ != TVKVStorageTypeSQLite) {
        const std::string oldName = dbGetFilenameWithKey(key);
        if (!oldName.empty()) fileDeleteWithName(oldName);
    }
    return dbSaveWithKey(key, *value, {}, extendedData.get());
}

// ---- Removing ----

bool TVKVStorage::removeItemForKey(std::string_view key) {
    if (key.empty()) return false;
    if (type_ != TVKVStorageTypeSQLite) {
        const std::string filename = dbGetFilenameWithKey(key);
        if (!filename.empty()) fileDeleteWithName(filename);
    }
    return dbDeleteItemWithKey(key);
}

bool TVKVStorage::removeItemForKeys(const std::vector<std::string>& keys) {
    if (keys.empty()) return false;
    if (type_ != TVKVStorageTypeSQLite) {
        for (const std::string& filename : dbGetFilenameWithKeys(keys)) fileDeleteWithName(filename);
    }
    return dbDeleteItemWithKeys(keys);
}

bool TVKVStorage::removeItemsLargerThanSize(int32_t size) {
    if (size == INT32_MAX) return true;
    if (size <= 0) return removeAllItems();
    if (type_ != TVKVStorageTypeSQLite) {
        for (const std::string& filename : dbGetFilenamesWithSizeLargerThan(size)) fileDeleteWithName(filename);
    }
    if (!dbDeleteItemsWithSizeLargerThan(size)) return false;
    dbCheckpoint();
    return true;
}

bool TVKVStorage::removeItemsEarlierThanTime(int32_t time) {
    if (time <= 0) return true;
    if (time == INT32_MAX) return removeAllItems();
    if (type_ != TVKVStorageTypeSQLite) {
        for (const std::string& filename : dbGetFilenamesWithTimeEarlierThan(time)) fileDeleteWithName(filename);
    }
    if (!dbDeleteItemsWithTimeEarlierThan(time)) return false;
    dbCheckpoint();
    return true;
}

bool TVKVStorage::removeItemsToFit(int64_t total, int64_t limit, bool bySize) {
    if (total < 0) return false;
    if (total <= limit) return true;
    bool suc = false;
    std::vector<ns::Ref<TVKVStorageItem>> items;
    do {
        constexpr int perCount = 16;
        bool ok = false;
        items = dbGetItemSizeInfoOrderByTimeAscWithLimit(perCount, &ok);
        for (const auto& item : items) {
            if (total <= limit) break;
            if (!item->filename.empty()) fileDeleteWithName(item->filename);
            suc = dbDeleteItemWithKey(item->key);
            total -= bySize ? item->size : 1;
            if (!suc) break;
        }
    } while (total > limit && !items.empty() && suc);
    if (suc) dbCheckpoint();
    return suc;
}

bool TVKVStorage::removeItemsToFitSize(int32_t maxSize) {
    if (maxSize == INT32_MAX) return true;
    if (maxSize <= 0) return removeAllItems();
    return removeItemsToFit(dbGetTotalItemSize(), maxSize, true);
}

bool TVKVStorage::removeItemsToFitCount(int32_t maxCount) {
    if (maxCount == INT32_MAX) return true;
    if (maxCount <= 0) return removeAllItems();
    return removeItemsToFit(dbGetTotalItemCount(), maxCount, false);
}

bool TVKVStorage::removeAllItems() {
    if (!dbClose()) return false;
    reset();
    return dbOpen() && dbInitialize();
}

void TVKVStorage::removeAllItemsWithProgressBlock(const ProgressBlock& progress, const EndBlock& end) {
    const int64_t total = dbGetTotalItemCount();
    if (total <= 0) {
        if (end) end(total < 0);
        return;
    }
    int64_t left = total;
    int64_t removed = 0;
    bool suc = false;
    std::vector<ns::Ref<TVKVStorageItem>> items;
    do {
        constexpr int perCount = 32;
        bool ok = false;
        items = dbGetItemSizeInfoOrderByTimeAscWithLimit(perCount, &ok);
        for (const auto& item : items) {
            if (left <= 0) break;
            if (!item->filename.empty()) fileDeleteWithName(item->filename);
            suc = dbDeleteItemWithKey(item->key);
            left--;
            removed++;
            if (!suc) break;
        }
        if (progress) progress(saturate32(removed), saturate32(total));
    } while (left > 0 && !items.empty() && suc);
    if (suc) dbCheckpoint();
    if (end) end(!suc);
}

// ---- Reading ----

ns::Ref<TVKVStorageItem> TVKVStorage::getItemForKey(std::string_view key) {
    if (key.empty()) return nullptr;
    auto item = dbGetItemWithKey(key, false);
    if (!item) return nullptr;
    dbUpdateAccessTimeWithKey(key);
    if (!item->filename.empty()) {
        item->value = fileReadWithName(item->filename);
        if (!item->value) {
            // The file went away behind our back: the row is stale.
            dbDeleteItemWithKey(key);
            return nullptr;
        }
    }
    return item;
}

ns::Ref<TVKVStorageItem> TVKVStorage::getItemInfoForKey(std::string_view key) {
    if (key.empty()) return nullptr;
    return dbGetItemWithKey(key, true);
}

ns::Ref<ns::Data> TVKVStorage::getItemValueForKey(std::string_view key) {
    if (key.empty()) return nullptr;
    ns::Ref<ns::Data> value;
    if (type_ == TVKVStorageTypeSQLite) {
        value = dbGetValueWithKey(key);
    } else {
        const std::string filename = dbGetFilenameWithKey(key);
        if (!filename.empty()) {
            value = fileReadWithName(filename);
            if (!value) {
                dbDeleteItemWithKey(key);
                return nullptr;
            }
        } else if (type_ == TVKVStorageTypeMixed) {
            value = dbGetValueWithKey(key);
        }
    }
    if (value) dbUpdateAccessTimeWithKey(key);
    return value;
}

std::vector<ns::Ref<TVKVStorageItem>> TVKVStorage::getItemForKeys(const std::vector<std::string>& keys) {
    if (keys.empty()) return {};
    bool ok = false;
    auto items = dbGetItemWithKeys(keys, false, &ok);
    if (type_ != TVKVStorageTypeSQLite) {
        std::vector<ns::Ref<TVKVStorageItem>> kept;
        for (auto& item : items) {
            if (!item->filename.empty()) {
                item->value = fileReadWithName(item->filename);
                if (!item->value) {
                    if (!item->key.empty()) dbDeleteItemWithKey(item->key);
                    continue;
                }
            }
            kept.push_back(std::move(item));
        }
        items = std::move(kept);
    }
    if (!items.empty()) dbUpdateAccessTimeWithKeys(keys);
    return items;
}

std::vector<ns::Ref<TVKVStorageItem>> TVKVStorage::getItemInfoForKeys(const std::vector<std::string>& keys) {
    if (keys.empty()) return {};
    bool ok = false;
    return dbGetItemWithKeys(keys, true, &ok);
}

std::map<std::string, ns::Ref<ns::Data>> TVKVStorage::getItemValueForKeys(const std::vector<std::string>& keys) {
    std::map<std::string, ns::Ref<ns::Data>> values;
    for (const auto& item : getItemForKeys(keys)) {
        if (!item->key.empty() && item->value) values[item->key] = item->value;
    }
    return values;
}

bool TVKVStorage::itemExistsForKey(std::string_view key) {
    if (key.empty()) return false;
    return dbGetItemCountWithKey(key) > 0;
}

int TVKVStorage::getItemsCount() {
    const int64_t count = dbGetTotalItemCount();
    return count < 0 ? -1 : saturate32(count);
}

int TVKVStorage::getItemsSize() {
    const int64_t size = dbGetTotalItemSize();
    return size < 0 ? -1 : saturate32(size);
}
