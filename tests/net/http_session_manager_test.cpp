// The URL session manager against a loopback server: one completion per
// task on the completion queue, the notifications and their user info,
// resume and suspend announcements, tasks that cannot be made, the task
// list, challenges, downloads and the body hooks.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>

#include "net/SDPJSONResponseSerializer.h"
#include "net/SDPURLResponseSerialization.h"
#include "net/SDPURLSessionManager.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLError.h"
#include "platform/security/Certificate.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_session_support.h"

namespace {

using httptest::EventLog;
using httptest::NotificationRecorder;
using testing::LoopbackServer;
using testing::Reply;

class SessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = SDPURLSessionManager::make(httptest::ephemeralConfiguration());
        server.route("GET", "/json", Reply::text(R"({"name":"ball","count":2})", "application/json"));
    }
    void TearDown() override {
        manager->invalidateSessionCancelingTasks(true);
        env.runUntilIdle();
    }

    ns::Ref<ns::URLRequest> get(const std::string& path) { return ns::URLRequest::make(ns::URL::make(server.url(path))); }

    // A completion handler that logs itself with what it was given.
    SDPURLSessionManager::CompletionHandler logging(EventLog& log, ns::Id* object = nullptr,
                                                    ns::Ref<ns::Error>* error = nullptr) {
        return [&log, object, error](const ns::Ref<ns::URLResponse>& response, const ns::Id& responseObject,
                                     const ns::Ref<ns::Error>& failure) {
            if (object) *object = responseObject;
            if (error) *error = failure;
            log.add("completion", response);
        };
    }

    testing::TaskEnvironment env;
    LoopbackServer server;
    ns::Ref<SDPURLSessionManager> manager;
};

TEST_F(SessionManagerTest, CompletesOnceOnTheMainQueueBeforeTheCompletionNotification) {
    EventLog log;
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    ns::Id object;
    ns::Ref<ns::Error> error;
    auto task = manager->dataTaskWithRequest(get("/json"), logging(log, &object, &error));
    ASSERT_TRUE(task);
    EXPECT_TRUE(task->taskDescription()->isEqual(manager->taskDescriptionForSessionTasks().get()));
    task->resume();
    env.runUntilIdle();

    const auto events = log.events();
    ASSERT_EQ(log.names(), (std::vector<std::string>{"completion", SDPNetworkingTaskDidCompleteNotification}));
    EXPECT_TRUE(events[0].onMainThread);
    EXPECT_TRUE(events[1].onMainThread);
    EXPECT_EQ(events[1].object, task);
    EXPECT_FALSE(error);
    auto reply = ns::cast<ns::Dictionary>(object);
    ASSERT_TRUE(reply);
    EXPECT_EQ(ns::textOf(reply->objectForKey("name")), "ball");

    const auto& info = events[1].userInfo;
    ASSERT_TRUE(info);
    EXPECT_EQ(info->objectForKey(SDPNetworkingTaskDidCompleteResponseSerializerKey), manager->responseSerializer());
    EXPECT_TRUE(ns::equal(info->objectForKey(SDPNetworkingTaskDidCompleteSerializedResponseKey), object));
    auto data = ns::cast<ns::Data>(info->objectForKey(SDPNetworkingTaskDidCompleteResponseDataKey));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->view(), R"({"name":"ball","count":2})");
    EXPECT_FALSE(info->objectForKey(SDPNetworkingTaskDidCompleteErrorKey));
    EXPECT_TRUE(manager->tasks().empty());
}

TEST_F(SessionManagerTest, NotFoundWithJSONGivesTheObjectAndTheStatusError) {
    server.route("GET", "/missing", [](const testing::RecordedRequest&, Reply& reply) {
        reply = Reply::text(R"({"msg":"no such page"})", "application/json");
        reply.status = 404;
    });
    EventLog log;
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    ns::Id object;
    ns::Ref<ns::Error> error;
    manager->dataTaskWithRequest(get("/missing"), logging(log, &object, &error))->resume();
    env.runUntilIdle();

    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), SDPURLResponseSerializationErrorDomain);
    EXPECT_EQ(error->code(), ns::URLErrorBadServerResponse);
    auto reply = ns::cast<ns::Dictionary>(object);
    ASSERT_TRUE(reply);
    EXPECT_EQ(ns::textOf(reply->objectForKey("msg")), "no such page");
    ASSERT_EQ(log.count(SDPNetworkingTaskDidCompleteNotification), 1);
    const auto info = log.events().back().userInfo;
    EXPECT_EQ(info->objectForKey(SDPNetworkingTaskDidCompleteErrorKey), error);
    EXPECT_TRUE(ns::equal(info->objectForKey(SDPNetworkingTaskDidCompleteSerializedResponseKey), object));
}

