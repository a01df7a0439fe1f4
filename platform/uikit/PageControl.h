#pragma once
// Page controls: a row of page indicators with the current one marked. A
// tap on the left half goes back a page, on the right half forward, each
// sending valueChanged when the page changed; setting the page in code
// sends nothing.
//
// Indicators are 7 points wide with 9 points between them, in a row 37
// points high, as the platform draws them.
//
// Main thread only.

#include <cstdint>
#include <optional>

#include "platform/uikit/Control.h"

namespace ui {

class PageControl : public Control {
    RT_DECLARE_CLASS(PageControl)
public:
    PageControl();
    explicit PageControl(const cg::Rect& frame);
    static ns::Ref<PageControl> make(const cg::Rect& frame = {});

    int64_t numberOfPages() const { return numberOfPages_; }
    // Negative counts are 0; the current page stays within the pages.
    void setNumberOfPages(int64_t pages);
    int64_t currentPage() const { return currentPage_; }
    // Clamped to the pages.
    void setCurrentPage(int64_t page);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool on);
    // Whether any indicator shows: there are pages, and more than one when
    // single pages hide.
    bool showsIndicators() const;

    // Nothing: the platform's defaults (white at 20 % and white).
    const std::optional<cg::Color>& pageIndicatorTintColor() const { return pageTint_; }
    void setPageIndicatorTintColor(std::optional<cg::Color> color);
    const std::optional<cg::Color>& currentPageIndicatorTintColor() const { return currentTint_; }
    void setCurrentPageIndicatorTintColor(std::optional<cg::Color> color);

    static constexpr double IndicatorDiameter = 7;
    static constexpr double IndicatorSpacing = 9;
    static constexpr double Height = 37;
    cg::Size sizeForNumberOfPages(int64_t pages) const;

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    void endTrackingWithTouch(Touch* touch, Event* event) override;
    bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer) override;
    void drawRect(const cg::Rect& rect) override;

private:
    int64_t numberOfPages_ = 0;
    int64_t currentPage_ = 0;
    bool hidesForSinglePage_ = false;
    std::optional<cg::Color> pageTint_;
    std::optional<cg::Color> currentTint_;
};

}  // namespace ui
