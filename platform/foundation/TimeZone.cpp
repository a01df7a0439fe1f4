#include "platform/foundation/TimeZone.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "platform/foundation/Date.h"
#include "platform/foundation/TimeZoneRules.h"

namespace ns {

RT_DEFINE_CLASS(TimeZone, Object, "NSTimeZone")

namespace {

constexpr int64_t MaxOffset = 18 * 3600;

std::string zoneDirectory() {
    const char* dir = std::getenv("TZDIR");
    return dir && *dir ? dir : "/usr/share/zoneinfo";
}

// Names are paths inside the database; nothing may climb out of it.
bool isZoneName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.back() == '/') return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        for (char c : part) {
            bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                      c == '-' || c == '+';
            if (!ok) return false;
        }
        start = end + 1;
    }
    return true;
}

std::optional<std::string> readSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    std::string bytes = std::move(out).str();
    if (bytes.size() > (1u << 20)) return std::nullopt;
    return bytes;
}

std::shared_ptr<const tz::Rules> rulesFromFile(const std::string& path) {
    auto bytes = readSmallFile(path);
    if (!bytes) return nullptr;
    auto rules = tz::Rules::fromTzif(*bytes);
    return rules ? std::make_shared<const tz::Rules>(std::move(*rules)) : nullptr;
}

// "GMT+0800", as the platform names fixed zones.
std::string gmtName(int64_t seconds) {
    if (seconds == 0) return "GMT";
    int64_t minutes = std::abs(seconds) / 60;
    char buf[16];
    std::snprintf(buf, sizeof buf, "GMT%c%02d%02d", seconds < 0 ? '-' : '+', int(minutes / 60), int(minutes % 60));
    return buf;
}

// "GMT+8", "GMT+5:30": the short form shown as an abbreviation.
std::string gmtAbbreviation(int64_t seconds) {
    if (seconds == 0) return "GMT";
    int64_t minutes = std::abs(seconds) / 60;
    std::string out = std::string("GMT") + (seconds < 0 ? "-" : "+") + std::to_string(minutes / 60);
    if (minutes % 60) {
        char buf[8];
        std::snprintf(buf, sizeof buf, ":%02d", int(minutes % 60));
        out += buf;
    }
    return out;
}

// "GMT+8", "UTC-05", "GMT+0530", "GMT+05:30"; "GMT" and "UTC" alone are
// left to the database.
std::optional<int64_t> offsetOfGmtName(std::string_view name) {
    if (name.size() < 5 || (name.substr(0, 3) != "GMT" && name.substr(0, 3) != "UTC")) return std::nullopt;
    char sign = name[3];
    if (sign != '+' && sign != '-') return std::nullopt;
    std::string_view rest = name.substr(4);
    size_t colon = rest.find(':');
    int64_t hours = 0, minutes = 0;
    auto allDigits = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (colon != std::string_view::npos) {
        std::string_view h = rest.substr(0, colon), m = rest.substr(colon + 1);
        if (!allDigits(h) || h.size() > 2 || !allDigits(m) || m.size() != 2) return std::nullopt;
        hours = std::stoi(std::string(h));
        minutes = std::stoi(std::string(m));
    } else {
        if (!allDigits(rest) || rest.size() > 4 || rest.size() == 3) return std::nullopt;
        int value = std::stoi(std::string(rest));
        if (rest.size() == 4) {
            hours = value / 100;
            minutes = value % 100;
        } else {
            hours = value;
        }
    }
    if (minutes >= 60) return std::nullopt;
    int64_t seconds = (hours * 60 + minutes) * 60;
    if (seconds > MaxOffset) return std::nullopt;
    return sign == '-' ? -seconds : seconds;
}

int64_t unixSeconds(const Date& date) {
    double t = date.timeIntervalSince1970();
    if (std::isnan(t)) return 0;
    return static_cast<int64_t>(std::floor(std::clamp(t, -1e15, 1e15)));
}

struct ZoneState {
    std::mutex lock;
    std::map<std::string, Ref<TimeZone>, std::less<>> named;
    Ref<TimeZone> system;
    Ref<TimeZone> defaultZone;
};

ZoneState& state() {
    static ZoneState* s = new ZoneState;  // outlives static destructors that may still ask
    return *s;
}

Ref<TimeZone> readSystemTimeZone() {
    if (const char* env = std::getenv("TZ")) {
        std::string_view value = env;
        if (!value.empty() && value.front() == ':') value.remove_prefix(1);
        if (value.empty()) return TimeZone::timeZoneWithName("UTC");
        if (value.front() == '/') {
            std::string path(value);
            if (auto rules = rulesFromFile(path)) {
                size_t inDatabase = path.find("zoneinfo/");
                return std::make_shared<TimeZone>(inDatabase == std::string::npos ? path : path.substr(inDatabase + 9),
                                                  rules);
            }
        } else if (auto zone = TimeZone::timeZoneWithName(value)) {
            return zone;
        } else if (auto rules = tz::Rules::fromPosix(value)) {
            return std::make_shared<TimeZone>(std::string(value), std::make_shared<const tz::Rules>(std::move(*rules)));
        }
    }
    char target[PATH_MAX];
    ssize_t length = readlink("/etc/localtime", target, sizeof target - 1);
    if (length > 0) {
        std::string link(target, size_t(length));
        size_t inDatabase = link.find("zoneinfo/");
        if (inDatabase != std::string::npos) {
            if (auto zone = TimeZone::timeZoneWithName(link.substr(inDatabase + 9))) return zone;
        }
    }
    if (auto rules = rulesFromFile("/etc/localtime")) {
        std::string name = "localtime";
        if (auto named = readSmallFile("/etc/timezone")) {
            std::string trimmed = named->substr(0, named->find_first_of("\r\n"));
            if (!trimmed.empty()) name = trimmed;
        }
        return std::make_shared<TimeZone>(name, rules);
    }
    return TimeZone::timeZoneForSecondsFromGMT(0);
}

}  // namespace

