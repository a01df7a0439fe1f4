#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/URL.h"

namespace ns {
namespace {

class InputStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/stream-input-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string writeFile(const std::string& name, const std::string& contents) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }

    // Every byte value, zero included, several times over.
    static std::string sampleBytes(size_t size) {
        std::string bytes;
        for (size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 7) % 256);
        return bytes;
    }

    std::string dir_;
};

std::string drain(InputStream& stream, uint64_t chunk) {
    std::string out;
    std::string buffer(chunk, '\0');
    int64_t n;
    while ((n = stream.read(reinterpret_cast<uint8_t*>(buffer.data()), chunk)) > 0) out.append(buffer, 0, size_t(n));
    EXPECT_EQ(n, 0);
    return out;
}

TEST_F(InputStreamTest, FileReadOneByteAtATimeGivesEveryByteOnce) {
    const std::string contents = sampleBytes(1000);
    auto stream = InputStream::withFileAtPath(writeFile("body.bin", contents));
    stream->open();
    ASSERT_EQ(stream->streamStatus(), StreamStatusOpen);
    EXPECT_EQ(drain(*stream, 1), contents);
    EXPECT_EQ(stream->streamStatus(), StreamStatusAtEnd);
    EXPECT_FALSE(stream->hasBytesAvailable());
    EXPECT_EQ(stream->read(nullptr, 0), 0);
    EXPECT_EQ(stream->streamError(), nullptr);
}

TEST_F(InputStreamTest, StatusMovesFromNotOpenToClosedAndNeverReopens) {
    auto stream = InputStream::withFileAtPath(writeFile("a.txt", "abc"));
    uint8_t byte;
    EXPECT_EQ(stream->streamStatus(), StreamStatusNotOpen);
    EXPECT_EQ(stream->read(&byte, 1), -1);
    stream->open();
    EXPECT_EQ(stream->streamStatus(), StreamStatusOpen);
    EXPECT_TRUE(stream->hasBytesAvailable());
    EXPECT_EQ(drain(*stream, 2), "abc");
    EXPECT_EQ(stream->streamStatus(), StreamStatusAtEnd);
    stream->close();
    EXPECT_EQ(stream->streamStatus(), StreamStatusClosed);
    EXPECT_EQ(stream->read(&byte, 1), -1);
    stream->open();
    EXPECT_EQ(stream->streamStatus(), StreamStatusClosed);
}

TEST_F(InputStreamTest, MissingFileFailsAtOpenWithThePosixError) {
    auto stream = InputStream::withFileAtPath(dir_ + "/absent");
    ASSERT_NE(stream, nullptr);
    stream->open();
    EXPECT_EQ(stream->streamStatus(), StreamStatusError);
    ASSERT_NE(stream->streamError(), nullptr);
    EXPECT_EQ(stream->streamError()->domain(), POSIXErrorDomain);
    EXPECT_EQ(stream->streamError()->code(), ENOENT);
    uint8_t byte;
    EXPECT_EQ(stream->read(&byte, 1), -1);
}

TEST_F(InputStreamTest, ReadFailureMovesToErrorState) {
    auto stream = InputStream::withFileAtPath(dir_);  // a folder opens, but cannot be read
    stream->open();
    ASSERT_EQ(stream->streamStatus(), StreamStatusOpen);
    uint8_t buffer[8];
    EXPECT_EQ(stream->read(buffer, sizeof buffer), -1);
    EXPECT_EQ(stream->streamStatus(), StreamStatusError);
    ASSERT_NE(stream->streamError(), nullptr);
    EXPECT_EQ(stream->streamError()->code(), EISDIR);
}

TEST_F(InputStreamTest, DataStreamReadsASnapshotAndEndsWithTheLastByte) {
    auto bytes = MutableData::make({'h', 'e', 'l', 'l', 'o'});
    auto stream = InputStream::withData(bytes);
    bytes->appendBytes("!!", 2);
    stream->open();
    uint8_t buffer[16];
    ASSERT_EQ(stream->read(buffer, 3), 3);
    EXPECT_TRUE(stream->hasBytesAvailable());
    EXPECT_EQ(stream->streamStatus(), StreamStatusOpen);
    ASSERT_EQ(stream->read(buffer + 3, sizeof buffer - 3), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "hello");
    EXPECT_EQ(stream->streamStatus(), StreamStatusAtEnd);
    EXPECT_FALSE(stream->hasBytesAvailable());

    auto empty = InputStream::withData(nullptr);
    empty->open();
    EXPECT_EQ(empty->read(buffer, 1), 0);
    EXPECT_EQ(empty->streamStatus(), StreamStatusAtEnd);
}

TEST_F(InputStreamTest, FileOffsetPropertyPositionsTheRead) {
    auto stream = InputStream::withFileAtPath(writeFile("offset.txt", "0123456789"));
    EXPECT_TRUE(stream->setPropertyForKey(num(4), StreamFileCurrentOffsetKey));
    EXPECT_FALSE(stream->setPropertyForKey(str("4"), StreamFileCurrentOffsetKey));
    EXPECT_FALSE(stream->setPropertyForKey(num(1), "unknown"));
    stream->open();
    uint8_t buffer[3];
    ASSERT_EQ(stream->read(buffer, 3), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "456");
    auto offset = cast<Number>(stream->propertyForKey(StreamFileCurrentOffsetKey));
    ASSERT_NE(offset, nullptr);
    EXPECT_EQ(offset->longLongValue(), 7);
    EXPECT_EQ(stream->propertyForKey("unknown"), nullptr);
}

TEST_F(InputStreamTest, FileURLsOnly) {
    std::string path = writeFile("u.txt", "url");
    auto stream = InputStream::withURL(*URL::fileURLWithPath(path));
    ASSERT_NE(stream, nullptr);
    stream->open();
    EXPECT_EQ(drain(*stream, 8), "url");
    EXPECT_EQ(InputStream::withURL(*URL::make("https://example.com/u.txt")), nullptr);
}

// A stream of its own: counts down from a number, one digit per byte.
class CountdownStream : public InputStream {
public:
    explicit CountdownStream(int from) : next_(from) {}
    int64_t read(uint8_t* buffer, uint64_t maxLength) override {
        if (streamStatus() != StreamStatusOpen) return -1;
        uint64_t n = 0;
        while (n < maxLength && next_ >= 0) buffer[n++] = uint8_t('0' + next_--);
        return int64_t(n);
    }
    bool hasBytesAvailable() const override { return next_ >= 0; }

private:
    int next_;
};

TEST_F(InputStreamTest, SubclassUsesTheSharedStatusMachine) {
    Ref<InputStream> stream = std::make_shared<CountdownStream>(5);
    EXPECT_TRUE(stream->isKindOf("NSInputStream"));
    EXPECT_TRUE(stream->isKindOf("NSStream"));
    stream->open();
    EXPECT_EQ(stream->streamStatus(), StreamStatusOpen);
    EXPECT_EQ(drain(*stream, 4), "543210");
    uint8_t* buffer = nullptr;
    uint64_t length = 0;
    EXPECT_FALSE(stream->getBuffer(&buffer, &length));
    stream->close();
    EXPECT_EQ(stream->streamStatus(), StreamStatusClosed);
}

}  // namespace
}  // namespace ns
