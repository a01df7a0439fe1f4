#include "platform/foundation/FileManager.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/Number.h"

namespace ns {

RT_DEFINE_CLASS(FileManager, Object, "NSFileManager")

namespace {

int64_t codeFor(int posixError, FileAccess access) {
    const bool read = access == FileAccess::Read;
    switch (posixError) {
        case ENOENT:
        case ENOTDIR:
            return read ? FileReadNoSuchFileError : FileNoSuchFileError;
        case EACCES:
        case EPERM:
            return read ? FileReadNoPermissionError : FileWriteNoPermissionError;
        case EEXIST:
        case ENOTEMPTY:
            return FileWriteFileExistsError;
        case ENAMETOOLONG:
            return read ? FileReadInvalidFileNameError : FileWriteInvalidFileNameError;
        case ENOSPC:
        case EDQUOT:
            return FileWriteOutOfSpaceError;
        case EROFS:
            return FileWriteVolumeReadOnlyError;
        default:
            return read ? FileReadUnknownError : FileWriteUnknownError;
    }
}

bool report(Ref<Error>* error, int posixError, FileAccess access, const std::string& path) {
    if (error) *error = fileError(posixError, access, path);
    return false;
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// The names in a folder, sorted; false with errno set when it cannot be read.
bool listFolder(const std::string& path, std::vector<std::string>& names) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return false;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.emplace_back(entry->d_name);
    }
    int failure = errno;
    ::closedir(dir);
    if (failure) {
        errno = failure;
        return false;
    }
    std::sort(names.begin(), names.end());
    return true;
}

// Depth first; `failedPath` names the item that could not be removed.
bool removeTree(const std::string& path, std::string& failedPath) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        failedPath = path;
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        std::vector<std::string> names;
        if (!listFolder(path, names)) {
            failedPath = path;
            return false;
        }
        for (const std::string& name : names) {
            if (!removeTree(join(path, name), failedPath)) return false;
        }
        if (::rmdir(path.c_str()) != 0) {
            failedPath = path;
            return false;
        }
        return true;
    }
    if (::unlink(path.c_str()) != 0) {
        failedPath = path;
        return false;
    }
    return true;
}

class TreeCopier {
public:
    // errno and the path that failed are kept for the error.
    int failure = 0;
    std::string failedPath;
    FileAccess failedAccess = FileAccess::Read;

    bool copy(const std::string& source, const std::string& destination) {
        struct stat info {};
        if (::lstat(source.c_str(), &info) != 0) return fail(source, FileAccess::Read);
        if (S_ISLNK(info.st_mode)) return copyLink(source, destination);
        if (S_ISDIR(info.st_mode)) return copyFolder(source, destination, info);
        if (S_ISREG(info.st_mode)) return copyFile(source, destination, info);
        errno = ENOTSUP;  // sockets, devices and pipes are not copied
        return fail(source, FileAccess::Read);
    }

private:
    bool copyLink(const std::string& source, const std::string& destination) {
        std::vector<char> target(4096);
        ssize_t n = ::readlink(source.c_str(), target.data(), target.size());
        if (n < 0 || size_t(n) >= target.size()) return fail(source, FileAccess::Read);
        if (::symlink(std::string(target.data(), size_t(n)).c_str(), destination.c_str()) != 0) {
            return fail(destination, FileAccess::Write);
        }
        return true;
    }

    bool copyFolder(const std::string& source, const std::string& destination, const struct stat& info) {
        std::vector<std::string> names;
        if (!listFolder(source, names)) return fail(source, FileAccess::Read);
        // Owner access while filling it; the source's permissions come last.
        if (::mkdir(destination.c_str(), (info.st_mode & 07777) | 0700) != 0) return fail(destination, FileAccess::Write);
        for (const std::string& name : names) {
            if (!copy(join(source, name), join(destination, name))) return false;
        }
        ::chmod(destination.c_str(), info.st_mode & 07777);
        keepTimes(destination, info);
        return true;
    }

    bool copyFile(const std::string& source, const std::string& destination, const struct stat& info) {
        int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) return fail(source, FileAccess::Read);
        int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0) {
            fail(destination, FileAccess::Write);
            ::close(in);
            return false;
        }
        bool ok = pump(in, out, source, destination);
        if (ok && ::fchmod(out, info.st_mode & 07777) != 0) ok = fail(destination, FileAccess::Write);
        ::close(in);
        if (::close(out) != 0 && ok) ok = fail(destination, FileAccess::Write);
        if (ok) keepTimes(destination, info);
        return ok;
    }

    bool pump(int in, int out, const std::string& source, const std::string& destination) {
        char buffer[65536];
        for (;;) {
            ssize_t n = ::read(in, buffer, sizeof buffer);
            if (n == 0) return true;
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(source, FileAccess::Read);
            }
            for (ssize_t done = 0; done < n;) {
                ssize_t w = ::write(out, buffer + done, size_t(n - done));
                if (w < 0) {
                    if (errno == EINTR) continue;
                    return fail(destination, FileAccess::Write);
                }
                done += w;
            }
        }
    }

    static void keepTimes(const std::string& path, const struct stat& info) {
        const timespec times[2] = {info.st_atim, info.st_mtim};
        ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

    bool fail(const std::string& path, FileAccess access) {
        if (!failure) {
            failure = errno ? errno : EIO;
            failedPath = path;
            failedAccess = access;
        }
        return false;
    }
};

