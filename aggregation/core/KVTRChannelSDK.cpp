#include "aggregation/core/KVTRChannelSDK.h"

#include <mutex>

namespace {

std::mutex installedLock;
std::shared_ptr<KVTRChannelSDK> installed;

}  // namespace

std::shared_ptr<KVTRChannelSDK> KVTRChannelSDK::shared() {
    std::lock_guard<std::mutex> guard(installedLock);
    return installed;
}

void KVTRChannelSDK::setShared(std::shared_ptr<KVTRChannelSDK> sdk) {
    std::lock_guard<std::mutex> guard(installedLock);
    installed = std::move(sdk);
}