TEST_F(SessionManagerTest, TransportErrorsSkipTheSerializer) {
    int port;
    {
        LoopbackServer closed;
        port = closed.port();
    }
    EventLog log;
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    ns::Id object = ns::String::make("untouched");
    ns::Ref<ns::Error> error;
    auto request = ns::URLRequest::make(ns::URL::make("http://127.0.0.1:" + std::to_string(port) + "/"));
    manager->dataTaskWithRequest(request, logging(log, &object, &error))->resume();
    env.runUntilIdle();

    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "NSURLErrorDomain");
    EXPECT_EQ(error->code(), ns::URLErrorCannotConnectToHost);
    EXPECT_FALSE(object);
    ASSERT_EQ(log.names(), (std::vector<std::string>{"completion", SDPNetworkingTaskDidCompleteNotification}));
    const auto info = log.events().back().userInfo;
    EXPECT_EQ(info->objectForKey(SDPNetworkingTaskDidCompleteErrorKey), error);
    EXPECT_FALSE(info->objectForKey(SDPNetworkingTaskDidCompleteSerializedResponseKey));
    auto data = ns::cast<ns::Data>(info->objectForKey(SDPNetworkingTaskDidCompleteResponseDataKey));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->length(), 0u);
}

// The connection drops part-way through the body: the task fails, and its
// notification still carries the bytes that came.
TEST_F(SessionManagerTest, AFailedTaskHandsOnWhatArrivedOfItsReply) {
    Reply cut = Reply::text(std::string(4000, 'a') + std::string(4000, 'b'), "application/octet-stream");
    cut.dropAfterBytes = 4000;
    server.route("GET", "/cut", cut);
    EventLog log;
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    ns::Ref<ns::Error> error;
    manager->dataTaskWithRequest(get("/cut"), logging(log, nullptr, &error))->resume();
    env.runUntilIdle();

    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "NSURLErrorDomain");
    ASSERT_EQ(log.count(SDPNetworkingTaskDidCompleteNotification), 1);
    const auto info = log.events().back().userInfo;
    EXPECT_EQ(info->objectForKey(SDPNetworkingTaskDidCompleteErrorKey), error);
    auto data = ns::cast<ns::Data>(info->objectForKey(SDPNetworkingTaskDidCompleteResponseDataKey));
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->isEqual(ns::Data::withBytes(std::string(4000, 'a')))) << data->length() << " bytes";
}

TEST_F(SessionManagerTest, AnEmptyReplyStillGoesThroughTheSerializer) {
    server.route("GET", "/empty", Reply::withStatus(204));
    EventLog log;
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    ns::Id object = ns::String::make("untouched");
    ns::Ref<ns::Error> error;
    manager->dataTaskWithRequest(get("/empty"), logging(log, &object, &error))->resume();
    env.runUntilIdle();

    EXPECT_FALSE(object);
    EXPECT_FALSE(error);
    ASSERT_EQ(log.count(SDPNetworkingTaskDidCompleteNotification), 1);
    auto data = ns::cast<ns::Data>(log.events().back().userInfo->objectForKey(SDPNetworkingTaskDidCompleteResponseDataKey));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->length(), 0u);
}

TEST_F(SessionManagerTest, CompletionRunsOnTheCompletionQueueInsideTheGroup) {
    auto queue = dispatch::Queue::serial("test.completion");
    auto group = dispatch::Group::create();
    manager->setCompletionQueue(queue);
    manager->setCompletionGroup(group);
    dispatch::QueueRef ranOn;
    bool notifiedAfter = false;
    bool completed = false;
    manager->dataTaskWithRequest(get("/json"), [&](const ns::Ref<ns::URLResponse>&, const ns::Id&, const ns::Ref<ns::Error>&) {
        ranOn = dispatch::currentQueue();
        completed = true;
    })->resume();
    env.runUntilIdle();
    group->notify(dispatch::mainQueue(), [&] { notifiedAfter = completed; });
    env.runUntilIdle();

    EXPECT_EQ(ranOn, queue);
    EXPECT_TRUE(notifiedAfter);
}

