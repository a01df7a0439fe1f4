#pragma once
// Reading a file, for Data, the blocking read of a file URL and a session
// task's file URL. Only regular files are read: a device or a FIFO has no
// end to read to (or makes the reader wait without end), and is refused at
// once.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/foundation/Data.h"

namespace ns::detail {

// A descriptor of the regular file at `path`, its size in `size`, or -1
// and why. The caller closes it.
int openRegularFile(const std::string& path, uint64_t& size, std::string& failure);

// Why a file was not read.
struct FileReadFailure {
    std::string reason;
    // Memory could not hold its bytes: a reply too long to hold, not a
    // file that cannot be read.
    bool noMemory = false;
};

// The bytes of the regular file at `path`, or nil and why. A file longer
// than `limit` bytes is refused before its bytes are read; `mayHold`, when
// given, is asked before the bytes are held (false refuses the read). A
// reader with a bound passes it here, so that the file is weighed before a
// byte of it is read. Memory that cannot hold the bytes gives nil, "no
// memory left to read its N bytes", not an exception.
Ref<Data> readRegularFile(const std::string& path, uint64_t limit, const std::function<bool(uint64_t)>& mayHold,
                          FileReadFailure& failure);

// While set, reading a file of more than `bytes` bytes finds no memory for
// them, as when memory runs out; SIZE_MAX reads every file.
void failFileReadsPastForTesting(size_t bytes);

}  // namespace ns::detail
