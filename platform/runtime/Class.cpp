#include "platform/runtime/Class.h"

#include <unordered_map>

namespace rt {
namespace {

struct Registry {
    std::mutex lock;
    std::unordered_map<std::string, std::unique_ptr<Class>> byName;
    std::vector<const Class*> order;
};

// Function-local, so classes may register from any static initialiser.
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

}  // namespace

Class::Class(std::string name, const Class* superclass, Factory factory, std::vector<Property> properties)
    : name_(std::move(name)), superclass_(superclass), factory_(std::move(factory)), properties_(std::move(properties)) {}

bool Class::isSubclassOf(const Class* other) const {
    for (const Class* c = this; c; c = c->superclass_) {
        if (c == other) return true;
    }
    return false;
}

ns::Id Class::create() const { return factory_ ? factory_() : nullptr; }

const std::vector<Property>& Class::properties() const {
    std::call_once(propertiesResolved_, [this] {
        for (Property& p : properties_) {
            if (p.resolveTypeCode) p.typeCode = p.resolveTypeCode();
            p.attributes = "T" + p.typeCode + (p.flags.empty() ? "" : "," + p.flags) + ",N,V_" + p.name;
        }
    });
    return properties_;
}

const Property* Class::findProperty(std::string_view name) const {
    for (const Class* c = this; c; c = c->superclass_) {
        for (const Property& p : c->properties()) {
            if (p.name == name) return &p;
        }
    }
    return nullptr;
}

void Class::addClassMethod(std::string name, std::any method) const {
    std::lock_guard<std::mutex> hold(lock_);
    classMethods_[std::move(name)] = std::move(method);
}

const std::any* Class::findClassMethod(std::string_view name) const {
    for (const Class* c = this; c; c = c->superclass_) {
        std::lock_guard<std::mutex> hold(c->lock_);
        auto it = c->classMethods_.find(name);
        // Entries are never erased, so the address stays valid after unlocking.
        if (it != c->classMethods_.end()) return &it->second;
    }
    return nullptr;
}

bool Class::exchangeClassMethods(std::string_view first, std::string_view second) const {
    auto owner = [this](std::string_view name) -> const Class* {
        for (const Class* c = this; c; c = c->superclass_) {
            std::lock_guard<std::mutex> hold(c->lock_);
            if (c->classMethods_.find(name) != c->classMethods_.end()) return c;
        }
        return nullptr;
    };
    const Class* a = owner(first);
    const Class* b = owner(second);
    if (!a || !b) return false;
    auto swap = [&] {
        std::any& x = a->classMethods_.find(first)->second;
        std::any& y = b->classMethods_.find(second)->second;
        if (x.type() != y.type()) return false;
        x.swap(y);
        return true;
    };
    if (a == b) {
        std::lock_guard<std::mutex> hold(a->lock_);
        return swap();
    }
    std::scoped_lock hold(a->lock_, b->lock_);
    return swap();
}

void Class::setAssociated(const void* key, std::any value) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (value.has_value()) {
        associated_[key] = std::move(value);
    } else {
        associated_.erase(key);
    }
}

std::any Class::associated(const void* key) const {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = associated_.find(key);
    return it == associated_.end() ? std::any() : it->second;
}

const Class* registerClass(std::unique_ptr<Class> cls) {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto [it, inserted] = r.byName.try_emplace(cls->name(), nullptr);
    if (inserted) {
        it->second = std::move(cls);
        r.order.push_back(it->second.get());
    }
    return it->second.get();
}

const Class* classNamed(std::string_view name) {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.byName.find(std::string(name));
    return it == r.byName.end() ? nullptr : it->second.get();
}

std::vector<const Class*> allClasses() {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    return r.order;
}

}  // namespace rt