TEST_F(SessionManagerTest, ResumeAndSuspendAreAnnouncedOnlyForTheManagersOwnTasks) {
    // Slow enough that nothing completes while the test resumes and suspends.
    server.route("GET", "/slow", [](const testing::RecordedRequest&, Reply& reply) {
        reply = Reply::text("ok");
        reply.delaySeconds = 10;
    });
    EventLog log;
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidResumeNotification, SDPNetworkingTaskDidSuspendNotification});
    auto other = SDPURLSessionManager::make(httptest::ephemeralConfiguration());

    auto own = manager->dataTaskWithRequest(get("/slow"), nullptr);
    auto foreign = other->dataTaskWithRequest(get("/slow"), nullptr);
    auto relabelled = manager->dataTaskWithRequest(get("/slow"), nullptr);
    relabelled->setTaskDescription(ns::String::make("not the manager's"));

    own->resume();
    own->resume();  // already running: nothing more
    own->suspend();
    own->suspend();  // already suspended: nothing more
    own->resume();
    foreign->resume();
    relabelled->resume();
    for (const auto& task : {own, foreign, relabelled}) task->cancel();
    env.runUntilIdle();

    EXPECT_EQ(log.count(SDPNetworkingTaskDidResumeNotification, own.get()), 2);
    EXPECT_EQ(log.count(SDPNetworkingTaskDidSuspendNotification, own.get()), 1);
    // Posted once, by its own manager.
    EXPECT_EQ(log.count(SDPNetworkingTaskDidResumeNotification, foreign.get()), 1);
    EXPECT_EQ(log.count(SDPNetworkingTaskDidResumeNotification, relabelled.get()), 0);
    for (const auto& event : log.events()) EXPECT_TRUE(event.onMainThread);

    other->invalidateSessionCancelingTasks(true);
}

TEST_F(SessionManagerTest, ARequestWithoutURLMakesNoTaskAndFailsOnce) {
    EventLog log;
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    ns::Ref<ns::Error> error;
    auto task = manager->dataTaskWithRequest(ns::URLRequest::make(nullptr), logging(log, nullptr, &error));
    EXPECT_FALSE(task);
    env.runUntilIdle();

    ASSERT_EQ(log.names(), std::vector<std::string>{"completion"});
    EXPECT_TRUE(log.events()[0].onMainThread);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "NSURLErrorDomain");
    EXPECT_EQ(error->code(), ns::URLErrorBadURL);
    EXPECT_TRUE(manager->tasks().empty());
}

TEST_F(SessionManagerTest, AnUploadThatCannotBeMadeEvenAfterRetriesFailsOnce) {
    auto background = ns::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("test.uploads");
    auto uploader = SDPURLSessionManager::make(background);
    uploader->setAttemptsToRecreateUploadTasksForBackgroundSessions(true);
    EventLog log;
    ns::Ref<ns::Error> error;
    auto task = uploader->uploadTaskWithRequestFromFile(get("/upload"), ns::URL::make("http://example.com/file.bin"),
                                                        nullptr, logging(log, nullptr, &error));
    EXPECT_FALSE(task);
    env.runUntilIdle();

    ASSERT_EQ(log.names(), std::vector<std::string>{"completion"});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::URLErrorUnsupportedURL);
    EXPECT_TRUE(uploader->uploadTasks().empty());
    EXPECT_EQ(server.requestCount(), 0u);
    uploader->invalidateSessionCancelingTasks(true);
}

TEST_F(SessionManagerTest, TasksAreListedFromAnyQueueIncludingTheDelegateQueue) {
    server.route("POST", "/upload", Reply::text("{}", "application/json"));
    std::vector<ns::Ref<ns::URLSessionTask>> seenFromHook;
    manager->setTaskDidSendBodyDataBlock([&](const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&, int64_t,
                                             int64_t, int64_t) {
        if (seenFromHook.empty()) seenFromHook = manager->tasks();
    });
    auto request = ns::MutableURLRequest::make(ns::URL::make(server.url("/upload")));
    request->setHTTPMethod("POST");
    auto upload = manager->uploadTaskWithRequestFromData(request, ns::Data::withBytes("a=1"), nullptr, nullptr);
    auto idle = manager->dataTaskWithRequest(get("/json"), nullptr);

    const auto listed = manager->tasks();
    EXPECT_EQ(listed.size(), 2u);
    EXPECT_EQ(manager->uploadTasks().size(), 1u);
    EXPECT_EQ(manager->dataTasks().size(), 1u);
    EXPECT_TRUE(manager->downloadTasks().empty());

    upload->resume();
    env.runUntilIdle();
    ASSERT_EQ(seenFromHook.size(), 2u);
    EXPECT_EQ(seenFromHook[0], upload);
    EXPECT_EQ(seenFromHook[1], idle);
    idle->cancel();
    env.runUntilIdle();
    EXPECT_TRUE(manager->tasks().empty());
}