// The path with its folder resolved, for telling whether one path lies in
// another; the last component need not exist.
std::string resolvedPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, std::max<size_t>(slash, 1));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char buffer[PATH_MAX];
    if (!::realpath(folder.c_str(), buffer)) return path;
    return join(buffer, name);
}

}  // namespace

Ref<Error> fileError(int posixError, FileAccess access, const std::string& path) {
    char buffer[256];
    const char* text = strerror_r(posixError, buffer, sizeof buffer);
    auto underlying = Error::make(POSIXErrorDomain, posixError, Dictionary::make({{LocalizedDescriptionKey, String::make(text)}}));
    return Error::make(CocoaErrorDomain, codeFor(posixError, access),
                       Dictionary::make({{FilePathErrorKey, String::make(path)}, {UnderlyingErrorKey, underlying}}));
}

Ref<FileManager> FileManager::defaultManager() {
    static const Ref<FileManager> manager = std::make_shared<FileManager>();
    return manager;
}

bool FileManager::fileExistsAtPath(std::string_view path) const { return fileExistsAtPath(path, nullptr); }

bool FileManager::fileExistsAtPath(std::string_view path, bool* isDirectory) const {
    struct stat info {};
    if (::stat(std::string(path).c_str(), &info) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(info.st_mode);
    return true;
}

bool FileManager::createDirectoryAtPath(std::string_view pathView, bool withIntermediateDirectories, Ref<Error>* error) const {
    const std::string path(pathView);
    if (path.empty()) return report(error, ENOENT, FileAccess::Write, path);
    if (!withIntermediateDirectories) {
        if (::mkdir(path.c_str(), 0777) != 0) return report(error, errno, FileAccess::Write, path);
        return true;
    }
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string prefix = path.substr(0, end);
        if (!prefix.empty() && prefix.back() != '/' && ::mkdir(prefix.c_str(), 0777) != 0) {
            int failure = errno;
            struct stat info {};
            if (failure != EEXIST) return report(error, failure, FileAccess::Write, prefix);
            if (::stat(prefix.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                return report(error, EEXIST, FileAccess::Write, prefix);  // a file in the way
            }
        }
        if (end == std::string::npos) return true;
    }
}

bool FileManager::createFileAtPath(std::string_view path, const Data* contents) const {
    if (contents) return contents->writeToFile(std::string(path), true);
    return Data::make()->writeToFile(std::string(path), true);
}

Ref<Array> FileManager::contentsOfDirectoryAtPath(std::string_view pathView, Ref<Error>* error) const {
    const std::string path(pathView);
    std::vector<std::string> names;
    if (!listFolder(path, names)) {
        report(error, errno, FileAccess::Read, path);
        return nullptr;
    }
    std::vector<Id> items;
    items.reserve(names.size());
    for (std::string& name : names) items.push_back(String::make(std::move(name)));
    return Array::make(std::move(items));
}

Ref<Array> FileManager::subpathsOfDirectoryAtPath(std::string_view pathView, Ref<Error>* error) const {
    const std::string root(pathView);
    std::vector<Id> items;
    // Depth first, each folder's entries followed by their contents.
    auto walk = [&](auto& self, const std::string& relative) -> bool {
        const std::string folder = relative.empty() ? root : join(root, relative);
        std::vector<std::string> names;
        if (!listFolder(folder, names)) {
            report(error, errno, FileAccess::Read, folder);
            return false;
        }
        for (const std::string& name : names) {
            const std::string sub = relative.empty() ? name : relative + "/" + name;
            items.push_back(String::make(sub));
            struct stat info {};
            if (::lstat(join(root, sub).c_str(), &info) == 0 && S_ISDIR(info.st_mode) && !self(self, sub)) return false;
        }
        return true;
    };
    if (!walk(walk, "")) return nullptr;
    return Array::make(std::move(items));
}

bool FileManager::removeItemAtPath(std::string_view pathView, Ref<Error>* error) const {
    std::string failedPath;
    if (!removeTree(std::string(pathView), failedPath)) return report(error, errno, FileAccess::Write, failedPath);
    return true;
}

bool FileManager::moveItemAtPath(std::string_view sourceView, std::string_view destinationView, Ref<Error>* error) const {
    const std::string source(sourceView), destination(destinationView);
    struct stat info {};
    if (::lstat(source.c_str(), &info) != 0) return report(error, errno, FileAccess::Write, source);
    if (::lstat(destination.c_str(), &info) == 0) return report(error, EEXIST, FileAccess::Write, destination);
    // No-replace, so a file appearing at the destination meanwhile is not lost.
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) return true;
    int failure = errno;
    if (failure == EINVAL && ::rename(source.c_str(), destination.c_str()) == 0) return true;  // no support for the flag
    if (failure != EXDEV) return report(error, failure, FileAccess::Write, failure == EEXIST ? destination : source);
    // Another file system: copy, then remove the original.
    if (!copyItemAtPath(source, destination, error)) return false;
    return removeItemAtPath(source, error);
}

