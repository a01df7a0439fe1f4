#include "sandbox/GamePage.h"

namespace sandbox {

namespace {

// Kept free of "</" so it can sit inside a script element.
constexpr const char* kScript = R"JS(
var pageRoadStarted = false;
var pagePays = 0;
var pageStoresOpened = false;
var pageStorePause = @STORE_PAUSE@;

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

function pageLater(step) {
    if (typeof setTimeout === "function") {
        setTimeout(step, pageStorePause);
    } else {
        step();
    }
}

function openStoresThenLogout() {
    postToApp("openStore");
    pageLater(function () {
        postToApp("openResourseStore");
        pageLater(function () {
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
        pageLater(function () { postToApp("pay", pageOrder()); });
    } else if (action === "payNotify") {
        pagePays += 1;
        if (pagePays < 2) {
            postToApp("pay", pageOrder());
        } else if (!pageStoresOpened) {
            // Purchases in the stores are paid too; the stores open once.
            pageStoresOpened = true;
            openStoresThenLogout();
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
    pageLater(startRoad);
}
)JS";

std::string withPause(std::string script) {
    const std::string marker = "@STORE_PAUSE@";
    script.replace(script.find(marker), marker.size(), std::to_string(kStorePauseMilliseconds));
    return script;
}

}  // namespace

const std::string& gamePageScript() {
    static const std::string script = withPause(kScript);
    return script;
}

const std::string& gamePageHtml() {
    static const std::string html = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                                    "<title>Sample game</title>\n<script>" +
                                    gamePageScript() + "</script>\n</head>\n<body></body>\n</html>\n";
    return html;
}

}  // namespace sandbox
