#include "platform/foundation/OutputStream.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/foundation/Data.h"
#include "platform/foundation/StreamFile.h"
#include "platform/foundation/URL.h"

namespace ns {

RT_DEFINE_CLASS(OutputStream, Stream, "NSOutputStream")

namespace {

class MemoryOutputStream final : public OutputStream {
public:
    int64_t write(const uint8_t* buffer, uint64_t maxLength) override {
        if (streamStatus() != StreamStatusOpen) return -1;
        {
            std::lock_guard<std::mutex> hold(lock_);
            bytes_->appendBytes(buffer, maxLength);
        }
        signal(StreamEventHasSpaceAvailable);
        return int64_t(maxLength);
    }

    bool hasSpaceAvailable() const override { return streamStatus() == StreamStatusOpen; }

    Id propertyForKey(std::string_view key) const override {
        if (key == StreamDataWrittenToMemoryStreamKey) {
            std::lock_guard<std::mutex> hold(lock_);
            return bytes_->copy();
        }
        return OutputStream::propertyForKey(key);
    }

private:
    mutable std::mutex lock_;
    Ref<MutableData> bytes_ = MutableData::make();
};

class FileOutputStream final : public detail::FileBackedStream<OutputStream> {
public:
    FileOutputStream(std::string path, bool append)
        : FileBackedStream(std::move(path), O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC)) {}

    int64_t write(const uint8_t* buffer, uint64_t maxLength) override {
        if (streamStatus() != StreamStatusOpen) return -1;
        ssize_t count;
        do {
            count = ::write(file_.fd(), buffer, maxLength);
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            failWithErrno(errno);
            return -1;
        }
        signal(StreamEventHasSpaceAvailable);
        return count;
    }

    bool hasSpaceAvailable() const override { return streamStatus() == StreamStatusOpen; }
};

}  // namespace

Ref<OutputStream> OutputStream::toMemory() { return std::make_shared<MemoryOutputStream>(); }

Ref<OutputStream> OutputStream::toFileAtPath(std::string path, bool append) {
    return std::make_shared<FileOutputStream>(std::move(path), append);
}

Ref<OutputStream> OutputStream::withURL(const URL& url, bool append) {
    if (!url.isFileURL()) return nullptr;
    Ref<String> path = url.path();
    return path ? toFileAtPath(path->utf8(), append) : nullptr;
}

}  // namespace ns
