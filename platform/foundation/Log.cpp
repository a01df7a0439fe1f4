#include "platform/foundation/Log.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <unistd.h>

#include "platform/dispatch/Clock.h"

namespace ns {
namespace {

// One lock for the captures and for stderr, so lines never interleave.
std::mutex& logLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::vector<LogCapture*>& captures() {
    static auto* list = new std::vector<LogCapture*>;
    return *list;
}

std::string timestamp() {
    double now = dispatch::wallTime();
    double whole = std::floor(now);
    std::time_t seconds = static_cast<std::time_t>(whole);
    int millis = std::min(999, static_cast<int>((now - whole) * 1000));
    std::tm local{};
    localtime_r(&seconds, &local);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
    return buf;
}

}  // namespace

void logMessage(std::string_view message) {
    std::string line = timestamp() + " gamehost[" + std::to_string(::getpid()) + "] ";
    line.append(message);
    line += '\n';
    std::lock_guard<std::mutex> hold(logLock());
    std::fwrite(line.data(), 1, line.size(), stderr);
    for (LogCapture* capture : captures()) capture->add(std::string(message));
}

void logScreen(std::string_view what, std::string_view text) {
    std::string line = "screen: ";
    line.append(what);
    line += ": ";
    line.append(text);
    logMessage(line);
}

LogCapture::LogCapture() {
    std::lock_guard<std::mutex> hold(logLock());
    captures().push_back(this);
}

LogCapture::~LogCapture() {
    std::lock_guard<std::mutex> hold(logLock());
    auto& list = captures();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void LogCapture::add(std::string line) { lines_.push_back(std::move(line)); }

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard<std::mutex> hold(logLock());
    return lines_;
}

bool LogCapture::contains(std::string_view text) const {
    std::lock_guard<std::mutex> hold(logLock());
    return std::any_of(lines_.begin(), lines_.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> hold(logLock());
    lines_.clear();
}

}  // namespace ns
