// The operation: failures and the failed-URL set, partial images under
// mock time, cache hits and refreshes, cancellation in every phase, the
// transform's effect on what is stored, first frames of GIFs, and an
// announced length no server could send.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

#include "image/codec/TVImage.h"
#include "image/codec/TVImageEncoder.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/dispatch/IoToken.h"
#include "platform/testing/TestCertificates.h"
#include "platform/uikit/Application.h"
#include "platform/foundation/URLError.h"
#include "platform/runtime/Exception.h"
#include "tests/image/web/web_image_test_support.h"

namespace {

using namespace web_test;

using OperationTest = WebImageTest;

TEST_F(OperationTest, PlainInitRaisesAndDescriptionNamesTheState) {
    try {
        TVWebImageOperation operation;
        FAIL();
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "TVWebImageOperation init error");
    }
    EXPECT_FALSE(TVWebImageOperation::initWithRequest(nullptr, 0, nullptr, "", {}, {}, {}));
    auto operation = TVWebImageOperation::initWithRequest(ns::URLRequest::make(url("/x")), 0, nullptr, "", {}, {}, {});
    EXPECT_EQ(operation->cacheKey(), server_.url("/x"));
    EXPECT_NE(operation->description().find(" executing:NO finished:NO cancelled:NO>"), std::string::npos);
}

TEST_F(OperationTest, StatusFailuresEnterTheFailedSetTimeoutsDoNot) {
    server_.serve("/404.jpg", ImageReply{.status = 404, .body = "gone"});
    server_.serve("/304.jpg", ImageReply{.status = 304});
    for (const char* path : {"/404.jpg", "/304.jpg"}) {
        Recorder first, second;
        auto one = request(path, TVWebImageOptionSkipFailedURL, first);
        env_.runUntilIdle();
        ASSERT_EQ(first.all().size(), 1u) << path;
        const Delivery failed = first.all()[0];
        EXPECT_FALSE(failed.image);
        EXPECT_EQ(failed.from, TVWebImageFromNone);
        EXPECT_EQ(failed.stage, TVWebImageStageFinished);
        ASSERT_TRUE(failed.error);
        EXPECT_EQ(failed.error->domain(), ns::URLErrorDomain);
        EXPECT_EQ(failed.error->code(), std::string(path) == "/404.jpg" ? 404 : 304);
        EXPECT_TRUE(one->isFinished());

        auto two = request(path, TVWebImageOptionSkipFailedURL, second);
        env_.runUntilIdle();
        ASSERT_EQ(second.all().size(), 1u);
        ASSERT_TRUE(second.all()[0].error);
        EXPECT_EQ(second.all()[0].error->code(), -1100);
        EXPECT_EQ(second.all()[0].error->localizedDescription(), "Failed to load URL, blacklisted.");
        EXPECT_EQ(server_.requestCount(path), 1u) << "the second never reached the server";
    }

    // A real time-out: the server answers after the request's 0.2 s.
    testing::Reply slow = testing::Reply::text("late", "image/jpeg");
    slow.delaySeconds = 2;
    server_.server().route("GET", "/slow.jpg", slow);
    manager_->setTimeout(0.2);
    Recorder timedOut, again;
    auto one = request("/slow.jpg", TVWebImageOptionSkipFailedURL, timedOut);
    env_.runUntilIdle();
    ASSERT_EQ(timedOut.all().size(), 1u);
    ASSERT_TRUE(timedOut.all()[0].error);
    EXPECT_EQ(timedOut.all()[0].error->code(), ns::URLErrorTimedOut);
    auto two = request("/slow.jpg", TVWebImageOptionSkipFailedURL, again);
    env_.runUntilIdle();
    ASSERT_TRUE(again.all().at(0).error);
    EXPECT_EQ(again.all()[0].error->code(), ns::URLErrorTimedOut) << "a time-out is not a broken URL";
}

