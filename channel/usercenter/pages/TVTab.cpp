#include "channel/usercenter/pages/TVTab.h"

#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Layer.h"

RT_DEFINE_CLASS(TVTab, ui::View, "TVTab")

ns::Ref<TVTab> TVTab::initWithFrame(const cg::Rect& frame, double lineWidth, const cg::Color& lineColor) {
    auto tab = std::make_shared<TVTab>();
    tab->setFrame(frame);
    tab->setClipsToBounds(true);
    tab->layer()->setBorderWidth(lineWidth);
    tab->layer()->setBorderColor(lineColor);
    tab->lineWidth_ = lineWidth;
    tab->lineColor_ = lineColor;
    return tab;
}

void TVTab::setItemsWithTitle(const std::vector<std::string>& titles, const cg::Color& normalItemColor,
                              const cg::Color& selectItemColor, const cg::Color& normalTitleColor,
                              const cg::Color& selectTitleColor, double titleTextSize, int64_t selectItemNumber) {
    normalItemColor_ = normalItemColor;
    selectItemColor_ = selectItemColor;
    normalTitleColor_ = normalTitleColor;
    selectTitleColor_ = selectTitleColor;
    if (titles.empty()) return;
    double w = bounds().size.width / static_cast<double>(titles.size());
    double h = bounds().size.height;
    ns::Weak<TVTab> weak = ref<TVTab>();
    for (size_t i = 0; i < titles.size(); ++i) {
        auto item = ui::Button::buttonWithType(ui::ButtonType::Custom);
        item->setFrame({w * static_cast<double>(i), 0, w, h});
        item->setTitle(titles[i], ui::ControlStateNormal);
        item->titleLabel()->setFont(ui::Font::systemFontOfSize(titleTextSize));
        item->setTag(kFirstItemTag + static_cast<int64_t>(i));
        bool selected = static_cast<int64_t>(i) == selectItemNumber;
        item->setTitleColor(selected ? selectTitleColor : normalTitleColor, ui::ControlStateNormal);
        item->setBackgroundColor(selected ? selectItemColor : normalItemColor);
        item->addTarget(nullptr, "clickedButton:", [weak](ui::Control& sender, ui::Event*) {
            auto tab = weak.lock();
            if (auto button = dynamic_cast<ui::Button*>(&sender); tab && button) tab->clickedButton(*button);
        }, ui::ControlEventTouchUpInside);
        addSubview(item);
    }
    for (size_t k = 1; k < titles.size(); ++k) {
        auto line = ui::View::make({w * static_cast<double>(k) - lineWidth_ / 2, 0, lineWidth_, h});
        line->setBackgroundColor(lineColor_);
        addSubview(line);
    }
}

void TVTab::mark(int64_t targetTag) {
    for (const auto& view : subviews()) {
        if (view->tag() < kFirstItemTag) continue;
        bool selected = view->tag() == targetTag;
        if (auto item = ns::cast<ui::Button>(view))
            item->setTitleColor(selected ? selectTitleColor_ : normalTitleColor_, ui::ControlStateNormal);
        view->setBackgroundColor(selected ? selectItemColor_ : normalItemColor_);
    }
}

void TVTab::setTabStateIndex(uint64_t index) {
    mark(kFirstItemTag + static_cast<int64_t>(index));
}

void TVTab::clickedButton(ui::Button& button) {
    mark(button.tag());
    if (auto delegate = delegate_.lock()) delegate->tabDidSelectedItemNumber(*this, button.tag() - kFirstItemTag);
}
