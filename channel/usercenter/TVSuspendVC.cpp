#include "channel/usercenter/TVSuspendVC.h"

#include "channel/NSString+URLEncode.h"
#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVReplyFields.h"
#include "channel/UIView+Extension.h"
#include "channel/usercenter/TVSuReply.h"
#include "channel/usercenter/UIButton+TVImageTitleSpacing.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ScreenModel.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/Window.h"

RT_DEFINE_CLASS(TVSuspendVC, ui::ViewController, "TVSuspendVC")

namespace {

// The pages by tab, in the order they become children (index = tag - 10).
constexpr const char* kPages[] = {"TVSuHomeVC", "TVSuKaiFuVC", "TVSuWelfareVC", "TVSuTradeVC", "TVSuServiceVC"};

}  // namespace

const ns::Ref<SDPHTTPSessionManager>& TVSuspendVC::manager() { return manager_.get(); }

void TVSuspendVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    isX_ = ViewExtension::isNotchedPhone();
    recordScreenStatus();
    showRedCount();
    if (auto bar = bottomView.lock())
        for (int64_t tag = kFirstTab; tag < kFirstTab + kTabCount; ++tag)
            if (auto button = ns::cast<ui::Button>(bar->viewWithTag(tag)))
                TVImageTitleSpacing::layoutButtonWithEdgeInsetsStyle(*button, TVImageTitleSpacing::ImageTop, 10);
    addChildVcs();
    chooseBtn_ = homeBtn.lock();
    if (chooseBtn_) chooseBtn_->setEnabled(false);
}

void TVSuspendVC::addChildVcs() {
    auto storyboard =
        ui::Storyboard::storyboardWithName("TVSuspendVC", ns::Bundle::bundleWithPath(URLEncode::getBundlePath()));
    if (!storyboard) return;
    ns::Weak<TVSuspendVC> weak = ref<TVSuspendVC>();
    for (size_t i = 0; i < std::size(kPages); ++i) {
        ns::Ref<ui::ViewController> page;
        if (ui::SceneRegistry::scene("TVSuspendVC", kPages[i]))
            page = storyboard->instantiateViewControllerWithIdentifier(kPages[i]);
        if (!page) {
            // A page the app was built without: its tab shows nothing.
            ns::log("user centre: no page %@", kPages[i]);
            page = std::make_shared<ui::ViewController>();
        }
        if (i == 0) {
            if (auto home = std::dynamic_pointer_cast<TVSuSwitchAccountPage>(page))
                home->setLoginOutBlock([weak] {
                    auto centre = weak.lock();
                    if (!centre || !centre->loginOutBlock_) return;
                    centre->loginOutBlock_();
                    centre->dismissViewController(true);
                });
            if (auto area = tempView.lock()) {
                page->view()->setFrame(area->bounds());
                area->addSubview(page->view());
            }
        }
        addChildViewController(page);
    }
}

void TVSuspendVC::btnClick(ui::Button& button) {
    if (chooseBtn_.get() == &button) return;
    auto tapped = button.ref<ui::Button>();
    tapped->setEnabled(false);
    size_t index = static_cast<size_t>(button.tag() - kFirstTab);
    if (index >= childViewControllers().size()) return;
    auto page = childViewControllers()[index];
    auto area = tempView.lock();
    if (area) page->view()->setFrame(area->bounds());
    if (chooseBtn_) chooseBtn_->setEnabled(true);
    chooseBtn_ = tapped;

    auto vale = ShareVale::sharedInstance();
    auto welfare = welfareRed.lock();
    auto home = homeRed.lock();
    if (button.tag() == 12 && welfare && !welfare->isHidden()) {
        vale->setSuGiftCount(suGiftCount_);
        vale->setSuCouponCount(suCouponCount_);
        welfare->setHidden(true);
    } else if (button.tag() == 10 && home && !home->isHidden()) {
        vale->setSuHomeCount(suHomeCount_);
        home->setHidden(true);
    }
    if (page->view() != addView_) {
        if (addView_) addView_->removeFromSuperview();
        addView_ = page->view();
        if (area) area->addSubview(addView_);
    }
}