TEST_F(OperationTest, UndecodableBytesGiveTheDecodeErrorThenTheBlacklist) {
    server_.serve("/junk.jpg", ImageReply{.body = std::string(500, 'j')});
    Recorder first, second;
    auto one = request("/junk.jpg", TVWebImageOptionSkipFailedURL, first);
    env_.runUntilIdle();
    ASSERT_EQ(first.all().size(), 1u);
    ASSERT_TRUE(first.all()[0].error);
    EXPECT_EQ(first.all()[0].error->domain(), "com.norvane.image");
    EXPECT_EQ(first.all()[0].error->code(), -1);
    EXPECT_EQ(first.all()[0].error->localizedDescription(), "Web image decode fail.");
    EXPECT_EQ(first.all()[0].from, TVWebImageFromRemote);
    auto two = request("/junk.jpg", TVWebImageOptionSkipFailedURL, second);
    env_.runUntilIdle();
    EXPECT_EQ(second.all().at(0).error->code(), -1100);
    EXPECT_FALSE(cache_->containsImageForKey(server_.url("/junk.jpg")));
}

TEST_F(OperationTest, SharpPartialsAreRateLimitedOnMockTimeAndBaselineGivesNoBlur) {
    std::string baseline = LoopbackImageServer::jpeg(64, 64, false);
    // Six pieces 0.1 s apart: a partial at most every 0.2 s.
    auto sharp = paced("/sharp.jpg", baseline, TVWebImageOptionProgressive, 6, 0.1);
    auto partials = 0;
    for (const auto& delivery : sharp) partials += delivery.stage == TVWebImageStageProgress;
    EXPECT_GE(partials, 1);
    EXPECT_LE(partials, 3);
    ASSERT_FALSE(sharp.empty());
    EXPECT_EQ(sharp.back().stage, TVWebImageStageFinished);
    EXPECT_TRUE(sharp.back().image);
    for (size_t i = 0; i + 1 < sharp.size(); ++i) EXPECT_EQ(sharp[i].stage, TVWebImageStageProgress);

    // Pieces 0.25 s apart: each may give one, but the last piece (past 99%) not.
    auto spaced = paced("/spaced.jpg", baseline, TVWebImageOptionProgressive, 4, 0.25);
    int spacedPartials = 0;
    for (const auto& delivery : spaced) spacedPartials += delivery.stage == TVWebImageStageProgress;
    EXPECT_GE(spacedPartials, 2);
    EXPECT_LE(spacedPartials, 3);

    auto blurred = paced("/baseline.jpg", baseline, TVWebImageOptionProgressiveBlur, 4, 0.5);
    ASSERT_EQ(blurred.size(), 1u) << "a baseline JPEG is never shown blurred";
    EXPECT_EQ(blurred[0].stage, TVWebImageStageFinished);
}

TEST_F(OperationTest, ProgressiveJpegAndInterlacedPngGiveBlurredPartials) {
    auto jpeg = paced("/progressive.jpg", LoopbackImageServer::jpeg(64, 64, true), TVWebImageOptionProgressiveBlur, 6,
                      0.5);
    int partials = 0;
    for (const auto& delivery : jpeg)
        if (delivery.stage == TVWebImageStageProgress) {
            ++partials;
            ASSERT_TRUE(delivery.image);
            EXPECT_EQ(delivery.from, TVWebImageFromRemote);
        }
    EXPECT_GE(partials, 1);
    EXPECT_EQ(jpeg.back().stage, TVWebImageStageFinished);

    auto png = paced("/interlaced.png", LoopbackImageServer::png(64, 64, true), TVWebImageOptionProgressiveBlur, 6, 0.5);
    partials = 0;
    for (const auto& delivery : png) partials += delivery.stage == TVWebImageStageProgress;
    EXPECT_GE(partials, 1);
    auto plainPng = paced("/plain.png", LoopbackImageServer::png(64, 64, false), TVWebImageOptionProgressiveBlur, 6, 0.5);
    EXPECT_EQ(plainPng.size(), 1u) << "a PNG that is not interlaced is never shown blurred";
}

