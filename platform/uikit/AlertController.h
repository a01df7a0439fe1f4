#pragma once
// Alerts and action sheets: a title, a message, text fields (alerts only)
// and actions, shown as a view controller presented over the presenter
// (the custom presentation style: the presenter stays on screen).
//
// The view: a dimming view over the whole window holding the alert's box,
// 270 points wide and centred (an action sheet's is the window's width less
// 16, at the bottom above the safe area), with the title and message
// labels, the text fields and one button per action. Two actions of an
// alert sit side by side, others one under the other; the cancel action
// comes first side by side and last otherwise.
//
// Tapping an action's button (or performAction) dismisses the alert,
// animated, and runs the action's handler once the dismissal is over.
//
// Headless, the log is the screen: an alert coming on screen logs
//   "screen: alert: <title> | <message> | {<field>} [<button>] [<button>]"
// (an action sheet "screen: action sheet: ..."; parts without text left
// out, buttons in the order shown, a secure field's text never), and an
// action taken logs "screen: alert tap: <title> | [<button>]".
// Attributed title and message set by key-value coding under the
// platform's keys "attributedTitle" and "attributedMessage" are shown; an
// action takes a "titleTextColor" the same way.
//
// Main thread only.

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/foundation/AttributedString.h"
#include "platform/foundation/String.h"
#include "platform/graphics/Color.h"
#include "platform/uikit/ViewController.h"

namespace ui {

class Button;
class Label;
class TextField;

enum class AlertControllerStyle { ActionSheet = 0, Alert = 1 };
enum class AlertActionStyle { Default = 0, Cancel = 1, Destructive = 2 };

class AlertAction : public ns::Object {
    RT_DECLARE_CLASS(AlertAction)
public:
    using Handler = std::function<void(AlertAction& action)>;

    AlertAction() = default;
    static ns::Ref<AlertAction> actionWithTitle(const ns::Ref<ns::String>& title, AlertActionStyle style,
                                                Handler handler = {});
    static ns::Ref<AlertAction> actionWithTitle(std::string_view title, AlertActionStyle style, Handler handler = {}) {
        return actionWithTitle(ns::String::make(std::string(title)), style, std::move(handler));
    }

    const ns::Ref<ns::String>& title() const { return title_; }
    AlertActionStyle style() const { return style_; }
    const Handler& handler() const { return handler_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    std::optional<cg::Color> titleTextColor() const { return titleTextColor_; }
    void setTitleTextColor(std::optional<cg::Color> color);

    // Set by the alert showing the action, to hear of changes.
    void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

private:
    ns::Ref<ns::String> title_;
    AlertActionStyle style_ = AlertActionStyle::Default;
    Handler handler_;
    bool enabled_ = true;
    std::optional<cg::Color> titleTextColor_;
    std::function<void()> changed_;
};

class AlertController : public ViewController {
    RT_DECLARE_CLASS(AlertController)
public:
    static constexpr double AlertWidth = 270;

    AlertController();
    static ns::Ref<AlertController> alertControllerWithTitle(const ns::Ref<ns::String>& title,
                                                             const ns::Ref<ns::String>& message,
                                                             AlertControllerStyle style);
    static ns::Ref<AlertController> alertControllerWithTitle(std::string_view title, std::string_view message,
                                                             AlertControllerStyle style) {
        return alertControllerWithTitle(ns::String::make(std::string(title)), ns::String::make(std::string(message)),
                                        style);
    }

    AlertControllerStyle preferredStyle() const { return style_; }
    void setTitle(const ns::Ref<ns::String>& title) override;
    using ViewController::setTitle;
    const ns::Ref<ns::String>& message() const { return message_; }
    void setMessage(const ns::Ref<ns::String>& message);
    const ns::Ref<ns::AttributedString>& attributedTitle() const { return attributedTitle_; }
    void setAttributedTitle(const ns::Ref<ns::AttributedString>& title);
    const ns::Ref<ns::AttributedString>& attributedMessage() const { return attributedMessage_; }
    void setAttributedMessage(const ns::Ref<ns::AttributedString>& message);

    // Raises NSInternalInconsistencyException for a second cancel action.
    void addAction(const ns::Ref<AlertAction>& action);
    const std::vector<ns::Ref<AlertAction>>& actions() const { return actions_; }
    // The first action with that title, or nil.
    ns::Ref<AlertAction> actionWithTitle(std::string_view title) const;
    const ns::Ref<AlertAction>& preferredAction() const { return preferredAction_; }
    void setPreferredAction(const ns::Ref<AlertAction>& action) { preferredAction_ = action; }

    // Makes a field, runs the handler on it at once and keeps it. Raises
    // NSInvalidArgumentException for an action sheet.
    void addTextFieldWithConfigurationHandler(const std::function<void(TextField& field)>& handler = {});
    const std::vector<ns::Ref<TextField>>& textFields() const { return textFields_; }

    // What tapping the action's button does; nothing for a disabled action.
    void performAction(const ns::Ref<AlertAction>& action);
    // The button showing the action, once the view is loaded.
    ns::Ref<Button> buttonForAction(const ns::Ref<AlertAction>& action);

    void loadView() override;
    void viewWillAppear(bool animated) override;

private:
    void rebuildContent();

    AlertControllerStyle style_ = AlertControllerStyle::Alert;
    ns::Ref<ns::String> message_;
    ns::Ref<ns::AttributedString> attributedTitle_;
    ns::Ref<ns::AttributedString> attributedMessage_;
    std::vector<ns::Ref<AlertAction>> actions_;
    ns::Ref<AlertAction> preferredAction_;
    std::vector<ns::Ref<TextField>> textFields_;
    std::vector<ns::Ref<Button>> buttons_;
};

}  // namespace ui
