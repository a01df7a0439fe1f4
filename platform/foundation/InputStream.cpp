#include "platform/foundation/InputStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/foundation/Data.h"
#include "platform/foundation/StreamFile.h"
#include "platform/foundation/URL.h"

namespace ns {

RT_DEFINE_CLASS(InputStream, Stream, "NSInputStream")

bool InputStream::getBuffer(uint8_t**, uint64_t*) { return false; }

namespace {

// Reaches its end with the read that takes the last byte.
class DataInputStream final : public InputStream {
public:
    explicit DataInputStream(Ref<Data> data) : data_(std::move(data)) {}

    int64_t read(uint8_t* buffer, uint64_t maxLength) override {
        const StreamStatus status = streamStatus();
        if (status == StreamStatusAtEnd) return 0;
        if (status != StreamStatusOpen) return -1;
        const uint64_t count = std::min<uint64_t>(maxLength, data_->length() - position_);
        if (count) std::memcpy(buffer, data_->bytes() + position_, count);
        position_ += count;
        if (position_ == data_->length()) {
            setStreamStatus(StreamStatusAtEnd);
            signal(StreamEventEndEncountered);
        } else {
            signal(StreamEventHasBytesAvailable);
        }
        return int64_t(count);
    }

    bool hasBytesAvailable() const override {
        return streamStatus() == StreamStatusOpen && position_ < data_->length();
    }

private:
    Ref<Data> data_;
    uint64_t position_ = 0;
};

// Reaches its end when a read finds nothing more in the file.
class FileInputStream final : public detail::FileBackedStream<InputStream> {
public:
    explicit FileInputStream(std::string path) : FileBackedStream(std::move(path), O_RDONLY) {}

    int64_t read(uint8_t* buffer, uint64_t maxLength) override {
        const StreamStatus status = streamStatus();
        if (status == StreamStatusAtEnd) return 0;
        if (status != StreamStatusOpen) return -1;
        ssize_t count;
        do {
            count = ::read(file_.fd(), buffer, maxLength);
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            failWithErrno(errno);
            return -1;
        }
        if (count == 0 && maxLength > 0) {
            setStreamStatus(StreamStatusAtEnd);
            signal(StreamEventEndEncountered);
        } else {
            signal(StreamEventHasBytesAvailable);
        }
        return count;
    }

    bool hasBytesAvailable() const override { return streamStatus() == StreamStatusOpen; }
};

}  // namespace

Ref<InputStream> InputStream::withData(const Ref<Data>& data) {
    Ref<Data> bytes = data ? std::static_pointer_cast<Data>(data->copy()) : Data::make();
    return std::make_shared<DataInputStream>(std::move(bytes));
}

Ref<InputStream> InputStream::withFileAtPath(std::string path) {
    return std::make_shared<FileInputStream>(std::move(path));
}

Ref<InputStream> InputStream::withURL(const URL& url) {
    if (!url.isFileURL()) return nullptr;
    Ref<String> path = url.path();
    return path ? withFileAtPath(path->utf8()) : nullptr;
}

}  // namespace ns