TEST_F(OperationTest, OneChunkOfKnownLengthGivesNoPartial) {
    server_.serve("/whole.jpg", ImageReply{.body = LoopbackImageServer::jpeg(32, 32, false)});
    Recorder recorder;
    auto operation = request("/whole.jpg", TVWebImageOptionProgressive, recorder);
    env_.runUntilIdle();
    ASSERT_EQ(recorder.all().size(), 1u);
    EXPECT_EQ(recorder.all()[0].stage, TVWebImageStageFinished);
    EXPECT_EQ(recorder.expected(), int64_t(LoopbackImageServer::jpeg(32, 32, false).size()));

    // Without a length the expected size is -1.
    server_.serve("/unknown.jpg", ImageReply{.body = LoopbackImageServer::jpeg(32, 32, false), .chunkSize = 100,
                                             .announceLength = false});
    Recorder unknown;
    auto other = request("/unknown.jpg", 0, unknown);
    env_.runUntilIdle();
    EXPECT_EQ(unknown.expected(), -1);
    EXPECT_TRUE(unknown.all().at(0).image);
}

TEST_F(OperationTest, MemoryAndDiskHitsAndTheRefreshBit) {
    server_.serve("/c.jpg", ImageReply{.body = LoopbackImageServer::jpeg(16, 16, false)});
    Recorder first, second, third, fourth;
    auto one = request("/c.jpg", 0, first);
    env_.runUntilIdle();
    EXPECT_EQ(first.all().at(0).from, TVWebImageFromRemote);
    auto two = request("/c.jpg", 0, second);
    env_.runUntilIdle();
    EXPECT_EQ(second.all().at(0).from, TVWebImageFromMemoryCache);
    EXPECT_TRUE(second.all()[0].onNetworkThread);
    cache_->removeImageForKey(server_.url("/c.jpg"), TVImageCacheTypeMemory);
    auto three = request("/c.jpg", 0, third);
    env_.runUntilIdle();
    EXPECT_EQ(third.all().at(0).from, TVWebImageFromDiskCache);
    EXPECT_TRUE(cache_->containsImageForKey(server_.url("/c.jpg"), TVImageCacheTypeMemory)) << "promoted";
    EXPECT_EQ(server_.requestCount("/c.jpg"), 1u);
    auto four = request("/c.jpg", TVWebImageOptionRefreshCache, fourth);
    env_.runUntilIdle();
    EXPECT_EQ(fourth.all().at(0).from, TVWebImageFromRemote);
    EXPECT_EQ(server_.requestCount("/c.jpg"), 2u);
}

TEST_F(OperationTest, CancelledWhileQueuedReportsOnceWhenStarted) {
    auto queue = std::make_shared<ns::OperationQueue>();
    queue->setSuspended(true);
    manager_->setQueue(queue);
    server_.serve("/q.jpg", ImageReply{.body = LoopbackImageServer::jpeg(8, 8, false)});
    Recorder recorder;
    auto operation = request("/q.jpg", 0, recorder);
    operation->cancel();
    operation->cancel();
    env_.runUntilIdle();
    EXPECT_TRUE(recorder.all().empty()) << "nothing until the queue starts it";
    queue->setSuspended(false);
    env_.runUntilIdle();
    ASSERT_EQ(recorder.all().size(), 1u);
    EXPECT_EQ(recorder.all()[0].stage, TVWebImageStageCancelled);
    EXPECT_TRUE(recorder.all()[0].onNetworkThread);
    EXPECT_TRUE(operation->isFinished());
    EXPECT_EQ(server_.requestCount("/q.jpg"), 0u);
}

TEST_F(OperationTest, ATransformedImageIsStoredAsItsOwnEncoding) {
    std::string jpeg = LoopbackImageServer::jpeg(16, 16, false);
    server_.serve("/t.jpg", ImageReply{.body = jpeg});
    Recorder recorder;
    auto operation = request("/t.jpg", 0, recorder, [](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>&) {
        return ui::Image::imageWithCGImage(image->cgImage()->createWithImageInRect(0, 0, 4, 4), 1);
    });
    env_.runUntilIdle();
    auto stored = cache_->getImageDataForKey(server_.url("/t.jpg"));
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->isEqual(ns::Data::withBytes(jpeg).get()));
    auto back = cache_->getImageForKey(server_.url("/t.jpg"), TVImageCacheTypeDisk);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->cgImage()->width(), 4);

    // Without a transform the downloaded bytes are stored as they came.
    server_.serve("/u.jpg", ImageReply{.body = jpeg});
    Recorder plain;
    auto other = request("/u.jpg", 0, plain);
    env_.runUntilIdle();
    EXPECT_TRUE(cache_->getImageDataForKey(server_.url("/u.jpg"))->isEqual(ns::Data::withBytes(jpeg).get()));
}

