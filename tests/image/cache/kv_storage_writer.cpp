// Overwrites one 1 MiB value in a storage without end, printing each
// generation once its save has returned. The crash-safety test kills it at
// some point of a save and checks what is left.
//
//   tv_kv_storage_writer <folder>

#include <cstdio>
#include <string>

#include "image/cache/TVKVStorage.h"
#include "tests/image/cache/kv_storage_writer_values.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    auto storage = TVKVStorage::initWithPath(argv[1], TVKVStorageTypeMixed);
    if (!storage) return 1;
    uint64_t generation = 0;
    if (auto value = storage->getItemValueForKey(cache_test::WriterKey)) {
        auto found = cache_test::writerGeneration(
            std::string(reinterpret_cast<const char*>(value->bytes()), size_t(value->length())));
        if (!found) return 3;
        generation = *found;
    }
    for (;;) {
        ++generation;
        auto value = ns::Data::withBytes(cache_test::writerValue(generation));
        if (!storage->saveItemWithKey(cache_test::WriterKey, value, cache_test::WriterFileName, nullptr)) return 4;
        std::printf("%llu\n", (unsigned long long)generation);
        std::fflush(stdout);
    }
}
