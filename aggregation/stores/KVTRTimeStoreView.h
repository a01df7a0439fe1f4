#pragma once
// The time-limited store page of the store hall: the bundles the game
// server offers the role, as gift rows, with the offer's title and notice
// and a countdown to the next refresh. The page fetches the goods when the
// role is set, after every paid order and whenever its refresh countdown
// ends; the refresh period comes from the menu, fetched again each cycle.
//
// KVTRTimeStoreView is the landscape page, KVTRVerticalTimeStoreView the
// portrait one; their lists are KVTRGiftViewController and
// KVTRVerticalGiftViewController.

#include <cstdint>

#include "aggregation/stores/KVTRGiftModels.h"
#include "platform/foundation/MutableArray.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewController.h"
#include "platform/uikit/View.h"

class KVTRGiftViewController : public ui::TableViewController,
                               public ui::TableViewDataSource,
                               public ui::TableViewDelegate {
    RT_DECLARE_CLASS(KVTRGiftViewController)
public:
    KVTRGiftViewController() : KVTRGiftViewController(false) {}

    // Handed to every row before its record.
    ns::Ref<ns::String> userInfo;
    const ns::Ref<ns::Array>& giftArray() const { return giftArray_; }
    // Replaces the records and posts a reload to the main queue.
    void setGiftArray(const ns::Ref<ns::Array>& goods);
    const ns::Ref<ns::MutableArray>& giftModelArray();

    void viewDidLoad() override;
    int64_t numberOfSectionsInTableView(ui::TableView& view) override;
    int64_t numberOfRowsInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    std::optional<double> heightForHeaderInSection(ui::TableView& view, int64_t section) override;
    std::optional<double> heightForFooterInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::View> viewForHeaderInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::View> viewForFooterInSection(ui::TableView& view, int64_t section) override;

protected:
    explicit KVTRGiftViewController(bool portrait) : portrait_(portrait) {}

private:
    bool portrait_;
    ns::Ref<ns::Array> giftArray_;
    ns::Ref<ns::MutableArray> models_;
};

class KVTRVerticalGiftViewController : public KVTRGiftViewController {
    RT_DECLARE_CLASS(KVTRVerticalGiftViewController)
public:
    KVTRVerticalGiftViewController() : KVTRGiftViewController(true) {}
};

class KVTRTimeStoreView : public ui::View {
    RT_DECLARE_CLASS(KVTRTimeStoreView)
public:
    KVTRTimeStoreView() : KVTRTimeStoreView(false) {}
    ~KVTRTimeStoreView() override;

    const ns::Ref<ns::String>& roleid() const { return roleid_; }
    // Stores the role and fetches the goods.
    void setRoleid(const ns::Ref<ns::String>& roleid);
    const ns::Ref<ns::String>& userInfo() const { return userInfo_; }
    void setUserInfo(const ns::Ref<ns::String>& userInfo);

    const ns::Ref<KVTRGiftViewController>& giftVC();
    ns::Ref<ui::Label> giftNameLabel;
    ns::Ref<ui::Label> limitlabel;
    ns::Ref<ui::Label> countLabel;

    void getTimeStoreData();
    void refreshData();
    void layoutSubviews() override;

protected:
    explicit KVTRTimeStoreView(bool portrait);

private:
    enum class Refresh { Idle, WaitingForMenu, CountingDown };
    void menuArrived(const ns::Id& reply);

    bool portrait_;
    ns::Ref<ns::String> roleid_;
    ns::Ref<ns::String> userInfo_;
    ns::Ref<KVTRGiftViewController> giftVC_;
    Refresh refresh_ = Refresh::Idle;
    // The first countdown of a cycle takes the period as it comes; later
    // ones last at least MinimumRefreshSeconds.
    bool firstCountdown_ = true;
};

class KVTRVerticalTimeStoreView : public KVTRTimeStoreView {
    RT_DECLARE_CLASS(KVTRVerticalTimeStoreView)
public:
    KVTRVerticalTimeStoreView() : KVTRTimeStoreView(true) {}
};
