// Saving and reading one value at a time through the key-value storage,
// against raw SQLite with the same schema, pragmas and statements (and, for
// values in files, a plain file write and read beside the row), in the same
// run. Sizes: 100 B, 4 KiB and 20 KiB inline; 20 KiB + 1, 100 KiB and 1 MiB
// in files, as the disk cache places them by its default threshold. After
// the table, ours over the raw peer's items per second is printed per size.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/ratio_report.h"
#include "image/cache/TVKVStorage.h"
#include "platform/foundation/Data.h"

namespace {

constexpr int64_t Threshold = 20480;
constexpr int KeyCount = 32;
const std::vector<int64_t> Sizes{100, 4096, 20480, 20481, 102400, 1 << 20};

std::string scratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kv-bench-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

std::string keyOf(int i) { return "https://img.example.com/avatars/" + std::to_string(i) + ".png"; }
std::string fileOf(int i) { return "f" + std::to_string(i); }

// The storage's own schema, pragmas and statements, driven directly.
class RawStore {
public:
    explicit RawStore(const std::string& folder) : data_(folder + "/data") {
        std::filesystem::create_directories(data_);
        sqlite3_open((folder + "/manifest.sqlite").c_str(), &db_);
        sqlite3_exec(db_,
                     "pragma journal_mode = wal; pragma synchronous = normal; create table if not exists manifest "
                     "(key text, filename text, size integer, inline_data blob, modification_time integer, "
                     "last_access_time integer, extended_data blob, primary key(key)); create index if not exists "
                     "last_access_time_idx on manifest(last_access_time);",
                     nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db_,
                           "insert or replace into manifest (key, filename, size, inline_data, modification_time, "
                           "last_access_time, extended_data) values (?1, ?2, ?3, ?4, ?5, ?6, ?7);",
                           -1, &insert_, nullptr);
        sqlite3_prepare_v2(db_, "select inline_data from manifest where key = ?1;", -1, &selectInline_, nullptr);
        sqlite3_prepare_v2(db_, "select filename from manifest where key = ?1;", -1, &selectName_, nullptr);
        sqlite3_prepare_v2(db_, "update manifest set last_access_time = ?1 where key = ?2;", -1, &touch_, nullptr);
    }
    ~RawStore() {
        for (auto* stmt : {insert_, selectInline_, selectName_, touch_}) sqlite3_finalize(stmt);
        sqlite3_close(db_);
    }

    bool save(const std::string& key, const std::string& value, const std::string& filename) {
        if (!filename.empty()) {
            std::FILE* file = std::fopen((data_ + "/" + filename).c_str(), "wb");
            if (!file) return false;
            std::fwrite(value.data(), 1, value.size(), file);
            std::fclose(file);
        } else {
            // As the storage does: a value that goes inline drops an old file.
            sqlite3_reset(selectName_);
            sqlite3_bind_text(selectName_, 1, key.data(), int(key.size()), nullptr);
            sqlite3_step(selectName_);
        }
        const int now = int(std::time(nullptr));
        sqlite3_reset(insert_);
        sqlite3_bind_text(insert_, 1, key.data(), int(key.size()), nullptr);
        if (filename.empty()) {
            sqlite3_bind_null(insert_, 2);
            sqlite3_bind_blob(insert_, 4, value.data(), int(value.size()), nullptr);
        } else {
            sqlite3_bind_text(insert_, 2, filename.data(), int(filename.size()), nullptr);
            sqlite3_bind_null(insert_, 4);
        }
        sqlite3_bind_int(insert_, 3, int(value.size()));
        sqlite3_bind_int(insert_, 5, now);
        sqlite3_bind_int(insert_, 6, now);
        sqlite3_bind_null(insert_, 7);
        return sqlite3_step(insert_) == SQLITE_DONE;
    }