TEST_F(SessionManagerTest, StreamedUploadReportsContentLengthAsTheExpectedTotal) {
    server.route("POST", "/stream", Reply::text("{}", "application/json"));
    auto request = ns::MutableURLRequest::make(ns::URL::make(server.url("/stream")));
    request->setHTTPMethod("POST");
    request->setHTTPBodyStream(ns::InputStream::withData(ns::Data::withBytes(std::string(5000, 'x'))));
    request->setValueForHTTPHeaderField("5000", "Content-Length");
    std::vector<int64_t> expected;
    int64_t lastSent = 0;
    manager->setTaskDidSendBodyDataBlock([&](const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&, int64_t,
                                             int64_t total, int64_t expectedTotal) {
        expected.push_back(expectedTotal);
        lastSent = total;
    });
    ns::Ref<ns::Error> error;
    bool done = false;
    manager->uploadTaskWithStreamedRequest(request, nullptr, [&](const ns::Ref<ns::URLResponse>&, const ns::Id&,
                                                                 const ns::Ref<ns::Error>& failure) {
        error = failure;
        done = true;
    })->resume();
    env.runUntilIdle();

    ASSERT_TRUE(done);
    EXPECT_FALSE(error);
    ASSERT_FALSE(expected.empty());
    for (int64_t value : expected) EXPECT_EQ(value, 5000);
    EXPECT_EQ(lastSent, 5000);
    EXPECT_EQ(server.requests().back().body, std::string(5000, 'x'));
}

TEST_F(SessionManagerTest, ProgressFollowsTheTaskAndItsBlockSeesTheEnd) {
    server.route("GET", "/big", Reply::text(std::string(64 * 1024, 'b'), "application/octet-stream"));
    manager->setResponseSerializer(SDPHTTPResponseSerializer::serializer());
    std::vector<double> fractions;
    auto task = manager->dataTaskWithRequest(get("/big"), nullptr, [&](const ns::Ref<ns::Progress>& progress) {
        fractions.push_back(progress->fractionCompleted());
    }, nullptr);
    auto progress = manager->downloadProgressForTask(task);
    ASSERT_TRUE(progress);
    EXPECT_TRUE(manager->uploadProgressForTask(task));
    EXPECT_FALSE(manager->downloadProgressForTask(ns::URLSession::sharedSession()->dataTaskWithURL(
        ns::URL::make(server.url("/json")))));
    task->resume();
    env.runUntilIdle();

    ASSERT_FALSE(fractions.empty());
    EXPECT_DOUBLE_EQ(fractions.back(), 1.0);
    EXPECT_EQ(progress->completedUnitCount(), 64 * 1024);
    EXPECT_FALSE(manager->downloadProgressForTask(task));  // forgotten once complete
}

TEST_F(SessionManagerTest, ProgressAskedForLateStartsFromTheCountsSoFar) {
    server.route("GET", "/big", Reply::text(std::string(200 * 1024, 'b'), "application/octet-stream"));
    manager->setResponseSerializer(SDPHTTPResponseSerializer::serializer());
    ns::Ref<ns::URLSessionDataTask> task;
    ns::Ref<ns::Progress> progress;
    int64_t receivedAtFirstLook = 0, completedAtFirstLook = -1, totalAtFirstLook = 0;
    manager->setDataTaskDidReceiveDataBlock(
        [&](const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>& dataTask, const ns::Ref<ns::Data>&) {
            if (progress) return;
            progress = manager->downloadProgressForTask(dataTask);
            receivedAtFirstLook = dataTask->countOfBytesReceived();
            completedAtFirstLook = progress->completedUnitCount();
            totalAtFirstLook = progress->totalUnitCount();
        });
    task = manager->dataTaskWithRequest(get("/big"), nullptr);
    task->resume();
    env.runUntilIdle();

    ASSERT_TRUE(progress);
    EXPECT_GT(receivedAtFirstLook, 0);
    EXPECT_EQ(completedAtFirstLook, receivedAtFirstLook);
    EXPECT_EQ(totalAtFirstLook, 200 * 1024);
    // And it follows the task from there.
    EXPECT_EQ(progress->completedUnitCount(), 200 * 1024);
    EXPECT_DOUBLE_EQ(progress->fractionCompleted(), 1.0);
}

