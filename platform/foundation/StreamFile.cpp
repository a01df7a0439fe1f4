#include "platform/foundation/StreamFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/foundation/Number.h"

namespace ns::detail {

int StreamFile::open() {
    do {
        fd_ = ::open(path_.c_str(), flags_ | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) return errno;
    if (pendingOffset_ && ::lseek(fd_, off_t(pendingOffset_), SEEK_SET) < 0) {
        int error = errno;
        close();
        return error;
    }
    return 0;
}

void StreamFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Id StreamFile::offsetProperty() const {
    if (fd_ < 0) return Number::withUnsignedLongLong(pendingOffset_);
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    return at < 0 ? nullptr : Number::withUnsignedLongLong(uint64_t(at));
}

bool StreamFile::setOffsetProperty(const Id& value) {
    auto number = cast<Number>(value);
    if (!number) return false;
    uint64_t offset = number->unsignedLongLongValue();
    if (fd_ < 0) {
        pendingOffset_ = offset;
        return true;
    }
    return ::lseek(fd_, off_t(offset), SEEK_SET) >= 0;
}

}  // namespace ns::detail