void TVSuspendVC::showRedCount() {
    auto vale = ShareVale::sharedInstance();
    auto body = ns::MutableDictionary::make();
    if (auto user = vale->userName()) body->setObjectForKey(user, "username");
    if (auto gid = vale->gameID()) body->setObjectForKey(gid, "gid");
    ns::Weak<TVSuspendVC> weak = ref<TVSuspendVC>();
    manager()->POST(
        TVAPIStrings::endpoint(TVAPIStrings::at(TVAPIStrings::HomeNumber)), body, nullptr,
        [weak](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id& reply) {
            if (auto centre = weak.lock()) centre->countsArrived(reply);
        },
        [](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>&) {});
}

void TVSuspendVC::countsArrived(const ns::Id& reply) {
    // This reply is judged on the text "1" alone.
    if (TVReply::textOf(reply, "a") != "1") return;
    auto counts = TVReply::field(reply, "c");
    suHomeCount_ = TVReply::integerOf(TVSuReply::dictionaryAt(counts, {"posts"}), "log");
    suGiftCount_ = TVReply::integerOf(TVSuReply::dictionaryAt(counts, {"card"}), "total");
    suCouponCount_ = TVReply::integerOf(TVSuReply::dictionaryAt(counts, {"card"}), "log");
    auto vale = ShareVale::sharedInstance();
    if (auto home = homeRed.lock()) home->setHidden(suHomeCount_ <= vale->suHomeCount());
    if (auto welfare = welfareRed.lock()) {
        welfare->setHidden(suGiftCount_ <= vale->suGiftCount());
        if (welfare->isHidden()) welfare->setHidden(suCouponCount_ <= vale->suCouponCount());
    }
}

void TVSuspendVC::recordScreenStatus() {
    cg::Size size = ui::Screen::mainScreen()->bounds().size;
    setScreenFlag(size.height > size.width ? 1 : 0);
}

void TVSuspendVC::setScreenFlag(int flag) {
    screenFlag_ = flag;
    struct Case {
        const char* log;
        double top, width, left, bottom;
    };
    Case c = flag == 0 ? (isX_ ? Case{"X 横屏 ", 0, 344, 44, 83} : Case{"其他 横屏 ", 0, 300, 0, 49})
                       : (isX_ ? Case{"X 竖屏 ", 44, 300, 0, 83} : Case{"其他 竖屏 ", 22, 300, 0, 49});
    if (auto t = top.lock()) t->setConstant(c.top);
    if (auto w = width.lock()) w->setConstant(c.width);
    if (auto l = left.lock()) l->setConstant(c.left);
    if (auto b = bottomH.lock()) b->setConstant(c.bottom);
    if (auto a = areaBottom.lock()) a->setConstant(-c.bottom);
    ns::log("%@", c.log);
}

void TVSuspendVC::viewWillTransitionToSize(cg::Size size) {
    // The panel keeps its own layout: the superclass is not asked.
    setScreenFlag(size.width > size.height ? 0 : 1);
}

void TVSuspendVC::setLoginOutBlock(std::function<void()> block) { loginOutBlock_ = std::move(block); }

TVSuspendVC::~TVSuspendVC() { VRQHelperBtn::refresh(); }

void TVSuspendVC::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    VRQHelperBtn::refresh();
}

void TVSuspendVC::viewDidDisappear(bool animated) {
    ui::ViewController::viewDidDisappear(animated);
    if (!isBeingDismissed()) return;
    // The game may take the centre down with the screen under it: what the
    // home page put over the game goes too, and the ball must not stay
    // hidden until the next login.
    for (const auto& page : childViewControllers())
        if (auto home = std::dynamic_pointer_cast<TVSuSwitchAccountPage>(page)) home->centreLeft();
    VRQHelperBtn::refresh();
}

void TVSuspendVC::goBackGameVC() {
    hiddenHelperVC();
}

void TVSuspendVC::hiddenHelperVC() {
    dismissViewController(true);
    // On its way out, the centre no longer keeps the ball hidden.
    VRQHelperBtn::refresh();
}
