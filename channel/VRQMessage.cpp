#include "channel/VRQMessage.h"

#include <limits>

#include "channel/VRQWindowManager.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Layer.h"

namespace {

constexpr double kFontSize = 16;
constexpr double kPadding = 10;
constexpr double kFadeDelay = 0.3;
constexpr double kFadeDuration = 2.0;

}  // namespace

void VRQMessage::showMessage(const ns::Ref<ns::String>& message, const ns::Ref<ui::View>& host) {
    if (!message || !host) return;
    cg::Size hostSize = host->bounds().size;

    auto box = ui::View::make();
    box->setBackgroundColor(cg::Color::black());
    box->setAlpha(1);
    box->layer()->setCornerRadius(5);
    box->setClipsToBounds(true);
    host->addSubview(box);

    auto font = ui::Font::boldSystemFontOfSize(kFontSize);
    auto label = ui::Label::make();
    label->setFont(font);
    double width = getWidthWithText(message.get(), font->lineHeight(), kFontSize);
    if (width > hostSize.width - 4 * kPadding) {
        width = hostSize.width - 4 * kPadding;
        label->setNumberOfLines(0);
    }
    label->setFrame({{kPadding, kPadding}, {width, font->lineHeight()}});
    label->setText(message);
    label->setTextColor(cg::Color::white());
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setBackgroundColor(cg::Color::clear());
    label->sizeToFit();
    box->addSubview(label);

    cg::Size labelSize = label->frame().size;
    box->setFrame({{(hostSize.width - labelSize.width - 2 * kPadding) / 2,
                    2 * (hostSize.height - labelSize.height - 2 * kPadding) / 3},
                   {labelSize.width + 2 * kPadding, labelSize.height + 2 * kPadding}});
    ns::logScreen("toast", message->utf8());

    // The box holds itself through the animation's blocks until it is gone.
    ui::View::animate(
        kFadeDuration, kFadeDelay, ui::ViewAnimationOptionAllowUserInteraction, [box] { box->setAlpha(0); },
        [box](bool) { box->removeFromSuperview(); });
}

void VRQMessage::showMessage(const ns::Ref<ns::String>& message) {
    showMessage(message, VRQWindowManager::topWindow());
}

double VRQMessage::getWidthWithText(const ns::String* text, double height, double fontSize) {
    std::string measured = text && !text->utf8().empty() ? text->utf8() : "无";
    if (fontSize <= 0) fontSize = 13;
    if (height < 0) height = 0;
    ui::TextAttributes attributes{{ui::FontAttributeName, ui::Font::systemFontOfSize(fontSize)}};
    cg::Size bounds{std::numeric_limits<double>::max(), height};
    return ui::boundingRectWithSize(measured, bounds, ui::StringDrawingUsesLineFragmentOrigin, attributes).size.width;
}
