#include "sandbox/QuipayWallet.h"

#include "platform/dispatch/Queue.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Application.h"

namespace sandbox {

namespace {

constexpr const char* kWalletScheme = "quipay";

std::string escaped(const std::string& text) {
    static const auto allowed = ns::CharacterSet::withCharactersInString(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~");
    auto value = ns::str(text)->stringByAddingPercentEncodingWithAllowedCharacters(*allowed);
    return value ? value->utf8() : std::string();
}

// The unescaped value of `key` in `query`; "" when absent.
std::string field(const std::string& query, const std::string& key) {
    size_t at = 0;
    while (at <= query.size()) {
        size_t end = query.find('&', at);
        if (end == std::string::npos) end = query.size();
        std::string pair = query.substr(at, end - at);
        size_t equals = pair.find('=');
        if (equals != std::string::npos && pair.substr(0, equals) == key) {
            auto value = ns::str(pair.substr(equals + 1))->stringByRemovingPercentEncoding();
            return value ? value->utf8() : std::string();
        }
        at = end + 1;
    }
    return {};
}

}  // namespace

QuipayWallet::QuipayWallet(std::string status) : status_(std::move(status)) {
    auto application = ui::Application::sharedApplication();
    application->addInstalledScheme(kWalletScheme);
    // Only URLs opened from now on are the wallet's to answer.
    seen_ = application->openedURLs().size();
    timer_ = dispatch::TimerSource::create(dispatch::mainQueue());
    timer_->setTimer(kInterval, kInterval);
    timer_->setEventHandler([this] { check(); });
    timer_->resume();
}

QuipayWallet::~QuipayWallet() {
    timer_->cancel();
}

std::string QuipayWallet::memoFor(const std::string& status) {
    if (status == "9000") return "支付成功";
    if (status == "6001") return "用户中途取消";
    return "支付失败";
}

size_t QuipayWallet::check() {
    auto application = ui::Application::sharedApplication();
    // A reset application starts its record again.
    if (seen_ > application->openedURLs().size()) seen_ = 0;
    std::vector<ns::Ref<ns::URL>> fresh(application->openedURLs().begin() + static_cast<ptrdiff_t>(seen_),
                                        application->openedURLs().end());
    seen_ = application->openedURLs().size();
    size_t answered = 0;
    for (const auto& url : fresh) {
        auto scheme = url->scheme();
        if (!scheme || scheme->lowercaseString()->utf8() != kWalletScheme) continue;
        auto queryText = url->query();
        std::string query = queryText ? queryText->utf8() : std::string();
        std::string order = field(query, "orderStr"), back = field(query, "fromAppUrlScheme");
        orders_.push_back(order);
        if (back.empty()) continue;
        std::string result = status_ == "9000" ? "{\"order\":\"" + order + "\",\"code\":\"10000\"}" : std::string();
        std::string answer = back + "://safepay/?resultStatus=" + escaped(status_) + "&memo=" +
                             escaped(memoFor(status_)) + "&result=" + escaped(result);
        returns_.push_back(answer);
        ns::log("wallet: paying %@ -> %@", order, status_);
        // As a person would: away to the wallet, back through the return URL.
        application->simulateEnterBackground();
        application->simulateOpenURL(ns::URL::make(answer));
        application->simulateEnterForeground();
        ++answered;
    }
    return answered;
}

}  // namespace sandbox
