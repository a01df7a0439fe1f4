// Writes every hostile shape into a folder as seeds for the image
// decoder's fuzz target, named for the shape:
//   write_hostile_seeds <folder> [longest]
// Each file starts with the two bytes that pick where the target cuts its
// input: the largest step, so a large file takes few incremental updates.
// A shape whose seed would be longer than `longest` bytes (by default
// 65,536, the image decoder fuzz run's -max_len, tests/image/codec/fuzz/run)
// is left out, named on the standard error: the fuzzer would cut it short.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/platform/graphics/hostile_images.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <folder> [longest]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const unsigned long long longest = argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 65'536;
    std::filesystem::create_directories(folder);
    for (const hostile::Shape& shape : hostile::shapes()) {
        const hostile::Bytes file = shape.make();
        if (file.size() + 2 > longest) {
            std::fprintf(stderr, "write_hostile_seeds: %s left out: %zu bytes\n", shape.name, file.size() + 2);
            continue;
        }
        std::ofstream out(folder / (std::string(shape.name) + "." + shape.extension), std::ios::binary);
        // 996 % 997 + 1: a cut every 997 bytes.
        const char step[2] = {char(996 >> 8), char(996 & 0xFF)};
        out.write(step, 2);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        if (!out) {
            std::fprintf(stderr, "write_hostile_seeds: could not write %s\n", shape.name);
            return 1;
        }
    }
    return 0;
}
