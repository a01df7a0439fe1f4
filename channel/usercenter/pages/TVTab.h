#pragma once
// A small segmented bar: items side by side (buttons tagged 1000 + index)
// with separators between them, a border of the line width and colour, and
// one selected item in the selected colours. A tap marks the item and always
// tells the delegate, also when it was already selected.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/View.h"

class TVTab;

class TVTabDelegate {
public:
    virtual ~TVTabDelegate() = default;
    virtual void tabDidSelectedItemNumber(TVTab& tab, int64_t index) = 0;
};

class TVTab : public ui::View {
    RT_DECLARE_CLASS(TVTab)
public:
    static constexpr int64_t kFirstItemTag = 1000;

    // The only way to make a bar: with its line width and colour.
    static ns::Ref<TVTab> initWithFrame(const cg::Rect& frame, double lineWidth, const cg::Color& lineColor);

    // Builds the items once the bar has its final frame; at least one title.
    void setItemsWithTitle(const std::vector<std::string>& titles, const cg::Color& normalItemColor,
                           const cg::Color& selectItemColor, const cg::Color& normalTitleColor,
                           const cg::Color& selectTitleColor, double titleTextSize, int64_t selectItemNumber);
    // Marks item n without telling the delegate.
    void setTabStateIndex(uint64_t index);
    void clickedButton(ui::Button& button);

    std::shared_ptr<TVTabDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TVTabDelegate>& delegate) { delegate_ = delegate; }
    double lineWidth() const { return lineWidth_; }
    const cg::Color& lineColor() const { return lineColor_; }

    TVTab() = default;  // for the class registry; use initWithFrame

private:
    void mark(int64_t targetTag);

    double lineWidth_ = 0;
    cg::Color lineColor_;
    cg::Color normalItemColor_, selectItemColor_, normalTitleColor_, selectTitleColor_;
    std::weak_ptr<TVTabDelegate> delegate_;  // the page owns the bar
};
