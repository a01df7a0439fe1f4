#include "platform/uikit/AlertController.h"

#include <algorithm>
#include <limits>

#include "platform/foundation/Log.h"
#include "platform/runtime/Exception.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/TextField.h"

namespace ui {

namespace {

rt::Property attributedProperty(const char* name, ns::Ref<ns::AttributedString> (*get)(const AlertController&),
                                void (*set)(AlertController&, const ns::Ref<ns::AttributedString>&)) {
    rt::Property p;
    p.name = name;
    p.typeCode = "@\"NSAttributedString\"";
    p.kind = rt::ValueKind::Object;
    p.attributes = std::string("T@\"NSAttributedString\",C,N,V_") + name;
    p.get = [get](const ns::Object& o) -> rt::Value { return ns::Id(get(static_cast<const AlertController&>(o))); };
    p.set = [set](ns::Object& o, const rt::Value& v) {
        if (std::holds_alternative<std::monostate>(v)) {
            set(static_cast<AlertController&>(o), nullptr);
            return true;
        }
        const ns::Id* id = std::get_if<ns::Id>(&v);
        if (!id) return false;
        auto text = ns::cast<ns::AttributedString>(*id);
        if (*id && !text) return false;
        set(static_cast<AlertController&>(o), text);
        return true;
    };
    return p;
}

rt::Property titleTextColorProperty() {
    rt::Property p;
    p.name = "titleTextColor";
    p.typeCode = "@\"UIColor\"";
    p.kind = rt::ValueKind::Object;
    p.attributes = "T@\"UIColor\",&,N,V_titleTextColor";
    p.get = [](const ns::Object& o) -> rt::Value {
        auto color = static_cast<const AlertAction&>(o).titleTextColor();
        return color ? ns::Id(valueWithColor(*color)) : ns::Id();
    };
    p.set = [](ns::Object& o, const rt::Value& v) {
        const ns::Id* id = std::get_if<ns::Id>(&v);
        auto color = id ? colorValue(*id) : std::nullopt;
        if (id && *id && !color) return false;
        static_cast<AlertAction&>(o).setTitleTextColor(color);
        return true;
    };
    return p;
}

// What the alert shows, as one line: "title | message | {field} [action]
// [action]", the parts without text left out, the actions in the order of
// their buttons. A secure field shows as dots, never its content.
std::string shownText(const AlertController& alert, const std::vector<ns::Ref<AlertAction>>& actions) {
    auto textOf = [](const ns::Ref<ns::String>& plain, const ns::Ref<ns::AttributedString>& attributed) {
        if (attributed) return attributed->string()->utf8();
        return plain ? plain->utf8() : std::string();
    };
    std::vector<std::string> parts;
    for (std::string part : {textOf(alert.title(), alert.attributedTitle()),
                             textOf(alert.message(), alert.attributedMessage())}) {
        if (!part.empty()) parts.push_back(std::move(part));
    }
    for (const auto& field : alert.textFields()) {
        std::string shown = field->isSecureTextEntry() ? std::string("•••") : textOf(field->text(), nullptr);
        parts.push_back("{" + shown + "}");
    }
    std::string buttons;
    for (const auto& action : actions) {
        if (!buttons.empty()) buttons += " ";
        buttons += "[" + textOf(action->title(), nullptr) + "]";
    }
    if (!buttons.empty()) parts.push_back(std::move(buttons));
    std::string line;
    for (const auto& part : parts) line += (line.empty() ? "" : " | ") + part;
    return line;
}

const char* screenWord(AlertControllerStyle style) {
    return style == AlertControllerStyle::ActionSheet ? "action sheet" : "alert";
}

}  // namespace

RT_DEFINE_CLASS(AlertAction, ns::Object, "UIAlertAction", titleTextColorProperty())
RT_DEFINE_CLASS(
    AlertController, ViewController, "UIAlertController",
    attributedProperty(
        "attributedTitle", [](const AlertController& a) { return a.attributedTitle(); },
        [](AlertController& a, const ns::Ref<ns::AttributedString>& t) { a.setAttributedTitle(t); }),
    attributedProperty(
        "attributedMessage", [](const AlertController& a) { return a.attributedMessage(); },
        [](AlertController& a, const ns::Ref<ns::AttributedString>& t) { a.setAttributedMessage(t); }))

// ---- Actions ----

ns::Ref<AlertAction> AlertAction::actionWithTitle(const ns::Ref<ns::String>& title, AlertActionStyle style,
                                                  Handler handler) {
    auto action = std::make_shared<AlertAction>();
    action->title_ = title;
    action->style_ = style;
    action->handler_ = std::move(handler);
    return action;
}

void AlertAction::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (changed_) changed_();
}

void AlertAction::setTitleTextColor(std::optional<cg::Color> color) {
    titleTextColor_ = color;
    if (changed_) changed_();
}

// ---- The view ----

