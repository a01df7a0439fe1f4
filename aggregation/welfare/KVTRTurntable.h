#pragma once
// One turntable of the resource hall, welfare or super, on the page the
// hall gives it: the wheel image with its sectors and centre prize, the
// counter of draws held, the one- and five-draw buttons and (super only)
// the progress bar towards the centre prize with its claim icon.
//
// A draw waits 1.0 s after the last tap, asks the game server, then moves
// the highlight round the sectors (8 steps of 0.08 s for one prize, 16 of
// 0.05 s for five), reloads the wheel and shows what was won. Every step
// runs on the main queue, and each wheel keeps its own spin state and
// timer, so a draw on one wheel never disturbs a spin on the other.
//
// The hall owns its wheels; a running spin's timer and the requests in
// flight hold the wheel, so a spin started before the hall closed still
// ends with its reload and its pop-up. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "aggregation/welfare/KVTRTurnCellView.h"
#include "aggregation/welfare/KVTRWelfareModels.h"
#include "platform/foundation/MutableArray.h"
#include "platform/uikit/Animation.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

namespace dispatch {
class RunLoopTimer;
}

class KVTRTurntable : public ns::Object {
    RT_DECLARE_CLASS(KVTRTurntable)
public:
    enum class Kind { Welfare, Super };

    KVTRTurntable(Kind kind, bool portrait);
    ~KVTRTurntable() override;

    Kind kind() const { return kind_; }
    bool isSpinning() const { return startTimer_ != nullptr; }

    // Builds the page (counter, wheel, buttons, progress) into `page`.
    void setPage(const ns::Ref<ui::View>& page);
    // Loads the wheel: game_id from the "KVTRPLIST" plist, role and server
    // from the identity text; the draws and the claim reuse them.
    void load(const ns::Ref<ns::String>& userInfo);
    // Loads again with the identity of the last load.
    void reload();

    // The draw buttons' actions: the request goes 1.0 s after the last tap.
    void clickOne();
    void clickFive();
    void buttonClickedOneAction() { draw(1); }
    void buttonClickedFiveAction() { draw(5); }
    // One step of the spin.
    void start();
    // Claims the super centre prize.
    void tapProcessIcon();
    // The pulse of a full bar's icon: opacity 1 -> 0 over `duration`,
    // reversing, endless.
    static ns::Ref<ui::BasicAnimation> opacityForever_Animation(float duration);

    // Called with the tapped centre image, to show the centre prize's name.
    std::function<void(ui::View& centre)> centreTapped;

    ns::Ref<ui::View> page;
    ns::Ref<ui::Label> numLabel;
    ns::Ref<ui::ImageView> turnTableImg;
    ns::Ref<ui::ImageView> centerImg;
    ns::Ref<ui::Button> clickOneBtn;
    ns::Ref<ui::Button> clickFiveBtn;
    // Super only.
    ns::Ref<ui::ImageView> processBg;
    ns::Ref<ui::ImageView> processView;
    ns::Ref<ui::ImageView> processIcon;

    // The items of the last load, the sectors in wheel order, the centre
    // prize, "<active_title>\n<active_rule>" and the counters as texts.
    const ns::Ref<ns::MutableArray>& itemsArray();
    const std::vector<ns::Ref<KVTRTurnCellView>>& cellArray() const { return cells_; }
    ns::Ref<KVTRTurnTableModel> centerObj;
    ns::Ref<ns::String> rule;
    ns::Ref<ns::String> user_nums;
    ns::Ref<ns::String> use_superwelfare_nums;
    // The prizes of the last draw.
    const ns::Ref<ns::MutableArray>& prop_listArray();

    // The spin: the step counter, its last step and the kind of draw
    // (1 one prize, 0 five).
    int32_t currentTime = 0;
    int32_t stopTime = 0;
    int32_t type = 0;

private:
    void draw(int nums);
    void scheduleDraw(const char* selector, int nums);
    void applyLoad(const ns::Ref<ns::Dictionary>& data);
    void addSector(size_t index, const ns::Ref<KVTRTurnTableModel>& prize);
    void addCentre(const ns::Ref<KVTRTurnTableModel>& prize, bool withPicture);
    void showProgress(double ratio);
    void endSpin();
    void setDrawButtonsEnabled(bool enabled);
    std::string query(const char* path) const;

    Kind kind_;
    bool portrait_;
    std::string game_id_, role_id_, service_id_;
    ns::Ref<ns::MutableArray> items_;
    ns::Ref<ns::MutableArray> prop_list_;
    std::vector<ns::Ref<KVTRTurnCellView>> cells_;
    std::shared_ptr<dispatch::RunLoopTimer> startTimer_;
};
