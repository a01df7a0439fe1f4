#pragma once
// A controller whose view is a collection view on the layout it was made
// with, with the controller as data source and delegate when it implements
// those interfaces.
//
// Main thread only.

#include "platform/uikit/CollectionView.h"
#include "platform/uikit/ViewController.h"

namespace ui {

class CollectionViewController : public ViewController {
    RT_DECLARE_CLASS(CollectionViewController)
public:
    // With a flow layout.
    CollectionViewController();
    explicit CollectionViewController(ns::Ref<CollectionViewLayout> layout);

    // Loads the view.
    ns::Ref<CollectionView> collectionView();
    const ns::Ref<CollectionViewLayout>& collectionViewLayout() const { return layout_; }

    void loadView() override;

private:
    ns::Ref<CollectionViewLayout> layout_;
};

}  // namespace ui
