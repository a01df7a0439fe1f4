#pragma once
// Nibs: named builders of views (and other top-level objects), registered
// with SceneRegistry.h. Loading one runs its builder, which fills the
// owner's outlets when an owner is given.

#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/runtime/Class.h"

namespace ui {

class Nib : public ns::Object {
    RT_DECLARE_CLASS(Nib)
public:
    Nib() = default;
    Nib(std::string name, ns::Ref<ns::Bundle> bundle) : name_(std::move(name)), bundle_(std::move(bundle)) {}

    // Never nil, as on the platform: a name nothing registered fails when
    // the nib is instantiated. A nil bundle is the main bundle.
    static ns::Ref<Nib> nibWithName(std::string_view name, const ns::Ref<ns::Bundle>& bundle = nullptr);
    // The bundle's loadNibNamed: the top-level objects of a new instance.
    static std::vector<ns::Id> loadNibNamed(std::string_view name, const ns::Id& owner,
                                            const ns::Ref<ns::Bundle>& bundle = nullptr);

    const std::string& name() const { return name_; }
    const ns::Ref<ns::Bundle>& bundle() const { return bundle_; }

    // The top-level objects, in the nib's order. Raises
    // NSInternalInconsistencyException ("Could not load NIB in bundle:
    // 'NSBundle <path> (loaded)' with name 'X'") for an unknown name.
    std::vector<ns::Id> instantiateWithOwner(const ns::Id& owner) const;

private:
    std::string name_;
    ns::Ref<ns::Bundle> bundle_;
};

}  // namespace ui
