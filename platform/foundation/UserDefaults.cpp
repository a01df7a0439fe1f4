#include "platform/foundation/UserDefaults.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyList.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(UserDefaults, Object, "NSUserDefaults")

namespace {

std::mutex& standardLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

Ref<UserDefaults>& standardInstance() {
    static auto* instance = new Ref<UserDefaults>;
    return *instance;
}

// The most telling text an error has: the parser's reason, else the system's.
std::string reasonOf(const Ref<Error>& error) {
    if (auto reason = cast<String>(error->userInfo()->objectForKey("NSDebugDescription"))) return reason->utf8();
    if (auto underlying = cast<Error>(error->userInfo()->objectForKey(UnderlyingErrorKey))) {
        return underlying->localizedDescription();
    }
    return error->localizedDescription();
}

// "<path>.corrupt-20240501T120000Z", with a counter when that name is taken.
std::string asideName(const std::string& path) {
    std::time_t now = static_cast<std::time_t>(std::floor(dispatch::wallTime()));
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::string name = path + ".corrupt-" + stamp;
    struct stat info {};
    for (int n = 2; ::lstat(name.c_str(), &info) == 0; ++n) name = path + ".corrupt-" + stamp + "-" + std::to_string(n);
    return name;
}

bool textIsTrue(const String& text) {
    auto lower = text.stringByTrimmingWhitespaceAndNewlines()->lowercaseString();
    if (lower->isEqualToString("yes") || lower->isEqualToString("true")) return true;
    if (lower->isEqualToString("no") || lower->isEqualToString("false")) return false;
    return text.integerValue() != 0;
}

}  // namespace

Ref<UserDefaults> UserDefaults::standardUserDefaults() {
    std::lock_guard<std::mutex> hold(standardLock());
    Ref<UserDefaults>& instance = standardInstance();
    if (!instance) instance = std::make_shared<UserDefaults>(homeDirectory() + "/Library/Preferences/defaults.plist");
    return instance;
}

void UserDefaults::resetStandardUserDefaultsForTesting() {
    std::lock_guard<std::mutex> hold(standardLock());
    standardInstance() = nullptr;
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)) { load(); }

void UserDefaults::load() {
    Ref<Error> error;
    auto contents = propertyListWithContentsOfFile(path_, PropertyListImmutable, &error);
    if (!contents) {
        if (error->code() == FileReadNoSuchFileError) return;  // first run
        if (error->code() != PropertyListReadCorruptError) {
            writable_ = false;
            log("UserDefaults: cannot read %s (%s); it will not be written over", path_, reasonOf(error));
            return;
        }
        setAside("is corrupt (" + reasonOf(error) + ")");
        return;
    }
    auto dictionary = cast<Dictionary>(contents);
    if (!dictionary) {
        setAside("holds no dictionary");
        return;
    }
    for (const Id& key : *dictionary) values_[cast<String>(key)->utf8()] = dictionary->objectForKey(key.get());
}

void UserDefaults::setAside(const std::string& problem) {
    const std::string aside = asideName(path_);
    if (std::rename(path_.c_str(), aside.c_str()) != 0) {
        writable_ = false;
        log("UserDefaults: %s %s and could not be set aside; it will not be written over", path_, problem);
        return;
    }
    log("UserDefaults: %s %s; kept aside as %s", path_, problem, aside);
}

Id UserDefaults::objectForKey(std::string_view key) const {
    std::lock_guard<std::mutex> hold(lock_);
    auto found = values_.find(key);
    return found == values_.end() ? nullptr : found->second;
}

Ref<String> UserDefaults::stringForKey(std::string_view key) const {
    Id value = objectForKey(key);
    if (auto text = cast<String>(value)) return text;
    if (auto number = cast<Number>(value)) return String::make(number->stringValue());
    return nullptr;
}

Ref<Array> UserDefaults::arrayForKey(std::string_view key) const { return cast<Array>(objectForKey(key)); }

Ref<Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const { return cast<Dictionary>(objectForKey(key)); }

Ref<Data> UserDefaults::dataForKey(std::string_view key) const { return cast<Data>(objectForKey(key)); }

int64_t UserDefaults::integerForKey(std::string_view key) const {
    Id value = objectForKey(key);
    if (auto number = cast<Number>(value)) return number->integerValue();
    if (auto text = cast<String>(value)) return text->integerValue();
    return 0;
}

double UserDefaults::doubleForKey(std::string_view key) const {
    Id value = objectForKey(key);
    if (auto number = cast<Number>(value)) return number->doubleValue();
    if (auto text = cast<String>(value)) return text->doubleValue();
    return 0;
}

bool UserDefaults::boolForKey(std::string_view key) const {
    Id value = objectForKey(key);
    if (auto number = cast<Number>(value)) return number->boolValue();
    if (auto text = cast<String>(value)) return textIsTrue(*text);
    return false;
}

void UserDefaults::setObjectForKey(const Id& value, std::string_view key) {
    if (!value) {
        removeObjectForKey(key);
        return;
    }
    Id copy = copyPropertyList(value.get());
    if (!copy) {
        Exception::raise(InvalidArgumentException,
                         format("Attempt to insert non-property list object %@ for key %s", value, key));
    }
    std::lock_guard<std::mutex> hold(lock_);
    values_[std::string(key)] = std::move(copy);
    dirty_ = true;
}

void UserDefaults::setIntegerForKey(int64_t value, std::string_view key) { setObjectForKey(Number::withLongLong(value), key); }

void UserDefaults::setDoubleForKey(double value, std::string_view key) { setObjectForKey(Number::withDouble(value), key); }

void UserDefaults::setBoolForKey(bool value, std::string_view key) { setObjectForKey(Number::withBool(value), key); }

void UserDefaults::removeObjectForKey(std::string_view key) {
    std::lock_guard<std::mutex> hold(lock_);
    auto found = values_.find(key);
    if (found == values_.end()) return;
    values_.erase(found);
    dirty_ = true;
}

bool UserDefaults::synchronize() {
    std::lock_guard<std::mutex> hold(lock_);
    if (!dirty_) return true;
    if (!writable_) {
        log("UserDefaults: changes not saved; %s is kept as it was found", path_);
        return false;
    }
    std::vector<Dictionary::Entry> entries;
    entries.reserve(values_.size());
    for (const auto& [key, value] : values_) {
        if (!PropertyListSerialization::propertyListIsValidForFormat(value.get(), PropertyListFormat::XML)) {
            Ref<Error> why;
            PropertyListSerialization::dataWithPropertyList(value, PropertyListFormat::XML, &why);
            log("UserDefaults: the value of \"%s\" cannot be saved (%s); it is kept in memory only", key,
                reasonOf(why));
            continue;
        }
        entries.emplace_back(String::make(key), value);
    }
    const size_t slash = path_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
    Ref<Error> error;
    if (!FileManager::defaultManager()->createDirectoryAtPath(folder, true, &error) ||
        !writePropertyListToFile(Dictionary::make(entries).get(), path_, true, &error)) {
        log("UserDefaults: could not save %s (%s)", path_, reasonOf(error));
        return false;
    }
    dirty_ = false;
    return true;
}

}  // namespace ns
