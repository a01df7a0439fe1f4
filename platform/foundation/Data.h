#pragma once
// Byte buffers: immutable Data and MutableData.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class URL;

// The platform's base64 option bits.
enum Base64EncodingOptions : uint32_t {
    Base64Encoding64CharacterLineLength = 1 << 0,
    Base64Encoding76CharacterLineLength = 1 << 1,
    // With a line length and neither of these, lines end with CR LF.
    Base64EncodingEndLineWithCarriageReturn = 1 << 4,
    Base64EncodingEndLineWithLineFeed = 1 << 5,
};
enum Base64DecodingOptions : uint32_t {
    Base64DecodingIgnoreUnknownCharacters = 1 << 0,
};

class Data : public Object {
    RT_DECLARE_CLASS(Data)
public:
    Data() = default;
    explicit Data(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    static Ref<Data> make(std::vector<uint8_t> bytes = {});
    static Ref<Data> withBytes(const void* bytes, size_t length);
    // The bytes of a std::string as they are.
    static Ref<Data> withBytes(std::string_view bytes) { return withBytes(bytes.data(), bytes.size()); }
    // nil when the file cannot be read or is not a regular file (a device
    // or a FIFO has no end to read to).
    static Ref<Data> withContentsOfFile(const std::string& path);
    // The whole body of a URL, read synchronously (a file URL's regular file
    // from disk, under the same bounds, any other with a GET whose reply must be 2xx, following up to 16 redirects
    // as a data task does); nil when the read fails, the reply is longer than
    // a data task of the default session configuration may hold, the server
    // fails the default trust evaluation, or a limit of all such reads is
    // reached: 60 seconds for the whole read, 60 reads waiting at once (one
    // more gives nil at once) and 128 MiB held by all of them together
    // (BlockingRead.h). Blocks the calling thread (a pool worker lets another
    // start meanwhile): never call it on the main thread.
    static Ref<Data> withContentsOfURL(const Ref<URL>& url);
    // nil for text that is not padded base64 (characters outside the
    // alphabet are skipped only with Base64DecodingIgnoreUnknownCharacters).
    static Ref<Data> withBase64EncodedString(std::string_view text, uint32_t options = 0);

    uint64_t length() const { return bytes_.size(); }
    const uint8_t* bytes() const { return bytes_.data(); }
    std::string_view view() const { return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()}; }
    const std::vector<uint8_t>& vector() const { return bytes_; }

    // NSRangeException beyond the end.
    Ref<Data> subdataWithRange(Range range) const;
    bool isEqualToData(const Data* other) const { return other && other->bytes_ == bytes_; }
    std::string base64EncodedString(uint32_t options = 0) const;
    // Atomically: written to a temporary file beside it, then renamed.
    bool writeToFile(const std::string& path, bool atomically) const;

    // "<48656c6c 6f>": hexadecimal in groups of four bytes.
    std::string description() const override;
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override;
    Id mutableCopy() const override;

protected:
    std::vector<uint8_t> bytes_;
};

class MutableData : public Data {
    RT_DECLARE_CLASS(MutableData)
public:
    using Data::Data;
    static Ref<MutableData> make(std::vector<uint8_t> bytes = {});
    // `length` zero bytes.
    static Ref<MutableData> withLength(size_t length);
    // Empty, with room for `capacity` bytes before it must grow.
    static Ref<MutableData> withCapacity(size_t capacity);

    uint8_t* mutableBytes() { return bytes_.data(); }
    void appendBytes(const void* bytes, size_t length);
    void appendData(const Data* other);
    void appendData(const Ref<Data>& other) { appendData(other.get()); }
    // Grows with zero bytes or truncates.
    void setLength(size_t length);
    void increaseLengthBy(size_t extra) { setLength(bytes_.size() + extra); }
    // NSRangeException when the range reaches past the end.
    void replaceBytesInRange(Range range, const void* bytes, size_t length);
    void resetBytesInRange(Range range);
    void setData(const Data* other);

    Id copy() const override;
};

}  // namespace ns
