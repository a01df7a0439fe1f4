#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "tests/platform/foundation/filemanager_test_folders.h"

namespace ns {
namespace {

using testing_support::readFile;
using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;

std::vector<std::string> texts(const Ref<Array>& array) {
    std::vector<std::string> out;
    if (array) {
        for (const Id& item : *array) out.push_back(cast<String>(item)->utf8());
    }
    return out;
}

// Checks the error code and the path an error names.
void expectError(const Ref<Error>& error, int64_t code, const std::string& path) {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), CocoaErrorDomain);
    EXPECT_EQ(error->code(), code) << error->description();
    EXPECT_EQ(textOf(error->userInfo()->objectForKey(FilePathErrorKey)), path);
}

class FileManagerTest : public ::testing::Test {
protected:
    Ref<FileManager> files_ = FileManager::defaultManager();
    ScratchFolder root_;
};

TEST_F(FileManagerTest, FoldersFilesAndListings) {
    Ref<Error> error;
    ASSERT_TRUE(files_->createDirectoryAtPath(root_ / "a/b/c", true, &error));
    EXPECT_TRUE(files_->createDirectoryAtPath(root_ / "a/b", true, &error));  // already there: fine with intermediates
    ASSERT_TRUE(files_->createFileAtPath(root_ / "a/b/file.txt", Data::withBytes(std::string_view("hello"))));
    ASSERT_TRUE(files_->createFileAtPath(root_ / "z.txt", nullptr));
    ASSERT_TRUE(files_->createFileAtPath(root_ / "m.txt", Data::withBytes(std::string_view("old"))));
    ASSERT_TRUE(files_->createFileAtPath(root_ / "m.txt", Data::withBytes(std::string_view("new"))));
    EXPECT_EQ(readFile(root_ / "m.txt"), "new");

    bool isDirectory = false;
    EXPECT_TRUE(files_->fileExistsAtPath(root_ / "a/b", &isDirectory));
    EXPECT_TRUE(isDirectory);
    EXPECT_TRUE(files_->fileExistsAtPath(root_ / "z.txt", &isDirectory));
    EXPECT_FALSE(isDirectory);
    EXPECT_FALSE(files_->fileExistsAtPath(root_ / "nope"));

    EXPECT_EQ(texts(files_->contentsOfDirectoryAtPath(root_.path())), (std::vector<std::string>{"a", "m.txt", "z.txt"}));
    EXPECT_EQ(texts(files_->subpathsOfDirectoryAtPath(root_.path())),
              (std::vector<std::string>{"a", "a/b", "a/b/c", "a/b/file.txt", "m.txt", "z.txt"}));
    EXPECT_EQ(texts(files_->subpathsAtPath(root_ / "a/b/c")), std::vector<std::string>{});
    EXPECT_FALSE(files_->subpathsAtPath(root_ / "missing"));

    // Without intermediates: an existing folder or a missing parent is an error.
    EXPECT_FALSE(files_->createDirectoryAtPath(root_ / "a", false, &error));
    expectError(error, FileWriteFileExistsError, root_ / "a");
    EXPECT_FALSE(files_->createDirectoryAtPath(root_ / "x/y", false, &error));
    expectError(error, FileNoSuchFileError, root_ / "x/y");
    // A file in the way of a folder.
    EXPECT_FALSE(files_->createDirectoryAtPath(root_ / "z.txt/sub", true, &error));
    expectError(error, FileWriteFileExistsError, root_ / "z.txt");
}

