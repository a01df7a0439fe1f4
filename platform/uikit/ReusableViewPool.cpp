#include "platform/uikit/ReusableViewPool.h"

#include "platform/runtime/Class.h"
#include "platform/uikit/CollectionViewCell.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/TableViewHeaderFooterView.h"

namespace ui::detail {

template <class V>
typename ReusableViewPool<V>::Factory ReusableViewPool<V>::classFactory(const rt::Class* viewClass) {
    if (!viewClass) return {};
    return [viewClass](const std::string&) { return ns::cast<V>(viewClass->create()); };
}

template <class V>
typename ReusableViewPool<V>::Factory ReusableViewPool<V>::nibFactory(const ns::Ref<Nib>& nib) {
    if (!nib) return {};
    return [nib](const std::string&) -> ns::Ref<V> {
        for (const auto& object : nib->instantiateWithOwner(nullptr)) {
            if (auto view = ns::cast<V>(object)) return view;
        }
        return nullptr;
    };
}

template <class V>
void ReusableViewPool<V>::registerFactory(const std::string& key, Factory factory) {
    if (factory) {
        factories_[key] = std::move(factory);
    } else {
        factories_.erase(key);
    }
}

template <class V>
void ReusableViewPool<V>::enqueue(const std::string& key, const ns::Ref<V>& view) {
    if (view->reuseIdentifier().empty()) return;
    queues_[key].push_back(view);
}

template <class V>
ns::Ref<V> ReusableViewPool<V>::dequeue(const std::string& key, const std::string& reuseIdentifier) {
    if (auto queue = queues_.find(key); queue != queues_.end() && !queue->second.empty()) {
        auto view = std::move(queue->second.back());
        queue->second.pop_back();
        view->prepareForReuse();
        return view;
    }
    auto factory = factories_.find(key);
    if (factory == factories_.end()) return nullptr;
    auto view = factory->second(reuseIdentifier);
    if (view) view->setReuseIdentifier(reuseIdentifier);
    return view;
}

template class ReusableViewPool<TableViewCell>;
template class ReusableViewPool<TableViewHeaderFooterView>;
template class ReusableViewPool<CollectionReusableView>;

}  // namespace ui::detail
