#pragma once
// The browser surface as script: a function (host, global) that builds
// window, document, location, console, timers, dialogs and
// webkit.messageHandlers on `global` over the host's native functions, and
// returns the hooks the page drives it by (ready state, events, timers,
// handler names, title). Internal to the web views.

#include <string_view>

namespace web::detail {

std::string_view pageSurfaceSource();

}  // namespace web::detail
