#pragma once
// The paging pattern of the server-openings and gift-pack pages: a
// horizontally paging scroll view, one child list per 300-point page, each
// child's view added the first time its page shows (which starts its list).

#include <cstddef>
#include <vector>

#include "platform/uikit/ScrollView.h"
#include "platform/uikit/ViewController.h"

namespace TVSuPaging {

// The page of the scroll view's offset, clamped to the children (0 for a
// zero width or no children).
size_t pageIndex(const ui::ScrollView& scrollView, size_t children);
// Adds the shown child's view when it is not loaded yet; returns its index.
size_t loadShownChild(ui::ScrollView& scrollView, const std::vector<ns::Ref<ui::ViewController>>& children);

}  // namespace TVSuPaging
