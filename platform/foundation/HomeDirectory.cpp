#include "platform/foundation/HomeDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ns {
namespace {

std::string userHome() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    // Daemons and some CI runners have no $HOME; the password database still knows.
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// mkdir -p; failures are left for the caller's own file operation to report.
void ensureDirectory(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return;
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    }
    ::mkdir(path.c_str(), 0700);
}

}  // namespace

std::string homeDirectory() {
    std::string path;
    if (const char* home = std::getenv("GAMEHOST_HOME"); home && *home) {
        path = home;
    } else {
        path = userHome() + "/.local/share/gamehost";
    }
    path = withoutTrailingSlashes(std::move(path));
    ensureDirectory(path);
    return path;
}

std::string temporaryDirectory() {
    std::string path = homeDirectory() + "/tmp";
    ensureDirectory(path);
    return path + "/";
}

std::string cachesDirectory() {
    std::string path = homeDirectory() + "/Library/Caches";
    ensureDirectory(path);
    return path;
}

}  // namespace ns
