#include "channel/ShareVale.h"

#include "channel/TVSingleton.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyList.h"
#include "platform/uikit/Device.h"

RT_DEFINE_CLASS(ShareVale, ns::Object, "ShareVale")

namespace {

bool isEmpty(const ns::Ref<ns::String>& text) {
    return !text || text->utf8().empty();
}

}  // namespace

ns::Ref<ShareVale> ShareVale::sharedInstance() {
    return TVSingleton<ShareVale>::shared();
}

void ShareVale::distroyInstance() {
    TVSingleton<ShareVale>::destroy();
}

ns::Ref<ns::UserDefaults> ShareVale::defaults() {
    auto standard = ns::UserDefaults::standardUserDefaults();
    // A login style other than 1 logs no one in: a logout is saved however
    // the rest of the login waits.
    standard->keepTogether({"TV_username", "TV_pwd", "TV_LoginStyle", "TV_subUserName"}, "TV_LoginStyle", 1);
    return standard;
}

void ShareVale::setLogin(const Text& name, const Text& password, uint64_t style) {
    auto saved = defaults();
    saved->setObjectForKey(name, "TV_username");
    saved->setObjectForKey(password, "TV_pwd");
    saved->setObjectForKey(ns::Number::withUnsignedLongLong(style), "TV_LoginStyle");
    saved->synchronize();
}

uint64_t ShareVale::loginStyle() const {
    // A negative or unreadable value counts as no saved login.
    int64_t style = defaults()->integerForKey("TV_LoginStyle");
    return style > 0 ? static_cast<uint64_t>(style) : 0;
}

void ShareVale::setLoginStyle(uint64_t style) {
    auto saved = defaults();
    saved->setObjectForKey(ns::Number::withUnsignedLongLong(style), "TV_LoginStyle");
    saved->synchronize();
}

ShareVale::Text ShareVale::appID() {
    if (isEmpty(appID_)) appID_ = plistText("TOVIRA_APPID");
    return appID_;
}

ShareVale::Text ShareVale::gameID() {
    if (isEmpty(gameID_)) gameID_ = plistText("TOVIRA_GAMEID");
    return gameID_;
}

ShareVale::Text ShareVale::appKey() {
    if (isEmpty(appKey_)) appKey_ = plistText("TOVIRA_APPKEY");
    return appKey_;
}

ShareVale::Text ShareVale::chanelid() {
    if (isEmpty(chanelid_)) chanelid_ = channelFromFolder();
    return chanelid_;
}

ShareVale::Text ShareVale::phoneType() {
    if (isEmpty(phoneType_)) phoneType_ = ns::str("3");
    return phoneType_;
}

ShareVale::Text ShareVale::version() {
    if (isEmpty(version_)) version_ = ns::str(ui::Device::currentDevice()->systemVersion());
    return version_;
}

ShareVale::Text ShareVale::copyOf(const Text& value) {
    return value ? ns::str(value->utf8()) : nullptr;
}

ShareVale::Text ShareVale::savedText(const char* key) {
    return defaults()->stringForKey(key);
}

void ShareVale::saveText(const Text& value, const char* key) {
    auto saved = defaults();
    saved->setObjectForKey(value, key);
    saved->synchronize();
}

int64_t ShareVale::savedInteger(const char* key) {
    return defaults()->integerForKey(key);
}

void ShareVale::saveInteger(int64_t value, const char* key) {
    auto saved = defaults();
    saved->setIntegerForKey(value, key);
    saved->synchronize();
}

ns::Ref<ns::Dictionary> ShareVale::getTVPlist() {
    auto path = ns::Bundle::mainBundle()->pathForResource("TV.plist", "");
    return path ? ns::dictionaryWithContentsOfFile(path->utf8()) : nullptr;
}

ShareVale::Text ShareVale::plistText(const char* key) {
    auto plist = getTVPlist();
    return plist ? ns::cast<ns::String>(plist->objectForKey(key)) : nullptr;
}

// The first entry under "TVAppInfo/Channel" names the channel (spaces and
// line feeds dropped); without one, "TOVIRA_AGENT" of "TV.plist" does.
ShareVale::Text ShareVale::channelFromFolder() {
    std::string folder = ns::Bundle::mainBundle()->bundlePath()->utf8() + "/TVAppInfo/Channel";
    auto files = ns::FileManager::defaultManager();
    std::string entry;
    if (files->fileExistsAtPath(folder)) {
        auto entries = files->subpathsOfDirectoryAtPath(folder);
        if (entries && entries->count() > 0) {
            if (auto first = ns::cast<ns::String>(entries->objectAtIndex(0))) entry = first->utf8();
        }
    }
    if (!entry.empty()) {
        std::string cleaned;
        for (char c : entry)
            if (c != ' ' && c != '\n') cleaned += c;
        return ns::str(cleaned);
    }
    return plistText("TOVIRA_AGENT");
}
