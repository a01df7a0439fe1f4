#include "platform/foundation/UserDefaults.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaultsInPlaceWrite.h"
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

int64_t integerOf(const Id& value) {
    if (auto number = cast<Number>(value)) return number->integerValue();
    if (auto text = cast<String>(value)) return text->integerValue();
    return 0;
}

bool textIsTrue(const String& text) {
    auto lower = text.stringByTrimmingWhitespaceAndNewlines()->lowercaseString();
    if (lower->isEqualToString("yes") || lower->isEqualToString("true")) return true;
    if (lower->isEqualToString("no") || lower->isEqualToString("false")) return false;
    return text.integerValue() != 0;
}

Ref<Data> serialized(const std::map<std::string, Id, std::less<>>& values, Ref<Error>* error) {
    std::vector<Dictionary::Entry> entries;
    entries.reserve(values.size());
    for (const auto& [key, value] : values) entries.emplace_back(String::make(key), value);
    return PropertyListSerialization::dataWithPropertyList(Dictionary::make(entries), PropertyListFormat::XML, error);
}

// What one entry adds to the file (a missing one adds nothing): entries are
// written one after another, so a change's effect on the file's length is
// the difference of its entry's.
size_t entryLength(const std::map<std::string, Id, std::less<>>& values, const std::string& key) {
    auto found = values.find(key);
    if (found == values.end()) return 0;
    auto data = serialized({{key, found->second}}, nullptr);
    return data ? data->length() : SIZE_MAX;
}

std::string joined(const std::vector<std::string>& keys) {
    std::string text;
    for (const auto& key : keys) text += (text.empty() ? "" : ", ") + key;
    return text;
}

// The platform saves the standard defaults when the app goes to the
// background and before it quits; the names are the app's notifications,
// posted by the application object above this layer.
void saveStandardDefaultsOnAppExits() {
    for (const char* name : {"UIApplicationDidEnterBackgroundNotification", "UIApplicationWillTerminateNotification"}) {
        NotificationCenter::defaultCenter()->addObserverForName(name, nullptr, nullptr, [](const Ref<Notification>&) {
            Ref<UserDefaults> instance;
            {
                std::lock_guard<std::mutex> hold(standardLock());
                instance = standardInstance();
            }
            if (instance) instance->synchronize();
        });
    }
}

}  // namespace

