#include "image/web/TVWebImageShared.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "platform/dispatch/Semaphore.h"
#include "platform/foundation/ProcessInfo.h"

namespace tv_webimage {

namespace {

constexpr size_t MaxDecodeQueues = 16;

std::vector<dispatch::QueueRef>& decodeQueues() {
    static auto* queues = new std::vector<dispatch::QueueRef>([] {
        size_t cores = static_cast<size_t>(std::max(1, ns::ProcessInfo::activeProcessorCount()));
        size_t count = std::clamp<size_t>(cores, 1, MaxDecodeQueues);
        std::vector<dispatch::QueueRef> made;
        for (size_t i = 0; i < count; ++i) made.push_back(dispatch::Queue::serial("com.norvane.image.decode"));
        return made;
    }());
    return *queues;
}

struct FailedURLs {
    std::shared_ptr<dispatch::Semaphore> lock = dispatch::Semaphore::create(1);
    std::set<std::string> urls;
};

FailedURLs& failedURLs() {
    static auto* set = new FailedURLs();
    return *set;
}

}  // namespace

dispatch::RunLoopThread& networkThread() {
    // Never ended: its loop carries connections for the whole process.
    static auto* thread = new dispatch::RunLoopThread("com.norvane.webimage.request");
    return *thread;
}

void performOnNetworkThread(dispatch::Block block) { networkThread().perform(std::move(block)); }

size_t decodeQueueCount() { return decodeQueues().size(); }

dispatch::QueueRef nextDecodeQueue() {
    static std::atomic<int32_t> counter{0};
    auto& queues = decodeQueues();
    // The counter wraps as a 32-bit number: its absolute value picks the queue.
    int32_t turn = counter.fetch_add(1, std::memory_order_relaxed) + 1;
    int64_t index = std::llabs(static_cast<int64_t>(turn)) % static_cast<int64_t>(queues.size());
    return queues[static_cast<size_t>(index)];
}

bool isFailedURL(const ns::Ref<ns::URL>& url) {
    if (!url) return false;
    FailedURLs& failed = failedURLs();
    failed.lock->wait();
    bool found = failed.urls.count(url->absoluteString()->utf8()) > 0;
    failed.lock->signal();
    return found;
}

void addFailedURL(const ns::Ref<ns::URL>& url) {
    if (!url) return;
    FailedURLs& failed = failedURLs();
    failed.lock->wait();
    failed.urls.insert(url->absoluteString()->utf8());
    failed.lock->signal();
}

}  // namespace tv_webimage
