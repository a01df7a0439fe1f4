#include "platform/foundation/Bundle.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

namespace ns {

RT_DEFINE_CLASS(Bundle, Object, "NSBundle")

namespace {

std::mutex& bundlesLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

std::map<std::string, Ref<Bundle>, std::less<>>& bundles() {
    static auto* map = new std::map<std::string, Ref<Bundle>, std::less<>>;
    return *map;
}

// Absolute, without "." segments, repeated or trailing slashes; links are
// left as they are so the path reads as the caller wrote it.
std::string standardized(std::string_view path) {
    std::string full(path);
    if (full.empty() || full[0] != '/') {
        char cwd[4096];
        full = std::string(::getcwd(cwd, sizeof cwd) ? cwd : ".") + "/" + full;
    }
    std::string out;
    size_t i = 0;
    while (i < full.size()) {
        size_t end = full.find('/', i);
        if (end == std::string::npos) end = full.size();
        std::string_view part(full.data() + i, end - i);
        if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        i = end + 1;
    }
    return out.empty() ? "/" : out;
}

std::string programFolder() {
    static const std::string folder = [] {
        char buffer[4096];
        ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n <= 0) return std::string(".");
        std::string exe(buffer, size_t(n));
        return exe.substr(0, exe.find_last_of('/'));
    }();
    return folder;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string joined(const std::string& folder, std::string_view name) {
    if (name.empty()) return folder;
    return folder + "/" + std::string(name);
}

}  // namespace

Ref<Bundle> Bundle::mainBundle() {
    const char* configured = std::getenv("GAMEHOST_RESOURCES");
    const std::string path =
        standardized(configured && *configured ? std::string(configured) : programFolder() + "/resources");
    std::lock_guard<std::mutex> hold(bundlesLock());
    Ref<Bundle>& bundle = bundles()[path];
    if (!bundle) bundle = std::make_shared<Bundle>(path);
    return bundle;
}

Ref<Bundle> Bundle::bundleForClass(const rt::Class*) { return mainBundle(); }

Ref<Bundle> Bundle::bundleWithPath(std::string_view pathView) {
    if (pathView.empty()) return nullptr;
    const std::string path = standardized(pathView);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
    std::lock_guard<std::mutex> hold(bundlesLock());
    Ref<Bundle>& bundle = bundles()[path];
    if (!bundle) bundle = std::make_shared<Bundle>(path);
    return bundle;
}

Ref<URL> Bundle::bundleURL() const { return URL::fileURLWithPath(path_, true); }

Ref<Dictionary> Bundle::infoDictionary() const {
    std::lock_guard<std::mutex> hold(lock_);
    if (info_) return info_;
    const std::string file = path_ + "/Info.plist";
    Ref<Error> error;
    Id contents = propertyListWithContentsOfFile(file, PropertyListImmutable, &error);
    info_ = cast<Dictionary>(contents);
    if (!info_) {
        if (contents) log("Bundle: %s holds a %s, not a dictionary", file, contents->className());
        else if (error->code() != FileReadNoSuchFileError) log("Bundle: cannot read %s: %@", file, error);
        info_ = Dictionary::make({});
    }
    return info_;
}

Id Bundle::objectForInfoDictionaryKey(std::string_view key) const { return infoDictionary()->objectForKey(key); }

Ref<String> Bundle::pathForResource(std::string_view name, std::string_view type, std::string_view directory) const {
    if (!type.empty() && type[0] == '.') type.remove_prefix(1);
    if (name.empty() && type.empty()) return nullptr;
    const std::string suffix = type.empty() ? std::string() : "." + std::string(type);

    auto findIn = [&](const std::string& folder) -> Ref<String> {
        if (!name.empty()) {
            std::string candidate = joined(folder, std::string(name) + suffix);
            return exists(candidate) ? String::make(std::move(candidate)) : nullptr;
        }
        // No name: the first resource of the type, in name order.
        auto names = FileManager::defaultManager()->contentsOfDirectoryAtPath(folder);
        if (!names) return nullptr;
        for (const Id& entry : *names) {
            const std::string& file = cast<String>(entry)->utf8();
            if (file.size() > suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
                return String::make(joined(folder, file));
            }
        }
        return nullptr;
    };

    if (auto found = findIn(joined(path_, directory))) return found;
    for (const std::string& language : searchLocalizations()) {
        if (auto found = findIn(joined(path_ + "/" + language + ".lproj", directory))) return found;
    }
    return nullptr;
}

Ref<URL> Bundle::URLForResource(std::string_view name, std::string_view extension, std::string_view subdirectory) const {
    auto path = pathForResource(name, extension, subdirectory);
    return path ? URL::fileURLWithPath(path->utf8()) : nullptr;
}

}  // namespace ns
