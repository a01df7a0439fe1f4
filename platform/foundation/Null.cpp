#include "platform/foundation/Null.h"

namespace ns {

RT_DEFINE_CLASS(Null, Object, "NSNull")

const Ref<Null>& Null::null() {
    static const Ref<Null> instance = std::make_shared<Null>();
    return instance;
}

}  // namespace ns
