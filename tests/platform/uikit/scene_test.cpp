#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Exception.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/TableView.h"
#include "ui_test_support.h"

namespace {

class SignInScreen : public ui::ViewController {
public:
    ns::Ref<ui::Label> titleLabel;
    ns::Ref<ui::Button> signInButton;
    int loads = 0;
    int taps = 0;

    void viewDidLoad() override { ++loads; }
};

class AccountCell : public ui::TableViewCell {
public:
    AccountCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, "AccountCell") {}
    ns::Ref<ui::Label> nameLabel;
};

class NibOwner : public ui::ViewController {
public:
    ns::Ref<ui::Label> banner;
};

UI_STORYBOARD_SCENE("SceneTestBoard", "SignIn", SignInScreen, [](SignInScreen& owner) -> ns::Ref<ui::View> {
    auto root = ui::View::make({0, 0, 390, 844});
    owner.titleLabel = ui::Label::make({20, 100, 200, 30});
    owner.titleLabel->setText("Sign in");
    root->addSubview(owner.titleLabel);
    owner.signInButton = ui::Button::make({20, 160, 200, 44});
    owner.signInButton->setTitle("Go", ui::ControlStateNormal);
    SignInScreen* screen = &owner;
    owner.signInButton->addTarget(
        nullptr, [screen](ui::Control&, ui::Event*) { ++screen->taps; }, ui::ControlEventTouchUpInside);
    root->addSubview(owner.signInButton);
    return root;
})

UI_STORYBOARD_CONTROLLER("SceneTestBoard", "Flow", [](ui::Storyboard& board) -> ns::Ref<ui::ViewController> {
    return std::make_shared<ui::NavigationController>(board.instantiateViewControllerWithIdentifier("SignIn"));
})

UI_INITIAL_STORYBOARD_SCENE("SceneTestBoard", "Home", ui::ViewController,
                            [](ui::ViewController&) -> ns::Ref<ui::View> { return ui::View::make({0, 0, 10, 10}); })

UI_NIB("SceneTestAccountCell", [](const ns::Id& owner, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto cell = std::make_shared<AccountCell>();
    cell->nameLabel = ui::Label::make({16, 0, 200, 44});
    cell->contentView()->addSubview(cell->nameLabel);
    if (auto screen = ns::cast<NibOwner>(owner)) screen->banner = cell->nameLabel;
    return {cell};
})

UI_NIB("SceneTestOwnedView", [](const ns::Id& owner, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto root = ui::View::make({0, 0, 100, 100});
    auto banner = ui::Label::make({0, 0, 100, 20});
    root->addSubview(banner);
    if (auto screen = ns::cast<NibOwner>(owner)) {
        screen->banner = banner;
        screen->setView(root);
    }
    return {root};
})

UI_NIB("SceneTestNoView", [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> { return {}; })

using SceneTest = UIKitTest;

TEST_F(SceneTest, AStoryboardSceneBuildsItsViewAndOutletsWhenFirstNeeded) {
    auto board = ui::Storyboard::storyboardWithName("SceneTestBoard");
    auto screen = ns::cast<SignInScreen>(board->instantiateViewControllerWithIdentifier("SignIn"));
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->storyboard(), board);
    EXPECT_FALSE(screen->isViewLoaded());
    EXPECT_EQ(screen->titleLabel, nullptr);

    auto view = screen->view();
    EXPECT_EQ(screen->loads, 1);
    ASSERT_NE(screen->titleLabel, nullptr);
    EXPECT_EQ(screen->titleLabel->superview(), view);
    EXPECT_EQ(screen->titleLabel->text()->utf8(), "Sign in");
    screen->signInButton->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(screen->taps, 1);
    screen->view();
    EXPECT_EQ(screen->loads, 1);

    // Each instantiation is a new controller; scenes may build containers.
    EXPECT_NE(board->instantiateViewControllerWithIdentifier("SignIn"), screen);
    auto flow = ns::cast<ui::NavigationController>(board->instantiateViewControllerWithIdentifier("Flow"));
    ASSERT_NE(flow, nullptr);
    EXPECT_NE(ns::cast<SignInScreen>(flow->topViewController()), nullptr);
    auto home = board->instantiateInitialViewController();
    ASSERT_NE(home, nullptr);
    EXPECT_TRUE(near(home->view()->frame(), {0, 0, 10, 10}));
}

TEST_F(SceneTest, UnknownNamesRaiseThePlatformsExceptions) {
    try {
        ui::Storyboard::storyboardWithName("NoSuchBoard");
        FAIL();
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), ns::InvalidArgumentException);
        EXPECT_EQ(e.reason().rfind("Could not find a storyboard named 'NoSuchBoard' in bundle NSBundle <", 0), 0u)
            << e.reason();
        EXPECT_NE(e.reason().find("> (loaded)"), std::string::npos);
    }
    auto board = ui::Storyboard::storyboardWithName("SceneTestBoard");
    try {
        board->instantiateViewControllerWithIdentifier("Nobody");
        FAIL();
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), ns::InvalidArgumentException);
        EXPECT_EQ(e.reason(), "Storyboard (" + board->description() +
                                  ") doesn't contain a view controller with identifier 'Nobody'");
    }
    EXPECT_THROW(ui::Nib::loadNibNamed("NoSuchNib", nullptr), ns::Exception);
}

TEST_F(SceneTest, NibsFillTheirOwnerAndServeTableCells) {
    auto owner = std::make_shared<NibOwner>();
    auto objects = ui::Nib::loadNibNamed("SceneTestAccountCell", owner);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_NE(owner->banner, nullptr);

    auto table = ui::TableView::make({0, 0, 320, 200});
    table->registerNib(ui::Nib::nibWithName("SceneTestAccountCell"), "AccountCell");
    auto cell = std::dynamic_pointer_cast<AccountCell>(
        table->dequeueReusableCellWithIdentifier("AccountCell", ui::IndexPath::forRow(0, 0)));
    ASSERT_NE(cell, nullptr);
    EXPECT_NE(cell->nameLabel, nullptr);

    // A controller named after a nib loads its view from it.
    auto screen = std::make_shared<NibOwner>();
    screen->setNibName("SceneTestOwnedView");
    EXPECT_TRUE(near(screen->view()->frame(), {0, 0, 100, 100}));
    EXPECT_EQ(screen->banner->superview(), screen->view());
    auto broken = std::make_shared<NibOwner>();
    broken->setNibName("SceneTestNoView");
    EXPECT_THROW(broken->view(), ns::Exception);
}

}  // namespace
