#pragma once
// The operator's companion app: its deep links open the app when it is
// installed, and its download page (with the channel id) otherwise.

#include <string_view>

namespace TVCompanionApp {

// Opens "zuroBox://" followed by `key`, or the box page "...?ag=<channel id>".
void open(std::string_view key);

}  // namespace TVCompanionApp
