#pragma once
// A stand-in of the wallet app, in the app's own process: it watches the
// URLs the app opens (the platform's open-URL recorder) and answers each
// wallet order URL as the wallet would, by reopening the app through the
// order's return scheme with
//   "<scheme>://safepay/?resultStatus=...&memo=...&result=..."
// and the status chosen beforehand. While it lives the wallet counts as
// installed. It checks on the main run loop every `kInterval` seconds, or
// when asked (check()). Main thread only.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/dispatch/TimerSource.h"

namespace sandbox {

class QuipayWallet {
public:
    static constexpr double kInterval = 0.2;

    // "9000" paid, "6001" cancelled, "4000" failed (or any other code).
    explicit QuipayWallet(std::string status = "9000");
    ~QuipayWallet();
    QuipayWallet(const QuipayWallet&) = delete;
    QuipayWallet& operator=(const QuipayWallet&) = delete;

    void setStatus(std::string status) { status_ = std::move(status); }
    // The memo that goes back with each status.
    static std::string memoFor(const std::string& status);

    // Answers the wallet URLs opened since the last check; returns how many.
    size_t check();
    // The order strings the wallet has been given, in order.
    const std::vector<std::string>& orders() const { return orders_; }
    // The return URLs it has opened the app with.
    const std::vector<std::string>& returns() const { return returns_; }

private:
    std::string status_;
    size_t seen_ = 0;
    std::vector<std::string> orders_, returns_;
    std::shared_ptr<dispatch::TimerSource> timer_;
};

}  // namespace sandbox
