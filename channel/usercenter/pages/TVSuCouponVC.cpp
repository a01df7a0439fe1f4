#include "channel/usercenter/pages/TVSuCouponVC.h"

#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/screens/TVScreenResources.h"
#include "channel/usercenter/TVSuTableSizing.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuCouponModel, TVSuRow, "TVSuCouponModel")
RT_DEFINE_CLASS(TVSuCouponCell, ui::TableViewCell, "TVSuCouponCell")
RT_DEFINE_CLASS(TVSuCouponVC, ui::ViewController, "TVSuCouponVC")

namespace {

constexpr const char* kTitles[] = {"可用代金券", "全部记录"};

std::string pathOf(int64_t tag) {
    return TVAPIStrings::at(tag == TVSuCouponVC::kFirstFilterTag ? TVAPIStrings::HomeCoupons
                                                                : TVAPIStrings::HomeCouponsLog);
}

}  // namespace

std::string TVSuCouponModel::stateImageName() const {
    if (format("status") == "1") return "TV_suCouponState_end.png";
    return "TV_suCouponState_" + format("use") + ".png";
}

// The value on the left, the game, the minimum payment and the validity in
// the middle, the state picture on the right.
UI_NIB("TVSuCouponCell", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto cell = std::make_shared<TVSuCouponCell>();
    cell->setFrame({0, 0, 300, 93});
    auto content = cell->contentView();
    content->setFrame(cell->bounds());
    auto label = [&](const cg::Rect& frame, double size, cg::Color colour) {
        auto l = ui::Label::make(frame);
        l->setFont(ui::Font::systemFontOfSize(size));
        l->setTextColor(colour);
        content->addSubview(l);
        return l;
    };
    cell->couponL = label({10, 25, 70, 40}, 26, TVSuPageScenes::kOrange);
    cell->nameL = label({85, 14, 150, 20}, 15, cg::Color::fromWhite(0.2));
    cell->moneyL = label({85, 38, 150, 16}, 12, cg::Color::fromWhite(0.5));
    cell->timeL = label({85, 58, 150, 16}, 11, cg::Color::fromWhite(0.5));
    auto state = ui::ImageView::make({240, 20, 50, 50});
    content->addSubview(state);
    cell->stateImageView = state;
    return {cell};
})

void TVSuCouponCell::setModel(const ns::Ref<TVSuCouponModel>& model) {
    model_ = model;
    if (!model) return;
    if (auto l = nameL.lock()) l->setText(model->gamename());
    if (auto l = timeL.lock()) l->setText("· 有效期：" + model->format("av_time"));
    if (auto l = moneyL.lock()) l->setText("· 满" + model->format("pay_money") + "元可用");
    if (auto l = couponL.lock()) l->setText(model->coupon_money());
    if (auto image = stateImageView.lock()) image->setImage(TVScreenResources::image(model->stateImageName()));
}

void TVSuCouponVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->addSubview(midView());
    view()->addSubview(tableView());
}

const ns::Ref<ui::View>& TVSuCouponVC::midView() {
    if (midView_) return midView_;
    midView_ = ui::View::make({0, 0, TVSuTableSizing::kPanelWidth, kBarHeight});
    double width = midView_->bounds().size.width, height = midView_->bounds().size.height;
    auto line = ui::ImageView::make({0, height - 0.5, width, 0.5});
    line->setImage(TVScreenResources::image("TV_line.png"));
    line->setAlpha(0.5);
    midView_->addSubview(line);
    auto underline = ui::View::make({0, height - 2, 0, 2});
    underline->setBackgroundColor(TVSuPageScenes::kOrange);
    underline->layer()->setCornerRadius(1);
    underline->layer()->setMasksToBounds(true);
    indicator_ = underline;

    ns::Weak<TVSuCouponVC> weak = ref<TVSuCouponVC>();
    for (int64_t i = 0; i < 2; ++i) {
        double buttonWidth = width * 0.5;
        auto button = ui::Button::make({buttonWidth * static_cast<double>(i), 0, buttonWidth, height});
        button->setTag(kFirstFilterTag + i);
        button->setTitle(kTitles[i], ui::ControlStateNormal);
        button->titleLabel()->setFont(ui::Font::fontWithName("System-Medium", 18));
        button->titleLabel()->sizeToFit();
        button->setTitleColor(cg::Color::black(), ui::ControlStateNormal);
        button->setTitleColor(TVSuPageScenes::kOrange, ui::ControlStateDisabled);
        button->addTarget(nullptr, "btnClick:", [weak](ui::Control& sender, ui::Event*) {
            auto page = weak.lock();
            if (auto b = dynamic_cast<ui::Button*>(&sender); page && b) page->btnClick(*b);
        }, ui::ControlEventTouchUpInside);
        midView_->addSubview(button);
        if (i == 0) {
            button->setEnabled(false);
            chooseBtn_ = button;
            button->layoutIfNeeded();
            cg::Rect frame = underline->frame();
            frame.size.width = button->titleLabel()->frame().size.width;
            underline->setFrame(frame);
            underline->setCenter({button->center().x, underline->center().y});
        }
    }
    midView_->addSubview(underline);
    return midView_;
}

const ns::Ref<ui::TableView>& TVSuCouponVC::tableView() {
    if (tableView_) return tableView_;
    tableView_ = ui::TableView::make({0, kBarHeight, TVSuTableSizing::kPanelWidth,
                                      TVSuTableSizing::tableHeight(kTopAllowance) - kBarHeight});
    tableView_->setRowHeight(kRowHeight);
    ns::Weak<TVSuCouponVC> weak = ref<TVSuCouponVC>();
    setUpList({pathOf(kFirstFilterTag),
               [](ns::MutableDictionary& body) {
                   if (auto user = ShareVale::sharedInstance()->userName()) body.setObjectForKey(user, "username");
               },
               [] { return std::make_shared<TVSuCouponModel>(); }, ""},
              tableView_, {TVSuCouponCell::kIdentifier}, ref<TVSuCouponVC>());
    list_->beginRefreshing();
    return tableView_;
}

void TVSuCouponVC::btnClick(ui::Button& button) {
    auto former = chooseBtn_.lock();
    if (former.get() == &button) return;
    auto chosen = button.ref<ui::Button>();
    chosen->setEnabled(false);
    if (former) former->setEnabled(true);
    chooseBtn_ = chosen;
    list_->setPath(pathOf(chosen->tag()));
    ns::Weak<ui::View> weakLine = indicator_;
    ns::Weak<ui::Button> weakButton = chosen;
    ui::View::animate(kUnderlineSeconds, [weakLine, weakButton] {
        auto line = weakLine.lock();
        auto b = weakButton.lock();
        if (!line || !b) return;
        cg::Rect frame = line->frame();
        frame.size.width = b->titleLabel()->frame().size.width;
        line->setFrame(frame);
        line->setCenter({b->center().x, line->center().y});
    });
    list_->beginRefreshing();
}

ns::Ref<ui::TableViewCell> TVSuCouponVC::cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    auto cell = view.dequeueReusableCellWithIdentifier(TVSuCouponCell::kIdentifier, path);
    if (auto row = ns::cast<TVSuCouponCell>(cell)) row->setModel(ns::cast<TVSuCouponModel>(rowAt(path.row)));
    return cell;
}

std::optional<double> TVSuCouponVC::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) {
    return kRowHeight;
}
