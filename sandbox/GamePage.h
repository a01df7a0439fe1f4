#pragma once
// The sample game page: it walks the app through the whole road of a player
// (login, role report, a payment and a second one after the first result,
// the two stores, each left once a purchase in it is reported, logout), one
// message per callback, and logs every step to the console as "page: ...".
//
// The script is ECMAScript 5.1 and touches no DOM beyond document.title,
// readyState and addEventListener, so it runs in the app's web view.

#include <string>

namespace sandbox {

// Milliseconds between the role report's answer and the first order (the
// player looks around: the user centre, the first gifts).
inline constexpr int kLookAroundMilliseconds = 8000;
// Once a store is open ("openStore", then "openResourseStore"), the page
// goes on (the next store, then "logout") this long after a purchase in it
// is reported, so its screens settle first (the app debounces store
// openings, and the logout resets the role) ...
inline constexpr int kStoreSettleMilliseconds = 1500;
// ... or this long after the store opened when no purchase is reported.
inline constexpr int kStoreCeilingMilliseconds = 20000;

// The page's script alone.
const std::string& gamePageScript();
// The whole page, with the script inline.
const std::string& gamePageHtml();

}  // namespace sandbox
