#pragma once
// One sub-account of the logged-in account, as the sub-account list reply
// gives it. The game is told the sub-account's name, sign and login time.

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class VRQSubNameModel : public ns::Object {
    RT_DECLARE_CLASS(VRQSubNameModel)
public:
    static ns::Ref<VRQSubNameModel> initWithDictionary(const ns::Id& dictionary);

    ns::Ref<ns::String> nickname, username, login_time;
    const ns::Ref<ns::String>& sign() const { return sign_; }
    // Keeps the received text from its second character on; a number's
    // decimal text likewise; missing, null or empty gives "".
    void setSign(const ns::Id& received);

private:
    ns::Ref<ns::String> sign_;
};
