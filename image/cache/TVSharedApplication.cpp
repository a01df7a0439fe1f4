#include "image/cache/TVSharedApplication.h"

#include <functional>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/runtime/Class.h"

namespace {

ns::Ref<ui::Application> findSharedApplication() {
    const rt::Class* cls = rt::classNamed("UIApplication");
    if (!cls) return nullptr;
    const auto* shared = cls->classMethod<std::function<ns::Id()>>("sharedApplication");
    if (!shared) return nullptr;
    auto bundle = ns::Bundle::mainBundle();
    const std::string path = bundle ? bundle->bundlePath()->utf8() : std::string();
    if (path.ends_with(".appex")) return nullptr;
    return ns::cast<ui::Application>((*shared)());
}

}  // namespace

ns::Ref<ui::Application> TVSharedApplication() {
    // Held for the process's life, as the application object is.
    static const ns::Ref<ui::Application> application = findSharedApplication();
    return application;
}
