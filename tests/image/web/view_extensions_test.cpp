// The view extensions: placeholders, memory hits inside the call from any
// thread, superseded calls, manual set, fades for partial and final images,
// buttons' single states, layers, annotation views and the holder's
// sentinel.

#include "image/web/CALayer+TVWebImage.h"
#include "image/web/MKAnnotationView+TVWebImage.h"
#include "image/web/UIButton+TVWebImage.h"
#include "image/web/UIImageView+TVWebImage.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/Animation.h"
#include "tests/image/web/web_image_test_support.h"

namespace {

using namespace web_test;

struct MainDelivery {
    ns::Ref<ui::Image> image;
    TVWebImageFromType from;
    TVWebImageStage stage;
    bool onMain;
    double fade;  // the fade's duration on the layer when the delivery came; 0 for none
};

class ViewExtensionsTest : public WebImageTest {
protected:
    ViewExtensionsTest() {
        jpeg_ = LoopbackImageServer::jpeg(16, 16, false);
        server_.serve("/a.jpg", ImageReply{.body = jpeg_});
        server_.serve("/b.jpg", ImageReply{.body = LoopbackImageServer::jpeg(12, 12, false)});
        placeholder_ = ui::Image::imageWithData(ns::Data::withBytes(LoopbackImageServer::png(4, 4, false)), 1);
    }

    // Records each delivery with the fade then on `layer`. The layer is
    // held weakly: the block lives in the operation its view keeps, and a
    // strong hold would keep the view, and its pictures, past the case.
    TVWebImageCompletionBlock record(std::vector<MainDelivery>& into, const ns::Ref<ui::Layer>& layer = nullptr) {
        return [&into, weakLayer = ns::Weak<ui::Layer>(layer)](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>&,
                                                               TVWebImageFromType from, TVWebImageStage stage,
                                                               const ns::Ref<ns::Error>&) {
            double fade = 0;
            if (auto layer = weakLayer.lock())
                if (auto animation = layer->animationForKey(TVWebImageFadeAnimationKey)) fade = animation->duration();
            into.push_back({image, from, stage, dispatch::isMainThread(), fade});
        };
    }

    // Puts the image of `path` into the memory level.
    void warm(std::string_view path) {
        Recorder recorder;
        auto operation = request(path, 0, recorder);
        env_.runUntilIdle();
        ASSERT_TRUE(cache_->containsImageForKey(server_.url(path), TVImageCacheTypeMemory));
    }

    std::string jpeg_;
    ns::Ref<ui::Image> placeholder_;
};

TEST_F(ViewExtensionsTest, NilURLShowsThePlaceholderAndCallsNothing) {
    auto view = ui::ImageView::make();
    std::vector<MainDelivery> deliveries;
    TV_setImageWithURL(*view, url("/a.jpg"), nullptr, 0, manager_, {}, {}, record(deliveries));
    TV_setImageWithURL(*view, nullptr, placeholder_, 0, manager_, {}, {}, record(deliveries));
    EXPECT_EQ(view->image(), placeholder_);
    EXPECT_FALSE(TV_imageURL(*view));
    env_.runUntilIdle();
    ASSERT_EQ(deliveries.size(), 1u) << "only the superseded call reports";
    EXPECT_EQ(deliveries[0].stage, TVWebImageStageCancelled);
    EXPECT_EQ(view->image(), placeholder_);

    // Bit 9: not even the placeholder.
    auto bare = ui::ImageView::make();
    TV_setImageWithURL(*bare, nullptr, placeholder_, TVWebImageOptionNoPlaceholder, manager_, {}, {}, {});
    EXPECT_FALSE(bare->image());
}

TEST_F(ViewExtensionsTest, MemoryHitIsSetWithinTheCallFromAnyThread) {
    warm("/a.jpg");
    auto view = ui::ImageView::make();
    std::vector<MainDelivery> deliveries;
    TV_setImageWithURL(*view, url("/a.jpg"), placeholder_, 0, manager_, {}, {}, record(deliveries));
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].from, TVWebImageFromMemoryCacheInSetter);
    EXPECT_EQ(deliveries[0].stage, TVWebImageStageFinished);
    EXPECT_EQ(view->image(), deliveries[0].image);

    // From a background queue: the call returns with the image set.
    auto other = ui::ImageView::make();
    std::atomic<bool> setWhenReturned{false};
    std::atomic<bool> completionOnMain{false};
    dispatch::async(dispatch::globalQueue(), [&, other] {
        bool called = false;
        TV_setImageWithURL(*other, server_.url("/a.jpg"), nullptr, 0, manager_, {}, {},
                           [&](const ns::Ref<ui::Image>&, const ns::Ref<ns::URL>&, TVWebImageFromType from,
                               TVWebImageStage, const ns::Ref<ns::Error>&) {
                               called = from == TVWebImageFromMemoryCacheInSetter;
                               completionOnMain = dispatch::isMainThread();
                           });
        setWhenReturned = called;
    });
    env_.runUntilIdle();
    EXPECT_TRUE(setWhenReturned);
    EXPECT_TRUE(completionOnMain);
    EXPECT_TRUE(other->image());
    EXPECT_EQ(server_.requestCount("/a.jpg"), 1u);
}