Ref<UserDefaults> UserDefaults::standardUserDefaults() {
    static std::once_flag observing;
    std::call_once(observing, saveStandardDefaultsOnAppExits);
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
    saved_ = values_;
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

int64_t UserDefaults::integerForKey(std::string_view key) const { return integerOf(objectForKey(key)); }

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

void UserDefaults::keepTogether(const std::vector<std::string>& keys, std::string_view lead, int64_t inUse) {
    std::lock_guard<std::mutex> hold(lock_);
    auto same = [&](const Together& together) { return together.keys == keys; };
    if (std::find_if(together_.begin(), together_.end(), same) == together_.end())
        together_.push_back({keys, std::string(lead), inUse});
}

bool UserDefaults::inUse(const Values& values, const Together& set) {
    auto found = values.find(set.lead);
    return found != values.end() && integerOf(found->second) == set.inUse;
}

UserDefaults::Values UserDefaults::savableValues() const {
    Values savable;
    for (const auto& [key, value] : values_) {
        if (!PropertyListSerialization::propertyListIsValidForFormat(value.get(), PropertyListFormat::XML)) {
            Ref<Error> why;
            PropertyListSerialization::dataWithPropertyList(value, PropertyListFormat::XML, &why);
            log("UserDefaults: the value of \"%s\" cannot be saved (%s); it is kept in memory only", key,
                reasonOf(why));
            continue;
        }
        savable.emplace(key, value);
    }
    return savable;
}

bool UserDefaults::synchronize() {
    std::lock_guard<std::mutex> hold(lock_);
    if (!dirty_) return true;
    if (!writable_) {
        log("UserDefaults: changes not saved; %s is kept as it was found", path_);
        return false;
    }
    Values wanted = savableValues();
    const size_t slash = path_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
    Ref<Error> error;
    Ref<Data> data = serialized(wanted, &error);
    std::string problem;
    if (!data || !FileManager::defaultManager()->createDirectoryAtPath(folder, true, &error)) {
        problem = reasonOf(error);
    } else {
        problem = save(*data, folder);
    }
    if (problem.empty()) {
        saved_ = std::move(wanted);
        dirty_ = false;
        return true;
    }
    if (data) {
        saveWhatFits(wanted, problem);
    } else {
        log("UserDefaults: could not save %s (%s); the changes are kept to be saved later", path_, problem);
    }
    return false;
}

std::string UserDefaults::save(const Data& data, const std::string& folder) {
    auto volume = FileManager::defaultManager()->attributesOfFileSystemForPath(folder);
    const int64_t room = volume ? fileSystemFreeSize(*volume) : -1;
    // An unknown free size does not stop the attempt.
    std::string problem = "no room for a new copy";
    if (room < 0 || uint64_t(room) >= data.length()) {
        errno = 0;
        if (data.writeToFile(path_, true)) return {};
        problem = std::strerror(errno ? errno : EIO);
    }
    struct stat existing {};
    if (::stat(path_.c_str(), &existing) != 0 || data.length() > uint64_t(existing.st_size)) return problem;
    std::string over = detail::writeDefaultsInPlace(path_, data);
    if (!over.empty()) return problem + ", nor over the old one: " + over;
    log("UserDefaults: no room for a new copy of %s; saved over the old one", path_);
    return {};
}

void UserDefaults::saveWhatFits(const Values& wanted, const std::string& problem) {
    auto changed = [&](const std::string& key) {
        auto now = wanted.find(key);
        auto before = saved_.find(key);
        return !equal(now == wanted.end() ? Id() : now->second, before == saved_.end() ? Id() : before->second);
    };
    std::vector<std::string> changes;
    for (const auto& [key, value] : wanted)
        if (changed(key)) changes.push_back(key);
    for (const auto& [key, value] : saved_)
        if (!wanted.count(key) && changed(key)) changes.push_back(key);

    auto lengthens = [&](const std::vector<std::string>& keys) {
        size_t now = 0, before = 0;
        for (const auto& key : keys) {
            size_t nowLength = entryLength(wanted, key), beforeLength = entryLength(saved_, key);
            if (nowLength == SIZE_MAX || beforeLength == SIZE_MAX) return true;
            now += nowLength;
            before += beforeLength;
        }
        return now > before;
    };
    Values part = saved_;
    std::vector<std::string> taken, kept;
    auto take = [&](const std::vector<std::string>& keys) {
        taken.insert(taken.end(), keys.begin(), keys.end());
        for (const auto& key : keys) {
            auto found = wanted.find(key);
            if (found == wanted.end()) part.erase(key);
            else part[key] = found->second;
        }
    };
    auto takeWhatFits = [&](const std::vector<std::string>& keys) {
        if (!lengthens(keys)) return take(keys);
        kept.insert(kept.end(), keys.begin(), keys.end());
    };

    // Each change alone, or with the changes of the keys kept with it: taken
    // together when together they do not lengthen the file.
    std::vector<bool> done(changes.size(), false);
    for (size_t i = 0; i < changes.size(); ++i) {
        if (done[i]) continue;
        auto set = std::find_if(together_.begin(), together_.end(), [&](const Together& together) {
            return std::find(together.keys.begin(), together.keys.end(), changes[i]) != together.keys.end();
        });
        std::vector<std::string> unit;
        for (size_t j = i; j < changes.size(); ++j) {
            bool with = j == i || (set != together_.end() &&
                                   std::find(set->keys.begin(), set->keys.end(), changes[j]) != set->keys.end());
            if (!with) continue;
            done[j] = true;
            unit.push_back(changes[j]);
        }
        if (!lengthens(unit)) {
            take(unit);
            continue;
        }
        if (set == together_.end() || set->lead.empty()) {
            kept.insert(kept.end(), unit.begin(), unit.end());
            continue;
        }
        // A set out of use (a logged-out login) holds nothing that must stay
        // together: the lead's change that puts it out of use is taken by
        // itself, and then each other change that fits alone.
        auto lead = std::find(unit.begin(), unit.end(), set->lead);
        if (lead != unit.end() && !inUse(wanted, *set) && !lengthens({*lead})) {
            take({*lead});
            unit.erase(lead);
        }
        if (inUse(part, *set) || inUse(wanted, *set)) {
            kept.insert(kept.end(), unit.begin(), unit.end());
            continue;
        }
        for (const auto& key : unit) takeWhatFits({key});
    }

    // With every change taken the part is the whole, which has just failed.
    if (taken.empty() || kept.empty()) {
        log("UserDefaults: could not save %s (%s%s); the changes are kept to be saved later", path_, problem,
            taken.empty() ? "; no change fits in the old file's room" : "");
        return;
    }
    auto data = serialized(part, nullptr);
    std::string over = data ? detail::writeDefaultsInPlace(path_, *data) : "it cannot be written";
    if (!over.empty()) {
        log("UserDefaults: could not save %s (%s; nor the changes that fit over the old one: %s); the changes are "
            "kept to be saved later",
            path_, problem, over);
        return;
    }
    saved_ = std::move(part);
    log("UserDefaults: could not save all of %s (%s); saved over the old one the changes that do not lengthen it "
        "(%s); the others are kept to be saved later (%s)",
        path_, problem, joined(taken), joined(kept));
}

}  // namespace ns
