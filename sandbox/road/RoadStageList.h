#pragma once
// The road's stages: every line "road: ..." the stand-in player and the
// road stages log for something played, with what is waited for before it
// and the stage it cannot come before. scripts/run reads this list
// (gamehost-road --stages) and calls the road complete only when the app's
// log holds each stage's line after the line of the stage it depends on.
//
// Two tracks play side by side: the player's steps on the channel's screens
// (login, the user centre, the page's own two payments) and the stages on
// the app's own screens (the gift pop-ups, the halls and the payments of
// their purchases). A track is one or more chains: each stage depends on the
// one before it on its track unless it starts a chain. The screens have two,
// which finish in either order on a slow network: the gift pop-ups, which
// each come after the last is claimed, and the halls with their purchases,
// which the page opens after its own payments. A line is a format
// (platform/foundation/Format.h); in the printed list each conversion is a
// "*".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Log.h"

namespace road {

enum class Track { Player, Screens };

// Whether a stage depends on the one before it on its track.
enum class After { TrackBefore, Nothing };

struct Stage {
    Track track;
    // What is waited for before it: said every 10 s while it is.
    const char* waitingFor;
    const char* line;
    After after = After::TrackBefore;
};

namespace line {
inline constexpr const char* kTypedTheAccount = "typed the account %s and its password";
inline constexpr const char* kTappedLogin = "tapped 登录";
inline constexpr const char* kClosedTheNotice = "closed the notice";
inline constexpr const char* kPickedTheSubAccount = "picked the sub-account %@ (%@)";
inline constexpr const char* kTappedTheBall = "tapped the ball";
inline constexpr const char* kTappedTheBallAgain = "tapped the ball again";
inline constexpr const char* kCentreOpen = "the user centre is open on its tab 首页";
inline constexpr const char* kServersTab = "visited the user centre's tab 开服";
inline constexpr const char* kWelfareTab = "visited the user centre's tab 福利";
inline constexpr const char* kClaimedTheGiftPack = "claimed the gift pack %@";
inline constexpr const char* kCopiedTheCode = "copied the code %s";
inline constexpr const char* kClosedTheUsageAlert = "closed the usage alert";
inline constexpr const char* kTradeTab = "visited the user centre's tab 交易";
inline constexpr const char* kServiceTab = "visited the user centre's tab 客服";
inline constexpr const char* kBackToTheGame = "back to the game";
inline constexpr const char* kPaidByCoins = "paid %@ by 平台币支付";
inline constexpr const char* kPaidByQuipay = "paid %@ by 趣付支付";
inline constexpr const char* kPaidOnThePayPage = "paid on the pay page and went back";
inline constexpr const char* kPaymentWentThrough = "the payment went through; back to the game";
inline constexpr const char* kLuckGift = "luck gift claimed";
inline constexpr const char* kDayGift = "day gift claimed";
inline constexpr const char* kActiveGift = "active gift claimed";
inline constexpr const char* kBundleBought = "store hall: time-store bundle bought";
inline constexpr const char* kPaidForAPurchase = "paid %@ for a purchase by 平台币支付";
inline constexpr const char* kWelfareDraw = "resource hall: one draw on the welfare turntable";
inline constexpr const char* kPrizesClosed = "prizes shown and closed: %s";
inline constexpr const char* kSuperDraw = "resource hall: one draw on the super turntable";
inline constexpr const char* kCardBought = "resource hall: card \"%s\" bought";
}  // namespace line

// Every stage, each chain's in the order it plays them.
const std::vector<Stage>& stages();

// The index of the stage `index` depends on; nullopt when none.
std::optional<size_t> dependency(size_t index);

// What is waited for before the stage whose line is `format`.
const char* waitingFor(const char* format);

// `format` with each conversion a "*": how scripts/run recognises the line.
std::string pattern(std::string_view format);

// The list as gamehost-road --stages prints it: one stage a line, its track
// ("player" or "screens"), what is waited for, its pattern and the number
// (from 1, in the list) of the stage it depends on or "-", tab-separated.
std::string printedList();

// The stages played so far in this process, counted as their lines are logged.
class Progress {
public:
    // Logs "road: " and the stage's line, and counts as played the first
    // stage with that line not yet played whose dependency was.
    template <class... A>
    void play(const char* format, const A&... args) {
        ns::log(std::string("road: ") + format, args...);
        count(format);
    }

    // The first stage on `track` not played yet whose dependency was (the
    // first not played when none is); null when all were. With `chain`,
    // only among the stages of the chain the stage with that line starts.
    const Stage* next(Track track, const char* chain = nullptr) const;

    // A new road: nothing played.
    void reset() { played_.clear(); }

private:
    void count(const char* format);
    bool isPlayed(size_t index) const;

    std::vector<size_t> played_;
};

// The process's road.
Progress& progress();

// What keeps a track waiting when nothing else does.
inline constexpr const char* kNothingOnTheScreen = "nothing on the screen for it";

// Says "road: waiting for ...": what a track waits for, what keeps it
// waiting, for how long.
void sayWaiting(const char* waitingFor, int seconds, const char* why = kNothingOnTheScreen);

}  // namespace road