// The dimming view; it places the alert's box whenever it lays out.
class AlertControllerView : public View {
    RT_DECLARE_CLASS(AlertControllerView)
public:
    AlertControllerView() = default;
    explicit AlertControllerView(const cg::Rect& frame) : View(frame) {}

    AlertControllerStyle style = AlertControllerStyle::Alert;
    ns::Ref<View> box;
    ns::Ref<Label> titleLabel;
    ns::Ref<Label> messageLabel;
    std::vector<ns::Ref<TextField>> fields;
    // In the order shown.
    std::vector<ns::Ref<Button>> buttons;

    void layoutSubviews() override;
};

RT_DEFINE_CLASS(AlertControllerView, View, "_UIAlertControllerView")

void AlertControllerView::layoutSubviews() {
    View::layoutSubviews();
    if (!box) return;
    cg::Size size = bounds().size;
    bool sheet = style == AlertControllerStyle::ActionSheet;
    double width = sheet ? std::max(0.0, size.width - 16) : AlertController::AlertWidth;
    double inner = std::max(0.0, width - 32);
    double y = 0;
    bool hasText = false;
    for (const auto& label : {titleLabel, messageLabel}) {
        if (!label || label->isHidden()) continue;
        if (!hasText) y = 16;
        hasText = true;
        cg::Size fit = label->sizeThatFits({inner, std::numeric_limits<double>::infinity()});
        label->setFrame({16, y, inner, fit.height});
        y += fit.height + 4;
    }
    if (hasText) y += 12;
    for (const auto& field : fields) {
        field->setFrame({16, y, inner, 24});
        y += 32;
    }
    if (buttons.size() == 2 && !sheet) {
        buttons[0]->setFrame({0, y, width / 2, 44});
        buttons[1]->setFrame({width / 2, y, width / 2, 44});
        y += 44;
    } else {
        for (const auto& button : buttons) {
            button->setFrame({0, y, width, 44});
            y += 44;
        }
    }
    double x = (size.width - width) / 2;
    double top = sheet ? size.height - safeAreaInsets().bottom - 8 - y : (size.height - y) / 2;
    box->setFrame({x, top, width, y});
}

AlertController::AlertController() { setModalPresentationStyle(ModalPresentationStyle::Custom); }

ns::Ref<AlertController> AlertController::alertControllerWithTitle(const ns::Ref<ns::String>& title,
                                                                   const ns::Ref<ns::String>& message,
                                                                   AlertControllerStyle style) {
    auto alert = std::make_shared<AlertController>();
    alert->style_ = style;
    alert->ViewController::setTitle(title);
    alert->message_ = message;
    return alert;
}

void AlertController::loadView() {
    auto root = std::make_shared<AlertControllerView>(Screen::mainScreen()->bounds());
    root->style = style_;
    root->setBackgroundColor(colorWithWhite(0, 0.2));
    root->box = View::make();
    root->box->setBackgroundColor(whiteColor());
    root->box->layer()->setCornerRadius(13);
    root->box->setClipsToBounds(true);
    root->addSubview(root->box);
    setView(root);
    rebuildContent();
}

void AlertController::rebuildContent() {
    auto root = ns::cast<AlertControllerView>(viewIfLoaded());
    if (!root) return;
    for (const auto& sub : std::vector<ns::Ref<View>>(root->box->subviews())) sub->removeFromSuperview();
    for (const auto& action : actions_) action->setChangeHandler({});

    if (!root->titleLabel) {
        root->titleLabel = Label::make();
        root->titleLabel->setFont(Font::boldSystemFontOfSize(17));
        root->titleLabel->setTextAlignment(TextAlignment::Center);
        root->titleLabel->setNumberOfLines(0);
        root->messageLabel = Label::make();
        root->messageLabel->setFont(Font::systemFontOfSize(13));
        root->messageLabel->setTextAlignment(TextAlignment::Center);
        root->messageLabel->setNumberOfLines(0);
    }
    if (attributedTitle_) {
        root->titleLabel->setAttributedText(attributedTitle_);
    } else {
        root->titleLabel->setText(title());
    }
    if (attributedMessage_) {
        root->messageLabel->setAttributedText(attributedMessage_);
    } else {
        root->messageLabel->setText(message_);
    }
    auto hasText = [](const ns::Ref<Label>& label) { return label->text() && !label->text()->utf8().empty(); };
    root->titleLabel->setHidden(!hasText(root->titleLabel));
    root->messageLabel->setHidden(!hasText(root->messageLabel));
    root->box->addSubview(root->titleLabel);
    root->box->addSubview(root->messageLabel);

    root->fields = textFields_;
    for (const auto& field : textFields_) root->box->addSubview(field);

    std::vector<ns::Ref<AlertAction>> ordered;
    bool sideBySide = actions_.size() == 2 && style_ == AlertControllerStyle::Alert;
    for (const auto& action : actions_) {
        if (action->style() != AlertActionStyle::Cancel) ordered.push_back(action);
    }
    for (const auto& action : actions_) {
        if (action->style() != AlertActionStyle::Cancel) continue;
        if (sideBySide) {
            ordered.insert(ordered.begin(), action);
        } else {
            ordered.push_back(action);
        }
    }
    buttons_.assign(actions_.size(), nullptr);
    root->buttons.clear();
    ns::Weak<AlertController> weak = std::static_pointer_cast<AlertController>(ref<ViewController>());
    for (const auto& action : ordered) {
        auto button = Button::buttonWithType(ButtonType::System);
        button->setTitle(action->title(), ControlStateNormal);
        button->titleLabel()->setFont(action->style() == AlertActionStyle::Cancel ? Font::boldSystemFontOfSize(17)
                                                                                  : Font::systemFontOfSize(17));
        if (action->titleTextColor()) {
            button->setTitleColor(action->titleTextColor(), ControlStateNormal);
        } else if (action->style() == AlertActionStyle::Destructive) {
            button->setTitleColor(redColor(), ControlStateNormal);
        }
        button->setEnabled(action->isEnabled());
        ns::Weak<AlertAction> weakAction = action;
        button->addTarget(
            nullptr,
            [weak, weakAction](Control&, Event*) {
                auto alert = weak.lock();
                auto target = weakAction.lock();
                if (alert && target) alert->performAction(target);
            },
            ControlEventTouchUpInside);
        action->setChangeHandler([weak] {
            if (auto alert = weak.lock()) alert->rebuildContent();
        });
        root->box->addSubview(button);
        root->buttons.push_back(button);
        size_t index = size_t(std::find(actions_.begin(), actions_.end(), action) - actions_.begin());
        buttons_[index] = button;
    }
    root->setNeedsLayout();
}