TEST_F(ViewExtensionsTest, OnlyTheLastOfTwoQuickCallsIsShown) {
    auto view = ui::ImageView::make();
    std::vector<MainDelivery> first, second;
    TV_setImageWithURL(*view, url("/a.jpg"), placeholder_, 0, manager_, {}, {}, record(first));
    TV_setImageWithURL(*view, std::string_view(server_.url("/b.jpg")), placeholder_, 0, manager_, {}, {},
                       record(second));
    EXPECT_EQ(view->image(), placeholder_);
    env_.runUntilIdle();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].stage, TVWebImageStageCancelled);
    EXPECT_FALSE(first[0].image);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].stage, TVWebImageStageFinished);
    EXPECT_EQ(second[0].from, TVWebImageFromRemote);
    EXPECT_TRUE(second[0].onMain);
    EXPECT_EQ(view->image(), second[0].image);
    EXPECT_EQ(view->image()->cgImage()->width(), 12);
    EXPECT_EQ(TV_imageURL(*view)->absoluteString()->utf8(), server_.url("/b.jpg")) << "a string is the same URL";

    // Again with the URL already loading: a new load, nothing shared.
    std::vector<MainDelivery> third, fourth;
    TV_setImageWithURL(*view, url("/b.jpg"), nullptr, TVWebImageOptionRefreshCache, manager_, {}, {}, record(third));
    TV_setImageWithURL(*view, url("/b.jpg"), nullptr, TVWebImageOptionRefreshCache, manager_, {}, {}, record(fourth));
    env_.runUntilIdle();
    EXPECT_EQ(third.at(0).stage, TVWebImageStageCancelled);
    EXPECT_EQ(fourth.at(0).stage, TVWebImageStageFinished);

    // Cancelling leaves the view as it is and reports Cancelled.
    std::vector<MainDelivery> cancelled;
    auto shown = view->image();
    TV_setImageWithURL(*view, url("/a.jpg"), nullptr, TVWebImageOptionRefreshCache | TVWebImageOptionNoPlaceholder,
                       manager_, {}, {}, record(cancelled));
    TV_cancelCurrentImageRequest(*view);
    env_.runUntilIdle();
    EXPECT_EQ(cancelled.at(0).stage, TVWebImageStageCancelled);
    EXPECT_EQ(view->image(), shown);
}

