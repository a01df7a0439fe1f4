#pragma once
// The resource hall's tests share the stores' world (mock time, the sandbox
// game server, a main bundle with the app's pictures, a key window on a
// chosen screen) and add what the hall's views are looked up by.

#include "platform/foundation/Text.h"
#include "platform/uikit/Image.h"
#include "tests/aggregation/stores/stores_test_support.h"

namespace welfaretest {

using storestest::text;

inline std::string str(const ns::Id& value) { return ns::textOf(value); }

// The dictionary of a JSON literal (tests' own replies).
ns::Ref<ns::Dictionary> json(std::string_view literal);

// Whether the picture shows the bundle's picture of that name, pixel for
// pixel.
bool isPicture(const ns::Ref<ui::Image>& image, std::string_view name);

// The goods reply with `count` cards, the first not bought.
std::string goodsReply(int count);

class WelfareTest : public storestest::StoresTest {
protected:
    WelfareTest() {
        ns::NotificationCenter::defaultCenter()->addObserver(
            this, "KVTRResourcePAYNotification", nullptr,
            [this](const ns::Ref<ns::Notification>& n) { resourcePayments.push_back(n->object()); });
    }
    ~WelfareTest() override { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

    // Requests to the game server whose path is `path`.
    size_t countOf(const std::string& path) const { return requestsTo(path).size(); }

    std::vector<ns::Id> resourcePayments;
};

}  // namespace welfaretest
