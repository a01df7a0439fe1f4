#include "net/TVFoundation.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "platform/foundation/Array.h"
#include "platform/foundation/AttributedString.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/ManagedObject.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

const std::vector<const rt::Class*>& TVFoundation::foundationClasses() {
    static const std::vector<const rt::Class*> classes{
        ns::URL::staticClass(),   ns::Date::staticClass(),       ns::Value::staticClass(),
        ns::Data::staticClass(),  ns::Error::staticClass(),      ns::Array::staticClass(),
        ns::Dictionary::staticClass(), ns::String::staticClass(), ns::AttributedString::staticClass(),
    };
    return classes;
}

namespace {

bool computeFromFoundation(const rt::Class* cls) {
    if (cls == ns::Object::staticClass() || cls == ns::ManagedObject::staticClass()) return true;
    for (const rt::Class* member : TVFoundation::foundationClasses()) {
        if (cls->isSubclassOf(member)) return true;
    }
    return false;
}

}  // namespace

bool TVFoundation::isClassFromFoundation(const rt::Class* cls) {
    if (!cls) return false;
    // Asked for every value converted, so each class's answer is kept; the
    // hierarchy of a registered class never changes.
    static std::shared_mutex lock;
    static std::unordered_map<const rt::Class*, bool> answers;
    {
        std::shared_lock<std::shared_mutex> hold(lock);
        auto it = answers.find(cls);
        if (it != answers.end()) return it->second;
    }
    bool answer = computeFromFoundation(cls);
    std::unique_lock<std::shared_mutex> hold(lock);
    answers.emplace(cls, answer);
    return answer;
}
