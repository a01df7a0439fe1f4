#include "platform/foundation/Data.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <fstream>
#include <iterator>
#include <new>
#include <unistd.h>

#include "platform/foundation/FileContents.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(Data, Object, "NSData")
RT_DEFINE_CLASS(MutableData, Data, "NSMutableData")

namespace {

constexpr char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

void checkRange(const Data& data, Range range, const char* method) {
    if (range.location > data.length() || range.length > data.length() - range.location) {
        Exception::raise(RangeException, "-[" + data.className() + " " + method + "]: range {" +
                                             std::to_string(range.location) + ", " + std::to_string(range.length) +
                                             "} exceeds data length " + std::to_string(data.length()));
    }
}

}  // namespace

Ref<Data> Data::make(std::vector<uint8_t> bytes) { return std::make_shared<Data>(std::move(bytes)); }

Ref<Data> Data::withBytes(const void* bytes, size_t length) {
    auto p = static_cast<const uint8_t*>(bytes);
    return make(std::vector<uint8_t>(p, p + length));
}

namespace detail {

int openRegularFile(const std::string& path, uint64_t& size, std::string& failure) {
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        failure = std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        failure = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        failure = "it is not a regular file";
        ::close(fd);
        return -1;
    }
    size = uint64_t(info.st_size);
    return fd;
}

namespace {
std::atomic<size_t> failingReadsPast{SIZE_MAX};
}  // namespace

void failFileReadsPastForTesting(size_t bytes) { failingReadsPast.store(bytes); }

Ref<Data> readRegularFile(const std::string& path, uint64_t limit, const std::function<bool(uint64_t)>& mayHold,
                          FileReadFailure& readFailure) {
    std::string& failure = readFailure.reason;
    uint64_t size = 0;
    const int fd = openRegularFile(path, size, failure);
    if (fd < 0) return nullptr;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (size > limit) {
        failure = "it is longer than " + std::to_string(limit) + " bytes";
        return nullptr;
    }
    if (mayHold && !mayHold(size)) {
        failure = "there is no room to hold its " + std::to_string(size) + " bytes";
        return nullptr;
    }
    // A file that grows meanwhile is read as far as its size said. Its
    // bytes are one allocation, which memory may not have.
    std::vector<uint8_t> bytes;
    try {
        if (size > failingReadsPast.load()) throw std::bad_alloc();
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        failure = "no memory left to read its " + std::to_string(size) + " bytes";
        readFailure.noMemory = true;
        return nullptr;
    }
    size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            failure = std::strerror(errno);
            return nullptr;
        }
        if (got == 0) break;
        filled += size_t(got);
    }
    bytes.resize(filled);
    try {
        return Data::make(std::move(bytes));
    } catch (const std::bad_alloc&) {
        failure = "no memory left to read its " + std::to_string(size) + " bytes";
        readFailure.noMemory = true;
        return nullptr;
    }
}

}  // namespace detail

Ref<Data> Data::withContentsOfFile(const std::string& path) {
    detail::FileReadFailure failure;
    return detail::readRegularFile(path, UINT64_MAX, {}, failure);
}

Ref<Data> Data::withBase64EncodedString(std::string_view text, uint32_t options) {
    const bool ignoreUnknown = options & Base64DecodingIgnoreUnknownCharacters;
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int filled = 0, padding = 0;
    for (char c : text) {
        if (c == '=') {
            ++padding;
            continue;
        }
        int v = base64Value(c);
        if (v < 0) {
            if (ignoreUnknown) continue;
            return nullptr;
        }
        if (padding) return nullptr;  // data after padding
        group = group << 6 | uint32_t(v);
        if (++filled == 4) {
            out.push_back(uint8_t(group >> 16));
            out.push_back(uint8_t(group >> 8));
            out.push_back(uint8_t(group));
            group = 0;
            filled = 0;
        }
    }
    // The tail must be padded to a whole group of four.
    if (filled == 0 && padding == 0) return make(std::move(out));
    if (filled == 2 && padding == 2) {
        out.push_back(uint8_t(group >> 4));
    } else if (filled == 3 && padding == 1) {
        out.push_back(uint8_t(group >> 10));
        out.push_back(uint8_t(group >> 2));
    } else {
        return nullptr;
    }
    return make(std::move(out));
}

