#pragma once
// What the cache tests share: mock time with a fixed wall date, a scratch
// folder that is also the app's home, and readers of the raw folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/filemanager_test_folders.h"

namespace cache_test {

using ns::testing_support::readFile;
using ns::testing_support::ScopedEnvironment;
using ns::testing_support::ScratchFolder;

// 2024-01-01 00:00:00 UTC: stored times are UNIX seconds of the wall clock.
inline constexpr double WallDate = 1704067200.0;

class CacheTest : public ::testing::Test {
protected:
    CacheTest() {
        env_.setWallTime(WallDate);
        home_.set("GAMEHOST_HOME", scratch_ / "home");
    }

    std::string folder(const std::string& name = "kv") const { return scratch_ / name; }

    testing::TaskEnvironment env_;
    ScratchFolder scratch_;
    ScopedEnvironment home_;
};

inline ns::Ref<ns::Data> bytes(size_t length, char fill = 'v') {
    return ns::Data::withBytes(std::string(length, fill));
}

inline std::string text(const ns::Ref<ns::Data>& data) {
    return data ? std::string(reinterpret_cast<const char*>(data->bytes()), size_t(data->length())) : std::string();
}

// Names in a folder, sorted; empty for a missing folder.
inline std::vector<std::string> entries(const std::string& path) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace cache_test
