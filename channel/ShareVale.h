#pragma once
// The channel SDK's configuration and login state. Configuration comes from
// "TV.plist" of the main bundle and the channel folder "TVAppInfo/Channel";
// login state lives in the standard user defaults under "TV_" keys, so the
// next start can log in by itself. A process-wide singleton; in practice
// used on the main thread only.

#include <cstdint>
#include <mutex>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class ShareVale : public ns::Object {
    RT_DECLARE_CLASS(ShareVale)
public:
    using Text = ns::Ref<ns::String>;

    static ns::Ref<ShareVale> sharedInstance();
    // Drops the singleton; the next sharedInstance() makes a new one.
    static void distroyInstance();

    // 0 no saved login, 1 logged in (auto-login next time), 2 logged out by
    // the game (the next login screen prefills the name).
    uint64_t loginStyle() const;
    void setLoginStyle(uint64_t style);

    // Configuration: the first value a source yields is kept for the process;
    // while the source yields nothing every read asks it again.
    Text appID();
    void setAppID(const Text& value) { appID_ = copyOf(value); }
    Text gameID();
    void setGameID(const Text& value) { gameID_ = copyOf(value); }
    Text chanelid();
    void setChanelid(const Text& value) { chanelid_ = copyOf(value); }
    Text phoneType();
    void setPhoneType(const Text& value) { phoneType_ = copyOf(value); }
    Text version();
    void setVersion(const Text& value) { version_ = copyOf(value); }
    Text appKey();
    void setAppKey(const Text& value) { appKey_ = copyOf(value); }

    // A login's name, password and login style, saved together. These and
    // the sub-account hold together: a save that cannot write all of their
    // changes (a full volume) writes none of them, except a login style
    // other than 1 (a logout), which is written however the others wait.
    void setLogin(const Text& name, const Text& password, uint64_t style);

    // Saved login state (user defaults, synchronised on every write; nil
    // removes the key).
    Text userName() const { return savedText("TV_username"); }
    void setUserName(const Text& value) { saveText(value, "TV_username"); }
    // The password in clear text, as existing installs keep it.
    Text passWord() const { return savedText("TV_pwd"); }
    void setPassWord(const Text& value) { saveText(value, "TV_pwd"); }
    Text noticeId() const { return savedText("TV_noticeId"); }
    void setNoticeId(const Text& value) { saveText(value, "TV_noticeId"); }
    Text ptbValue() const { return savedText("TV_ptbValue"); }
    void setPtbValue(const Text& value) { saveText(value, "TV_ptbValue"); }
    Text subUserName() const { return savedText("TV_subUserName"); }
    void setSubUserName(const Text& value) { saveText(value, "TV_subUserName"); }
    Text isRz() const { return savedText("TV_isRz"); }
    void setIsRz(const Text& value) { saveText(value, "TV_isRz"); }
    Text sid() const { return savedText("TV_sid"); }
    void setSid(const Text& value) { saveText(value, "TV_sid"); }

    int64_t suHomeCount() const { return savedInteger("TV_suHomeCount"); }
    void setSuHomeCount(int64_t value) { saveInteger(value, "TV_suHomeCount"); }
    int64_t suGiftCount() const { return savedInteger("TV_suGiftCount"); }
    void setSuGiftCount(int64_t value) { saveInteger(value, "TV_suGiftCount"); }
    int64_t suCouponCount() const { return savedInteger("TV_suCouponCount"); }
    void setSuCouponCount(int64_t value) { saveInteger(value, "TV_suCouponCount"); }

    // Plain fields nothing reads.
    Text userID, productName, productDesc;

private:
    static Text copyOf(const Text& value);
    // The standard user defaults, told which keys hold together.
    static ns::Ref<ns::UserDefaults> defaults();
    static Text savedText(const char* key);
    static void saveText(const Text& value, const char* key);
    static int64_t savedInteger(const char* key);
    static void saveInteger(int64_t value, const char* key);
    // "TV.plist" of the main bundle, read afresh; nil when it is missing.
    static ns::Ref<ns::Dictionary> getTVPlist();
    static Text plistText(const char* key);
    static Text channelFromFolder();

    Text appID_, gameID_, chanelid_, phoneType_, version_, appKey_;
};
