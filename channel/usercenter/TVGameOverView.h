#pragma once
// The notice that covers the game once today's play time is used up: a
// dimmed cover over the whole screen with a white card that says so. It
// has no button and takes every touch: nothing removes it. Headless, its
// text is also the screen line "game over". Main thread only.

#include "platform/runtime/Class.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"

class TVGameOverView : public ui::View {
    RT_DECLARE_CLASS(TVGameOverView)
public:
    static constexpr const char* kTitle = "防沉迷提示";
    static constexpr const char* kMessage = "根据国家规定，未成年玩家每日在线时间受限。您今天的游戏时间已经到达上限。";

    TVGameOverView() = default;
    static ns::Ref<TVGameOverView> make(const cg::Rect& frame);

    // Shows a new notice over VRQWindowManager::topWindow().
    static void coverTopWindow();

private:
    void _initUI();
};
