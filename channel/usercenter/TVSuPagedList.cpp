#include "channel/usercenter/TVSuPagedList.h"

#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVFormManager.h"
#include "channel/TVReplyFields.h"
#include "channel/usercenter/TVSuReply.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "ui/refresh/TVRefreshAutoNormalFooter.h"
#include "ui/refresh/TVRefreshNormalHeader.h"
#include "ui/refresh/TVRefreshScrollView.h"

RT_DEFINE_CLASS(TVSuPagedList, ns::Object, "TVSuPagedList")

ns::Ref<TVSuPagedList> TVSuPagedList::make(Setup setup) {
    auto list = std::make_shared<TVSuPagedList>();
    list->setup_ = std::move(setup);
    return list;
}

const ns::Ref<SDPHTTPSessionManager>& TVSuPagedList::manager() { return manager_.get(); }

void TVSuPagedList::attach(const ns::Ref<ui::TableView>& table) {
    table_ = table;
    ns::Weak<TVSuPagedList> weak = ref<TVSuPagedList>();
    auto header = TVRefreshNormalHeader::headerWithRefreshingBlock<TVRefreshNormalHeader>([weak] {
        if (auto list = weak.lock()) list->loadNewData();
    });
    header->stateLabel()->setHidden(false);
    header->setAutomaticallyChangeAlpha(true);
    setTV_header(*table, header);

    auto footer = TVRefreshAutoNormalFooter::footerWithRefreshingBlock<TVRefreshAutoNormalFooter>([weak] {
        if (auto list = weak.lock()) list->loadMoreData();
    });
    footer->setTriggerAutomaticallyRefreshPercent(0.0);
    footer->setHidden(true);
    setTV_footer(*table, footer);
    footer->setTitle(ns::str(setup_.noMoreDataTitle), TVRefreshState::NoMoreData);
}

void TVSuPagedList::beginRefreshing() {
    if (auto table = table_.lock())
        if (auto header = TV_header(*table)) header->beginRefreshing();
}

ns::Ref<ns::MutableDictionary> TVSuPagedList::body(uint64_t page) const {
    auto body = ns::MutableDictionary::make();
    if (auto gid = ShareVale::sharedInstance()->gameID()) body->setObjectForKey(gid, "gid");
    if (setup_.extraKeys) setup_.extraKeys(*body);
    body->setObjectForKey(ns::str(std::to_string(page)), "pagecode");
    return body;
}

void TVSuPagedList::post(uint64_t page, std::function<void(const ns::Id& reply)> success,
                         std::function<void()> failure) {
    manager()->POST(
        TVAPIStrings::endpoint(setup_.path), body(page), nullptr,
        [success](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id& reply) { success(reply); },
        [failure](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>&) { failure(); });
}

void TVSuPagedList::takeCounters(const ns::Id& reply) {
    totalPage_ = TVSuReply::counter(reply, "total_page");
    currentPage_ = TVSuReply::counter(reply, "now_page");
    ++counterGeneration_;
}

void TVSuPagedList::loadNewData() {
    ns::Weak<TVSuPagedList> weak = ref<TVSuPagedList>();
    post(
        1,
        [weak](const ns::Id& reply) {
            auto list = weak.lock();
            if (!list) return;
            list->takeCounters(reply);
            list->dataSource_ = TVSuRow::rowsOf(TVReply::field(reply, "lists"), list->setup_.maker);
            auto table = list->table_.lock();
            if (!table) return;
            if (auto header = TV_header(*table)) header->endRefreshing();
            if (auto footer = TV_footer(*table)) footer->setHidden(false);
            table->reloadData();
            list->checkFooterState();
        },
        [weak] {
            auto list = weak.lock();
            auto table = list ? list->table_.lock() : nullptr;
            if (auto header = table ? TV_header(*table) : nullptr) header->endRefreshing();
        });
}

void TVSuPagedList::loadMoreData() {
    uint64_t before = currentPage_;
    ++currentPage_;
    uint64_t generation = counterGeneration_;
    ns::Weak<TVSuPagedList> weak = ref<TVSuPagedList>();
    post(
        currentPage_,
        [weak](const ns::Id& reply) {
            auto list = weak.lock();
            if (!list) return;
            list->takeCounters(reply);
            for (auto& row : TVSuRow::rowsOf(TVReply::field(reply, "lists"), list->setup_.maker))
                list->dataSource_.push_back(row);
            if (auto table = list->table_.lock()) table->reloadData();
            list->checkFooterState();
        },
        [weak, before, generation] {
            auto list = weak.lock();
            if (!list) return;
            if (list->counterGeneration_ == generation) list->currentPage_ = before;
            auto table = list->table_.lock();
            if (auto footer = table ? TV_footer(*table) : nullptr) footer->endRefreshing();
        });
}

void TVSuPagedList::checkFooterState() {
    auto table = table_.lock();
    auto footer = table ? TV_footer(*table) : nullptr;
    if (!footer) return;
    if (currentPage_ >= totalPage_) footer->endRefreshingWithNoMoreData();
    else footer->endRefreshing();
}
