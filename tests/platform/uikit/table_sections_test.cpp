#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewHeaderFooterView.h"
#include "ui_test_support.h"

namespace {

class Sections : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    std::optional<double> footerHeight;

    int64_t numberOfSectionsInTableView(ui::TableView&) override { return 2; }
    int64_t numberOfRowsInSection(ui::TableView&, int64_t section) override { return section == 0 ? 2 : 1; }
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath&) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Plain");
        return cell ? cell : ui::TableViewCell::make(ui::TableViewCellStyle::Default, "Plain");
    }
    ns::Ref<ns::String> titleForHeaderInSection(ui::TableView&, int64_t section) override {
        return section == 0 ? ns::String::make("Recent") : nullptr;
    }
    std::optional<double> heightForFooterInSection(ui::TableView&, int64_t) override { return footerHeight; }
};

using TableSectionsTest = UIKitTest;

TEST_F(TableSectionsTest, HeadersTakeTheModelsHeightsAndShowTheirTitles) {
    auto source = std::make_shared<Sections>();
    auto plain = ui::TableView::make({0, 0, 320, 400});
    plain->setDataSource(source);
    plain->setDelegate(source);
    // Plain: 28 for the titled header, nothing for the rest.
    EXPECT_TRUE(near(plain->rectForHeaderInSection(0), {0, 0, 320, 28}));
    EXPECT_TRUE(near(plain->rectForRowAtIndexPath(ui::IndexPath::forRow(0, 1)), {0, 28 + 88, 320, 44}));
    EXPECT_DOUBLE_EQ(plain->contentSize().height, 28 + 3 * 44);
    auto header = ns::cast<ui::TableViewHeaderFooterView>(plain->headerViewForSection(0));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->textLabel()->text()->utf8(), "Recent");
    EXPECT_EQ(plain->headerViewForSection(1), nullptr);

    // Grouped: 38 with a title, 18 without, unless the delegate says.
    auto grouped = ui::TableView::make({0, 0, 320, 400}, ui::TableViewStyle::Grouped);
    source->footerHeight = 0.1;
    grouped->setDataSource(source);
    grouped->setDelegate(source);
    EXPECT_DOUBLE_EQ(grouped->contentSize().height, 0);
    grouped->reloadData();
    EXPECT_DOUBLE_EQ(grouped->rectForSection(0).height(), 38 + 88 + 0.1);
    EXPECT_DOUBLE_EQ(grouped->rectForHeaderInSection(1).height(), 18);
}

TEST_F(TableSectionsTest, CellStylesPlaceTheirLabelsByTheLayoutModel) {
    auto subtitle = ui::TableViewCell::make(ui::TableViewCellStyle::Subtitle, "S");
    subtitle->setFrame({0, 0, 320, 60});
    auto bitmap = cg::Image::make(cg::Bitmap(20, 20, cg::PixelFormat::ARGB32Premultiplied));
    subtitle->imageView()->setImage(ui::Image::imageWithCGImage(bitmap, 1));
    subtitle->textLabel()->setText("Name");
    subtitle->detailTextLabel()->setText("detail");
    subtitle->layoutIfNeeded();
    EXPECT_TRUE(near(subtitle->imageView()->frame(), {16, 20, 20, 20}));
    EXPECT_TRUE(near(subtitle->textLabel()->frame(), {52, 12, 252, 21}));
    EXPECT_TRUE(near(subtitle->detailTextLabel()->frame(), {52, 33, 252, 15}));

    auto value = ui::TableViewCell::make(ui::TableViewCellStyle::Value1, "V");
    value->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
    value->textLabel()->setText("Name");
    value->detailTextLabel()->setText("Value");
    value->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(value->contentView()->frame().width(), 320 - ui::TableViewCell::AccessoryTypeWidth);
    EXPECT_TRUE(near(value->textLabel()->frame(), {16, 0, 34, 44}));
    EXPECT_TRUE(near(value->detailTextLabel()->frame(), {280 - 16 - 42.5, 0, 42.5, 44}));

    auto plain = ui::TableViewCell::make(ui::TableViewCellStyle::Default, "D");
    EXPECT_EQ(plain->detailTextLabel(), nullptr);
    plain->setSelected(true);
    plain->prepareForReuse();
    EXPECT_FALSE(plain->isSelected());
}

}  // namespace
