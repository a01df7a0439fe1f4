#pragma once
// The one paged list behind every list of the user centre: its table's
// pull-to-refresh header and auto-loading footer, the page counters, the
// rows, and the form requests that fill them ("gid", the page's own keys,
// "pagecode"). A page owns its list and forwards loadNewData, loadMoreData
// and checkFooterState to it.
//
// A refresh replaces the rows; a load-more asks for the next page and
// appends. The footer stays hidden until the first successful refresh, then
// is idle or shows no-more-data once the last page is in. A failed load-more
// puts the page counter back (unless another reply changed it meanwhile), so
// the next load-more asks for the same page again. Failures show nothing.
//
// Main queue only. Request callbacks hold the list weakly: a reply after
// its page has gone changes nothing.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "channel/TVFormManager.h"
#include "channel/usercenter/TVSuRow.h"
#include "net/SDPHTTPSessionManager.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/TableView.h"

class TVSuPagedList : public ns::Object {
    RT_DECLARE_CLASS(TVSuPagedList)
public:
    using Rows = std::vector<ns::Ref<TVSuRow>>;
    using ExtraKeys = std::function<void(ns::MutableDictionary& body)>;

    struct Setup {
        std::string path;             // below the API base, e.g. "Server/lists"
        ExtraKeys extraKeys;          // the page's own keys, besides "gid" and "pagecode"
        TVSuRow::Maker maker;         // the page's row model
        std::string noMoreDataTitle;  // the footer's text once the list is complete
    };

    static ns::Ref<TVSuPagedList> make(Setup setup);

    // Installs the header (state label shown, alpha following the pull) and
    // the hidden footer (loading as soon as it shows) on `table`.
    void attach(const ns::Ref<ui::TableView>& table);
    // The first load as a pull-to-refresh: the header begins refreshing (in
    // no window yet, it waits for the table's first draw).
    void beginRefreshing();

    void loadNewData();
    void loadMoreData();
    void checkFooterState();

    void setPath(std::string path) { setup_.path = std::move(path); }
    const std::string& path() const { return setup_.path; }
    const Rows& dataSource() const { return dataSource_; }
    uint64_t currentPage() const { return currentPage_; }
    uint64_t totalPage() const { return totalPage_; }
    ns::Ref<ui::TableView> tableView() const { return table_.lock(); }
    // Made on first use: no base address, "text/html" accepted; its session
    // is invalidated when the list goes.
    const ns::Ref<SDPHTTPSessionManager>& manager();

    // The body of a request for `page`.
    ns::Ref<ns::MutableDictionary> body(uint64_t page) const;

private:
    void post(uint64_t page, std::function<void(const ns::Id& reply)> success, std::function<void()> failure);
    void takeCounters(const ns::Id& reply);

    Setup setup_;
    ns::Weak<ui::TableView> table_;  // the page's view holds it
    TVFormManager::Owned manager_;
    Rows dataSource_;
    uint64_t currentPage_ = 0;
    uint64_t totalPage_ = 0;
    // Bumped by every reply that sets the counters: a failed load-more puts
    // the counter back only when none came in since it asked.
    uint64_t counterGeneration_ = 0;
};