bool FileManager::copyItemAtPath(std::string_view sourceView, std::string_view destinationView, Ref<Error>* error) const {
    const std::string source(sourceView), destination(destinationView);
    struct stat info {};
    if (::lstat(source.c_str(), &info) != 0) return report(error, errno, FileAccess::Read, source);
    if (::lstat(destination.c_str(), &info) == 0) return report(error, EEXIST, FileAccess::Write, destination);
    // A folder copied into itself would never end.
    const std::string from = resolvedPath(source), to = resolvedPath(destination);
    if (to.compare(0, from.size() + 1, from + "/") == 0) return report(error, EINVAL, FileAccess::Write, destination);
    TreeCopier copier;
    if (copier.copy(source, destination)) return true;
    // Leave nothing half-copied behind; the destination was free before.
    std::string ignored;
    removeTree(destination, ignored);
    return report(error, copier.failure, copier.failedAccess, copier.failedPath);
}

Ref<Dictionary> FileManager::attributesOfItemAtPath(std::string_view pathView, Ref<Error>* error) const {
    const std::string path(pathView);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        report(error, errno, FileAccess::Read, path);
        return nullptr;
    }
    const char* type = FileTypeUnknown;
    if (S_ISREG(info.st_mode)) type = FileTypeRegular;
    else if (S_ISDIR(info.st_mode)) type = FileTypeDirectory;
    else if (S_ISLNK(info.st_mode)) type = FileTypeSymbolicLink;
    else if (S_ISSOCK(info.st_mode)) type = FileTypeSocket;
    else if (S_ISCHR(info.st_mode)) type = FileTypeCharacterSpecial;
    else if (S_ISBLK(info.st_mode)) type = FileTypeBlockSpecial;
    const double modified = double(info.st_mtim.tv_sec) + double(info.st_mtim.tv_nsec) / 1e9;
    return Dictionary::make({
        {FileType, String::make(type)},
        {FileSize, Number::withUnsignedLongLong(uint64_t(info.st_size))},
        {FileModificationDate, Date::withTimeIntervalSince1970(modified)},
        {FilePosixPermissions, Number::withUnsignedLongLong(info.st_mode & 07777)},
    });
}

namespace {
std::atomic<int64_t> fakeFreeSize{-1};
}

Ref<Dictionary> FileManager::attributesOfFileSystemForPath(std::string_view pathView, Ref<Error>* error) const {
    const std::string path(pathView);
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) {
        report(error, errno, FileAccess::Read, path);
        return nullptr;
    }
    const uint64_t blockSize = info.f_frsize ? info.f_frsize : info.f_bsize;
    const int64_t fake = fakeFreeSize.load();
    const uint64_t freeSize = fake >= 0 ? uint64_t(fake) : uint64_t(info.f_bavail) * blockSize;
    return Dictionary::make({
        {FileSystemSize, Number::withUnsignedLongLong(uint64_t(info.f_blocks) * blockSize)},
        {FileSystemFreeSize, Number::withUnsignedLongLong(freeSize)},
    });
}

void FileManager::setFileSystemFreeSizeForTesting(std::optional<uint64_t> bytes) {
    fakeFreeSize.store(bytes ? int64_t(std::min<uint64_t>(*bytes, INT64_MAX)) : -1);
}

Ref<URL> FileManager::temporaryDirectory() const { return URL::fileURLWithPath(ns::temporaryDirectory(), true); }

uint64_t fileSize(const Dictionary& attributes) {
    auto size = cast<Number>(attributes.objectForKey(FileSize));
    return size ? size->unsignedLongLongValue() : 0;
}

int64_t fileSystemFreeSize(const Dictionary& attributes) {
    auto size = cast<Number>(attributes.objectForKey(FileSystemFreeSize));
    return size ? int64_t(std::min<uint64_t>(size->unsignedLongLongValue(), INT64_MAX)) : -1;
}

Ref<Date> fileModificationDate(const Dictionary& attributes) {
    return cast<Date>(attributes.objectForKey(FileModificationDate));
}

Ref<String> fileType(const Dictionary& attributes) { return cast<String>(attributes.objectForKey(FileType)); }

}  // namespace ns
