#pragma once
// The file behind a file input or output stream: its descriptor and the
// position that the StreamFileCurrentOffsetKey property reads and moves.
// Internal to the streams.

#include <cstdint>
#include <string>

#include "platform/runtime/Object.h"

namespace ns::detail {

class StreamFile {
public:
    StreamFile(std::string path, int flags) : path_(std::move(path)), flags_(flags) {}
    ~StreamFile() { close(); }
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    // 0, or the errno of the failure.
    int open();
    void close();
    int fd() const { return fd_; }

    // The position as a number; before open, the one open() will seek to.
    Id offsetProperty() const;
    // False for a value that is not a number or a seek that fails.
    bool setOffsetProperty(const Id& value);

private:
    std::string path_;
    int flags_;
    int fd_ = -1;
    uint64_t pendingOffset_ = 0;
};

}  // namespace ns::detail