// A serializer of the app's own, however short the body, stays off the
// delegate queue: it can wait there for the delegate queue's next call (the
// bound only keeps a broken build from hanging).
class WaitingSerializer : public SDPHTTPResponseSerializer {
public:
    ns::Id responseObjectForResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                     ns::Ref<ns::Error>* error) override {
        std::unique_lock hold(lock);
        sawTheHook = hookRan.wait_for(hold, std::chrono::seconds(5), [this] { return hooked; });
        return SDPHTTPResponseSerializer::responseObjectForResponse(response, data, error);
    }
    void hookRuns() {
        std::lock_guard guard(lock);
        hooked = true;
        hookRan.notify_all();
    }
    std::mutex lock;
    std::condition_variable hookRan;
    bool hooked = false;
    bool sawTheHook = false;
};

TEST_F(SessionManagerTest, BuiltInSerializersFinishShortBodiesOnTheDelegateQueueCustomOnesNever) {
    server.route("GET", "/long", Reply::text("[\"" + std::string(20 * 1024, 'x') + "\"]", "application/json"));
    auto completionQueue = dispatch::Queue::serial("test.completion");
    manager->setCompletionQueue(completionQueue);
    // Runs on the delegate queue right after the task delegate's part: a
    // completion already handed to the completion queue is through when an
    // empty block queued behind it is.
    std::vector<int> handedOverBeforeTheHook;  // fetch numbers
    std::atomic<int> completions{0}, fetchNumber{0};
    manager->setTaskDidCompleteBlock([&](const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                                         const ns::Ref<ns::Error>&) {
        dispatch::sync(completionQueue, [] {});
        if (completions.load() > 0) handedOverBeforeTheHook.push_back(fetchNumber.load());
        if (auto waiting = std::dynamic_pointer_cast<WaitingSerializer>(manager->responseSerializer())) waiting->hookRuns();
    });
    auto fetch = [&](const std::string& path, ns::Id* object) {
        completions.store(0);
        ++fetchNumber;
        manager->dataTaskWithRequest(get(path), [&, object](const ns::Ref<ns::URLResponse>&, const ns::Id& responseObject,
                                                           const ns::Ref<ns::Error>&) {
            *object = responseObject;
            ++completions;
        })->resume();
        env.runUntilIdle();
    };
    ns::Id shortReply, longReply, custom;
    fetch("/json", &shortReply);
    fetch("/long", &longReply);
    auto serializer = std::make_shared<WaitingSerializer>();
    manager->setResponseSerializer(serializer);
    fetch("/json", &custom);

    // The long body's completion may or may not be through by then.
    std::erase(handedOverBeforeTheHook, 2);
    EXPECT_EQ(handedOverBeforeTheHook, (std::vector<int>{1}));
    ASSERT_TRUE(ns::cast<ns::Dictionary>(shortReply));
    auto array = ns::cast<ns::Array>(longReply);
    ASSERT_TRUE(array);
    EXPECT_EQ(ns::textOf(array->objectAtIndex(0)).size(), 20u * 1024);
    EXPECT_TRUE(serializer->sawTheHook);
    EXPECT_TRUE(ns::cast<ns::Data>(custom));
}

TEST_F(SessionManagerTest, PausingAndResumingTheProgressWhileRepliesArriveLosesNone) {
    Reply reply = Reply::text(std::string(2048, 'b'), "application/octet-stream");
    for (const char* name : {"X-First", "X-Second", "X-Third", "Cache-Control"}) reply.setHeader(name, "value");
    server.route("GET", "/toggled", reply);
    manager->setResponseSerializer(SDPHTTPResponseSerializer::serializer());
    constexpr int taskCount = 1000;
    int failures = 0, whole = 0;
    for (int i = 0; i < taskCount; ++i) {
        auto task = manager->dataTaskWithRequest(
            get("/toggled"), [&](const ns::Ref<ns::URLResponse>&, const ns::Id& object, const ns::Ref<ns::Error>& failure) {
                auto data = ns::cast<ns::Data>(object);
                if (failure) ++failures;
                else if (data && data->view() == reply.body) ++whole;
            });
        auto progress = manager->downloadProgressForTask(task);
        ASSERT_TRUE(progress);
        task->resume();
        // The reply is on its way: the pauses land somewhere in its head or
        // body, or after it.
        ASSERT_TRUE(server.waitForRequests(size_t(i) + 1, 30));
        for (int toggle = 0; toggle < 3; ++toggle) {
            progress->pause();
            progress->resume();
        }
    }
    env.runUntilIdle();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(whole, taskCount);
}

