#pragma once
// The file manager: existence, folders, listing, removing, moving, copying
// and attributes, with failures as errors of CocoaErrorDomain carrying the path.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

// The platform's file error codes (CocoaErrorDomain).
inline constexpr int64_t FileNoSuchFileError = 4;
inline constexpr int64_t FileReadUnknownError = 256;
inline constexpr int64_t FileReadNoPermissionError = 257;
inline constexpr int64_t FileReadInvalidFileNameError = 258;
inline constexpr int64_t FileReadNoSuchFileError = 260;
inline constexpr int64_t FileWriteUnknownError = 512;
inline constexpr int64_t FileWriteNoPermissionError = 513;
inline constexpr int64_t FileWriteInvalidFileNameError = 514;
inline constexpr int64_t FileWriteFileExistsError = 516;
inline constexpr int64_t FileWriteOutOfSpaceError = 640;
inline constexpr int64_t FileWriteVolumeReadOnlyError = 642;

// User-info key of the path an error is about.
inline constexpr const char* FilePathErrorKey = "NSFilePath";

// Attribute keys and file types.
inline constexpr const char* FileType = "NSFileType";
inline constexpr const char* FileSize = "NSFileSize";
inline constexpr const char* FileModificationDate = "NSFileModificationDate";
inline constexpr const char* FilePosixPermissions = "NSFilePosixPermissions";
inline constexpr const char* FileSystemSize = "NSFileSystemSize";
inline constexpr const char* FileSystemFreeSize = "NSFileSystemFreeSize";
inline constexpr const char* FileTypeRegular = "NSFileTypeRegular";
inline constexpr const char* FileTypeDirectory = "NSFileTypeDirectory";
inline constexpr const char* FileTypeSymbolicLink = "NSFileTypeSymbolicLink";
inline constexpr const char* FileTypeSocket = "NSFileTypeSocket";
inline constexpr const char* FileTypeCharacterSpecial = "NSFileTypeCharacterSpecial";
inline constexpr const char* FileTypeBlockSpecial = "NSFileTypeBlockSpecial";
inline constexpr const char* FileTypeUnknown = "NSFileTypeUnknown";

// The error (CocoaErrorDomain) for a failed system call on `path`: the
// platform's code for the errno (no such file is 260 when reading, 4
// otherwise), the path under NSFilePath and the POSIX error under
// NSUnderlyingError.
enum class FileAccess { Read, Write };
Ref<Error> fileError(int posixError, FileAccess access, const std::string& path);

class FileManager : public Object {
    RT_DECLARE_CLASS(FileManager)
public:
    static Ref<FileManager> defaultManager();

    // Follows a final symbolic link, as the platform does.
    bool fileExistsAtPath(std::string_view path) const;
    bool fileExistsAtPath(std::string_view path, bool* isDirectory) const;

    // An existing folder is success only with intermediate directories (and
    // 516 otherwise); a missing parent without them is 4.
    bool createDirectoryAtPath(std::string_view path, bool withIntermediateDirectories, Ref<Error>* error = nullptr) const;
    // Creates or replaces the file with the contents (none: empty).
    bool createFileAtPath(std::string_view path, const Data* contents) const;
    bool createFileAtPath(std::string_view path, const Ref<Data>& contents) const {
        return createFileAtPath(path, contents.get());
    }

    // Names in the folder, sorted, without "." and "..".
    Ref<Array> contentsOfDirectoryAtPath(std::string_view path, Ref<Error>* error = nullptr) const;
    // Every path below the folder relative to it ("a", "a/b", ...), each
    // folder's entries sorted and followed by their contents; symbolic links
    // are listed, not followed.
    Ref<Array> subpathsOfDirectoryAtPath(std::string_view path, Ref<Error>* error = nullptr) const;
    // The same, nil on failure.
    Ref<Array> subpathsAtPath(std::string_view path) const { return subpathsOfDirectoryAtPath(path); }

    // Removes a file, link or whole folder.
    bool removeItemAtPath(std::string_view path, Ref<Error>* error = nullptr) const;
    // Refuses (516) when something is already at the destination; works
    // across file systems by copying.
    bool moveItemAtPath(std::string_view source, std::string_view destination, Ref<Error>* error = nullptr) const;
    // Copies files, links and folders recursively, keeping permissions;
    // refuses (516) when something is already at the destination.
    bool copyItemAtPath(std::string_view source, std::string_view destination, Ref<Error>* error = nullptr) const;

    // Type, size, modification date and permissions, of a link itself rather
    // than what it points to.
    Ref<Dictionary> attributesOfItemAtPath(std::string_view path, Ref<Error>* error = nullptr) const;

    // The size and free size (bytes) of the volume holding the path
    // (statvfs; the free size is what an unprivileged writer may use).
    Ref<Dictionary> attributesOfFileSystemForPath(std::string_view path, Ref<Error>* error = nullptr) const;
    // Makes every volume report this free size, for tests of what runs
    // short of space; nullopt goes back to the real one.
    static void setFileSystemFreeSizeForTesting(std::optional<uint64_t> bytes);

    // The app's temporary folder (in the home folder), created when missing.
    Ref<URL> temporaryDirectory() const;
};

// Readers of an attributes dictionary: 0, nil or nil when the key is absent.
uint64_t fileSize(const Dictionary& attributes);
Ref<Date> fileModificationDate(const Dictionary& attributes);
Ref<String> fileType(const Dictionary& attributes);
// The free size of a file-system attributes dictionary; -1 when absent.
int64_t fileSystemFreeSize(const Dictionary& attributes);

}  // namespace ns
