#pragma once
// The registrations and reuse queues behind table and collection views'
// dequeuing. Keys are the owner's: a reuse identifier, or a kind and an
// identifier together. A dequeue hands out the last view queued under the
// key, prepared for reuse, before it makes a new one from the key's
// factory; views without a reuse identifier are never queued.
//
// Defined for TableViewCell, TableViewHeaderFooterView and
// CollectionReusableView only.
//
// Main thread only.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/runtime/Object.h"

namespace rt {
class Class;
}

namespace ui {

class Nib;

namespace detail {

template <class V>
class ReusableViewPool {
public:
    using Factory = std::function<ns::Ref<V>(const std::string& reuseIdentifier)>;

    // Instances of the class, or of nothing for a null class.
    static Factory classFactory(const rt::Class* viewClass);
    // The nib's first top-level object of the view type; nothing for a
    // null nib.
    static Factory nibFactory(const ns::Ref<Nib>& nib);

    // An empty factory removes the key's registration.
    void registerFactory(const std::string& key, Factory factory);
    void enqueue(const std::string& key, const ns::Ref<V>& view);
    // Nil when nothing is queued and the key's factory is missing or made
    // nothing; a new view gets the reuse identifier.
    ns::Ref<V> dequeue(const std::string& key, const std::string& reuseIdentifier);

private:
    std::map<std::string, Factory> factories_;
    std::map<std::string, std::vector<ns::Ref<V>>> queues_;
};

}  // namespace detail
}  // namespace ui
