#pragma once
// Links into the operator's companion app: its scheme followed by a deep-link
// key. When the app is not installed the player lands on its download page
// instead, tagged with the channel id ("<download page>?ag=<chanelid>").

#include <string_view>

namespace TVBoxLinks {

// Opens scheme + key (the key may carry a game id) or the download page. A
// link or page that does not form an address opens nothing.
void open(std::string_view key);

}  // namespace TVBoxLinks
