#pragma once
// What the channel's screens load from the SDK bundle ("DOVUZ.bundle"):
// its images by name and the texts of its scenes (the strings table
// "TVUserShow" in the bundle). Both fall back as the platform does when the
// bundle is missing: a nil image, the key as the text.

#include <string>
#include <string_view>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/String.h"
#include "platform/uikit/Image.h"

namespace TVScreenResources {

// The SDK bundle, or the main bundle when it has none.
ns::Ref<ns::Bundle> sdkBundle();
// The image named through the SDK's image-path rule; nil when absent.
ns::Ref<ui::Image> image(std::string_view name);
// A scene's text from the bundle's "TVUserShow" table.
ns::Ref<ns::String> text(std::string_view key);

}  // namespace TVScreenResources
