#include "channel/NSString+URLEncode.h"

#include <cmath>
#include <cstdint>

#include "channel/ShareVale.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Text.h"
#include "platform/security/Digest.h"
#include "platform/security/Hex.h"
#include "platform/security/Random.h"

namespace URLEncode {

namespace {

constexpr const char* kBundleName = "DOVUZ";

// True when the ICU pattern matches the whole text.
bool matchesWhole(const ns::String& text, std::string_view pattern) {
    ns::Range found = text.rangeOfString(pattern, ns::RegularExpressionSearch);
    return found.location == 0 && found.length == text.length();
}

bool isSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// "%.0f": rounded half to even, as printf does.
std::string wholeNumber(double value) {
    return ns::format("%.0f", value);
}

std::string escapedArgument(const ns::Ref<ns::String>& value) {
    if (!value) return "(null)";
    static const auto unreserved =
        ns::CharacterSet::withCharactersInString("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~");
    auto escaped = value->stringByAddingPercentEncodingWithAllowedCharacters(*unreserved);
    return escaped ? escaped->utf8() : "(null)";
}

}  // namespace

std::string md5String(std::string_view text) {
    return sec::hexLower(sec::md5(text));
}

std::string stringFromBytes(const unsigned char* bytes, long length) {
    if (length < 1 || !bytes) return {};
    return sec::hexLower(sec::ByteView(bytes, static_cast<size_t>(length)));
}

ns::Ref<ns::String> URLEncodedString(const ns::String& text) {
    auto bytes = text.dataUsingEncoding(ns::StringEncoding::GB18030);
    if (!bytes) return nullptr;
    std::string out;
    for (uint8_t byte : bytes->vector()) {
        bool keep = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                    byte == '-' || byte == '.' || byte == '_';
        if (keep) out += static_cast<char>(byte);
        else out += "%" + sec::hexUpper(sec::ByteView(&byte, 1));
    }
    return ns::str(out);
}

bool isEmptyOrWhitespace(const ns::String* text) {
    if (!text) return true;
    for (char c : text->utf8())
        if (!isSpaceOrTab(c)) return false;
    return true;
}

std::string trimmedWhitespaceString(const ns::String& text) {
    const std::string& s = text.utf8();
    size_t begin = 0, end = s.size();
    while (begin < end && isSpaceOrTab(s[begin])) ++begin;
    while (end > begin && isSpaceOrTab(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

std::string trimmedWhitespaceAndNewlineString(const ns::String& text) {
    return text.stringByTrimmingWhitespaceAndNewlines()->utf8();
}

bool isTelephone(const ns::String& text) {
    static const char* const patterns[] = {
        R"(^1(3[0-9]|5[0-35-9]|8[025-9])\d{8}$)",
        R"(^0(10|2[0-5789]|\d{3})\d{7,8}$)",
        R"(^1((33|53|8[09])[0-9]|349)\d{7}$)",
        R"(^1(3[0-2]|5[256]|8[56])\d{8}$)",
        R"(^1(34[0-8]|(3[5-9]|5[017-9]|8[278])\d)\d{7}$)",
    };
    for (const char* pattern : patterns)
        if (matchesWhole(text, pattern)) return true;
    return false;
}

bool isEmail(const ns::String& text) {
    static const char* const pattern =
        R"((?:[a-z0-9!#$%&'*+/=?^_`{|}~-]+(?:\.[a-z0-9!#$%&'*+/=?^_`{|}~-]+)*)"
        R"(|"(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21\x23-\x5b\x5d-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])*"))"
        R"(@(?:(?:[a-z0-9](?:[a-z0-9-]*[a-z0-9])?\.)+[a-z0-9](?:[a-z0-9-]*[a-z0-9])?)"
        R"(|\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\]))";
    return matchesWhole(*text.lowercaseString(), pattern);
}

bool isWeakPswd(const ns::String& text) {
    return matchesWhole(text, R"(^(?=.*\d.*)(?=.*[a-zA-Z].*).{6,20}$)");
}

bool isSignWithUserName(const ns::String& sign, std::string_view userName, std::string_view appkey,
                        std::string_view sinceTime) {
    std::string signed_ = "username=" + std::string(userName) + "&appkey=" + std::string(appkey) +
                          "&logintime=" + std::string(sinceTime);
    return sign.utf8() == md5String(signed_);
}

bool isNumber(const ns::String* text) {
    if (!text || text->utf8().empty()) return false;
    return text->utf8().find_first_not_of("0123456789.") == std::string::npos;
}

std::string loginSign(std::string_view userName, double secondsSince1970) {
    return md5String("username=" + std::string(userName) + "&appkey=pwlo@!kit&logintime=" +
                     wholeNumber(secondsSince1970));
}

std::string getWebViewURLArgument() {
    auto vale = ShareVale::sharedInstance();
    auto userName = vale->userName();
    double now = ns::Date::now()->timeIntervalSince1970();
    std::string sign = loginSign(userName ? userName->utf8() : "(null)", now);
    auto gameID = escapedArgument(vale->gameID());
    return "?gid=" + gameID + "&gameid=" + gameID + "&sid=" + escapedArgument(vale->sid()) +
           "&username=" + escapedArgument(userName) + "&logintime=" + wholeNumber(now) + "&sign=" + sign +
           "&device=ios";
}

std::string getImagePath(std::string_view name) {
    if (ns::Bundle::mainBundle()->pathForResource(kBundleName, "bundle"))
        return std::string(kBundleName) + ".bundle/" + std::string(name);
    return std::string(name);
}

std::string getBundlePath() {
    auto bundle = ns::Bundle::mainBundle();
    auto path = bundle->pathForResource(kBundleName, "bundle");
    if (path && !path->utf8().empty()) return path->utf8();
    return bundle->bundlePath()->utf8();
}

std::string getOrderNumber() {
    double milliseconds = ns::Date::now()->timeIntervalSince1970() * 1000.0;
    uint32_t random = sec::Random::next32() + 1000u;  // wraps modulo 2^32
    return wholeNumber(milliseconds) + std::to_string(random % 10000u);
}

}  // namespace URLEncode