TEST_F(OperationTest, NoAnimationGivesTheFirstFrameAndDropsTheGifBytes) {
    auto frame = ui::Image::imageWithData(ns::Data::withBytes(LoopbackImageServer::png(8, 8, false)), 1);
    auto encoder = TVImageEncoder::initWithType(TVImageTypeGIF);
    encoder->addImage(frame, 0.1);
    encoder->addImage(frame, 0.1);
    auto gif = encoder->encode();
    ASSERT_TRUE(gif);
    std::string bytes(reinterpret_cast<const char*>(gif->bytes()), gif->length());
    server_.serve("/g.gif", ImageReply{.body = bytes, .contentType = "image/gif"});
    server_.serve("/h.gif", ImageReply{.body = bytes, .contentType = "image/gif"});

    Recorder still, animated;
    auto one = request("/g.gif", TVWebImageOptionNoAnimation, still);
    auto two = request("/h.gif", 0, animated);
    env_.runUntilIdle();
    ASSERT_TRUE(still.all().at(0).image);
    auto stillImage = std::dynamic_pointer_cast<TVImage>(still.all()[0].image);
    EXPECT_FALSE(stillImage && stillImage->animatedImageFrameCount() > 1);
    auto animatedImage = std::dynamic_pointer_cast<TVImage>(animated.all().at(0).image);
    ASSERT_TRUE(animatedImage);
    EXPECT_EQ(animatedImage->animatedImageFrameCount(), 2u);
    auto stored = cache_->getImageDataForKey(server_.url("/g.gif"));
    ASSERT_TRUE(stored);
    EXPECT_NE(TVImageTypeFromData(stored.get()), TVImageTypeGIF) << "the first frame was encoded anew";
    EXPECT_TRUE(cache_->getImageDataForKey(server_.url("/h.gif"))->isEqual(gif.get()));
}

// Random cancels across every phase: each operation ends exactly once, no
// image comes after cancel() returned, and progress comes only before the end.
TEST_F(OperationTest, RandomCancelsUnderStressEndEachOperationOnce) {
    constexpr int Count = 24;
    std::mt19937 random(20240101);
    std::string jpeg = LoopbackImageServer::jpeg(24, 24, true);
    struct Run {
        Recorder recorder;
        ns::Ref<TVWebImageOperation> operation;
        std::atomic<bool> cancelReturned{false};
        std::mutex lock;
        bool imageAfterCancel = false;
    };
    std::vector<std::unique_ptr<Run>> runs;
    for (int i = 0; i < Count; ++i) {
        std::string path = "/s" + std::to_string(i) + ".jpg";
        server_.serve(path, ImageReply{.body = jpeg, .chunkSize = 200});
        auto run = std::make_unique<Run>();
        Run* raw = run.get();
        auto inner = raw->recorder.block();
        raw->operation = manager_->requestImageWithURL(
            url(path), TVWebImageOptionProgressive | TVWebImageOptionRefreshCache, {}, {},
            [raw, inner](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>& u, TVWebImageFromType from,
                         TVWebImageStage stage, const ns::Ref<ns::Error>& error) {
                if (image && raw->cancelReturned.load()) raw->imageAfterCancel = true;
                inner(image, u, from, stage, error);
            });
        runs.push_back(std::move(run));
        if (random() % 2) {
            int phase = int(random() % 3);
            if (phase == 1) std::this_thread::yield();
            if (phase == 2) std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
            runs.back()->operation->cancel();
            runs.back()->cancelReturned = true;
        }
    }
    env_.runUntilIdle();
    for (int i = 0; i < Count; ++i) {
        Run& run = *runs[size_t(i)];
        auto all = run.recorder.all();
        ASSERT_FALSE(all.empty()) << i;
        int ends = 0;
        for (size_t k = 0; k < all.size(); ++k) {
            bool end = all[k].stage != TVWebImageStageProgress;
            ends += end;
            if (!end) { EXPECT_EQ(ends, 0) << "progress after the end, operation " << i; }
            EXPECT_TRUE(all[k].onNetworkThread);
        }
        EXPECT_EQ(ends, 1) << "operation " << i;
        EXPECT_FALSE(run.imageAfterCancel) << "operation " << i;
        EXPECT_TRUE(run.operation->isFinished()) << i;
    }
}