// The operation may answer from memory on the network thread before its
// holder has installed it: that answer is the call's, not a superseded one.
TEST_F(ViewExtensionsTest, AnAnswerBeforeInstallationIsStillShown) {
    warm("/a.jpg");
    // The view's own lookup misses (another key); the operation's hits.
    auto calls = std::make_shared<std::atomic<int>>(0);
    manager_->setCacheKeyFilter([calls, this](const ns::Ref<ns::URL>&) {
        return calls->fetch_add(1) % 2 == 0 ? std::string("elsewhere") : server_.url("/a.jpg");
    });
    for (int i = 0; i < 50; ++i) {
        auto view = ui::ImageView::make();
        std::vector<MainDelivery> deliveries;
        TV_setImageWithURL(*view, url("/a.jpg"), nullptr, 0, manager_, {}, {}, record(deliveries));
        // The main thread takes the answer as soon as it is posted.
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (deliveries.empty() && std::chrono::steady_clock::now() < until) dispatch::RunLoop::main().runOnce();
        env_.runUntilIdle();
        ASSERT_EQ(deliveries.size(), 1u);
        EXPECT_EQ(deliveries[0].from, TVWebImageFromMemoryCache) << "round " << i;
        EXPECT_EQ(deliveries[0].stage, TVWebImageStageFinished);
        EXPECT_EQ(view->image(), deliveries[0].image);
    }
    EXPECT_EQ(server_.requestCount("/a.jpg"), 1u);
}

// A cell's own image view class takes the same forms.
class AvatarView : public ui::ImageView {};

TEST_F(ViewExtensionsTest, SubclassesTakeTheSameForms) {
    auto view = std::make_shared<AvatarView>();
    setTV_imageURL(*view, url("/a.jpg"));
    EXPECT_EQ(TV_imageURL(*view)->absoluteString()->utf8(), server_.url("/a.jpg"));
    // The shared manager is not this test's: cancel before it loads anything.
    TV_cancelCurrentImageRequest(*view);
    EXPECT_FALSE(TV_imageURL(*view));
    TV_setImageWithURL(*view, url("/a.jpg"), nullptr, 0, manager_, {}, {}, {});
    env_.runUntilIdle();
    EXPECT_TRUE(view->image());
}

TEST_F(ViewExtensionsTest, ManualSetKeepsThePlaceholder) {
    auto view = ui::ImageView::make();
    std::vector<MainDelivery> deliveries;
    TV_setImageWithURL(*view, url("/a.jpg"), placeholder_, TVWebImageOptionManualSet, manager_, {}, {},
                       record(deliveries));
    env_.runUntilIdle();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_TRUE(deliveries[0].image);
    EXPECT_EQ(view->image(), placeholder_);
}

TEST_F(ViewExtensionsTest, PartialsFadeOverLongerThanTheFinalImage) {
    auto gate = std::make_shared<ChunkGate>();
    std::string body = LoopbackImageServer::jpeg(64, 64, false);
    size_t piece = (body.size() + 3) / 4;
    server_.serve("/p.jpg", ImageReply{.body = body, .chunkSize = piece, .gate = gate});
    auto view = ui::ImageView::make();
    std::vector<MainDelivery> deliveries;
    TV_setImageWithURL(*view, url("/p.jpg"), nullptr, TVWebImageOptionProgressive | TVWebImageOptionFade, manager_,
                       {}, {}, record(deliveries, view->layer()));
    // The operation is made on the setter queue; let the first piece go and
    // take deliveries on the main thread without waiting for the download.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    gate->release();
    while (deliveries.empty() && std::chrono::steady_clock::now() < until) {
        dispatch::RunLoop::main().runOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].stage, TVWebImageStageProgress);
    EXPECT_DOUBLE_EQ(deliveries[0].fade, 0.4);
    EXPECT_EQ(view->image(), deliveries[0].image);
    gate->releaseAll();
    env_.runUntilIdle();
    ASSERT_EQ(deliveries.back().stage, TVWebImageStageFinished);
    EXPECT_DOUBLE_EQ(deliveries.back().fade, 0.2);
    auto fade = std::dynamic_pointer_cast<ui::Transition>(view->layer()->animationForKey(TVWebImageFadeAnimationKey));
    ASSERT_TRUE(fade);
    EXPECT_EQ(fade->type(), ui::TransitionFade);
    EXPECT_EQ(fade->timingFunction()->name(), ui::MediaTimingFunctionEaseInEaseOut);
}