TimeZone::TimeZone() : TimeZone("GMT", std::make_shared<const tz::Rules>(tz::Rules::fixed(0, "GMT"))) {}

TimeZone::TimeZone(std::string name, std::shared_ptr<const tz::Rules> rules)
    : name_(std::move(name)), rules_(std::move(rules)) {}

Ref<TimeZone> TimeZone::timeZoneWithName(std::string_view name) {
    ZoneState& s = state();
    {
        std::lock_guard lock(s.lock);
        auto found = s.named.find(name);
        if (found != s.named.end()) return found->second;
    }
    Ref<TimeZone> zone;
    if (auto offset = offsetOfGmtName(name)) {
        return timeZoneForSecondsFromGMT(*offset);
    } else if (isZoneName(name)) {
        if (auto rules = rulesFromFile(zoneDirectory() + "/" + std::string(name))) {
            zone = std::make_shared<TimeZone>(std::string(name), rules);
        } else if (name == "GMT" || name == "UTC") {
            // Known even where the database is not installed.
            zone = std::make_shared<TimeZone>(std::string(name),
                                              std::make_shared<const tz::Rules>(tz::Rules::fixed(0, std::string(name))));
        }
    }
    if (!zone) return nullptr;
    std::lock_guard lock(s.lock);
    return s.named.emplace(std::string(name), zone).first->second;
}

Ref<TimeZone> TimeZone::timeZoneForSecondsFromGMT(int64_t seconds) {
    if (seconds > MaxOffset || seconds < -MaxOffset) return nullptr;
    auto rules = std::make_shared<const tz::Rules>(tz::Rules::fixed(int32_t(seconds), gmtAbbreviation(seconds)));
    return std::make_shared<TimeZone>(gmtName(seconds), rules);
}

Ref<TimeZone> TimeZone::systemTimeZone() {
    ZoneState& s = state();
    {
        std::lock_guard lock(s.lock);
        if (s.system) return s.system;
    }
    Ref<TimeZone> zone = readSystemTimeZone();
    std::lock_guard lock(s.lock);
    if (!s.system) s.system = zone;
    return s.system;
}

void TimeZone::resetSystemTimeZone() {
    std::lock_guard lock(state().lock);
    state().system = nullptr;
}

Ref<TimeZone> TimeZone::defaultTimeZone() {
    {
        std::lock_guard lock(state().lock);
        if (state().defaultZone) return state().defaultZone;
    }
    return systemTimeZone();
}

void TimeZone::setDefaultTimeZone(Ref<TimeZone> zone) {
    std::lock_guard lock(state().lock);
    state().defaultZone = std::move(zone);
}

Ref<TimeZone> TimeZone::localTimeZone() { return defaultTimeZone(); }

int64_t TimeZone::secondsFromGMT() const { return secondsFromGMTForDate(*Date::now()); }

int64_t TimeZone::secondsFromGMTForDate(const Date& date) const { return secondsFromGMTForUnixTime(unixSeconds(date)); }

int64_t TimeZone::secondsFromGMTForUnixTime(int64_t seconds) const { return rules_->typeAt(seconds).offset; }

int64_t TimeZone::secondsFromGMTForLocalTime(int64_t localSeconds) const {
    return rules_->offsetForLocalTime(localSeconds);
}

std::string TimeZone::abbreviationForDate(const Date& date) const {
    const tz::LocalTimeType& type = rules_->typeAt(unixSeconds(date));
    // The database writes "+08" where a zone has no letters of its own.
    if (type.abbreviation.empty() || type.abbreviation[0] == '+' || type.abbreviation[0] == '-') {
        return gmtAbbreviation(type.offset);
    }
    return type.abbreviation;
}

bool TimeZone::isDaylightSavingTimeForDate(const Date& date) const {
    return rules_->typeAt(unixSeconds(date)).isDaylightSaving;
}

std::string TimeZone::description() const {
    auto now = Date::now();
    return name_ + " (" + abbreviationForDate(*now) + ") offset " + std::to_string(secondsFromGMTForDate(*now));
}

uint64_t TimeZone::hash() const {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : name_) h = (h ^ c) * 1099511628211ull;
    return h;
}

bool TimeZone::isEqual(const Object* other) const {
    auto zone = dynamic_cast<const TimeZone*>(other);
    return zone && zone->name_ == name_;
}

}  // namespace ns