TEST_F(FileManagerTest, CopyMoveAndRemoveTrees) {
    root_.write("src/top.txt", "top");
    root_.write("src/deep/inner.bin", std::string("\0\1\2", 3));
    ::chmod((root_ / "src/top.txt").c_str(), 0640);
    std::filesystem::create_symlink("top.txt", root_ / "src/link");

    Ref<Error> error;
    ASSERT_TRUE(files_->copyItemAtPath(root_ / "src", root_ / "copy", &error)) << error->description();
    EXPECT_EQ(texts(files_->subpathsAtPath(root_ / "copy")), texts(files_->subpathsAtPath(root_ / "src")));
    EXPECT_EQ(readFile(root_ / "copy/deep/inner.bin"), std::string("\0\1\2", 3));
    EXPECT_TRUE(std::filesystem::is_symlink(root_ / "copy/link"));
    EXPECT_EQ(readFile(root_ / "copy/link"), "top");
    struct stat info {};
    ASSERT_EQ(::stat((root_ / "copy/top.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // Refusals leave both sides as they were.
    EXPECT_FALSE(files_->copyItemAtPath(root_ / "src/top.txt", root_ / "copy/top.txt", &error));
    expectError(error, FileWriteFileExistsError, root_ / "copy/top.txt");
    EXPECT_FALSE(files_->copyItemAtPath(root_ / "src", root_ / "src/deep/again", &error));
    EXPECT_FALSE(files_->fileExistsAtPath(root_ / "src/deep/again"));
    EXPECT_FALSE(files_->copyItemAtPath(root_ / "missing", root_ / "other", &error));
    expectError(error, FileReadNoSuchFileError, root_ / "missing");

    EXPECT_FALSE(files_->moveItemAtPath(root_ / "copy/top.txt", root_ / "src/top.txt", &error));
    expectError(error, FileWriteFileExistsError, root_ / "src/top.txt");
    EXPECT_EQ(readFile(root_ / "copy/top.txt"), "top");
    ASSERT_TRUE(files_->moveItemAtPath(root_ / "copy", root_ / "moved", &error));
    EXPECT_FALSE(files_->fileExistsAtPath(root_ / "copy"));
    EXPECT_EQ(readFile(root_ / "moved/deep/inner.bin"), std::string("\0\1\2", 3));
    EXPECT_FALSE(files_->moveItemAtPath(root_ / "copy", root_ / "again", &error));
    expectError(error, FileNoSuchFileError, root_ / "copy");

    ASSERT_TRUE(files_->removeItemAtPath(root_ / "moved", &error));
    EXPECT_FALSE(files_->fileExistsAtPath(root_ / "moved"));
    EXPECT_TRUE(files_->fileExistsAtPath(root_ / "src/top.txt"));  // the link's target was not followed
    EXPECT_FALSE(files_->removeItemAtPath(root_ / "moved", &error));
    expectError(error, FileNoSuchFileError, root_ / "moved");
    auto underlying = cast<Error>(error->userInfo()->objectForKey(UnderlyingErrorKey));
    ASSERT_TRUE(underlying);
    EXPECT_EQ(underlying->domain(), POSIXErrorDomain);
    EXPECT_EQ(underlying->code(), ENOENT);
}

TEST_F(FileManagerTest, AttributesOfFilesFoldersAndLinks) {
    const std::string file = root_.write("five.txt", "12345");
    const timespec times[2] = {{1714564800, 0}, {1714564800, 500000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    std::filesystem::create_symlink("five.txt", root_ / "link");

    auto attributes = files_->attributesOfItemAtPath(file);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(fileSize(*attributes), 5u);
    EXPECT_EQ(textOf(fileType(*attributes)), FileTypeRegular);
    EXPECT_EQ(fileModificationDate(*attributes)->timeIntervalSince1970(), 1714564800.5);
    EXPECT_EQ(textOf(files_->attributesOfItemAtPath(root_.path())->objectForKey(FileType)), FileTypeDirectory);
    EXPECT_EQ(textOf(files_->attributesOfItemAtPath(root_ / "link")->objectForKey(FileType)), FileTypeSymbolicLink);

    Ref<Error> error;
    EXPECT_FALSE(files_->attributesOfItemAtPath(root_ / "none", &error));
    expectError(error, FileReadNoSuchFileError, root_ / "none");
    EXPECT_FALSE(files_->contentsOfDirectoryAtPath(file, &error));  // not a folder
    EXPECT_EQ(error->code(), FileReadNoSuchFileError);
    EXPECT_EQ(fileSize(*Dictionary::make({})), 0u);
}

TEST(FileErrors, PosixErrorsMapToThePlatformsCodes) {
    struct Case {
        int posix;
        FileAccess access;
        int64_t code;
    };
    const Case cases[] = {
        {ENOENT, FileAccess::Read, FileReadNoSuchFileError}, {ENOENT, FileAccess::Write, FileNoSuchFileError},
        {EACCES, FileAccess::Read, FileReadNoPermissionError}, {EPERM, FileAccess::Write, FileWriteNoPermissionError},
        {EEXIST, FileAccess::Write, FileWriteFileExistsError}, {ENOSPC, FileAccess::Write, FileWriteOutOfSpaceError},
        {EROFS, FileAccess::Write, FileWriteVolumeReadOnlyError}, {EIO, FileAccess::Read, FileReadUnknownError},
        {EIO, FileAccess::Write, FileWriteUnknownError},
    };
    for (const Case& c : cases) {
        auto error = fileError(c.posix, c.access, "/some/path");
        EXPECT_EQ(error->code(), c.code) << c.posix;
        EXPECT_EQ(textOf(error->userInfo()->objectForKey(FilePathErrorKey)), "/some/path");
        EXPECT_EQ(cast<Error>(error->userInfo()->objectForKey(UnderlyingErrorKey))->code(), c.posix);
    }
}

TEST_F(FileManagerTest, FileSystemFreeSizeIsRealUnlessATestSetsIt) {
    Ref<Error> error;
    auto real = files_->attributesOfFileSystemForPath(root_.path(), &error);
    ASSERT_TRUE(real) << error->description();
    EXPECT_GE(fileSystemFreeSize(*real), 0);
    EXPECT_LE(uint64_t(fileSystemFreeSize(*real)), cast<Number>(real->objectForKey(FileSystemSize))->unsignedLongLongValue());

    FileManager::setFileSystemFreeSizeForTesting(12345);
    EXPECT_EQ(fileSystemFreeSize(*files_->attributesOfFileSystemForPath(root_.path())), 12345);
    FileManager::setFileSystemFreeSizeForTesting(std::nullopt);

    EXPECT_FALSE(files_->attributesOfFileSystemForPath(root_ / "missing/folder", &error));
    expectError(error, FileReadNoSuchFileError, root_ / "missing/folder");
    EXPECT_EQ(fileSystemFreeSize(*Dictionary::make({})), -1);
}

TEST(HomeDirectory, FromTheEnvironmentOrUnderTheUsersHome) {
    ScratchFolder scratch;
    ScopedEnvironment environment;
    environment.set("GAMEHOST_HOME", scratch / "home/");
    EXPECT_EQ(homeDirectory(), scratch / "home");
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "home"));
    auto temporary = FileManager::defaultManager()->temporaryDirectory();
    EXPECT_EQ(textOf(temporary->path()), scratch / "home/tmp");
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "home/tmp"));
    EXPECT_EQ(temporaryDirectory(), scratch / "home/tmp/");
    EXPECT_EQ(cachesDirectory(), scratch / "home/Library/Caches");
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "home/Library/Caches"));

    environment.unset("GAMEHOST_HOME");
    environment.set("HOME", scratch / "user");
    EXPECT_EQ(homeDirectory(), scratch / "user/.local/share/gamehost");
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "user/.local/share/gamehost"));
}

}  // namespace
}  // namespace ns
