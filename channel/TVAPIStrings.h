#pragma once
// The channel SDK's table of addresses, paths and keys: the API base address
// (configuration, see TVChannelConfig), the companion app's scheme and
// deep-link keys, the endpoint paths and the operator's web pages. Entries
// that are addresses follow the configured base's scheme and host.

#include <cstddef>
#include <string>
#include <string_view>

class TVAPIStrings {
public:
    TVAPIStrings() = delete;

    static constexpr size_t kCount = 48;
    // The entry at `index` (0..47); "" beyond the table.
    static std::string at(size_t index);
    // The API base address followed by `path`.
    static std::string endpoint(std::string_view path);

    // Indexes of the table.
    enum Index : size_t {
        APIBase = 0,
        BoxScheme = 1,
        FanliKey = 2,
        TradeKeyPrefix = 3,
        RecycleKey = 4,
        GoldStoreKey = 5,
        ScoreMissionKey = 6,
        ActivityKey = 7,
        OperatorScheme = 8,
        BoxDownloadPage = 9,
        Login = 10,
        Register = 11,
        PhoneRegister = 12,
        SMSCode = 13,
        IDCheck = 14,
        Notice = 15,
        SetRole = 16,
        SubAccounts = 17,
        AddSubAccount = 18,
        Logout = 19,
        PlayTime = 20,
        HomeNumber = 21,
        HomeIndex = 22,
        NewsLists = 23,
        ServerLists = 24,
        TransactionLists = 25,
        CardLists = 26,
        CardReceive = 27,
        HomeCoupons = 28,
        HomeCouponsLog = 29,
        Feedback = 30,
        PayCoupons = 31,
        PayWays = 32,
        VoucherBalance = 33,
        VoucherPay = 34,
        CoinPay = 35,
        CoinBalance = 36,
        ServiceContacts = 37,
        PayRecords = 38,
        H5Pay = 39,
        WxH5Pay = 40,
        WxH5PayOther = 41,
        QuipayApp = 42,
        QuipayAppOther = 43,
        OrderStatus = 44,
        Agreement = 45,
        UserPage = 46,
        ForgotPasswordPage = 47,
    };
};