TEST_F(SessionManagerTest, CancellingTheProgressCancelsTheTask) {
    server.route("GET", "/never", [](const testing::RecordedRequest&, Reply& reply) {
        reply = Reply::text("late");
        reply.delaySeconds = 5;
    });
    ns::Ref<ns::Error> error;
    auto task = manager->dataTaskWithRequest(get("/never"), [&](const ns::Ref<ns::URLResponse>&, const ns::Id&,
                                                                const ns::Ref<ns::Error>& failure) { error = failure; });
    task->resume();
    manager->downloadProgressForTask(task)->cancel();
    env.runUntilIdle();

    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::URLErrorCancelled);
}

TEST_F(SessionManagerTest, DownloadsMoveToTheDestinationAndReportItsPath) {
    server.route("GET", "/file", Reply::text("file contents"));
    const auto folder = ns::FileManager::defaultManager()->temporaryDirectory()->path()->utf8();
    const std::string target = folder + "/sdp-download-" + std::to_string(::getpid()) + ".txt";
    std::filesystem::remove(target);
    EventLog log;
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    ns::Id object;
    ns::Ref<ns::Error> error;
    manager->downloadTaskWithRequest(get("/file"), nullptr,
                                     [&](const ns::Ref<ns::URL>&, const ns::Ref<ns::URLResponse>& response) {
                                         EXPECT_TRUE(response);
                                         return ns::URL::fileURLWithPath(target);
                                     },
                                     logging(log, &object, &error))
        ->resume();
    env.runUntilIdle();

    EXPECT_FALSE(error);
    auto url = ns::cast<ns::URL>(object);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->path()->utf8(), target);
    std::ifstream in(target);
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, "file contents");
    ASSERT_EQ(log.count(SDPNetworkingTaskDidCompleteNotification), 1);
    EXPECT_TRUE(ns::equal(log.events().back().userInfo->objectForKey(SDPNetworkingTaskDidCompleteAssetPathKey), url));
    std::filesystem::remove(target);
}

TEST_F(SessionManagerTest, ADownloadWithoutDestinationLeavesNoAssetPath) {
    server.route("GET", "/file", Reply::text("file contents"));
    EventLog log;
    NotificationRecorder recorder(log, {SDPNetworkingTaskDidCompleteNotification});
    ns::Id object = ns::String::make("untouched");
    manager->downloadTaskWithRequest(get("/file"), nullptr,
                                     [](const ns::Ref<ns::URL>&, const ns::Ref<ns::URLResponse>&) -> ns::Ref<ns::URL> {
                                         return nullptr;
                                     },
                                     logging(log, &object))
        ->resume();
    env.runUntilIdle();

    ASSERT_EQ(log.count(SDPNetworkingTaskDidCompleteNotification), 1);
    const auto info = log.events().back().userInfo;
    EXPECT_FALSE(info->objectForKey(SDPNetworkingTaskDidCompleteAssetPathKey));
    EXPECT_FALSE(object);  // what the JSON serializer makes of no bytes
}

TEST_F(SessionManagerTest, AFailedMoveIsAnnouncedAndTheCompletionStillFollows) {
    server.route("GET", "/file", Reply::text("file contents"));
    EventLog log;
    NotificationRecorder recorder(log, {SDPURLSessionDownloadTaskDidFailToMoveFileNotification,
                                        SDPNetworkingTaskDidCompleteNotification});
    const auto target = ns::URL::fileURLWithPath("/nonexistent-folder/for/sure/file.txt");
    manager->downloadTaskWithRequest(get("/file"), nullptr,
                                     [&](const ns::Ref<ns::URL>&, const ns::Ref<ns::URLResponse>&) { return target; },
                                     logging(log))
        ->resume();
    env.runUntilIdle();

    EXPECT_EQ(log.names(), (std::vector<std::string>{SDPURLSessionDownloadTaskDidFailToMoveFileNotification, "completion",
                                                     SDPNetworkingTaskDidCompleteNotification}));
}

