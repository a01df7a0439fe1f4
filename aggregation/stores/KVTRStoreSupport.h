#pragma once
// What every store view shares: the game-server requests and how their
// replies are read, the identity text, the pictures of the "KVTRLight"
// bundle, the remote icons, the cover under a pop-up and the colours.

#include <functional>
#include <string>
#include <string_view>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/Window.h"

namespace kvtr_stores {

// ---- Game server ----

// The game server's address for a path such as "charge/order" or
// "timestore/goodsnew?game_id=1&...".
std::string gameServerURL(std::string_view pathAndQuery);
// The "%@" text of a reply's "status": "200" for the text or the number,
// "(null)" when the reply is not an object or carries none.
std::string replyStatus(const ns::Id& reply);
inline bool isSuccess(const ns::Id& reply) { return replyStatus(reply) == "200"; }
// The reply's "msg" as "%@" text.
ns::Ref<ns::String> replyMessage(const ns::Id& reply);
// A text value of a reply or record: a text, or a number's decimal text; nil
// for anything else (absent, null, a container), so a wrong type reads as
// absent.
ns::Ref<ns::String> textValue(const ns::Id& container, std::string_view key);
// The "%@" text of a value read as textValue: "(null)" when absent.
ns::Ref<ns::String> printedValue(const ns::Id& container, std::string_view key);
// `game_id` of the main bundle's "KVTRPLIST" as "%@" text.
ns::Ref<ns::String> plistGameId();
// The identity dictionary of a KVTRStoreUserInfo text; nil when it is not a
// JSON object (a parse error is logged).
ns::Ref<ns::Dictionary> identityOf(const ns::Ref<ns::String>& userInfo);
// The JSON value of a page's text with every tab, line feed and carriage
// return taken out first (they cannot sit raw in a JSON text); nil for nil
// text or, after logging "json解析失败：<error>", for text that is not JSON.
ns::Id jsonWithoutLineBreaks(const ns::Ref<ns::String>& text);
// `text` made safe between the single quotes of a script literal: a
// backslash, a quote, U+2028, U+2029 and control characters are escaped.
std::string singleQuotedLiteral(std::string_view text);
// The signing key of the store and welfare requests.
inline constexpr std::string_view SigningKey = "5d1f7e20c4b98a3361e0fa47d2c85b19";

// ---- Pictures ----

// A file of the "KVTRLight" bundle in the main bundle; nil when missing.
ns::Ref<ns::String> resourcePath(std::string_view name, std::string_view type);
// A PNG picture of the bundle, loaded from its file each time; nil when
// missing.
ns::Ref<ui::Image> storeImage(std::string_view name);
// Reads and decodes the address on the low-priority global queue and hands
// the picture (nil when the read or decoding fails, or the picture would
// pass ui::DecodedPixelAccount) to `apply` on the main queue.
void loadRemoteImage(const ns::Ref<ns::String>& address, std::function<void(const ns::Ref<ui::Image>&)> apply);

// ---- Views ----

// The teal of titles and counts.
inline ui::Color teal() { return ui::colorWithRed(17 / 255.0, 204 / 255.0, 177 / 255.0, 1); }
inline ui::Color rgb(double r, double g, double b) { return ui::colorWithRed(r / 255.0, g / 255.0, b / 255.0, 1); }
// The main screen's bounds now.
cg::Rect screenBounds();
// The key window of the application, nil when none.
ns::Ref<ui::Window> keyWindow();
// A custom button that shows `image` as its normal background.
ns::Ref<ui::Button> imageButton(const cg::Rect& frame, std::string_view image);
// The cover under a pop-up: a custom button without action, black at alpha
// 0.5, with a dark blur at `blurAlpha` filling it, sized to the window.
ns::Ref<ui::Button> makeCover(const cg::Rect& bounds, double blurAlpha);
ns::Ref<ui::Label> makeLabel(const cg::Rect& frame, const ns::Ref<ui::Font>& font, std::optional<ui::Color> color,
                             ui::TextAlignment alignment);
// The stores' list look: clear, without separators, scroll indicator,
// bouncing or inset adjustment, rows estimated at `estimatedRowHeight`.
void applyPlainListLook(ui::TableView& table, double estimatedRowHeight);
// The rounded-up height of `text` set in `font` and wrapped at `width`.
double textHeight(const ns::Ref<ns::String>& text, const ns::Ref<ui::Font>& font, double width,
                  double lineSpacing = 0);

}  // namespace kvtr_stores
