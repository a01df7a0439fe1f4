#pragma once
// Pieces shared by the two directions of key-value conversion; not part of
// the library's interface.

#include <string_view>

#include "platform/foundation/Array.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"

namespace tv::detail {

// One conversion operation on a class, for its lifetime. It clears the
// class's error on entry; at the end the class's error is the first failure
// recorded on that class while it ran, even when a later nested operation on
// the same class (the next array element, a model holding its own kind)
// cleared it on entry. It also bounds nesting: a model graph or a collection
// that holds itself would otherwise recurse until the stack runs out.
class Operation {
public:
    explicit Operation(const rt::Class* cls);
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    // Nested deeper than MaxNesting: the caller fails and stops.
    bool tooDeep() const { return tooDeep_; }

private:
    friend void fail(const rt::Class* cls, std::string_view text);
    const rt::Class* cls_;
    ns::Ref<ns::Error> firstFailure_;
    Operation* outer_;
    bool tooDeep_;
};

// Stores a new error (domain: the text, code 250) as the class's error.
void fail(const rt::Class* cls, std::string_view text);

// The object as a T when its registered class is T's or below it, else nil.
// Cheaper than a dynamic_cast across libraries on the paths every property
// of every row takes; a registered class is a C++ subclass of its
// registered superclass.
template <class T>
const T* kindOf(const ns::Object* object) {
    return object && object->classObject()->isSubclassOf(T::staticClass()) ? static_cast<const T*>(object) : nullptr;
}
template <class T>
const T* kindOf(const ns::Id& object) {
    return kindOf<T>(object.get());
}

// Whether the array holds a text equal to the name.
bool containsName(const ns::Array& names, const ns::String& name);

}  // namespace tv::detail
