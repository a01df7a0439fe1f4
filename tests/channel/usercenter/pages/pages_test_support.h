#pragma once
// The pages' world: the centre opened from the ball with every page of the
// app, the SDK bundle copied in, and the steps a player takes in it.

#include <filesystem>
#include <functional>
#include <string>

#include "channel/usercenter/TVSuspendVC.h"
#include "platform/uikit/TableView.h"
#include "tests/channel/usercenter/usercentre_test_support.h"

namespace pages_test {

class PagesTest : public usercentre_test::CentreTest {
protected:
    PagesTest() {
        std::filesystem::copy(std::string(GAMEHOST_SOURCE_RESOURCES) + "/DOVUZ.bundle",
                              folder + "/resources/DOVUZ.bundle", std::filesystem::copy_options::recursive);
        ::setenv("GAMEHOST_CHANNEL_CHAT_URL",
                 (server.http().origin() + "/robot/h5chat.html?sysNum=t1&receiveId=&sourceId=1").c_str(), 1);
    }
    ~PagesTest() override { ::unsetenv("GAMEHOST_CHANNEL_CHAT_URL"); }

    // The centre on `phone`, on the tab `tag`, its lists loaded.
    ns::Ref<TVSuspendVC> openOn(Phone phone, int64_t tag) {
        use(phone);
        centre = open();
        EXPECT_TRUE(centre);
        if (!centre) return nullptr;
        if (tag != TVSuspendVC::kFirstTab) tapTab(*centre, tag);
        settle();
        return centre;
    }
    template <class T>
    ns::Ref<T> page(int64_t tag) {
        return centre ? ns::cast<T>(centre->childViewControllers().at(static_cast<size_t>(tag - 10))) : nullptr;
    }
    void settle() { env.fastForwardBy(1.0); }
    // Steps of a tenth of a second until `done`, for at most five seconds of mock time.
    bool settle(const std::function<bool()>& done) {
        for (int step = 0; step < 50; ++step) {
            if (done()) return true;
            env.fastForwardBy(0.1);
        }
        return done();
    }
    // The cells the table shows, from the first row.
    std::vector<ns::Ref<ui::TableViewCell>> cells(ui::TableView& table) {
        table.layoutIfNeeded();
        return table.visibleCells();
    }

    ns::Ref<TVSuspendVC> centre;
};

}  // namespace pages_test
