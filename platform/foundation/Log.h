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
