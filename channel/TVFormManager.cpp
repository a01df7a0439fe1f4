#include "channel/TVFormManager.h"

#include <vector>

#include "net/SDPJSONResponseSerializer.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"

namespace TVFormManager {

void acceptHTML(SDPHTTPSessionManager& manager) {
    auto serializer = SDPJSONResponseSerializer::serializer();
    std::vector<ns::Id> types;
    if (auto current = serializer->acceptableContentTypes()) {
        auto existing = current->allObjects();
        for (uint64_t i = 0; i < existing->count(); ++i) types.push_back(existing->objectAtIndex(i));
    }
    types.push_back(ns::str("text/html"));
    serializer->setAcceptableContentTypes(ns::Set::make(types));
    manager.setResponseSerializer(serializer);
}

ns::Ref<SDPHTTPSessionManager> make() {
    auto manager = SDPHTTPSessionManager::manager();
    acceptHTML(*manager);
    return manager;
}

Owned::~Owned() {
    if (manager_) manager_->session()->finishTasksAndInvalidate();
}

const ns::Ref<SDPHTTPSessionManager>& Owned::get() {
    if (!manager_) manager_ = maker_();
    return manager_;
}

}  // namespace TVFormManager
