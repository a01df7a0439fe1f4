#include "platform/uikit/Appearance.h"

#include <algorithm>
#include <memory>

#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/View.h"
#include "platform/uikit/ViewControllerHost.h"

namespace ui {

namespace {

struct ProxyEntry {
    const rt::Class* cls;
    std::vector<const rt::Class*> containers;
    std::unique_ptr<AppearanceProxy> proxy;
};

struct SetterEntry {
    const rt::Class* cls;
    std::string property;
    AppearanceRegistry::Setter setter;
};

struct Registry {
    std::vector<ProxyEntry> proxies;
    std::vector<SetterEntry> setters;
};

Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

void registerBuiltIns(Registry& r) {
    if (!r.setters.empty()) return;
    r.setters.push_back({View::staticClass(), "tintColor", [](View& view, const ns::Id& value) {
                             if (view.hasOwnTintColor()) return;
                             if (auto c = colorValue(value)) view.setTintColor(*c);
                         }});
    r.setters.push_back({View::staticClass(), "backgroundColor", [](View& view, const ns::Id& value) {
                             if (auto c = colorValue(value)) view.setBackgroundColor(*c);
                         }});
}

// The view's enclosing objects, innermost first: each superview and, for a
// controller's root view, the controller.
std::vector<ns::Id> enclosures(const View& view) {
    std::vector<ns::Id> out;
    for (auto v = view.superview(); v; v = v->superview()) {
        out.push_back(v);
        if (auto controller = v->viewDelegate()) out.push_back(controller);
    }
    return out;
}

bool containedIn(const std::vector<ns::Id>& outer, const std::vector<const rt::Class*>& containers) {
    size_t next = 0;
    for (const auto& object : outer) {
        if (next == containers.size()) break;
        if (object->isKindOf(containers[next])) ++next;
    }
    return next == containers.size();
}

// Matching proxies, least specific first: superclasses before classes, then
// fewer containers before more.
std::vector<const ProxyEntry*> matching(const View& view) {
    std::vector<const ProxyEntry*> out;
    auto outer = enclosures(view);
    for (const auto& entry : registry().proxies) {
        if (!view.isKindOf(entry.cls)) continue;
        if (!entry.containers.empty() && !containedIn(outer, entry.containers)) continue;
        out.push_back(&entry);
    }
    auto depth = [](const rt::Class* cls) {
        int d = 0;
        for (; cls; cls = cls->superclass()) ++d;
        return d;
    };
    std::stable_sort(out.begin(), out.end(), [&](const ProxyEntry* a, const ProxyEntry* b) {
        if (a->containers.size() != b->containers.size()) return a->containers.size() < b->containers.size();
        return depth(a->cls) < depth(b->cls);
    });
    return out;
}

}  // namespace

void AppearanceProxy::setValue(const std::string& property, ns::Id value) {
    if (value) values_[property] = std::move(value);
    else values_.erase(property);
}

ns::Id AppearanceProxy::value(std::string_view property) const {
    auto it = values_.find(property);
    return it == values_.end() ? nullptr : it->second;
}

void AppearanceProxy::setColor(const std::string& property, std::optional<cg::Color> color) {
    setValue(property, color ? ns::Id(valueWithColor(*color)) : nullptr);
}

std::optional<cg::Color> AppearanceProxy::color(std::string_view property) const { return colorValue(value(property)); }

AppearanceProxy& AppearanceRegistry::proxy(const rt::Class* cls, std::vector<const rt::Class*> containers) {
    auto& proxies = registry().proxies;
    for (auto& entry : proxies) {
        if (entry.cls == cls && entry.containers == containers) return *entry.proxy;
    }
    proxies.push_back({cls, std::move(containers), std::make_unique<AppearanceProxy>()});
    return *proxies.back().proxy;
}

void AppearanceRegistry::registerSetter(const rt::Class* cls, std::string property, Setter setter) {
    Registry& r = registry();
    registerBuiltIns(r);
    r.setters.push_back({cls, std::move(property), std::move(setter)});
}

ns::Id AppearanceRegistry::valueFor(const View& view, std::string_view property) {
    ns::Id result;
    for (const ProxyEntry* entry : matching(view)) {
        if (auto v = entry->proxy->value(property)) result = v;
    }
    return result;
}

void AppearanceRegistry::apply(View& view) {
    Registry& r = registry();
    if (r.proxies.empty()) return;
    registerBuiltIns(r);
    std::map<std::string, ns::Id, std::less<>> values;
    for (const ProxyEntry* entry : matching(view)) {
        for (const auto& [name, value] : entry->proxy->values()) values[name] = value;
    }
    for (const auto& [name, value] : values) {
        // The most derived class's setter for the property.
        const SetterEntry* best = nullptr;
        for (const auto& s : r.setters) {
            if (s.property != name || !view.isKindOf(s.cls)) continue;
            if (!best || s.cls->isSubclassOf(best->cls)) best = &s;
        }
        if (best) best->setter(view, value);
    }
}

void AppearanceRegistry::reset() { registry().proxies.clear(); }

}  // namespace ui
