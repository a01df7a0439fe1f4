#pragma once
// The app's home folder (its sandbox): `$GAMEHOST_HOME` when set, else
// ~/.local/share/gamehost. Read afresh on every call, so a test that points
// the variable at its own folder is seen at once.

#include <string>

namespace ns {

// The home folder's path, without a trailing "/". The folder is created
// (owner-only) when missing, as the app's sandbox always exists.
std::string homeDirectory();

// "<home>/tmp/", created when missing: the app's temporary folder, with the
// trailing "/" the platform gives it.
std::string temporaryDirectory();

// "<home>/Library/Caches", created when missing: the first entry of the
// user domain's caches-directory search, without a trailing "/".
std::string cachesDirectory();

}  // namespace ns
