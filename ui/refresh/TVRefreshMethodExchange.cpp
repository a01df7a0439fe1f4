#include "ui/refresh/TVRefreshMethodExchange.h"

#include <string>

#include "platform/foundation/Log.h"

namespace TVRefresh {

void exchangeClassMethod(const rt::Class& cls, std::string_view method1, std::string_view method2) {
    if (cls.exchangeClassMethods(method1, method2)) return;
    ns::logMessage("TVRefresh: class methods " + std::string(method1) + " and " + std::string(method2) + " of " +
                   cls.name() + " not exchanged: one is missing, or they differ in type");
}

void exchangeInstanceMethod(const rt::Class& cls, std::string_view method1, std::string_view method2) {
    ns::logMessage("TVRefresh: instance methods " + std::string(method1) + " and " + std::string(method2) + " of " +
                   cls.name() + " not exchanged: instance methods are compiled members, not runtime entries");
}

}  // namespace TVRefresh