Ref<Data> Data::subdataWithRange(Range range) const {
    checkRange(*this, range, "subdataWithRange:");
    return withBytes(bytes_.data() + range.location, range.length);
}

std::string Data::base64EncodedString(uint32_t options) const {
    size_t lineLength = (options & Base64Encoding64CharacterLineLength)   ? 64
                        : (options & Base64Encoding76CharacterLineLength) ? 76
                                                                          : 0;
    std::string ending;
    if (options & Base64EncodingEndLineWithCarriageReturn) ending += '\r';
    if (options & Base64EncodingEndLineWithLineFeed) ending += '\n';
    if (ending.empty()) ending = "\r\n";

    std::string plain;
    plain.reserve((bytes_.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes_.size(); i += 3) {
        uint32_t group = uint32_t(bytes_[i]) << 16;
        if (i + 1 < bytes_.size()) group |= uint32_t(bytes_[i + 1]) << 8;
        if (i + 2 < bytes_.size()) group |= bytes_[i + 2];
        plain += base64Alphabet[group >> 18 & 63];
        plain += base64Alphabet[group >> 12 & 63];
        plain += i + 1 < bytes_.size() ? base64Alphabet[group >> 6 & 63] : '=';
        plain += i + 2 < bytes_.size() ? base64Alphabet[group & 63] : '=';
    }
    if (lineLength == 0) return plain;
    std::string out;
    for (size_t i = 0; i < plain.size(); i += lineLength) {
        if (i) out += ending;
        out.append(plain, i, lineLength);
    }
    return out;
}

bool Data::writeToFile(const std::string& path, bool atomically) const {
    const std::string target = atomically ? path + ".tmp-" + std::to_string(::getpid()) : path;
    {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
        out.flush();
        if (!out) {
            if (atomically) std::remove(target.c_str());
            return false;
        }
    }
    if (atomically && std::rename(target.c_str(), path.c_str()) != 0) {
        std::remove(target.c_str());
        return false;
    }
    return true;
}

std::string Data::description() const {
    static const char hex[] = "0123456789abcdef";
    std::string out = "<";
    out.reserve(bytes_.size() * 9 / 4 + 2);
    for (size_t i = 0; i < bytes_.size(); ++i) {
        if (i && i % 4 == 0) out += ' ';
        out += hex[bytes_[i] >> 4];
        out += hex[bytes_[i] & 0xF];
    }
    return out + ">";
}

uint64_t Data::hash() const {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes_) h = (h ^ b) * 0x100000001b3ull;
    return h;
}

bool Data::isEqual(const Object* other) const {
    auto data = dynamic_cast<const Data*>(other);
    return data && data->bytes_ == bytes_;
}

Id Data::copy() const { return self(); }

Id Data::mutableCopy() const { return MutableData::make(bytes_); }

// ---- MutableData ----

Ref<MutableData> MutableData::make(std::vector<uint8_t> bytes) { return std::make_shared<MutableData>(std::move(bytes)); }

Ref<MutableData> MutableData::withLength(size_t length) { return make(std::vector<uint8_t>(length, 0)); }

Id MutableData::copy() const { return Data::make(bytes_); }

void MutableData::appendBytes(const void* bytes, size_t length) {
    auto p = static_cast<const uint8_t*>(bytes);
    bytes_.insert(bytes_.end(), p, p + length);
}

Ref<MutableData> MutableData::withCapacity(size_t capacity) {
    auto data = make();
    data->bytes_.reserve(capacity);
    return data;
}

void MutableData::appendData(const Data* other) {
    if (other) appendBytes(other->bytes(), other->length());
}

void MutableData::setLength(size_t length) { bytes_.resize(length, 0); }

void MutableData::replaceBytesInRange(Range range, const void* bytes, size_t length) {
    checkRange(*this, range, "replaceBytesInRange:withBytes:length:");
    auto p = static_cast<const uint8_t*>(bytes);
    auto at = bytes_.begin() + std::ptrdiff_t(range.location);
    at = bytes_.erase(at, at + std::ptrdiff_t(range.length));
    bytes_.insert(at, p, p + length);
}

void MutableData::resetBytesInRange(Range range) {
    checkRange(*this, range, "resetBytesInRange:");
    std::fill_n(bytes_.begin() + std::ptrdiff_t(range.location), range.length, 0);
}

void MutableData::setData(const Data* other) {
    if (other) bytes_ = other->vector();
    else bytes_.clear();
}

}  // namespace ns
