#pragma once
// The refresh controls' own resources: "TVRefresh.bundle" (inside the SDK's
// "DOVUZ.bundle" when the application carries one, else at the top of the
// application bundle), with the arrow image and the texts in "en",
// "zh-Hans" and "zh-Hant". The application's own strings override the
// bundle's texts. The bundle, the arrow and the language are looked up once
// per process.
//
// Main thread only.

#include <string_view>

#include "platform/foundation/Bundle.h"
#include "platform/uikit/Image.h"

ns::Ref<ns::Bundle> TV_refreshBundle();
// In template rendering, so it takes its image view's tint.
ns::Ref<ui::Image> TV_arrowImage();
ns::Ref<ns::String> TV_localizedStringForKey(std::string_view key);
ns::Ref<ns::String> TV_localizedStringForKey(std::string_view key, const ns::Ref<ns::String>& value);

// The path of an SDK resource: "DOVUZ.bundle/<name>" when the main bundle
// holds "DOVUZ.bundle", else the name itself.
std::string TV_sdkResourcePath(std::string_view name);

// Forgets the looked-up bundle, arrow and language, as a new process would.
void TV_resetRefreshBundleForTesting();
