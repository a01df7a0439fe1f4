#pragma once
// A page that slides in over the user centre's page area (a web page, the
// message list) and out again. Whichever page opens it hands it a
// removeBlock; the page calls it with itself to close. It comes in from
// 300 pt to the right and leaves the same way, on a 0.8 s spring.
//
// The page area is the container's subview tagged 1000; the opener is a
// child of the container, so the new page becomes the container's child too.

#include <functional>
#include <string_view>

#include "platform/runtime/Class.h"
#include "platform/uikit/ViewController.h"

class TVSuChildPage : public ui::ViewController {
    RT_DECLARE_CLASS(TVSuChildPage)
public:
    using RemoveBlock = std::function<void(TVSuChildPage& page)>;
    static constexpr int64_t kSlideAreaTag = 1000;
    static constexpr double kSlideDistance = 300;
    static constexpr double kSlideSeconds = 0.8;

    // Instantiates `identifier` of the storyboard "TVSuspendVC", lets
    // `configure` fill it, and slides it in over the page area of the
    // opener's parent. Nil when the scene is unknown or the opener has no
    // parent with a page area.
    static ns::Ref<TVSuChildPage> open(ui::ViewController& opener, std::string_view identifier,
                                       const std::function<void(TVSuChildPage& page)>& configure = {});

    const RemoveBlock& removeBlock() const { return removeBlock_; }
    void setRemoveBlock(RemoveBlock block) { removeBlock_ = std::move(block); }
    // Calls the removeBlock with the page, when it is set.
    void remove();

    // The slide-in.
    void viewDidAppear(bool animated) override;

private:
    RemoveBlock removeBlock_;
};