// Loads with the network sign, each cancelled around its last byte: from
// the progress report of the last byte on the network thread (the cancel
// comes before the end of data), or from a thread of its own that the last
// byte wakes (the cancel meets the end of data on its way). However the two
// meet, each load counts itself out once.
TEST_F(OperationTest, CancelsAroundTheLastByteLeaveTheActivityCountWhereItWas) {
    constexpr int Count = 150;
    const std::string jpeg = LoopbackImageServer::jpeg(16, 16, false);
    const int64_t size = int64_t(jpeg.size());
    const int64_t before = TVWebImageManager::currentNetworkActivityCount();
    struct Load {
        std::mutex lock;
        ns::Weak<TVWebImageOperation> operation;
        std::atomic<bool> lastByte{false};
        Recorder recorder;
        void cancel() {
            std::lock_guard hold(lock);
            if (auto held = operation.lock()) held->cancel();
        }
    };
    std::vector<std::unique_ptr<Load>> loads;
    for (int i = 0; i < Count; ++i) {
        const bool onNetworkThread = i % 3 == 0;
        std::string path = "/last" + std::to_string(i) + ".jpg";
        auto gate = std::make_shared<ChunkGate>();
        server_.serve(path, ImageReply{.body = jpeg, .chunkSize = jpeg.size(), .gate = gate});
        loads.push_back(std::make_unique<Load>());
        Load* load = loads.back().get();
        auto progress = [load, onNetworkThread, size, inner = load->recorder.progressBlock()](int64_t received,
                                                                                              int64_t expected) {
            inner(received, expected);
            if (received < size) return;
            if (onNetworkThread) load->cancel();
            else load->lastByte = true;
        };
        auto operation = manager_->requestImageWithURL(
            url(path), TVWebImageOptionNetworkIndicator | TVWebImageOptionRefreshCache, progress, {},
            load->recorder.block());
        {
            std::lock_guard hold(load->lock);
            load->operation = operation;
        }
        std::thread canceller;
        if (!onNetworkThread) {
            canceller = std::thread([load] {
                // Real time, bounded: the byte comes over a real socket. Once
                // it is in and no reply is outstanding, the end of data is on
                // its way to the network thread.
                auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while ((!load->lastByte || dispatch::IoToken::outstanding() > 0) &&
                       std::chrono::steady_clock::now() < until)
                    std::this_thread::yield();
                load->cancel();
            });
        }
        gate->releaseAll();
        if (canceller.joinable()) canceller.join();
        env_.runUntilIdle();
        ASSERT_EQ(load->recorder.all().size(), 1u) << path;
        // From another thread the cancel may come after the image: then it finished.
        if (onNetworkThread) { EXPECT_EQ(load->recorder.all()[0].stage, TVWebImageStageCancelled) << path; }
        ASSERT_EQ(TVWebImageManager::currentNetworkActivityCount(), before) << path;
    }
    env_.fastForwardBy(0.1);
    EXPECT_EQ(ui::Application::sharedApplication()->isNetworkActivityIndicatorVisible(), before > 0);
}

// A server announcing 2^62 bytes: the download fails when the connection
// closes early, and nothing is reserved for the announcement.
TEST_F(OperationTest, AnnouncedLengthBeyondReasonDoesNotReserveIt) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    int port = ntohs(address.sin_port);
    std::thread liar([listener] {
        int client = ::accept(listener, nullptr, nullptr);
        char buffer[4096];
        ::recv(client, buffer, sizeof buffer, 0);
        std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 4611686018427387904\r\n\r\n" +
                            std::string(1000, 'x');
        ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::close(client);
    });
    Recorder recorder;
    auto operation = manager_->requestImageWithURL(
        ns::URL::make("http://127.0.0.1:" + std::to_string(port) + "/huge.jpg"), TVWebImageOptionProgressive,
        recorder.progressBlock(), {}, recorder.block());
    env_.runUntilIdle();
    liar.join();
    ::close(listener);
    ASSERT_EQ(recorder.all().size(), 1u);
    EXPECT_EQ(recorder.all()[0].stage, TVWebImageStageFinished);
    EXPECT_FALSE(recorder.all()[0].image);
    EXPECT_TRUE(recorder.all()[0].error);
    EXPECT_EQ(recorder.expected(), int64_t(1) << 62);
}

}  // namespace

