#include "channel/screens/TVScreenResources.h"

#include "channel/NSString+URLEncode.h"

namespace TVScreenResources {

ns::Ref<ns::Bundle> sdkBundle() {
    auto bundle = ns::Bundle::bundleWithPath(URLEncode::getBundlePath());
    return bundle ? bundle : ns::Bundle::mainBundle();
}

ns::Ref<ui::Image> image(std::string_view name) {
    return ui::Image::imageNamed(URLEncode::getImagePath(name));
}

ns::Ref<ns::String> text(std::string_view key) {
    return sdkBundle()->localizedStringForKey(ns::str(std::string(key)), nullptr, ns::str("TVUserShow"));
}

}  // namespace TVScreenResources
