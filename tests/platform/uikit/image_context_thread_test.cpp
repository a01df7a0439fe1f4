// Image contexts are per thread, so work on a queue can draw while the main
// thread has its own context open; layers keep a contents rectangle; the
// process reports its memory, settable for tests.

#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/ProcessInfo.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Layer.h"

namespace {

TEST(ImageContextThreadTest, EachThreadHasItsOwnStack) {
    ui::graphicsBeginImageContext({4, 4}, false, 1);
    ASSERT_NE(ui::graphicsGetCurrentContext(), nullptr);
    ui::graphicsGetCurrentContext()->setFillColor(cg::Color(1, 0, 0, 1));
    ui::graphicsGetCurrentContext()->fillRect({0, 0, 4, 4});

    bool emptyElsewhere = false;
    ns::Ref<ui::Image> drawnElsewhere;
    std::thread other([&] {
        emptyElsewhere = ui::graphicsGetCurrentContext() == nullptr && !ui::graphicsGetImageFromCurrentImageContext();
        ui::graphicsBeginImageContext({2, 2}, false, 1);
        ui::graphicsGetCurrentContext()->setFillColor(cg::Color(0, 0, 1, 1));
        ui::graphicsGetCurrentContext()->fillRect({0, 0, 2, 2});
        drawnElsewhere = ui::graphicsGetImageFromCurrentImageContext();
        ui::graphicsEndImageContext();
    });
    other.join();

    auto mine = ui::graphicsGetImageFromCurrentImageContext();
    ui::graphicsEndImageContext();
    EXPECT_TRUE(emptyElsewhere);
    ASSERT_TRUE(drawnElsewhere);
    ASSERT_TRUE(mine);
    EXPECT_EQ(drawnElsewhere->cgImage()->width(), 2);
    EXPECT_EQ(drawnElsewhere->cgImage()->bitmap().pixel(0, 0), (cg::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(mine->cgImage()->width(), 4);
    EXPECT_EQ(mine->cgImage()->bitmap().pixel(3, 3), (cg::Pixel{255, 255, 0, 0}));
    EXPECT_EQ(ui::graphicsGetCurrentContext(), nullptr);
}

TEST(ImageContextThreadTest, LayerContentsRectDefaultsToTheWhole) {
    auto layer = ui::Layer::make();
    EXPECT_EQ(layer->contentsRect(), (cg::Rect{0, 0, 1, 1}));
    layer->setContentsRect({0.5, 0.5, 0.5, 0.5});
    EXPECT_EQ(layer->contentsRect(), (cg::Rect{0.5, 0.5, 0.5, 0.5}));
}

TEST(ImageContextThreadTest, ProcessMemoryFiguresAreSettable) {
    EXPECT_GT(ns::ProcessInfo::physicalMemory(), 0u);
    ns::ProcessInfo::setPhysicalMemoryForTesting(2'000'000'000);
    ns::ProcessInfo::setFreeMemoryForTesting(-1);
    EXPECT_EQ(ns::ProcessInfo::physicalMemory(), 2'000'000'000u);
    EXPECT_EQ(ns::ProcessInfo::freeMemory(), -1);
    ns::ProcessInfo::setPhysicalMemoryForTesting(ns::ProcessInfo::UnsetForTesting);
    ns::ProcessInfo::setFreeMemoryForTesting(ns::ProcessInfo::UnsetForTesting);
    EXPECT_NE(ns::ProcessInfo::physicalMemory(), 2'000'000'000u);
}

}  // namespace
