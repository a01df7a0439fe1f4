#pragma once
// The plain form transport's reply rule shared by the channel's JSON clients:
// the operator's server labels its JSON "text/html", so that type is
// accepted beside the JSON ones.

#include "net/SDPHTTPSessionManager.h"

namespace TVFormManager {

// Gives `manager` a JSON response serializer that also accepts "text/html".
void acceptHTML(SDPHTTPSessionManager& manager);
// A new manager without a base address, accepting "text/html".
ns::Ref<SDPHTTPSessionManager> make();

}  // namespace TVFormManager
