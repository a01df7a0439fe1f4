#include "platform/uikit/CollectionViewController.h"

#include "platform/uikit/CollectionViewFlowLayout.h"
#include "platform/uikit/Screen.h"

namespace ui {

RT_DEFINE_CLASS(CollectionViewController, ViewController, "UICollectionViewController")

CollectionViewController::CollectionViewController()
    : CollectionViewController(std::make_shared<CollectionViewFlowLayout>()) {}

CollectionViewController::CollectionViewController(ns::Ref<CollectionViewLayout> layout)
    : layout_(layout ? std::move(layout) : std::make_shared<CollectionViewFlowLayout>()) {}

ns::Ref<CollectionView> CollectionViewController::collectionView() { return ns::cast<CollectionView>(view()); }

void CollectionViewController::loadView() {
    auto collection = CollectionView::make(Screen::mainScreen()->bounds(), layout_);
    collection->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    auto self = ref<ViewController>();
    if (auto source = std::dynamic_pointer_cast<CollectionViewDataSource>(self)) collection->setDataSource(source);
    if (auto delegate = std::dynamic_pointer_cast<CollectionViewDelegate>(self)) collection->setDelegate(delegate);
    setView(collection);
}

}  // namespace ui
