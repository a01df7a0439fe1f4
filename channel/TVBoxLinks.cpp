#include "channel/TVBoxLinks.h"

#include <string>

#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Application.h"

namespace TVBoxLinks {

void open(std::string_view key) {
    auto application = ui::Application::sharedApplication();
    auto app = ns::URL::make(TVAPIStrings::at(TVAPIStrings::BoxScheme) + std::string(key));
    if (app && application->canOpenURL(app)) {
        application->openURL(app);
        return;
    }
    auto chanel = ShareVale::sharedInstance()->chanelid();
    auto page = ns::URL::make(TVAPIStrings::at(TVAPIStrings::BoxDownloadPage) + "?ag=" +
                              (chanel ? chanel->utf8() : std::string("(null)")));
    if (page) application->openURL(page);
}

}  // namespace TVBoxLinks
