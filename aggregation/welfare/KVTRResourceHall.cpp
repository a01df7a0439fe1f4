#include "aggregation/welfare/KVTRResourceHall.h"

#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/stores/KVTRStoreSupport.h"
#include "aggregation/welfare/KVTRWelfareSupport.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Font.h"

RT_DEFINE_CLASS(KVTRResourceHall, KVTRResourceHallView, "KVTRResourceHall")
RT_DEFINE_CLASS(KVTRVerResourceHall, KVTRVerResourceHallView, "KVTRVerResourceHall")

using namespace kvtr_stores;

namespace {
// How far a notch moves the hall.
constexpr double NotchShift = 32;
}  // namespace

template <class Base, bool Portrait>
ResourceHall<Base, Portrait>::ResourceHall() {
    welfare = std::make_shared<KVTRTurntable>(KVTRTurntable::Kind::Welfare, Portrait);
    superwelfare = std::make_shared<KVTRTurntable>(KVTRTurntable::Kind::Super, Portrait);
    if (Portrait)
        buildPortrait();
    else
        buildLandscape();
}

template <class Base, bool Portrait>
ResourceHall<Base, Portrait>::~ResourceHall() {
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

template <class Base, bool Portrait>
const ns::Ref<ns::MutableArray>& ResourceHall<Base, Portrait>::resourceListArray() {
    if (!list_) list_ = ns::MutableArray::make();
    return list_;
}

// ---- Building ----

template <class Base, bool Portrait>
ns::Ref<ui::Button> ResourceHall<Base, Portrait>::makeTab(const cg::Rect& frame, const char* image) {
    auto tab = imageButton(frame, image);
    // The hall owns its tabs: a raw back-pointer is enough.
    tab->addTarget(
        ns::Id(), "Clickrebtn:", [this](ui::Control& sender, ui::Event*) { Clickrebtn(sender); },
        ui::ControlEventTouchUpInside);
    this->addSubview(tab);
    return tab;
}

template <class Base, bool Portrait>
ns::Ref<ui::TextView> ResourceHall<Base, Portrait>::makeRuleText(const cg::Rect& frame) {
    auto text = ui::TextView::make(frame);
    text->setBackgroundColor(ui::clearColor());
    text->setScrollEnabled(true);
    text->setEditable(false);
    text->setFont(ui::Font::systemFontOfSize(8));
    text->setTextAlignment(ui::TextAlignment::Left);
    text->setTextColor(ui::whiteColor());
    return text;
}

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::buildLandscape() {
    const cg::Rect screen = screenBounds();
    const double W = screen.width(), H = screen.height();
    const double N = KVTRDataFormat::isBangsScreen() ? NotchShift : 0;
    const bool narrow = W - N - 15 - 568 < 120;
    const double T = narrow ? 90 : 100, O = narrow ? 5 : 35;

    titleImg = ui::ImageView::make({N, 12, W - N, 74});
    titleImg->setImage(storeImage("resourcelogo"));
    this->addSubview(titleImg);
    closeBtn = imageButton({W - 62 - N, 18, 32, 32}, "reclose");
    closeBtn->addTarget(
        ns::Id(), "closeClick", [this](ui::Control&, ui::Event*) { closeClick(); }, ui::ControlEventTouchUpInside);
    this->addSubview(closeBtn);

    const double titleBottom = titleImg->frame().maxY();
    rebtn1 = makeTab({N + O, titleBottom + 5, T, 36}, "rebtn1");
    Clickrebtn(*rebtn1);
    rebtn2 = makeTab({N + O, rebtn1->frame().maxY() + 5, T, 36}, "rebtn2");
    rebtn3 = makeTab({N + O, rebtn2->frame().maxY() + 5, T, 36}, "rebtn3");

    const double tabsBottom = rebtn3->frame().maxY();
    descImage = ui::ImageView::make({N + O, tabsBottom + 5, T, H - tabsBottom - 10});
    descImage->setImage(storeImage("redesc"));
    descImage->setUserInteractionEnabled(true);
    descTextView = makeRuleText({2, 0, T - 4, descImage->bounds().height()});
    descImage->addSubview(descTextView);
    this->addSubview(descImage);

    initerView = ui::View::make({N + O + T + 10, titleBottom - 10, W - N - O - 10 - T, H - titleBottom});
    this->addSubview(initerView);
    setInfiniterView();
    addWheels();
}

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::buildPortrait() {
    const cg::Rect screen = screenBounds();
    const double W = screen.width(), H = screen.height();
    const double N = KVTRDataFormat::isBangsScreen() ? NotchShift : 0;
    const double g = (W - 375) / 4;

    titleImg = ui::ImageView::make({0, N + 25, W, 74});
    titleImg->setImage(storeImage("verresourcelogo"));
    this->addSubview(titleImg);
    closeBtn = imageButton({W - 47, N + 15, 32, 32}, "reclose");
    closeBtn->addTarget(
        ns::Id(), "closeClick", [this](ui::Control&, ui::Event*) { closeClick(); }, ui::ControlEventTouchUpInside);
    this->addSubview(closeBtn);

    const double tabsY = titleImg->frame().maxY() + 5;
    rebtn1 = makeTab({g, tabsY, 125, 50}, "rebtn1");
    Clickrebtn(*rebtn1);
    rebtn2 = makeTab({2 * g + 125, tabsY, 125, 50}, "rebtn2");
    rebtn3 = makeTab({3 * g + 250, tabsY, 125, 50}, "rebtn3");

    const double tabsBottom = rebtn1->frame().maxY();
    auto scroll = ui::ScrollView::make({0, tabsBottom - 10, W, H - tabsBottom});
    scroll->setShowsHorizontalScrollIndicator(true);
    scroll->setScrollEnabled(true);
    scroll->setContentSize({W, 530});
    initerView = scroll;
    this->addSubview(scroll);
    redescImage = ui::ImageView::make({5, 520, W - 10, 75});
    redescImage->setImage(storeImage("verredesc"));
    redescImage->setUserInteractionEnabled(true);
    redescTextView = makeRuleText({2, 0, W - 14, 75});
    redescImage->addSubview(redescTextView);
    scroll->addSubview(redescImage);
    setInfiniterView();
    addWheels();

    descImage = ui::ImageView::make({5, H - 85, W - 10, 75});
    descImage->setImage(storeImage("verredesc"));
    descImage->setUserInteractionEnabled(true);
    descImage->setHidden(true);
    descTextView = makeRuleText({2, 0, W - 14, 75});
    descImage->addSubview(descTextView);
    this->addSubview(descImage);
}

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::addWheels() {
    welfareView = ui::View::make(initerView->frame());
    this->addSubview(welfareView);
    welfare->setPage(welfareView);
    welfareView->setHidden(true);
    superwelfareView = ui::View::make(initerView->frame());
    this->addSubview(superwelfareView);
    superwelfare->setPage(superwelfareView);
    superwelfareView->setHidden(true);
}

// ---- The goods ----

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::setResponseData(const ns::Ref<ns::Dictionary>& reply) {
    Base::setResponseData(reply);
    if (replyStatus(reply) != "200") return;
    auto data = ns::cast<ns::Dictionary>(reply->objectForKey("data"));
    if (KVTRDataFormat::isBlankDictionary(data)) return;
    auto list = ns::cast<ns::Array>(data->objectForKey("list"));
    list_ = list ? ns::cast<ns::MutableArray>(list->mutableCopy()) : ns::MutableArray::make();
    resourcerule = ns::String::make(ns::textOf(data->objectForKey("rule_content")));
    if (!Portrait) {
        descTextView->setText(resourcerule);
        return;
    }
    redescTextView->setText(resourcerule);
    const double W = screenBounds().width(), H = screenBounds().height();
    auto scroll = std::static_pointer_cast<ui::ScrollView>(initerView);
    if (list_->count() > 2) {
        redescImage->setFrame({5, 520, W - 10, 75});
        scroll->setContentSize({W, 600});
    } else {
        redescImage->setFrame({5, scroll->frame().height() - 75, W - 10, 75});
        scroll->setContentSize({W, H - rebtn1->frame().maxY()});
    }
}

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::setInfiniterView() {
    for (auto& card : cards) card->removeFromSuperview();
    cards.clear();
    const double w = initerView->bounds().width();
    size_t index = 0;
    for (const ns::Id& entry : *resourceListArray()) {
        const size_t i = index++;
        // The portrait grid has four places.
        if (Portrait && i >= 4) break;
        ns::Ref<KVTRInfiniterItem> card;
        if (Portrait)
            card = std::make_shared<KVTRVerInfiniterItem>();
        else
            card = std::make_shared<KVTRInfiniterItem>();
        card->userInfo = this->userInfo;
        card->setModel(KVTRInfiniterModel::withDictionary(entry));
        initerView->addSubview(card);
        ns::Weak<ResourceHall> weak = this->template ref<ResourceHall>();
        card->welfareBlock = [weak] {
            if (auto hall = weak.lock()) hall->getInfiniteresWelfareData();
        };
        card->superwelfareBlock = [weak] {
            if (auto hall = weak.lock()) hall->getInfiniteresSuperWelfareData();
        };
        if (Portrait) {
            const double gap = (w - 324) / 3;
            card->setFrame({i % 2 == 0 ? gap : 2 * gap + 162, i < 2 ? 0.0 : 245.0, 162, 260});
        } else {
            card->setFrame({(w - 568) / 2 + 142 * double(i), 0, 140, 290});
        }
        cards.push_back(card);
    }
}

// ---- Showing, tabs and closing ----

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::show() {
    auto window = keyWindow();
    if (!window) return;
    window->makeKeyAndVisible();
    coverView = makeCover(window->bounds(), 0.4);
    window->addSubview(coverView);
    const cg::Rect screen = screenBounds();
    this->setFrame({0, 0, screen.width(), screen.height()});
    window->addSubview(this->template ref<ui::View>());
    ns::Weak<ResourceHall> weak = this->template ref<ResourceHall>();
    // The wheels outlive the hall while they spin; their centre taps reach
    // it weakly.
    auto centreTapped = [weak](ui::View& centre) {
        if (auto hall = weak.lock()) hall->tapCenterImg(centre);
    };
    welfare->centreTapped = centreTapped;
    superwelfare->centreTapped = centreTapped;
    ns::NotificationCenter::defaultCenter()->addObserver(this, "KVTRResourcePAYNotification", nullptr,
                                                         [weak](const ns::Ref<ns::Notification>&) {
                                                             if (auto hall = weak.lock()) hall->closeClick();
                                                         });
    setInfiniterView();
    getInfiniteresWelfareData();
    getInfiniteresSuperWelfareData();
}

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::Clickrebtn(ui::Control& sender) {
    struct Tab {
        ns::Ref<ui::Button> button;
        ns::Ref<ui::View> content;
        const char* image;
    };
    const Tab tabs[] = {
        {rebtn1, initerView, "rebtn1"}, {rebtn2, welfareView, "rebtn2"}, {rebtn3, superwelfareView, "rebtn3"}};
    int chosen = -1;
    for (int i = 0; i < 3; ++i)
        if (tabs[i].button.get() == &sender) chosen = i;
    if (chosen < 0) return;
    for (int i = 0; i < 3; ++i) {
        const Tab& tab = tabs[i];
        if (tab.content) tab.content->setHidden(i != chosen);
        if (tab.button)
            tab.button->setBackgroundImage(storeImage(std::string(tab.image) + (i == chosen ? "sel" : "")),
                                           ui::ControlStateNormal);
    }
    // The rule is read now: a wheel that loads later shows its rule at the
    // next switch to its tab.
    const ns::Ref<ns::String> rules[] = {resourcerule, welfare->rule, superwelfare->rule};
    if (descTextView) descTextView->setText(rules[chosen]);
    if (Portrait) {
        if (redescImage) redescImage->setHidden(chosen != 0);
        if (descImage) descImage->setHidden(chosen == 0);
    }
}

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::closeClick() {
    if (closeBlock) closeBlock();
    // The notification may arrive on the network's queue; the window is
    // changed on the main queue only.
    auto self = this->template ref<ResourceHall>();
    dispatch::async(dispatch::mainQueue(), [self] {
        ns::NotificationCenter::defaultCenter()->removeObserver(self.get());
        if (self->coverView) self->coverView->removeFromSuperview();
        self->removeFromSuperview();
    });
}

// ---- Centre tips ----

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::tapCenterImg(ui::View& centre) {
    removeTips();
    auto& wheel = centre.tag() == 101 ? superwelfare : welfare;
    auto page = wheel->page;
    if (!page) return;
    const cg::Rect r = centre.convertRectToView(centre.bounds(), nullptr);
    const cg::Point origin =
        Portrait ? cg::Point{r.origin.x, r.origin.y - 60} : cg::Point{r.origin.x - 80, r.origin.y - 20};
    auto tip = kvtr_welfare::makeTip(wheel->centerObj ? wheel->centerObj->name : nullptr, origin);
    page->addSubview(tip);
    tips_.push_back(tip);
    ns::Weak<ResourceHall> weak = this->template ref<ResourceHall>();
    dispatch::after(kvtr_welfare::TipSeconds, dispatch::mainQueue(), [weak] {
        if (auto hall = weak.lock()) hall->removeTips();
    });
}

template <class Base, bool Portrait>
void ResourceHall<Base, Portrait>::removeTips() {
    kvtr_welfare::removeTips(tips_);
}

template class ResourceHall<KVTRResourceHallView, false>;
template class ResourceHall<KVTRVerResourceHallView, true>;
