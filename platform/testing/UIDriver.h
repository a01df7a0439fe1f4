#pragma once
// Drives the views as a person would: finds what is on screen, taps it
// through hit testing, types into fields through their delegates, picks
// table rows and collection items, answers alerts and drags.
//
// Finding looks at the visible windows from the front one back, and in each
// window depth-first from the front subview back (the view on top first);
// hidden views and what they hold are skipped. A view's text is a label's
// text, a button's current title, a text field's text (or, for matching
// only, its placeholder) and a text view's text.
//
// Taps go to the centre of the view, laid out first, as a finger's touch:
// whatever the hit test finds there receives it. tap() answers whether the
// touch landed on the view, inside it, or on a container of a view that
// lets touches through.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/uikit/IndexPath.h"
#include "platform/uikit/View.h"

namespace ui {
class AlertController;
class CollectionView;
class TableView;
class TextField;
}  // namespace ui

namespace testing {

class UIDriver {
public:
    using Predicate = std::function<bool(ui::View& view)>;

    // ---- Finding ----
    ns::Ref<ui::View> find(const Predicate& predicate) const;
    std::vector<ns::Ref<ui::View>> findAll(const Predicate& predicate) const;
    ns::Ref<ui::View> findByText(std::string_view text) const;
    std::vector<ns::Ref<ui::View>> findAllByText(std::string_view text) const;
    ns::Ref<ui::View> findByTag(int64_t tag) const;
    std::vector<ns::Ref<ui::View>> findAllByTag(int64_t tag) const;
    // Views of the registered class or a subclass ("UIButton", ...).
    ns::Ref<ui::View> findByClassName(std::string_view className) const;
    std::vector<ns::Ref<ui::View>> findAllByClassName(std::string_view className) const;
    ns::Ref<ui::View> findByAccessibilityIdentifier(std::string_view identifier) const;
    std::vector<ns::Ref<ui::View>> findAllByAccessibilityIdentifier(std::string_view identifier) const;
    template <class T>
    ns::Ref<T> findOfType() const {
        return std::dynamic_pointer_cast<T>(find([](ui::View& v) { return dynamic_cast<T*>(&v) != nullptr; }));
    }

    // ---- Reading ----
    // Nothing for views without text.
    static std::optional<std::string> textOf(const ui::View& view);
    static cg::Rect frameInWindow(const ui::View& view);
    // In a visible window, with no hidden view on the way up.
    static bool isOnScreen(const ui::View& view);

    // ---- Acting ----
    bool tap(const ns::Ref<ui::View>& view);
    // Finds the view by its text and taps it; false when there is none.
    bool tap(std::string_view text);
    // A tap at a point of the screen; false when no window takes it.
    bool tapAt(cg::Point screenPoint);
    // Whether a finger at `point` of `view` would land on it: nothing over
    // it, in its window or a window in front, takes the touch.
    static bool reaches(const ui::View& view, cg::Point point);
    // Taps the field to edit it (when on screen and not editing yet), then
    // types; TextField::typeText's answer.
    bool typeText(const ns::Ref<ui::TextField>& field, std::string_view text);
    bool pressReturn(const ns::Ref<ui::TextField>& field);
    // Scrolls the row into view and taps it (the table's own selection path
    // when it is off screen or something else lies over the row's centre),
    // so the delegate hears of it. False for a row past the data.
    bool selectRow(const ns::Ref<ui::TableView>& table, const ui::IndexPath& path);
    bool selectItem(const ns::Ref<ui::CollectionView>& collection, const ui::IndexPath& path);
    // The alert presented frontmost, or nil.
    ns::Ref<ui::AlertController> presentedAlert() const;
    // Taps the presented alert's action with that title; false when there
    // is no alert or no such action.
    bool answerAlert(std::string_view actionTitle);
    // A scroll view is dragged by its pan (ScrollView::simulateDrag); any
    // other view gets a finger moved from its centre by `delta` in `steps`.
    bool drag(const ns::Ref<ui::View>& view, cg::Vector delta, int steps = 10);

    // ---- Dumping ----
    // One line per view, depth-first in subview order, two spaces of indent
    // per level: the class name, the frame in the superview, the text in
    // quotes when there is one, and "hidden" for hidden views:
    //   UIWindow {{0, 0}, {390, 844}}
    //     UILabel {{16, 60}, {120, 21}} "Hello"
    static std::string dumpTree(const ns::Ref<ui::View>& root);
};

}  // namespace testing
