#include "shell/AppDelegate.h"

#include "aggregation/core/ROZCoreEntity.h"
#include "platform/dispatch/Sleep.h"
#include "shell/GameHostConfiguration.h"
#include "shell/ToviraChannel.h"

RT_DEFINE_CLASS(AppDelegate, ui::Responder, "AppDelegate", rt::property<AppDelegate>("window", &AppDelegate::window_))

bool AppDelegate::applicationDidFinishLaunching(ui::Application& app, const ns::Ref<ns::Dictionary>& options) {
    // Named before the first request, which would otherwise fail with no word
    // of why.
    shell::checkConfiguration();
    ToviraChannel::installUnlessPresent();
    dispatch::sleepFor(LaunchPauseSeconds);
    ROZCoreEntity::sharedInstance()->applicationDidFinishLaunchingWithOptions(app, options);
    return true;
}

// Activation changes are of no interest to the SDKs.
void AppDelegate::applicationWillResignActive(ui::Application&) {}
void AppDelegate::applicationDidBecomeActive(ui::Application&) {}

void AppDelegate::applicationDidEnterBackground(ui::Application& app) {
    ROZCoreEntity::sharedInstance()->applicationDidEnterBackground(app);
}

void AppDelegate::applicationWillEnterForeground(ui::Application& app) {
    ROZCoreEntity::sharedInstance()->applicationWillEnterForeground(app);
}

void AppDelegate::applicationWillTerminate(ui::Application& app) {
    ROZCoreEntity::sharedInstance()->applicationWillTerminate(app);
}

bool AppDelegate::applicationOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url,
                                     const ns::Ref<ns::Dictionary>& options) {
    return applicationOpenURLOptions(app, url, options);
}

bool AppDelegate::applicationOpenURLOptions(ui::Application& app, const ns::Ref<ns::URL>& url,
                                            const ns::Ref<ns::Dictionary>& options) {
    return ROZCoreEntity::sharedInstance()->applicationOpenURLOptions(app, url, options);
}

bool AppDelegate::applicationOpenURLSourceApplicationAnnotation(ui::Application& app, const ns::Ref<ns::URL>& url,
                                                                const ns::Ref<ns::String>& sourceApplication,
                                                                const ns::Id& annotation) {
    return ROZCoreEntity::sharedInstance()->applicationOpenURLSourceApplicationAnnotation(app, url, sourceApplication,
                                                                                          annotation);
}

bool AppDelegate::applicationHandleOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url) {
    return ROZCoreEntity::sharedInstance()->applicationHandleOpenURL(app, url);
}
