// The animated image classes: lookup by name and scale, GIF data still and
// animated, durations, preloading, sprite sheets, frame lists, coding and
// the coder's rules for them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "animated_test_support.h"
#include "image/codec/TVFrameImage.h"
#include "image/codec/TVImage.h"
#include "image/codec/TVSpriteSheetImage.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/testing/ScreenScaleScope.h"

namespace {

class AnimatedImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "animated-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        const char* resources = std::getenv("GAMEHOST_RESOURCES");
        savedResources_ = resources ? std::optional<std::string>(resources) : std::nullopt;
        ::setenv("GAMEHOST_RESOURCES", folder_.c_str(), 1);
    }
    void TearDown() override {
        if (savedResources_) ::setenv("GAMEHOST_RESOURCES", savedResources_->c_str(), 1);
        else ::unsetenv("GAMEHOST_RESOURCES");
        std::filesystem::remove_all(folder_);
    }
    void setScreenScale(double scale) { screen_.setScale(scale); }
    std::string write(const std::string& name, const ns::Ref<ns::Data>& data) {
        std::string path = folder_ + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data->bytes()),
                                                    std::streamsize(data->length()));
        return path;
    }

    testing::ScreenScaleScope screen_{3};
    std::optional<std::string> savedResources_;
    std::string folder_;
};

TEST_F(AnimatedImageTest, NamedLookupTriesThePreferredScalesThenTheExtensions) {
    setScreenScale(2);
    EXPECT_EQ(TVPreferredImageScales(), (std::vector<double>{2, 3, 1}));
    write("icon.png", solidPng(2, 2));
    auto plain = TVImage::imageNamed("icon");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->scale(), 1);
    // @3x comes before the plain name on a 2x screen...
    write("icon@3x.jpg", solidPng(6, 6));  // PNG bytes whatever the name says
    auto three = TVImage::imageNamed("icon");
    ASSERT_TRUE(three);
    EXPECT_EQ(three->scale(), 3);
    EXPECT_EQ(three->size(), (cg::Size{2, 2}));
    // ...and @2x before both, in any of the extensions (a GIF here).
    write("icon@2x.gif", solidGif({10, 10}, 4, 4));
    auto two = TVImage::imageNamed("icon");
    ASSERT_TRUE(two);
    EXPECT_EQ(two->scale(), 2);
    EXPECT_EQ(two->animatedImageFrameCount(), 2u);
    // A named extension is the only one tried.
    ASSERT_TRUE(TVImage::imageNamed("icon.png"));
    EXPECT_EQ(TVImage::imageNamed("icon.png")->scale(), 1);

    EXPECT_FALSE(TVImage::imageNamed(""));
    EXPECT_FALSE(TVImage::imageNamed("icon/"));
    EXPECT_FALSE(TVImage::imageNamed("missing"));
    setScreenScale(1);
    EXPECT_EQ(TVPreferredImageScales(), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(TVImage::imageNamed("icon")->scale(), 1);
    setScreenScale(3);
    EXPECT_EQ(TVPreferredImageScales(), (std::vector<double>{3, 2, 1}));
}

TEST_F(AnimatedImageTest, ScaleFromThePath) {
    EXPECT_EQ(TVScaleFromImagePath("/a/b/photo@3x.png"), 3);
    EXPECT_EQ(TVScaleFromImagePath("/a/b/photo@1.5x.png"), 1.5);
    EXPECT_EQ(TVScaleFromImagePath("@2x.png"), 1);  // the match starts at 0
    EXPECT_EQ(TVScaleFromImagePath("/a/b/photo.png"), 1);
    EXPECT_EQ(TVScaleFromImagePath(""), 1);
    EXPECT_EQ(TVScaleFromImagePath("/a/b@2x/"), 1);
    auto image = TVImage::imageWithContentsOfFile(write("photo@3x.png", solidPng(9, 3)));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 3);
    EXPECT_EQ(image->size(), (cg::Size{3, 1}));
}