namespace {

using namespace web_test;

// A file URL reads the file: its size is the expected length, no server
// is asked and the activity count is left alone.
TEST_F(WebImageTest, FileURLsAreReadWithTheirSize) {
    std::string jpeg = LoopbackImageServer::jpeg(16, 16, false);
    std::string path = scratch_ / "local.jpg";
    {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(file);
        std::fwrite(jpeg.data(), 1, jpeg.size(), file);
        std::fclose(file);
    }
    auto fileURL = ns::URL::fileURLWithPath(path);
    EXPECT_EQ(fileURL->fileSizeResourceValue(), int64_t(jpeg.size()));
    EXPECT_FALSE(ns::URL::fileURLWithPath(scratch_ / "missing.jpg")->fileSizeResourceValue());
    EXPECT_FALSE(ns::URL::make("http://127.0.0.1/x")->fileSizeResourceValue());

    Recorder recorder;
    int64_t before = TVWebImageManager::currentNetworkActivityCount();
    auto operation = manager_->requestImageWithURL(fileURL, TVWebImageOptionNetworkIndicator, recorder.progressBlock(),
                                                   {}, recorder.block());
    env_.runUntilIdle();
    ASSERT_EQ(recorder.all().size(), 1u);
    EXPECT_TRUE(recorder.all()[0].image);
    EXPECT_EQ(recorder.all()[0].from, TVWebImageFromRemote);
    EXPECT_EQ(recorder.expected(), int64_t(jpeg.size()));
    EXPECT_EQ(TVWebImageManager::currentNetworkActivityCount(), before);
}

}  // namespace

