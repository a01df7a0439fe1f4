#pragma once
// User defaults: the app's small persistent settings, an XML property list
// in the home folder (Library/Preferences/defaults.plist). The file is read
// at first use; `synchronize` writes it atomically. A file that cannot be
// parsed is logged and renamed aside ("<file>.corrupt-<UTC time>"), never
// written over. Thread-safe.
//
// A full volume has no room for the new copy an atomic save writes. The
// save then goes over the old file, in the room it already has: the whole
// of it when it is no longer; else the file as it is on disk plus each
// change that does not lengthen it (a logout's removal of the saved login,
// for one), the other changes kept, logged, and saved with the next save
// that succeeds, or when the app goes to the background or quits. Keys
// kept together (`keepTogether`) count as one change there: all of their
// changes are taken, or none, except while the set is out of use (a
// logged-out login), which no change kept with it holds back. A save over
// the old file leaves it whole, or as it was, whenever it stops.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class UserDefaults : public Object {
    RT_DECLARE_CLASS(UserDefaults)
public:
    // Loads the file of the home folder current at the first call.
    static Ref<UserDefaults> standardUserDefaults();
    // Drops the shared instance without saving it; the next call loads the
    // file (of the home folder then current) afresh.
    static void resetStandardUserDefaultsForTesting();

    UserDefaults() = default;
    // Defaults kept in the given file, loaded now.
    explicit UserDefaults(std::string path);

    const std::string& storePath() const { return path_; }

    Id objectForKey(std::string_view key) const;
    // A text, or a number's text form; nil otherwise.
    Ref<String> stringForKey(std::string_view key) const;
    Ref<Array> arrayForKey(std::string_view key) const;
    Ref<Dictionary> dictionaryForKey(std::string_view key) const;
    Ref<Data> dataForKey(std::string_view key) const;
    // Numbers by value, texts parsed; 0 (NO) when absent or of another kind.
    int64_t integerForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    // Texts "YES"/"true" and "NO"/"false" in any case, else their integer.
    bool boolForKey(std::string_view key) const;

    // Stores an immutable deep copy; nil removes the key. A value that is not
    // a property list raises NSInvalidArgumentException.
    void setObjectForKey(const Id& value, std::string_view key);
    void setIntegerForKey(int64_t value, std::string_view key);
    void setDoubleForKey(double value, std::string_view key);
    void setBoolForKey(bool value, std::string_view key);
    void removeObjectForKey(std::string_view key);

    // Keys whose values only make sense together (a saved login's name and
    // password, say): a save that cannot write every change writes all of
    // their changes or none of them. With a lead key, they hold together
    // only while the lead holds the integer `inUse` (a login style of
    // "logged in"): a change of the lead to another value (a logout) is
    // written even when the set's other changes wait, and while neither the
    // file nor memory holds `inUse` each of the set's changes is judged by
    // itself. Naming the same set again changes nothing.
    void keepTogether(const std::vector<std::string>& keys, std::string_view lead = {}, int64_t inUse = 0);

    // Writes unsaved changes; false (and a log line) when they could not be.
    // A value XML cannot carry is left out of the file and logged, so one
    // bad text does not keep everything else from being saved.
    bool synchronize();

private:
    using Values = std::map<std::string, Id, std::less<>>;
    struct Together {
        std::vector<std::string> keys;
        std::string lead;
        int64_t inUse = 0;
    };
    // Whether VALUES hold the set's lead at its value in use.
    static bool inUse(const Values& values, const Together& set);

    void load();
    // The values a file can carry; the others are logged. The caller holds
    // lock_.
    Values savableValues() const;
    // Writes the file: atomically when the volume has room for a new copy,
    // else over the old file when that is no smaller. Empty when saved, else
    // why not. The caller holds lock_.
    std::string save(const Data& data, const std::string& folder);
    // Over the old file: what it holds plus each change towards `wanted`
    // that does not lengthen it. The caller holds lock_.
    void saveWhatFits(const Values& wanted, const std::string& problem);
    // Renames an unusable file out of the way, so no save replaces it.
    void setAside(const std::string& problem);

    mutable std::mutex lock_;
    std::string path_;
    Values values_;
    // What the file holds: as read, or as last written.
    Values saved_;
    std::vector<Together> together_;
    bool dirty_ = false;
    // False when the file exists but could not be read or set aside, so it is
    // never replaced by what little is in memory.
    bool writable_ = true;
};

}  // namespace ns
