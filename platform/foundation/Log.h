#pragma once
// The console log: one line per call on stderr,
//   "2024-05-01 12:00:00.250 gamehost[4242] message"
// with the local time read from the one clock (the mock clock in tests).

#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Format.h"

namespace ns {

void logMessage(std::string_view message);

template <class... A>
void log(std::string_view fmt, const A&... args) {
    logMessage(format(fmt, args...));
}

// Headless, the log is the screen: what a person would see or do on it
// (an alert and its buttons, a HUD's or toast's text, a tap on an alert's
// button) is logged as one line in one format,
//   "screen: <what>: <text>"
// e.g. "screen: alert: 连接服务器失败 | 请检查网络 | [重试]". Texts go as shown;
// a secure text field's content never comes here.
void logScreen(std::string_view what, std::string_view text);

// Collects the messages logged (from any thread) while it lives, without the
// time and process prefix, for tests. Lines still go to stderr. Captures may
// nest; each sees every line logged during its life.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view text) const;
    void clear();

private:
    friend void logMessage(std::string_view message);
    void add(std::string line);

    std::vector<std::string> lines_;
};

}  // namespace ns
