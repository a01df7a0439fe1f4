#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/OutputStream.h"

namespace ns {
namespace {

class OutputStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/stream-output-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static std::string contentsOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

    static int64_t write(OutputStream& stream, std::string_view text) {
        return stream.write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }

    std::string dir_;
};

TEST_F(OutputStreamTest, MemoryStreamCollectsWhatIsWrittenWhileOpen) {
    auto stream = OutputStream::toMemory();
    EXPECT_EQ(write(*stream, "early"), -1);
    stream->open();
    EXPECT_TRUE(stream->hasSpaceAvailable());
    EXPECT_EQ(write(*stream, "ab"), 2);
    EXPECT_EQ(write(*stream, "c"), 1);
    auto data = cast<Data>(stream->propertyForKey(StreamDataWrittenToMemoryStreamKey));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->view(), "abc");
    stream->close();
    EXPECT_FALSE(stream->hasSpaceAvailable());
    EXPECT_EQ(write(*stream, "late"), -1);
    EXPECT_EQ(cast<Data>(stream->propertyForKey(StreamDataWrittenToMemoryStreamKey))->view(), "abc");
}

TEST_F(OutputStreamTest, FileStreamReplacesOrAppends) {
    const std::string path = dir_ + "/out.txt";
    std::ofstream(path) << "old contents";

    auto replace = OutputStream::toFileAtPath(path, false);
    replace->open();
    EXPECT_EQ(write(*replace, "new"), 3);
    replace->close();
    EXPECT_EQ(contentsOf(path), "new");

    auto append = OutputStream::toFileAtPath(path, true);
    append->open();
    EXPECT_EQ(write(*append, "+more"), 5);
    append->close();
    EXPECT_EQ(contentsOf(path), "new+more");
}

TEST_F(OutputStreamTest, FileInMissingFolderFailsAtOpen) {
    auto stream = OutputStream::toFileAtPath(dir_ + "/no/such/folder/out.txt", false);
    stream->open();
    EXPECT_EQ(stream->streamStatus(), StreamStatusError);
    ASSERT_NE(stream->streamError(), nullptr);
    EXPECT_EQ(stream->streamError()->domain(), POSIXErrorDomain);
    EXPECT_EQ(stream->streamError()->code(), ENOENT);
    EXPECT_FALSE(stream->hasSpaceAvailable());
    EXPECT_EQ(write(*stream, "x"), -1);
}

// The copy loop a caller writes to move a body into a file: it must end by
// itself when the input runs dry.
TEST_F(OutputStreamTest, CopyLoopMovesAFileThroughAFixedBuffer) {
    std::string body;
    for (int i = 0; i < 5000; ++i) body += static_cast<char>(i % 251);
    const std::string from = dir_ + "/from.bin", to = dir_ + "/to.bin";
    std::ofstream(from, std::ios::binary) << body;

    auto input = InputStream::withFileAtPath(from);
    auto output = OutputStream::toFileAtPath(to, false);
    input->open();
    output->open();
    uint8_t buffer[1024];
    int rounds = 0;
    while (input->hasBytesAvailable() && output->hasSpaceAvailable()) {
        int64_t read = input->read(buffer, sizeof buffer);
        ASSERT_GE(read, 0);
        int64_t written = read ? output->write(buffer, uint64_t(read)) : 0;
        ASSERT_EQ(written, read);
        if (read == 0) break;
        ASSERT_LT(++rounds, 100);
    }
    input->close();
    output->close();
    EXPECT_EQ(contentsOf(to), body);
}

}  // namespace
}  // namespace ns
