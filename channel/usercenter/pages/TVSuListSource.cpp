#include "channel/usercenter/pages/TVSuListSource.h"

#include "channel/screens/TVScreenResources.h"
#include "platform/uikit/Nib.h"

int64_t TVSuListSource::numberOfRowsInSection(ui::TableView&, int64_t) {
    return static_cast<int64_t>(list_->dataSource().size());
}

void TVSuListSource::setUpList(TVSuPagedList::Setup setup, const ns::Ref<ui::TableView>& table,
                               const std::vector<std::string>& cells, const std::shared_ptr<TVSuListSource>& self) {
    list_ = TVSuPagedList::make(std::move(setup));
    table->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    for (const auto& cell : cells) table->registerNib(ui::Nib::nibWithName(cell, TVScreenResources::sdkBundle()), cell);
    table->setDataSource(self);
    table->setDelegate(self);
    list_->attach(table);
}

ns::Ref<TVSuRow> TVSuListSource::rowAt(int64_t row) const {
    const auto& rows = list_->dataSource();
    return row >= 0 && static_cast<size_t>(row) < rows.size() ? rows[static_cast<size_t>(row)] : nullptr;
}