TEST_F(AnimatedImageTest, StillAndAnimatedGifData) {
    auto still = TVImage::imageWithData(solidGif({10}));
    ASSERT_TRUE(still);
    EXPECT_EQ(still->animatedImageType(), TVImageTypeGIF);
    EXPECT_EQ(still->animatedImageFrameCount(), 0u);
    EXPECT_FALSE(still->animatedImageData());
    EXPECT_EQ(still->animatedImageMemorySize(), 0u);
    EXPECT_FALSE(still->animatedImageFrameAtIndex(0));
    EXPECT_TRUE(TV_isDecodedForDisplay(still.get()));

    auto data = solidGif({10, 10, 10, 10, 10}, 4, 4, 3);
    auto animated = TVImage::imageWithData(data, 2);
    ASSERT_TRUE(animated);
    EXPECT_EQ(animated->animatedImageFrameCount(), 5u);
    EXPECT_EQ(animated->animatedImageLoopCount(), 3u);
    EXPECT_TRUE(animated->animatedImageData()->isEqual(data));
    EXPECT_EQ(animated->animatedImageBytesPerFrame(), 64u);
    EXPECT_EQ(animated->animatedImageMemorySize(), 320u);
    EXPECT_EQ(animated->scale(), 2);
    auto third = animated->animatedImageFrameAtIndex(2);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->cgImage()->bitmap().pixel(1, 1), (cg::Pixel{255, 0, 0, 255}));
    EXPECT_FALSE(animated->animatedImageFrameAtIndex(5));
    // The coder stores an animated image as its own data.
    EXPECT_TRUE(TV_imageDataRepresentation(animated)->isEqual(data));

    EXPECT_FALSE(TVImage::imageWithData(ns::Data::make()));
    EXPECT_FALSE(TVImage::imageWithData(ns::Data::withBytes("not a picture")));
    setScreenScale(3);
    EXPECT_EQ(TVImage::imageWithData(data, 0)->scale(), 3);
}

TEST_F(AnimatedImageTest, ShortDurationsPlayAsATenth) {
    auto image = TVImage::imageWithData(solidGif({0, 1, 2, 7}));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->animatedImageDurationAtIndex(0), double(0.1f));
    EXPECT_EQ(image->animatedImageDurationAtIndex(1), double(0.1f));
    EXPECT_NEAR(image->animatedImageDurationAtIndex(2), 0.02, 1e-9);
    EXPECT_NEAR(image->animatedImageDurationAtIndex(3), 0.07, 1e-9);
}

TEST_F(AnimatedImageTest, PreloadingDecodesOnceAndReleases) {
    auto image = TVImage::imageWithData(solidGif({10, 10, 10}));
    ASSERT_TRUE(image);
    // On demand every request decodes anew.
    EXPECT_NE(image->animatedImageFrameAtIndex(1), image->animatedImageFrameAtIndex(1));
    image->setPreloadAllAnimatedImageFrames(true);
    auto kept = image->animatedImageFrameAtIndex(1);
    ASSERT_TRUE(kept);
    EXPECT_EQ(image->animatedImageFrameAtIndex(1), kept);
    image->setPreloadAllAnimatedImageFrames(true);  // no second decode
    EXPECT_EQ(image->animatedImageFrameAtIndex(1), kept);
    image->setPreloadAllAnimatedImageFrames(false);
    EXPECT_FALSE(image->preloadAllAnimatedImageFrames());
    EXPECT_NE(image->animatedImageFrameAtIndex(1), kept);
}

TEST_F(AnimatedImageTest, SpriteSheets) {
    auto sheet = ui::Image::imageWithData(solidPng(200, 200), 2);  // 100 x 100 points
    auto sprite = TVSpriteSheetImage::withSpriteSheetImage(sheet, {{0, 0, 50, 50}, {50, 50, 100, 100}}, {0.1, 0.2}, 4);
    ASSERT_TRUE(sprite);
    EXPECT_EQ(sprite->animatedImageFrameCount(), 2u);
    EXPECT_EQ(sprite->animatedImageLoopCount(), 4u);
    EXPECT_EQ(sprite->animatedImageBytesPerFrame(), 0u);
    EXPECT_EQ(sprite->animatedImageFrameAtIndex(1), sprite);
    EXPECT_EQ(sprite->animatedImageDurationAtIndex(1), 0.2);
    EXPECT_EQ(sprite->animatedImageDurationAtIndex(2), 0);
    EXPECT_EQ(sprite->animatedImageContentsRectAtIndex(1), (cg::Rect{50, 50, 100, 100}));
    EXPECT_EQ(sprite->animatedImageContentsRectAtIndex(2), cg::Rect{});
    EXPECT_EQ(sprite->contentsRectForCALayerAtIndex(1), (cg::Rect{0.5, 0.5, 0.5, 0.5}));
    EXPECT_EQ(sprite->contentsRectForCALayerAtIndex(0), (cg::Rect{0, 0, 0.5, 0.5}));
    EXPECT_EQ(sprite->contentsRectForCALayerAtIndex(2), (cg::Rect{0, 0, 1, 1}));
    EXPECT_EQ(TVUnitContentsRect({200, 0, 10, 10}, {100, 100}), (cg::Rect{0, 0, 1, 1}));
    EXPECT_EQ(TVUnitContentsRect({0, 0, 10, 10}, {0.01, 100}), (cg::Rect{0, 0, 1, 1}));
    // Counted as decoded whatever flag it carries.
    setTV_isDecodedForDisplay(sprite.get(), false);
    EXPECT_TRUE(TV_isDecodedForDisplay(sprite.get()));
    EXPECT_TRUE(TVAnimatedImageOf(sprite.get())->respondsToAnimatedImageContentsRect());

    EXPECT_FALSE(TVSpriteSheetImage::withSpriteSheetImage(sheet, {{0, 0, 1, 1}}, {0.1, 0.2}, 0));
    EXPECT_FALSE(TVSpriteSheetImage::withSpriteSheetImage(sheet, {}, {}, 0));
    EXPECT_FALSE(TVSpriteSheetImage::withSpriteSheetImage(nullptr, {{0, 0, 1, 1}}, {0.1}, 0));
}

