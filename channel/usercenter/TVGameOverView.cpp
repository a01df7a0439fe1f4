#include "channel/usercenter/TVGameOverView.h"

#include "channel/VRQWindowManager.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVGameOverView, ui::View, "TVGameOverView")

namespace {
constexpr double kPanelSide = 300;
}  // namespace

ns::Ref<TVGameOverView> TVGameOverView::make(const cg::Rect& frame) {
    auto view = std::make_shared<TVGameOverView>();
    view->setFrame(frame);
    view->_initUI();
    return view;
}

void TVGameOverView::coverTopWindow() {
    auto cover = make(ui::Screen::mainScreen()->bounds());
    if (auto top = VRQWindowManager::topWindow()) top->addSubview(cover);
    ns::logScreen("game over", std::string(kTitle) + " | " + kMessage);
}

void TVGameOverView::_initUI() {
    setBackgroundColor(cg::Color::black().withAlpha(0.2));

    auto panel = ui::View::make({0, 0, kPanelSide, kPanelSide});
    panel->setBackgroundColor(cg::Color::white());
    panel->setCenter({bounds().size.width / 2, bounds().size.height / 2});
    panel->layer()->setCornerRadius(8);
    panel->setClipsToBounds(true);
    addSubview(panel);

    auto title = ui::Label::make();
    title->setText(kTitle);
    title->setFont(ui::Font::systemFontOfSize(18));
    title->setTextColor(cg::Color::black());
    title->sizeToFit();
    cg::Rect frame = title->frame();
    title->setFrame({kPanelSide / 2 - frame.size.width / 2, 15, frame.size.width, frame.size.height});
    panel->addSubview(title);

    auto message = ui::Label::make({25, 100, 250, 100});
    message->setNumberOfLines(0);
    message->setTextAlignment(ui::TextAlignment::Center);
    message->setFont(ui::Font::systemFontOfSize(16));
    message->setTextColor(cg::Color{1, 0, 0, 1});
    message->setText(kMessage);
    panel->addSubview(message);
}
