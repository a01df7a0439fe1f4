#include "channel/usercenter/pages/TVSuWebLoad.h"

#include "platform/foundation/URLCache.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Layer.h"

namespace TVSuWebLoad {

ns::Ref<TVWebProgressLayer> startLine(ui::View& page) {
    auto line = TVWebProgressLayer::layerWithFrame({0, 44, 300, 2});
    page.layer()->addSublayer(line);
    line->startLoad();
    return line;
}

void finishLine(const ns::Ref<TVWebProgressLayer>& line, bool finished) {
    if (line) line->finishedLoad();
    if (!finished) return;
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setIntegerForKey(0, "WebKitCacheModelPreferenceKey");
    defaults->setBoolForKey(false, "WebKitDiskImageCacheEnabled");
    defaults->setBoolForKey(false, "WebKitOfflineWebApplicationCacheEnabled");
    defaults->synchronize();
}

std::string addressOf(const ns::Ref<ns::URLRequest>& request) {
    auto url = request ? request->URL() : nullptr;
    auto text = url ? url->absoluteString() : nullptr;
    return text ? text->utf8() : std::string();
}

bool opensQQ(std::string_view address) {
    return address.find("mqq://") != std::string_view::npos || address.find("mqqapi://") != std::string_view::npos;
}

void openOutside(const ns::Ref<ns::URLRequest>& request) {
    if (request && request->URL()) ui::Application::sharedApplication()->openURL(request->URL());
}

void dropCachedResponses() {
    ns::URLCache::sharedURLCache()->removeAllCachedResponses();
}

}  // namespace TVSuWebLoad