// ---- Content ----

void AlertController::setTitle(const ns::Ref<ns::String>& title) {
    ViewController::setTitle(title);
    rebuildContent();
}

void AlertController::setMessage(const ns::Ref<ns::String>& message) {
    message_ = message;
    rebuildContent();
}

void AlertController::setAttributedTitle(const ns::Ref<ns::AttributedString>& title) {
    attributedTitle_ = title;
    rebuildContent();
}

void AlertController::setAttributedMessage(const ns::Ref<ns::AttributedString>& message) {
    attributedMessage_ = message;
    rebuildContent();
}

void AlertController::addAction(const ns::Ref<AlertAction>& action) {
    if (!action) return;
    if (action->style() == AlertActionStyle::Cancel) {
        for (const auto& existing : actions_) {
            if (existing->style() == AlertActionStyle::Cancel) {
                ns::Exception::raise(ns::InternalInconsistencyException,
                                     "UIAlertController can only have one action with a style of "
                                     "UIAlertActionStyleCancel");
            }
        }
    }
    actions_.push_back(action);
    rebuildContent();
}

ns::Ref<AlertAction> AlertController::actionWithTitle(std::string_view title) const {
    for (const auto& action : actions_) {
        if (action->title() && action->title()->utf8() == title) return action;
    }
    return nullptr;
}

void AlertController::addTextFieldWithConfigurationHandler(const std::function<void(TextField& field)>& handler) {
    if (style_ != AlertControllerStyle::Alert) {
        ns::Exception::raise(ns::InvalidArgumentException,
                             "Text fields can only be added to an alert controller of style "
                             "UIAlertControllerStyleAlert");
    }
    auto field = TextField::make();
    field->setBorderStyle(TextBorderStyle::Line);
    field->setFont(Font::systemFontOfSize(13));
    textFields_.push_back(field);
    if (handler) handler(*field);
    rebuildContent();
}

ns::Ref<Button> AlertController::buttonForAction(const ns::Ref<AlertAction>& action) {
    loadViewIfNeeded();
    auto it = std::find(actions_.begin(), actions_.end(), action);
    if (it == actions_.end()) return nullptr;
    return buttons_[size_t(it - actions_.begin())];
}

void AlertController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    loadViewIfNeeded();
    std::vector<ns::Ref<AlertAction>> shownOrder;
    if (auto root = ns::cast<AlertControllerView>(viewIfLoaded())) {
        for (const auto& button : root->buttons) {
            auto it = std::find(buttons_.begin(), buttons_.end(), button);
            if (it != buttons_.end()) shownOrder.push_back(actions_[size_t(it - buttons_.begin())]);
        }
    }
    ns::logScreen(screenWord(style_), shownText(*this, shownOrder));
}

void AlertController::performAction(const ns::Ref<AlertAction>& action) {
    if (!action || !action->isEnabled()) return;
    std::string tapped = "[" + (action->title() ? action->title()->utf8() : std::string()) + "]";
    if (title() && !title()->utf8().empty()) tapped = title()->utf8() + " | " + tapped;
    ns::logScreen(std::string(screenWord(style_)) + " tap", tapped);
    auto keep = ref<ViewController>();
    dismissViewController(true, [action] {
        if (action->handler()) action->handler()(*action);
    });
}

}  // namespace ui
