#include "aggregation/stores/KVTRStoreSupport.h"

#include <cmath>

#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/core/KVTRServerConfig.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/AttributedTextStyles.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/VisualEffectView.h"

namespace kvtr_stores {

std::string gameServerURL(std::string_view pathAndQuery) {
    return KVTRServerConfig::gameServerOrigin() + "/" + std::string(pathAndQuery);
}

std::string replyStatus(const ns::Id& reply) {
    return ns::textOf(printedValue(reply, "status"));
}

ns::Ref<ns::String> replyMessage(const ns::Id& reply) { return printedValue(reply, "msg"); }

ns::Ref<ns::String> textValue(const ns::Id& container, std::string_view key) {
    auto dictionary = ns::cast<ns::Dictionary>(container);
    ns::Id value = dictionary ? dictionary->objectForKey(key) : nullptr;
    if (auto text = ns::cast<ns::String>(value)) return text;
    if (ns::cast<ns::Number>(value)) return ns::String::make(ns::textOf(value));
    return nullptr;
}

ns::Ref<ns::String> printedValue(const ns::Id& container, std::string_view key) {
    auto value = textValue(container, key);
    return value ? value : ns::String::make("(null)");
}

ns::Ref<ns::String> plistGameId() {
    auto path = ns::Bundle::mainBundle()->pathForResource("KVTRPLIST", "plist");
    auto plist = path ? ns::dictionaryWithContentsOfFile(path->utf8()) : nullptr;
    return ns::String::make(ns::textOf(plist ? plist->objectForKey("game_id") : nullptr));
}

ns::Ref<ns::Dictionary> identityOf(const ns::Ref<ns::String>& userInfo) {
    return ns::cast<ns::Dictionary>(KVTRDataFormat::dictionaryWithJsonString(userInfo));
}

ns::Id jsonWithoutLineBreaks(const ns::Ref<ns::String>& text) {
    if (!text) return nullptr;
    std::string kept;
    for (char c : text->utf8()) {
        if (c != '\t' && c != '\n' && c != '\r') kept += c;
    }
    return KVTRDataFormat::dictionaryWithJsonString(ns::String::make(kept));
}

std::string singleQuotedLiteral(std::string_view text) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\' || c == '\'') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\u00";
            out += Hex[c >> 4];
            out += Hex[c & 15];
        } else if (c == 0xe2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xa8 || static_cast<unsigned char>(text[i + 2]) == 0xa9)) {
            // The line and paragraph separators end a script line.
            out += static_cast<unsigned char>(text[i + 2]) == 0xa8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += char(c);
        }
    }
    return out;
}

ns::Ref<ns::String> resourcePath(std::string_view name, std::string_view type) {
    auto bundlePath = ns::Bundle::mainBundle()->pathForResource("KVTRLight", "bundle");
    auto bundle = bundlePath ? ns::Bundle::bundleWithPath(bundlePath->utf8()) : nullptr;
    return bundle ? bundle->pathForResource(name, type) : nullptr;
}

ns::Ref<ui::Image> storeImage(std::string_view name) {
    auto path = resourcePath(name, "png");
    return path ? ui::Image::imageWithContentsOfFile(path->utf8()) : nullptr;
}

void loadRemoteImage(const ns::Ref<ns::String>& address, std::function<void(const ns::Ref<ui::Image>&)> apply) {
    auto url = address ? ns::URL::make(address->utf8()) : nullptr;
    dispatch::async(dispatch::globalQueue(dispatch::QueuePriority::Low), [url, apply = std::move(apply)] {
        auto data = url ? ns::Data::withContentsOfURL(url) : nullptr;
        // Decoded here, not on the main queue: a large icon takes a while.
        // A picture past the process's account of decoded pixels gives
        // nil, logged, and the view stays empty.
        ns::Ref<ui::Image> image = data ? ui::Image::imageWithData(data) : nullptr;
        data = nullptr;
        dispatch::async(dispatch::mainQueue(), [image, apply] { apply(image); });
    });
}

cg::Rect screenBounds() { return ui::Screen::mainScreen()->bounds(); }

ns::Ref<ui::Window> keyWindow() { return ui::Application::sharedApplication()->keyWindow(); }

ns::Ref<ui::Button> imageButton(const cg::Rect& frame, std::string_view image) {
    auto button = ui::Button::buttonWithType(ui::ButtonType::Custom);
    button->setFrame(frame);
    button->setBackgroundImage(storeImage(image), ui::ControlStateNormal);
    return button;
}

ns::Ref<ui::Button> makeCover(const cg::Rect& bounds, double blurAlpha) {
    auto cover = ui::Button::buttonWithType(ui::ButtonType::Custom);
    cover->setFrame(bounds);
    cover->setBackgroundColor(ui::colorWithWhite(0, 0.5));
    auto blur = ui::VisualEffectView::make(ui::BlurEffect::effectWithStyle(ui::BlurEffectStyle::Dark));
    blur->setFrame(cover->bounds());
    blur->setAlpha(blurAlpha);
    cover->addSubview(blur);
    return cover;
}

ns::Ref<ui::Label> makeLabel(const cg::Rect& frame, const ns::Ref<ui::Font>& font, std::optional<ui::Color> color,
                             ui::TextAlignment alignment) {
    auto label = ui::Label::make(frame);
    label->setFont(font);
    if (color) label->setTextColor(color);
    label->setTextAlignment(alignment);
    return label;
}

void applyPlainListLook(ui::TableView& table, double estimatedRowHeight) {
    table.setBackgroundColor(ui::clearColor());
    table.setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    table.setShowsVerticalScrollIndicator(false);
    table.setBounces(false);
    table.setEstimatedRowHeight(estimatedRowHeight);
    table.setContentInsetAdjustmentBehavior(ui::ScrollViewContentInsetAdjustmentBehavior::Never);
}

double textHeight(const ns::Ref<ns::String>& text, const ns::Ref<ui::Font>& font, double width, double lineSpacing) {
    ui::TextAttributes attributes;
    attributes[ui::FontAttributeName] = font;
    if (lineSpacing > 0) {
        auto style = ui::ParagraphStyle::make();
        style->setLineSpacing(lineSpacing);
        attributes[ui::ParagraphStyleAttributeName] = style;
    }
    auto rect = ui::boundingRectWithSize(ns::textOf(text), {width, 1e7}, ui::StringDrawingUsesLineFragmentOrigin,
                                         attributes);
    return std::ceil(rect.size.height);
}

}  // namespace kvtr_stores
