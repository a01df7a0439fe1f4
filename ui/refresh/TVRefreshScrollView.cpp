#include "ui/refresh/TVRefreshScrollView.h"

#include "ui/refresh/TVRefreshFooter.h"
#include "ui/refresh/TVRefreshHeader.h"

namespace {

// Association keys: the addresses of these.
const char HeaderKey = 0;
const char FooterKey = 0;
const char ReloadDataBlockKey = 0;

// Controls are held weakly: the view hierarchy owns them.
template <class T>
ns::Ref<T> associatedControl(const ui::ScrollView& scrollView, const void* key) {
    auto value = scrollView.associated(key);
    if (auto weak = std::any_cast<ns::Weak<T>>(&value)) return weak->lock();
    return nullptr;
}

template <class T>
void installControl(ui::ScrollView& scrollView, const ns::Ref<T>& control, const void* key, std::string_view name) {
    auto installed = associatedControl<T>(scrollView, key);
    if (control == installed) return;
    if (installed) installed->removeFromSuperview();
    if (control) scrollView.insertSubview(control, 0);
    ns::willChangeValueForKey(scrollView, name);
    scrollView.setAssociated(key, control ? std::any(ns::Weak<T>(control)) : std::any());
    ns::didChangeValueForKey(scrollView, name);
}

}  // namespace

ns::Ref<TVRefreshHeader> TV_header(const ui::ScrollView& scrollView) {
    return associatedControl<TVRefreshHeader>(scrollView, &HeaderKey);
}

void setTV_header(ui::ScrollView& scrollView, const ns::Ref<TVRefreshHeader>& header) {
    installControl(scrollView, header, &HeaderKey, "TV_header");
}

ns::Ref<TVRefreshFooter> TV_footer(const ui::ScrollView& scrollView) {
    return associatedControl<TVRefreshFooter>(scrollView, &FooterKey);
}

void setTV_footer(ui::ScrollView& scrollView, const ns::Ref<TVRefreshFooter>& footer) {
    installControl(scrollView, footer, &FooterKey, "TV_footer");
}

ns::Ref<TVRefreshHeader> header(const ui::ScrollView& scrollView) { return TV_header(scrollView); }

void setHeader(ui::ScrollView& scrollView, const ns::Ref<TVRefreshHeader>& header) { setTV_header(scrollView, header); }

ns::Ref<TVRefreshFooter> footer(const ui::ScrollView& scrollView) { return TV_footer(scrollView); }

void setFooter(ui::ScrollView& scrollView, const ns::Ref<TVRefreshFooter>& footer) { setTV_footer(scrollView, footer); }

TVReloadDataBlock TV_reloadDataBlock(const ui::ScrollView& scrollView) {
    auto value = scrollView.associated(&ReloadDataBlockKey);
    if (auto block = std::any_cast<TVReloadDataBlock>(&value)) return *block;
    return {};
}

void setTV_reloadDataBlock(ui::ScrollView& scrollView, TVReloadDataBlock block) {
    ns::willChangeValueForKey(scrollView, "TV_reloadDataBlock");
    scrollView.setAssociated(&ReloadDataBlockKey, block ? std::any(std::move(block)) : std::any());
    ns::didChangeValueForKey(scrollView, "TV_reloadDataBlock");
}

int64_t TV_totalDataCount(ui::ScrollView& scrollView) {
    int64_t total = 0;
    if (auto* table = dynamic_cast<ui::TableView*>(&scrollView)) {
        for (int64_t section = 0; section < table->numberOfSections(); ++section)
            total += table->numberOfRowsInSection(section);
    } else if (auto* collection = dynamic_cast<ui::CollectionView*>(&scrollView)) {
        for (int64_t section = 0; section < collection->numberOfSections(); ++section)
            total += collection->numberOfItemsInSection(section);
    }
    return total;
}

void executeReloadDataBlock(ui::ScrollView& scrollView) {
    if (auto block = TV_reloadDataBlock(scrollView)) block(TV_totalDataCount(scrollView));
}

void TV_reloadData(ui::TableView& tableView) {
    tableView.reloadData();
    executeReloadDataBlock(tableView);
}

void TV_reloadData(ui::CollectionView& collectionView) {
    collectionView.reloadData();
    executeReloadDataBlock(collectionView);
}
