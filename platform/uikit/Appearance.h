#pragma once
// Appearance proxies: property values set for a class (optionally only
// inside containers of given classes, innermost first) that instances pick
// up when they first move into a window. A view's own tint colour wins over
// the proxy's. Values are stored by property name as objects (colours boxed
// with GeometryValue.h); classes teach the registry how to apply a property
// with registerSetter. "tintColor" and "backgroundColor" of views come
// built in.
//
// Main thread only.

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/runtime/Class.h"

namespace ui {

class View;

class AppearanceProxy {
public:
    void setValue(const std::string& property, ns::Id value);
    // Nil when the property was not set on this proxy.
    ns::Id value(std::string_view property) const;
    void setColor(const std::string& property, std::optional<cg::Color> color);
    std::optional<cg::Color> color(std::string_view property) const;
    void setTintColor(std::optional<cg::Color> color) { setColor("tintColor", color); }
    std::optional<cg::Color> tintColor() const { return color("tintColor"); }

    const std::map<std::string, ns::Id, std::less<>>& values() const { return values_; }

private:
    std::map<std::string, ns::Id, std::less<>> values_;
};

class AppearanceRegistry {
public:
    using Setter = std::function<void(View& view, const ns::Id& value)>;

    static AppearanceProxy& proxy(const rt::Class* cls, std::vector<const rt::Class*> containers = {});
    static void registerSetter(const rt::Class* cls, std::string property, Setter setter);

    // The value that applies to `view` for a property: from the proxies of
    // its class and superclasses whose containers enclose it (its superviews
    // and their controllers), the most specific winning. Nil when none.
    static ns::Id valueFor(const View& view, std::string_view property);
    // Applies every matching value through the registered setters.
    static void apply(View& view);
    static void reset();
};

template <class T>
struct Appearance {
    static AppearanceProxy& appearance() { return AppearanceRegistry::proxy(T::staticClass()); }
    // Innermost container first.
    static AppearanceProxy& appearanceWhenContainedIn(std::initializer_list<const rt::Class*> containers) {
        return AppearanceRegistry::proxy(T::staticClass(), std::vector<const rt::Class*>(containers));
    }
};

}  // namespace ui
