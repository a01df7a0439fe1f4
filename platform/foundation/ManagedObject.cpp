#include "platform/foundation/ManagedObject.h"

namespace ns {

RT_DEFINE_CLASS(ManagedObject, Object, "NSManagedObject")

}  // namespace ns
