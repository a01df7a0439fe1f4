#pragma once
// Reading a whole file into memory, for Data and the blocking read of a
// file URL. Only regular files are read: a device or a FIFO has no end to
// read to (or makes the reader wait without end), and is refused at once.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/foundation/Data.h"

namespace ns::detail {

// The bytes of the regular file at `path`, or nil and why. A file longer
// than `limit` bytes is refused before its bytes are read; `mayHold`, when
// given, is asked before the bytes are held (false refuses the read).
Ref<Data> readRegularFile(const std::string& path, uint64_t limit, const std::function<bool(uint64_t)>& mayHold,
                          std::string& failure);

}  // namespace ns::detail
