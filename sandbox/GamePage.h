#pragma once
// The sample game page: it walks the app through the whole road of a player
// (login, role report, a payment and a second one after the first result,
// the two stores, logout), one message per
// callback, and logs every step to the console as "page: ...".
//
// The script is ECMAScript 5.1 and touches no DOM beyond document.title,
// readyState and addEventListener, so it runs in the app's web view.

#include <string>

namespace sandbox {

// Milliseconds between the page's "openStore", "openResourseStore" and
// "logout" posts, so each store opening (debounced by the app) runs before
// the logout resets the role, and a player has time for a purchase in the
// store and two draws and a purchase in the resource hall.
inline constexpr int kStorePauseMilliseconds = 8000;

// The page's script alone.
const std::string& gamePageScript();
// The whole page, with the script inline.
const std::string& gamePageHtml();

}  // namespace sandbox
