#pragma once
// What every web-image operation shares: the network thread carrying every
// connection callback and completion, the rotating decode queues, and the
// set of URLs whose load failed. Each is made on first use and lives until
// the process ends.
#include <cstddef>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoopThread.h"
#include "platform/foundation/URL.h"

namespace tv_webimage {

// The thread "com.norvane.webimage.request", running its run loop forever.
dispatch::RunLoopThread& networkThread();
// Runs `block` on the network thread, in the default mode, without waiting.
void performOnNetworkThread(dispatch::Block block);

// One serial "com.norvane.image.decode" queue per active core (1 to 16);
// each call takes the next one in turn.
dispatch::QueueRef nextDecodeQueue();
size_t decodeQueueCount();

// The failed-URL set; a nil URL is never in it and is never added.
bool isFailedURL(const ns::Ref<ns::URL>& url);
void addFailedURL(const ns::Ref<ns::URL>& url);

}  // namespace tv_webimage
