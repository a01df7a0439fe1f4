#pragma once
// Decoded replies of the channel API. Each model copies the reply keys it
// needs into named fields; values stay as the reply gives them (a number
// stays a number, null stays null, a missing key leaves the field nil)
// unless a field says it is formatted as text.

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVBaseResponse : public ns::Object {
    RT_DECLARE_CLASS(TVBaseResponse)
public:
    // The base ignores the reply.
    static ns::Ref<TVBaseResponse> responseWithDic(const ns::Id& dic);

    ns::Id code;    // the server's status
    ns::Id mesage;  // the server's message
};
