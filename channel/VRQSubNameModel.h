#pragma once
// One sub-account of the logged-in account, as the sub-account list reply
// gives it. The game is told the sub-account's name, sign and login time.

#include <vector>

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class VRQSubNameModel : public ns::Object {
    RT_DECLARE_CLASS(VRQSubNameModel)
public:
    // nil for anything but a dictionary: a row without a name or sign
    // would hand the game an empty user name.
    static ns::Ref<VRQSubNameModel> initWithDictionary(const ns::Id& dictionary);
    // The records of a reply's "data" array, in order, skipping entries that
    // are not dictionaries and records without a user name (a number's
    // decimal text counts as one); empty when it is no array.
    static std::vector<ns::Ref<VRQSubNameModel>> listOf(const ns::Id& data);

    ns::Ref<ns::String> nickname, username, login_time;
    const ns::Ref<ns::String>& sign() const { return sign_; }
    // Keeps the received text from its second character on; a number's
    // decimal text likewise; missing, null or empty gives "".
    void setSign(const ns::Id& received);

private:
    ns::Ref<ns::String> sign_;
};
