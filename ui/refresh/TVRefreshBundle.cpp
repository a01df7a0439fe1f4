#include "ui/refresh/TVRefreshBundle.h"

#include "platform/foundation/Locale.h"
#include "ui/refresh/TVRefreshComponent.h"

namespace {

struct Caches {
    ns::Ref<ns::Bundle> refreshBundle;
    ns::Ref<ui::Image> arrowImage;
    ns::Ref<ns::Bundle> languageBundle;
};

Caches& caches() {
    static Caches shared;
    return shared;
}

// The first preferred language, narrowed to the three the bundle has.
std::string chosenLanguage() {
    auto languages = ns::Locale::preferredLanguages();
    std::string first;
    if (languages && languages->count() > 0) {
        if (auto text = std::dynamic_pointer_cast<ns::String>(languages->objectAtIndex(0))) first = text->utf8();
    }
    if (first.rfind("en", 0) == 0) return "en";
    if (first.rfind("zh", 0) == 0) return first.find("Hans") != std::string::npos ? "zh-Hans" : "zh-Hant";
    return "en";
}

}  // namespace

std::string TV_sdkResourcePath(std::string_view name) {
    if (ns::Bundle::mainBundle()->pathForResource("DOVUZ", "bundle")) return "DOVUZ.bundle/" + std::string(name);
    return std::string(name);
}

ns::Ref<ns::Bundle> TV_refreshBundle() {
    auto& cache = caches();
    if (cache.refreshBundle) return cache.refreshBundle;
    auto home = ns::Bundle::bundleForClass(TVRefreshComponent::staticClass());
    // A failed look-up stores nothing: the next call tries again.
    if (auto path = home->pathForResource(TV_sdkResourcePath("TVRefresh"), "bundle")) {
        cache.refreshBundle = ns::Bundle::bundleWithPath(path->utf8());
    }
    return cache.refreshBundle;
}

ns::Ref<ui::Image> TV_arrowImage() {
    auto& cache = caches();
    if (cache.arrowImage) return cache.arrowImage;
    auto bundle = TV_refreshBundle();
    auto path = bundle ? bundle->pathForResource("arrow@2x", "png") : nullptr;
    auto image = path ? ui::Image::imageWithContentsOfFile(path->utf8()) : nullptr;
    if (image) cache.arrowImage = image->imageWithRenderingMode(ui::ImageRenderingMode::AlwaysTemplate);
    return cache.arrowImage;
}

ns::Ref<ns::String> TV_localizedStringForKey(std::string_view key) { return TV_localizedStringForKey(key, nullptr); }

ns::Ref<ns::String> TV_localizedStringForKey(std::string_view key, const ns::Ref<ns::String>& value) {
    auto& cache = caches();
    if (!cache.languageBundle) {
        if (auto bundle = TV_refreshBundle()) {
            if (auto path = bundle->pathForResource(chosenLanguage(), "lproj")) {
                cache.languageBundle = ns::Bundle::bundleWithPath(path->utf8());
            }
        }
    }
    auto keyText = ns::String::make(std::string(key));
    // Without the bundle its answer is nil, and the application's strings
    // (or the key itself) decide.
    auto text = cache.languageBundle ? cache.languageBundle->localizedStringForKey(keyText, value, nullptr) : value;
    return ns::Bundle::mainBundle()->localizedStringForKey(keyText, text, nullptr);
}

void TV_resetRefreshBundleForTesting() { caches() = {}; }
