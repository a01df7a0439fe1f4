#pragma once
// The plain form transport's reply rule shared by the channel's JSON clients:
// the operator's server labels its JSON "text/html", so that type is
// accepted beside the JSON ones. And the life of a screen's own transport.

#include "net/SDPHTTPSessionManager.h"

namespace TVFormManager {

// Gives `manager` a JSON response serializer that also accepts "text/html".
void acceptHTML(SDPHTTPSessionManager& manager);
// A new manager without a base address, accepting "text/html".
ns::Ref<SDPHTTPSessionManager> make();

// A screen's own transport, made on first use and let go with the screen.
// A session holds its manager (its delegate) until it is invalidated, so
// the owner invalidates it on the way out; requests in flight still finish,
// and their callbacks find the screen gone.
class Owned {
public:
    using Maker = ns::Ref<SDPHTTPSessionManager> (*)();
    explicit Owned(Maker maker = make) : maker_(maker) {}
    ~Owned();
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    const ns::Ref<SDPHTTPSessionManager>& get();

private:
    Maker maker_;
    ns::Ref<SDPHTTPSessionManager> manager_;
};

}  // namespace TVFormManager
