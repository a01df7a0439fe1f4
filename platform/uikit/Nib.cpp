#include "platform/uikit/Nib.h"

#include "platform/runtime/Exception.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Storyboard.h"

namespace ui {

RT_DEFINE_CLASS(Nib, ns::Object, "UINib")

ns::Ref<Nib> Nib::nibWithName(std::string_view name, const ns::Ref<ns::Bundle>& bundle) {
    return std::make_shared<Nib>(std::string(name), bundle ? bundle : ns::Bundle::mainBundle());
}

std::vector<ns::Id> Nib::loadNibNamed(std::string_view name, const ns::Id& owner, const ns::Ref<ns::Bundle>& bundle) {
    return nibWithName(name, bundle)->instantiateWithOwner(owner);
}

std::vector<ns::Id> Nib::instantiateWithOwner(const ns::Id& owner) const {
    auto builder = SceneRegistry::nib(name_);
    if (!builder) {
        ns::Exception::raise(ns::InternalInconsistencyException, "Could not load NIB in bundle: '" +
                                                                      bundleDescriptionForMessages(bundle_) +
                                                                      "' with name '" + name_ + "'");
    }
    return builder(owner, bundle_);
}

}  // namespace ui
