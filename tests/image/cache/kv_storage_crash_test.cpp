#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image/cache/TVKVStorage.h"
#include "tests/image/cache/cache_test_support.h"
#include "tests/image/cache/kv_storage_writer_values.h"

extern char** environ;

namespace cache_test {
namespace {

// The writer process, its output on a pipe.
class Writer {
public:
    explicit Writer(const std::string& folder) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::string program = TV_KV_STORAGE_WRITER;
        std::vector<char*> argv{program.data(), const_cast<char*>(folder.c_str()), nullptr};
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = ::fdopen(fds[0], "r");
    }
    ~Writer() {
        kill();
        if (out_) std::fclose(out_);
    }

    // The generation of the next save that returned, or 0 when the writer ended.
    uint64_t nextSaved() {
        unsigned long long generation = 0;
        return out_ && std::fscanf(out_, "%llu", &generation) == 1 ? generation : 0;
    }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

using KVStorageCrashTest = CacheTest;

// Killed at any point of an overwrite, the value reads back as the old or
// the new bytes, never a mix, and no torn file is left.
TEST_F(KVStorageCrashTest, AWriterKilledMidOverwriteLeavesTheOldOrTheNewValue) {
    const std::string path = folder();
    for (int round = 0; round < 200; ++round) {
        uint64_t saved = 0;
        {
            Writer writer(path);
            // One to three saves returned; the writer is then in a later one.
            for (int i = 0; i <= round % 3; ++i) saved = writer.nextSaved();
            ASSERT_NE(saved, 0u) << "the writer stopped in round " << round;
            writer.kill();
            // What it saved before it died.
            while (uint64_t later = writer.nextSaved()) saved = later;
        }
        auto storage = TVKVStorage::initWithPath(path, TVKVStorageTypeMixed);
        ASSERT_TRUE(storage);
        auto value = storage->getItemValueForKey(WriterKey);
        ASSERT_TRUE(value) << "round " << round;
        auto generation = writerGeneration(text(value));
        ASSERT_TRUE(generation) << "a torn value in round " << round;
        EXPECT_TRUE(*generation == saved || *generation == saved + 1)
            << "round " << round << ": read " << *generation << " after " << saved << " was saved";
        for (const std::string& name : entries(path + "/data")) {
            EXPECT_EQ(name, WriterFileName) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace cache_test
