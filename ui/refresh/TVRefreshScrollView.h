#pragma once
// One header and one footer installed on a scroll view (as its subviews,
// behind the content), the reload-data closure, and the total data count of
// tables and collections.

#include <functional>

#include "platform/uikit/CollectionView.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/TableView.h"

class TVRefreshHeader;
class TVRefreshFooter;

using TVReloadDataBlock = std::function<void(int64_t totalDataCount)>;

ns::Ref<TVRefreshHeader> TV_header(const ui::ScrollView& scrollView);
// Nothing for the installed header; otherwise the installed one leaves and
// the new one (nil: none) goes in at index 0, announced for "TV_header".
void setTV_header(ui::ScrollView& scrollView, const ns::Ref<TVRefreshHeader>& header);
ns::Ref<TVRefreshFooter> TV_footer(const ui::ScrollView& scrollView);
void setTV_footer(ui::ScrollView& scrollView, const ns::Ref<TVRefreshFooter>& footer);

// Older names of the four above.
ns::Ref<TVRefreshHeader> header(const ui::ScrollView& scrollView);
void setHeader(ui::ScrollView& scrollView, const ns::Ref<TVRefreshHeader>& header);
ns::Ref<TVRefreshFooter> footer(const ui::ScrollView& scrollView);
void setFooter(ui::ScrollView& scrollView, const ns::Ref<TVRefreshFooter>& footer);

TVReloadDataBlock TV_reloadDataBlock(const ui::ScrollView& scrollView);
void setTV_reloadDataBlock(ui::ScrollView& scrollView, TVReloadDataBlock block);
// Rows of a table or items of a collection over all sections; 0 otherwise.
int64_t TV_totalDataCount(ui::ScrollView& scrollView);
// Runs the stored reload-data closure with the total data count.
void executeReloadDataBlock(ui::ScrollView& scrollView);
// The view's reloadData, then executeReloadDataBlock. A plain reloadData
// runs no closure: nothing is exchanged into it.
void TV_reloadData(ui::TableView& tableView);
void TV_reloadData(ui::CollectionView& collectionView);
