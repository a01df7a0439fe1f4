#include "platform/foundation/UserDefaultsInPlaceWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace ns::detail {

namespace {

std::atomic<InPlaceCut> cutForTesting{InPlaceCut::None};

// Writes all of `bytes` at the file's start; false with errno set when the
// system refuses part of it.
bool writeAt0(int fd, const std::string& bytes, size_t limit) {
    size_t done = 0;
    while (done < bytes.size()) {
        if (done >= limit) {
            errno = ENOSPC;
            return false;
        }
        ssize_t n = ::pwrite(fd, bytes.data() + done, std::min(bytes.size(), limit) - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool readAll(int fd, std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

std::string reason(int error) { return std::strerror(error ? error : EIO); }

}  // namespace

void setInPlaceCutForTesting(InPlaceCut cut) { cutForTesting.store(cut); }

std::string writeDefaultsInPlace(const std::string& path, const Data& data) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return "cannot open the old one: " + reason(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) return "cannot read the old one: " + reason(errno);
    if (!S_ISREG(info.st_mode)) return "the old one is no plain file";
    const size_t size = size_t(info.st_size);
    if (data.length() > size) return "no room over the old one either";

    std::string old(size, '\0');
    if (!readAll(fd, old)) return "cannot read the old one: " + reason(errno);
    std::string bytes(reinterpret_cast<const char*>(data.bytes()), data.length());
    if (bytes.size() < size) {
        bytes.append(size - bytes.size() - 1, ' ');
        bytes.push_back('\n');
    }

    const InPlaceCut cut = cutForTesting.load();
    const size_t limit = cut == InPlaceCut::WriteFailsHalfway ? bytes.size() / 2 : bytes.size();
    if (!writeAt0(fd, bytes, limit)) {
        const int why = errno;
        if (!writeAt0(fd, old, old.size()) || ::fsync(fd) != 0) {
            return "the write over the old one failed (" + reason(why) + ") and the old bytes could not be put back";
        }
        return "the write over the old one failed (" + reason(why) + "); the old one is left as it was";
    }
    if (cut == InPlaceCut::ProcessEndsAfterWrite) return "cut short for a test: the process ended after the write";
    if (::fsync(fd) != 0) return "the write over the old one did not reach the disk: " + reason(errno);
    return {};
}

}  // namespace ns::detail