TEST_F(SessionManagerTest, RedirectResponseAndCacheDecisionsAreOfferedOnlyWithAHook) {
    const char* redirect = "URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:";
    const char* response = "URLSession:dataTask:didReceiveResponse:completionHandler:";
    EXPECT_FALSE(manager->respondsToSelector(redirect));
    EXPECT_FALSE(manager->respondsToSelector(response));
    EXPECT_TRUE(manager->respondsToSelector("URLSession:task:didCompleteWithError:"));
    EXPECT_FALSE(manager->respondsToSelector("URLSession:unknownSelector:"));

    server.route("GET", "/moved", Reply::redirect("/json"));
    int redirects = 0;
    manager->setTaskWillPerformHTTPRedirectionBlock(
        [&](const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&, const ns::Ref<ns::URLResponse>&,
            const ns::Ref<ns::URLRequest>&) -> ns::Ref<ns::URLRequest> {
            ++redirects;
            return nullptr;  // take the redirect reply as final
        });
    EXPECT_TRUE(manager->respondsToSelector(redirect));
    ns::Ref<ns::URLResponse> final;
    manager->dataTaskWithRequest(get("/moved"), [&](const ns::Ref<ns::URLResponse>& r, const ns::Id&,
                                                    const ns::Ref<ns::Error>&) { final = r; })->resume();
    env.runUntilIdle();

    EXPECT_EQ(redirects, 1);
    auto http = ns::cast<ns::HTTPURLResponse>(final);
    ASSERT_TRUE(http);
    EXPECT_EQ(http->statusCode(), 302);
}

TEST_F(SessionManagerTest, ChallengesFollowThePolicyAtBothLevels) {
    using Disposition = ns::URLSessionAuthChallengeDisposition;
    auto challengeFor = [](const testing::TestCertificates::Identity& identity, const std::string& method) {
        auto trust = sec::Trust::createWithCertificates({sec::Certificate::createWithData(identity.certificateDer)});
        auto space = ns::URLProtectionSpace::make("127.0.0.1", 443, "https", nullptr, method,
                                                  method == ns::URLAuthenticationMethodServerTrust ? trust : nullptr);
        return ns::URLAuthenticationChallenge::make(space, nullptr, 0, nullptr, nullptr);
    };
    auto task = manager->dataTaskWithRequest(get("/json"), nullptr);
    std::vector<Disposition> answers;
    auto record = [&](Disposition disposition, ns::Ref<ns::URLCredential>) { answers.push_back(disposition); };

    const auto selfSigned = challengeFor(httptest::certificates().selfSigned(), ns::URLAuthenticationMethodServerTrust);
    manager->didReceiveChallenge(manager->session(), selfSigned, record);
    manager->taskDidReceiveChallenge(manager->session(), task, selfSigned, record);
    const auto basic = challengeFor(httptest::certificates().leaf(), ns::URLAuthenticationMethodHTTPBasic);
    manager->didReceiveChallenge(manager->session(), basic, record);
    manager->taskDidReceiveChallenge(manager->session(), task, basic, record);

    EXPECT_EQ(answers, (std::vector<Disposition>{Disposition::RejectProtectionSpace, Disposition::RejectProtectionSpace,
                                                 Disposition::PerformDefaultHandling,
                                                 Disposition::PerformDefaultHandling}));
    task->cancel();
}

TEST_F(SessionManagerTest, InvalidatingCallsTheHookThenAnnouncesIt) {
    EventLog log;
    NotificationRecorder recorder(log, {SDPURLSessionDidInvalidateNotification});
    manager->setSessionDidBecomeInvalidBlock(
        [&log](const ns::Ref<ns::URLSession>& session, const ns::Ref<ns::Error>&) { log.add("hook", session); });
    manager->invalidateSessionCancelingTasks(false);
    env.runUntilIdle();

    ASSERT_EQ(log.names(), (std::vector<std::string>{"hook", SDPURLSessionDidInvalidateNotification}));
    EXPECT_EQ(log.events()[1].object, manager->session());
    EXPECT_FALSE(log.events()[1].onMainThread);  // the delegate queue
}

}  // namespace