    size_t read(const std::string& key) {
        size_t length = 0;
        sqlite3_reset(selectName_);
        sqlite3_bind_text(selectName_, 1, key.data(), int(key.size()), nullptr);
        if (sqlite3_step(selectName_) == SQLITE_ROW && sqlite3_column_text(selectName_, 0)) {
            std::string path = data_ + "/" + reinterpret_cast<const char*>(sqlite3_column_text(selectName_, 0));
            std::FILE* file = std::fopen(path.c_str(), "rb");
            if (!file) return 0;
            std::fseek(file, 0, SEEK_END);
            std::vector<char> bytes(size_t(std::ftell(file)));
            std::fseek(file, 0, SEEK_SET);
            length = std::fread(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        } else {
            sqlite3_reset(selectInline_);
            sqlite3_bind_text(selectInline_, 1, key.data(), int(key.size()), nullptr);
            if (sqlite3_step(selectInline_) == SQLITE_ROW) {
                std::vector<char> bytes(size_t(sqlite3_column_bytes(selectInline_, 0)));
                std::memcpy(bytes.data(), sqlite3_column_blob(selectInline_, 0), bytes.size());
                length = bytes.size();
            }
        }
        sqlite3_reset(touch_);
        sqlite3_bind_int(touch_, 1, int(std::time(nullptr)));
        sqlite3_bind_text(touch_, 2, key.data(), int(key.size()), nullptr);
        sqlite3_step(touch_);
        return length;
    }

private:
    std::string data_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* selectInline_ = nullptr;
    sqlite3_stmt* selectName_ = nullptr;
    sqlite3_stmt* touch_ = nullptr;
};

void StorageSave(benchmark::State& state) {
    const std::string folder = scratchFolder();
    auto storage = TVKVStorage::initWithPath(folder, TVKVStorageTypeMixed);
    auto value = ns::Data::withBytes(std::string(size_t(state.range(0)), 'v'));
    const bool inFile = state.range(0) > Threshold;
    int i = 0;
    for (auto _ : state) {
        const int k = i++ % KeyCount;
        if (!storage->saveItemWithKey(keyOf(k), value, inFile ? fileOf(k) : "", nullptr)) state.SkipWithError("save");
    }
    state.SetItemsProcessed(state.iterations());
    storage.reset();
    std::filesystem::remove_all(folder);
}

void RawSave(benchmark::State& state) {
    const std::string folder = scratchFolder();
    const std::string value(size_t(state.range(0)), 'v');
    const bool inFile = state.range(0) > Threshold;
    {
        RawStore raw(folder);
        int i = 0;
        for (auto _ : state) {
            const int k = i++ % KeyCount;
            if (!raw.save(keyOf(k), value, inFile ? fileOf(k) : "")) state.SkipWithError("save");
        }
    }
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(folder);
}

void StorageRead(benchmark::State& state) {
    const std::string folder = scratchFolder();
    auto storage = TVKVStorage::initWithPath(folder, TVKVStorageTypeMixed);
    auto value = ns::Data::withBytes(std::string(size_t(state.range(0)), 'v'));
    const bool inFile = state.range(0) > Threshold;
    for (int k = 0; k < KeyCount; ++k) storage->saveItemWithKey(keyOf(k), value, inFile ? fileOf(k) : "", nullptr);
    int i = 0;
    for (auto _ : state) {
        auto read = storage->getItemValueForKey(keyOf(i++ % KeyCount));
        if (!read || int64_t(read->length()) != state.range(0)) state.SkipWithError("read");
    }
    state.SetItemsProcessed(state.iterations());
    storage.reset();
    std::filesystem::remove_all(folder);
}

void RawRead(benchmark::State& state) {
    const std::string folder = scratchFolder();
    const std::string value(size_t(state.range(0)), 'v');
    const bool inFile = state.range(0) > Threshold;
    {
        RawStore raw(folder);
        for (int k = 0; k < KeyCount; ++k) raw.save(keyOf(k), value, inFile ? fileOf(k) : "");
        int i = 0;
        for (auto _ : state) {
            if (int64_t(raw.read(keyOf(i++ % KeyCount))) != state.range(0)) state.SkipWithError("read");
        }
    }
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(folder);
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int64_t size : Sizes) b->Arg(size);
}

BENCHMARK(StorageSave)->Apply(sizes);
BENCHMARK(RawSave)->Apply(sizes);
BENCHMARK(StorageRead)->Apply(sizes);
BENCHMARK(RawRead)->Apply(sizes);

void printRatios(const bench::RunRecorder& runs) {
    std::printf("\nkey-value storage / raw SQLite and files, items per second (higher is better):\n");
    for (const char* op : {"Save", "Read"}) {
        for (int64_t size : Sizes) {
            const std::string arg = "/" + std::to_string(size);
            const double ours = runs.counter(std::string("Storage") + op + arg, "items_per_second");
            const double theirs = runs.counter(std::string("Raw") + op + arg, "items_per_second");
            if (ours <= 0 || theirs <= 0) continue;
            std::printf("  %-4s %8lld B %-6s %.2f\n", op, (long long)size, size > Threshold ? "file" : "inline",
                        ours / theirs);
        }
    }
}

}  // namespace

int main(int argc, char** argv) { return bench::runAndSummarize(argc, argv, printRatios); }
