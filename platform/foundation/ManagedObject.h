#pragma once
// The persistent-store object base class. There is no store here: the class
// exists so model mapping can recognise it and stop its walks below it.

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class ManagedObject : public Object {
    RT_DECLARE_CLASS(ManagedObject)
};

}  // namespace ns