TEST_F(ViewExtensionsTest, HighlightedViewFadesOnlyItsHighlightedImage) {
    auto view = ui::ImageView::make();
    view->setHighlighted(true);
    std::vector<MainDelivery> normal, highlighted;
    TV_setImageWithURL(*view, url("/a.jpg"), nullptr, TVWebImageOptionFade, manager_, {}, {},
                       record(normal, view->layer()));
    env_.runUntilIdle();
    ASSERT_EQ(normal.size(), 1u);
    EXPECT_EQ(normal[0].fade, 0);
    EXPECT_TRUE(view->image());
    TV_setHighlightedImageWithURL(*view, url("/b.jpg"), nullptr, TVWebImageOptionFade, manager_, {}, {},
                                  record(highlighted, view->layer()));
    env_.runUntilIdle();
    ASSERT_EQ(highlighted.size(), 1u);
    EXPECT_DOUBLE_EQ(highlighted[0].fade, 0.2);
    EXPECT_EQ(view->highlightedImage(), highlighted[0].image);
    EXPECT_EQ(TV_highlightedImageURL(*view)->absoluteString()->utf8(), server_.url("/b.jpg"));
}

TEST_F(ViewExtensionsTest, ButtonStatesLoadOncePerSingleStateAndNeverFade) {
    EXPECT_EQ(TVWebImageSingleStates(5), (std::vector<unsigned>{1, 4}));
    EXPECT_EQ(TVWebImageSingleStates(0), (std::vector<unsigned>{0}));
    EXPECT_TRUE(TVWebImageSingleStates(8).empty());
    EXPECT_EQ(TVWebImageSingleStates(7), (std::vector<unsigned>{1, 2, 4}));

    auto button = std::make_shared<ui::Button>();
    std::vector<MainDelivery> deliveries;
    TV_setImageWithURL(*button, url("/a.jpg"), 5, nullptr, TVWebImageOptionFade | TVWebImageOptionRefreshCache,
                       manager_, {}, {}, record(deliveries, button->layer()));
    env_.runUntilIdle();
    EXPECT_EQ(server_.requestCount("/a.jpg"), 2u);
    ASSERT_EQ(deliveries.size(), 2u);
    for (const auto& delivery : deliveries) EXPECT_EQ(delivery.fade, 0);
    EXPECT_TRUE(button->imageForState(1));
    EXPECT_TRUE(button->imageForState(4));
    EXPECT_EQ(TV_imageURLForState(*button, 5)->absoluteString()->utf8(), server_.url("/a.jpg"));

    // The URL read for 5 is the highlighted state's.
    TV_setImageWithURL(*button, url("/b.jpg"), 4, nullptr, 0, manager_, {}, {}, {});
    EXPECT_EQ(TV_imageURLForState(*button, 5)->absoluteString()->utf8(), server_.url("/a.jpg"));
    EXPECT_EQ(TV_imageURLForState(*button, 4)->absoluteString()->utf8(), server_.url("/b.jpg"));
    // A state without a single state does nothing.
    TV_setImageWithURL(*button, url("/b.jpg"), 8, nullptr, 0, manager_, {}, {}, record(deliveries));
    env_.runUntilIdle();
    EXPECT_EQ(deliveries.size(), 2u);

    // Backgrounds, normal state, as the user centre's avatar is loaded.
    TV_setBackgroundImageWithURL(*button, url("/b.jpg"), 0, nullptr, TVWebImageOptionNetworkIndicator, manager_, {},
                                 {}, {});
    env_.runUntilIdle();
    EXPECT_TRUE(button->backgroundImageForState(0));
    EXPECT_FALSE(TV_backgroundImageURLForState(*button, 1));
    TV_cancelBackgroundImageRequestForState(*button, 0);
    EXPECT_FALSE(TV_backgroundImageURLForState(*button, 0));
}

