#pragma once
// The file behind a file input or output stream: its descriptor and the
// position that the StreamFileCurrentOffsetKey property reads and moves.
// Internal to the streams.

#include <cstdint>
#include <string>

#include "platform/foundation/Stream.h"
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

// What a file stream of either direction adds to its stream class: the file
// opened and closed with the stream, and its offset as a property.
template <class Direction>
class FileBackedStream : public Direction {
public:
    FileBackedStream(std::string path, int flags) : file_(std::move(path), flags) {}

    Id propertyForKey(std::string_view key) const override {
        if (key == StreamFileCurrentOffsetKey) return file_.offsetProperty();
        return Direction::propertyForKey(key);
    }

    bool setPropertyForKey(const Id& property, std::string_view key) override {
        if (key == StreamFileCurrentOffsetKey) return file_.setOffsetProperty(property);
        return Direction::setPropertyForKey(property, key);
    }

protected:
    bool openResources() override {
        if (int error = file_.open()) {
            this->failWithErrno(error);
            return false;
        }
        return true;
    }

    void closeResources() override { file_.close(); }

    StreamFile file_;
};

}  // namespace ns::detail