TEST_F(AnimatedImageTest, FrameImagesFromPathsAndData) {
    std::vector<std::string> paths = {write("f0@2x.png", solidPng(4, 4, {255, 255, 0, 0})),
                                      write("f1@2x.png", solidPng(4, 4, {255, 0, 255, 0})),
                                      write("f2@2x.png", solidPng(4, 4, {255, 0, 0, 255}))};
    EXPECT_FALSE(TVFrameImage::withImagePaths(paths, std::vector<double>{0.1, 0.2}, 0));
    EXPECT_FALSE(TVFrameImage::withImagePaths({}, 0.1, 0));
    auto frames = TVFrameImage::withImagePaths(paths, 0.25, 2);
    ASSERT_TRUE(frames);
    EXPECT_EQ(frames->scale(), 2);
    EXPECT_EQ(frames->animatedImageFrameCount(), 3u);
    EXPECT_EQ(frames->animatedImageLoopCount(), 2u);
    EXPECT_EQ(frames->animatedImageDurationAtIndex(2), 0.25);
    EXPECT_EQ(frames->animatedImageDurationAtIndex(3), 0);
    EXPECT_EQ(frames->animatedImageBytesPerFrame(), 64u);
    auto last = frames->animatedImageFrameAtIndex(2);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->cgImage()->bitmap().pixel(0, 0), (cg::Pixel{255, 0, 0, 255}));
    EXPECT_TRUE(TV_isDecodedForDisplay(last.get()));
    EXPECT_FALSE(frames->animatedImageFrameAtIndex(3));

    setScreenScale(3);
    auto fromData = TVFrameImage::withImageDataArray({solidPng(3, 3), solidPng(6, 6)}, {0.1, 0.3}, 0);
    ASSERT_TRUE(fromData);
    EXPECT_EQ(fromData->scale(), 3);
    EXPECT_EQ(fromData->animatedImageFrameAtIndex(1)->size(), (cg::Size{2, 2}));
    EXPECT_FALSE(TVFrameImage::withImageDataArray({ns::Data::withBytes("junk")}, 0.1, 0));
}

TEST_F(AnimatedImageTest, CodingKeepsDataAndScale) {
    auto data = solidGif({10, 20});
    auto animated = TVImage::imageWithData(data, 2);
    ns::Ref<ns::Error> error;
    auto archive = ns::KeyedArchiver::archivedDataWithRootObject(animated, true, &error);
    ASSERT_TRUE(archive) << (error ? error->description() : "");
    auto back = ns::KeyedUnarchiver::unarchivedObjectOfClass<TVImage>(archive, &error);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->scale(), 2);
    EXPECT_EQ(back->animatedImageFrameCount(), 2u);
    EXPECT_TRUE(back->animatedImageData()->isEqual(data));

    auto still = TVImage::imageWithData(solidPng(6, 4, {255, 1, 2, 3}), 3);
    auto stillBack =
        ns::KeyedUnarchiver::unarchivedObjectOfClass<TVImage>(ns::KeyedArchiver::archivedDataWithRootObject(still), &error);
    ASSERT_TRUE(stillBack);
    EXPECT_EQ(stillBack->scale(), 3);
    EXPECT_EQ(stillBack->cgImage()->bitmap().pixel(5, 3), (cg::Pixel{255, 1, 2, 3}));
    EXPECT_FALSE(stillBack->animatedImageData());
}

}  // namespace