TEST_F(ViewExtensionsTest, LayersAlwaysFadeAnnotationViewsOnlyWhenNotHighlighted) {
    auto layer = std::make_shared<ui::Layer>();
    std::vector<MainDelivery> layerDeliveries;
    TV_setImageWithURL(*layer, url("/a.jpg"), nullptr, TVWebImageOptionFade, manager_, {}, {},
                       record(layerDeliveries, layer));
    env_.runUntilIdle();
    ASSERT_EQ(layerDeliveries.size(), 1u);
    EXPECT_DOUBLE_EQ(layerDeliveries[0].fade, 0.2);
    EXPECT_EQ(layer->contents(), layerDeliveries[0].image->cgImage());

    auto annotation = ui::AnnotationView::make();
    annotation->setHighlighted(true);
    std::vector<MainDelivery> annotationDeliveries;
    TV_setImageWithURL(*annotation, url("/b.jpg"), nullptr, TVWebImageOptionFade, manager_, {}, {},
                       record(annotationDeliveries, annotation->layer()));
    env_.runUntilIdle();
    ASSERT_EQ(annotationDeliveries.size(), 1u);
    EXPECT_EQ(annotationDeliveries[0].fade, 0);
    EXPECT_EQ(annotation->image(), annotationDeliveries[0].image);
    EXPECT_EQ(annotation->bounds().size.width, annotation->image()->size().width);
}

// The reply waits behind a gate until the view is gone, so the load cannot
// finish first however the threads run: what the test reads is the drop's.
TEST_F(ViewExtensionsTest, ADroppedViewCancelsItsLoad) {
    auto gate = std::make_shared<ChunkGate>();
    server_.serve("/held.jpg", ImageReply{.body = jpeg_, .chunkSize = jpeg_.size(), .gate = gate});
    std::vector<MainDelivery> deliveries;
    {
        auto view = ui::ImageView::make();
        TV_setImageWithURL(*view, url("/held.jpg"), nullptr, TVWebImageOptionRefreshCache, manager_, {}, {},
                           record(deliveries));
    }
    env_.runUntilIdle();
    gate->releaseAll();
    env_.runUntilIdle();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].stage, TVWebImageStageCancelled);
}

TEST_F(ViewExtensionsTest, ADroppedButtonCancelsItsLoad) {
    auto gate = std::make_shared<ChunkGate>();
    server_.serve("/held.jpg", ImageReply{.body = jpeg_, .chunkSize = jpeg_.size(), .gate = gate});
    std::vector<MainDelivery> deliveries;
    {
        auto button = std::make_shared<ui::Button>();
        TV_setBackgroundImageWithURL(*button, url("/held.jpg"), 0, nullptr, TVWebImageOptionRefreshCache, manager_,
                                     {}, {}, record(deliveries));
    }
    env_.runUntilIdle();
    gate->releaseAll();
    env_.runUntilIdle();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].stage, TVWebImageStageCancelled);
}

TEST(WebImageSetterTest, TheSentinelWrapsAndOnlyEqualityCounts) {
    auto setter = std::make_shared<_TVWebImageSetter>(UINT32_MAX);
    EXPECT_EQ(setter->sentinel(), -1);
    EXPECT_EQ(setter->cancelWithNewURL(ns::URL::make("http://127.0.0.1/x")), 0);
    EXPECT_EQ(setter->imageURL()->absoluteString()->utf8(), "http://127.0.0.1/x");
    EXPECT_EQ(setter->cancelWithNewURL(nullptr), 1);
    EXPECT_FALSE(setter->imageURL());

    // A superseded call installs nothing and reports Cancelled.
    testing::TaskEnvironment env;
    auto manager = TVWebImageManager::initWithCache(nullptr, nullptr);
    TVWebImageStage stage = TVWebImageStageFinished;
    int32_t result = setter->setOperationWithSentinel(
        0, ns::URL::make("http://127.0.0.1/x"), 0, manager, {}, {},
        [&](const ns::Ref<ui::Image>&, const ns::Ref<ns::URL>&, TVWebImageFromType, TVWebImageStage s,
            const ns::Ref<ns::Error>&) { stage = s; });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(stage, TVWebImageStageCancelled);
    EXPECT_EQ(_TVWebImageSetter::setterQueue()->label(), "com.norvane.webimage.setter");
}

}  // namespace
