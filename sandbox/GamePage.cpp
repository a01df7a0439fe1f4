#include "sandbox/GamePage.h"

#include <string_view>
#include <utility>

namespace sandbox {

namespace {

// Kept free of "</" so it can sit inside a script element.
constexpr const char* kScript = R"JS(
var pageRoadStarted = false;
var pagePays = 0;
var pageStoresOpened = false;
var pageLookAround = @LOOK_AROUND@;
var pageStoreSettle = @STORE_SETTLE@;
var pageStoreCeiling = @STORE_CEILING@;
// What moves the page on from the store open now, once.
var pageStoreStep = null;

var pageRole = {
    role_id: "10001",
    role_name: "Ari",
    role_level: "12",
    service_id: "1",
    service_name: "S1 Dawn",
    power_value: "3500"
};

function pageLog(text) {
    if (typeof console !== "undefined" && console.log) {
        console.log("page: " + text);
    }
}

function postToApp(action, data) {
    var message = { action: action };
    if (data !== undefined) {
        message.data = data;
    }
    pageLog("post " + action);
    var handlers = window.webkit && window.webkit.messageHandlers;
    if (!handlers || !handlers.eventComplete) {
        pageLog("no eventComplete handler: the page is not inside the app");
        return;
    }
    handlers.eventComplete.postMessage(JSON.stringify(message));
}

function pageOrder() {
    return {
        good_id: "gems60",
        good_name: "60 Gems",
        game_order_sn: "cp" + new Date().getTime(),
        role_level: pageRole.role_level,
        money: "6",
        service_id: pageRole.service_id,
        service_name: pageRole.service_name,
        role_id: pageRole.role_id,
        role_name: pageRole.role_name,
        remark: "sample order"
    };
}

function pageLater(step, pause) {
    if (typeof setTimeout === "function") {
        setTimeout(step, pause);
    } else {
        step();
    }
}

// Runs step once: a while after a purchase in the store just opened is
// reported (its screens settle), or at the ceiling when none is.
function pageAfterStore(step) {
    var done = false;
    function run() {
        if (done) {
            return;
        }
        done = true;
        pageStoreStep = null;
        step();
    }
    pageStoreStep = function () { pageLater(run, pageStoreSettle); };
    pageLater(run, pageStoreCeiling);
}

function openStoresThenLogout() {
    postToApp("openStore");
    pageAfterStore(function () {
        postToApp("openResourseStore");
        pageAfterStore(function () {
            postToApp("logout");
        });
    });
}

function CallbackFromIOS(text) {
    var message;
    try {
        message = JSON.parse(text);
    } catch (error) {
        pageLog("callback that is not JSON: " + text);
        return;
    }
    if (message === null || typeof message !== "object") {
        pageLog("callback that is not an object: " + text);
        return;
    }
    var action = message.action;
    pageLog("callback " + action + " " + (message.data === undefined ? "" : JSON.stringify(message.data)));
    if (action === "loginNotify") {
        postToApp("uploadGameRoleInfo", pageRole);
    } else if (action === "uploadGameRoleInfo") {
        // The player looks around (the user centre) before the first purchase.
        pageLater(function () { postToApp("pay", pageOrder()); }, pageLookAround);
    } else if (action === "payNotify") {
        pagePays += 1;
        if (pagePays < 2) {
            postToApp("pay", pageOrder());
        } else if (!pageStoresOpened) {
            // Purchases in the stores are paid too; the stores open once.
            pageStoresOpened = true;
            openStoresThenLogout();
        } else if (pageStoreStep) {
            // A purchase in the open store, paid or not: the game goes on.
            pageStoreStep();
        }
    } else if (action === "clientlogout") {
        pageLog("road complete");
    }
}

function startRoad() {
    if (pageRoadStarted) {
        return;
    }
    pageRoadStarted = true;
    postToApp("login");
}

if (document.readyState !== "loading") {
    startRoad();
} else if (typeof document.addEventListener === "function") {
    document.addEventListener("DOMContentLoaded", startRoad);
} else {
    pageLater(startRoad, 0);
}
)JS";

std::string withPauses(std::string script) {
    const std::pair<const char*, int> pauses[] = {{"@LOOK_AROUND@", kLookAroundMilliseconds},
                                                  {"@STORE_SETTLE@", kStoreSettleMilliseconds},
                                                  {"@STORE_CEILING@", kStoreCeilingMilliseconds}};
    for (const auto& [marker, milliseconds] : pauses)
        script.replace(script.find(marker), std::string_view(marker).size(), std::to_string(milliseconds));
    return script;
}

}  // namespace

const std::string& gamePageScript() {
    static const std::string script = withPauses(kScript);
    return script;
}

const std::string& gamePageHtml() {
    static const std::string html = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                                    "<title>Sample game</title>\n<script>" +
                                    gamePageScript() + "</script>\n</head>\n<body></body>\n</html>\n";
    return html;
}

}  // namespace sandbox