namespace {

using namespace web_test;

TEST_F(OperationTest, TrustAnyServerAcceptsWhatDefaultEvaluationRefuses) {
    testing::TestCertificates certificates;
    testing::LoopbackServer https(certificates.selfSigned());
    testing::Reply reply = testing::Reply::text(LoopbackImageServer::jpeg(8, 8, false), "image/jpeg");
    https.route("GET", "/s.jpg", reply);
    auto secure = ns::URL::make(https.url("/s.jpg"));
    Recorder refused, trusted;
    auto one = manager_->requestImageWithURL(secure, 0, {}, {}, refused.block());
    env_.runUntilIdle();
    ASSERT_EQ(refused.all().size(), 1u);
    EXPECT_FALSE(refused.all()[0].image);
    ASSERT_TRUE(refused.all()[0].error);
    auto two = manager_->requestImageWithURL(secure, TVWebImageOptionTrustAnyServer, {}, {}, trusted.block());
    env_.runUntilIdle();
    ASSERT_EQ(trusted.all().size(), 1u);
    EXPECT_TRUE(trusted.all()[0].image);
}

// A picture behind HTTP Basic for "u" and `password`, first loaded with the
// manager's credential, which the server takes and the process's store
// then keeps.
class MembersOperationTest : public OperationTest {
protected:
    void serveMembers(const char* password) {
        ImageReply members;
        members.body = LoopbackImageServer::png(8, 8, false);
        members.contentType = "image/png";
        members.user = "u";
        members.password = password;
        server_.serve("/members.png", members);
    }
    void firstLoadTaken() {
        serveMembers("p");
        manager_->setUsername("u");
        manager_->setPassword("p");
        Recorder first;
        auto withCredential = request("/members.png", 0, first);
        env_.runUntilIdle();
        ASSERT_EQ(first.all().size(), 1u);
        ASSERT_TRUE(first.all()[0].image);
    }
};

TEST_F(MembersOperationTest, ALaterLoadIsAnsweredFromTheCredentialStorageOnlyWhenTheOperationSaysYes) {
    firstLoadTaken();

    // Later operations bring none of their own.
    auto load = [this](bool useStorage) {
        Recorder recorder;
        auto operation = TVWebImageOperation::initWithRequest(ns::URLRequest::make(url("/members.png")), 0, nullptr,
                                                              "", {}, {}, recorder.block());
        EXPECT_TRUE(operation->shouldUseCredentialStorage()) << "yes unless told otherwise";
        operation->setShouldUseCredentialStorage(useStorage);
        operation->start();
        env_.runUntilIdle();
        return recorder.all();
    };
    auto refused = load(false);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_FALSE(refused[0].image);
    ASSERT_TRUE(refused[0].error);
    EXPECT_EQ(refused[0].error->code(), 401);

    auto answered = load(true);
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_TRUE(answered[0].image);
    EXPECT_FALSE(answered[0].error);
}

TEST_F(MembersOperationTest, TheOperationsOwnCredentialIsOfferedBeforeAStaleStoredOne) {
    firstLoadTaken();
    // The password changes on both sides; the store still holds the old one.
    serveMembers("q");
    manager_->setPassword("q");
    Recorder second;
    auto renewed = request("/members.png", TVWebImageOptionRefreshCache, second);
    env_.runUntilIdle();
    ASSERT_EQ(second.all().size(), 1u);
    EXPECT_TRUE(second.all()[0].image) << "the load's own credential must be offered first";
    EXPECT_FALSE(second.all()[0].error);
}

TEST_F(OperationTest, BackgroundTaskLastsTheLoadAndItsExpiryCancels) {
    auto application = ui::Application::sharedApplication();
    application->resetForTesting();
    auto gate = std::make_shared<ChunkGate>();
    std::string jpeg = LoopbackImageServer::jpeg(16, 16, false);
    server_.serve("/bg.jpg", ImageReply{.body = jpeg, .chunkSize = jpeg.size() / 2 + 1, .gate = gate});
    // Held back until the count is read, so the load cannot end first.
    auto quickGate = std::make_shared<ChunkGate>();
    server_.serve("/quick.jpg", ImageReply{.body = jpeg, .chunkSize = jpeg.size(), .gate = quickGate});

    Recorder finished;
    auto quick = request("/quick.jpg", TVWebImageOptionBackgroundTask, finished);
    EXPECT_EQ(application->backgroundTaskCount(), 1u);
    quickGate->releaseAll();
    env_.runUntilIdle();
    EXPECT_TRUE(finished.all().at(0).image);
    EXPECT_EQ(application->backgroundTaskCount(), 0u) << "ended with the load";

    Recorder expired;
    auto slow = request("/bg.jpg", TVWebImageOptionBackgroundTask, expired);
    gate->release();
    ASSERT_TRUE(expired.waitForReceived(int64_t(jpeg.size() / 2 + 1)));
    application->expireBackgroundTasksForTesting();
    EXPECT_TRUE(slow->isCancelled());
    EXPECT_TRUE(slow->isFinished());
    gate->releaseAll();
    env_.runUntilIdle();
    ASSERT_EQ(expired.all().size(), 1u);
    EXPECT_EQ(expired.all()[0].stage, TVWebImageStageCancelled);
    EXPECT_EQ(application->backgroundTaskCount(), 0u);
    application->resetForTesting();
}

TEST_F(OperationTest, SkipDiskAndNoDecodeBits) {
    Recorder memoryOnly, raw;
    server_.serve("/m.jpg", ImageReply{.body = LoopbackImageServer::jpeg(8, 8, false)});
    auto one = request("/m.jpg", TVWebImageOptionSkipDiskCache, memoryOnly);
    env_.runUntilIdle();
    EXPECT_TRUE(cache_->containsImageForKey(server_.url("/m.jpg"), TVImageCacheTypeMemory));
    EXPECT_FALSE(cache_->containsImageForKey(server_.url("/m.jpg"), TVImageCacheTypeDisk));
    EXPECT_TRUE(TV_isDecodedForDisplay(memoryOnly.all().at(0).image.get()));

    auto two = request("/m.jpg", TVWebImageOptionNoDecode | TVWebImageOptionRefreshCache, raw);
    env_.runUntilIdle();
    // The image as the decoder made it, not a copy made for display.
    ASSERT_TRUE(raw.all().at(0).image);
    EXPECT_EQ(raw.all()[0].image->className(), "TVImage");
}

}  // namespace
