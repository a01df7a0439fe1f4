#include "sandbox/road/RoadStageList.h"

#include <algorithm>
#include <string_view>

namespace road {

const std::vector<Stage>& stages() {
    using enum Track;
    static const std::vector<Stage> list = {
        {Player, "the login window", line::kTypedTheAccount},
        {Player, "the login window", line::kTappedLogin},
        {Player, "the notice", line::kClosedTheNotice},
        {Player, "the sub-accounts", line::kPickedTheSubAccount},
        {Player, "the ball", line::kTappedTheBall},
        {Player, "the ball in view", line::kTappedTheBallAgain},
        {Player, "the user centre", line::kCentreOpen},
        {Player, "the tab 开服", line::kServersTab},
        {Player, "the tab 福利", line::kWelfareTab},
        {Player, "a gift pack to claim", line::kClaimedTheGiftPack},
        {Player, "the pack's code", line::kCopiedTheCode},
        {Player, "the copy alert", line::kClosedTheUsageAlert},
        {Player, "the tab 交易", line::kTradeTab},
        {Player, "the tab 客服", line::kServiceTab},
        {Player, "the way back", line::kBackToTheGame},
        {Player, "the payment centre", line::kPaidByCoins},
        {Player, "the second payment centre", line::kPaidByQuipay},
        {Player, "the pay page", line::kPaidOnThePayPage},
        {Player, "the pay result", line::kPaymentWentThrough},
        {Screens, "the luck gift", line::kLuckGift},
        {Screens, "the day gift", line::kDayGift},
        {Screens, "the active gift", line::kActiveGift},
        {Screens, "the store hall's time-store bundle", line::kBundleBought, After::Nothing},
        {Screens, "the bundle's payment centre", line::kPaidForAPurchase},
        {Screens, "the resource hall's welfare turntable", line::kWelfareDraw},
        {Screens, "the welfare turntable's prizes", line::kPrizesClosed},
        {Screens, "the super turntable", line::kSuperDraw},
        {Screens, "the super turntable's prizes", line::kPrizesClosed},
        {Screens, "a resource card to buy", line::kCardBought},
        {Screens, "the card's payment centre", line::kPaidForAPurchase},
    };
    return list;
}

std::optional<size_t> dependency(size_t index) {
    const auto& list = stages();
    if (index >= list.size() || list[index].after == After::Nothing) return std::nullopt;
    for (size_t i = index; i-- > 0;)
        if (list[i].track == list[index].track) return i;
    return std::nullopt;
}

const char* waitingFor(const char* format) {
    for (const Stage& stage : stages())
        if (std::string_view(stage.line) == format) return stage.waitingFor;
    return format;
}

std::string pattern(std::string_view format) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
        } else if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            // Flags, width, precision and length up to the conversion's letter.
            while (i + 1 < format.size() && std::string_view("-+ #0123456789.*hlqztjL").find(format[i + 1]) !=
                                                std::string_view::npos)
                ++i;
            ++i;
            out += '*';
        }
    }
    return out;
}

std::string printedList() {
    std::string out;
    const auto& list = stages();
    for (size_t i = 0; i < list.size(); ++i) {
        const auto after = dependency(i);
        out += list[i].track == Track::Player ? "player" : "screens";
        out += std::string("\t") + list[i].waitingFor + "\t" + pattern(list[i].line) + "\t" +
               (after ? std::to_string(*after + 1) : "-") + "\n";
    }
    return out;
}

bool Progress::isPlayed(size_t index) const {
    return std::find(played_.begin(), played_.end(), index) != played_.end();
}

const Stage* Progress::next(Track track, const char* chain) const {
    const auto& list = stages();
    auto inChain = [&](size_t i) {
        if (!chain) return true;
        for (auto before = dependency(i); before; before = dependency(i)) i = *before;
        return std::string_view(list[i].line) == chain;
    };
    const Stage* first = nullptr;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].track != track || isPlayed(i) || !inChain(i)) continue;
        const auto after = dependency(i);
        if (!after || isPlayed(*after)) return &list[i];
        if (!first) first = &list[i];
    }
    return first;
}

void Progress::count(const char* format) {
    const auto& list = stages();
    for (size_t i = 0; i < list.size(); ++i) {
        if (std::string_view(list[i].line) != format || isPlayed(i)) continue;
        const auto after = dependency(i);
        if (after && !isPlayed(*after)) continue;
        played_.push_back(i);
        return;
    }
}

Progress& progress() {
    static Progress road;
    return road;
}

void sayWaiting(const char* waitingFor, int seconds, const char* why) {
    ns::log("road: waiting for %s: %s for %d s", waitingFor, why, seconds);
}

}  // namespace road
