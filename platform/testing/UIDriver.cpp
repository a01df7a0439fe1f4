#include "platform/testing/UIDriver.h"

#include <cmath>

#include "platform/uikit/AlertController.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/CollectionView.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/TextView.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"

namespace testing {

namespace {

std::vector<ns::Ref<ui::Window>> windowsFrontToBack() {
    auto windows = ui::Application::sharedApplication()->windows();
    std::vector<ns::Ref<ui::Window>> out;
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (!(*it)->isHidden()) out.push_back(*it);
    }
    return out;
}

// Front subview first, skipping hidden subtrees; stops when `visit` says so.
bool walkFrontToBack(const ns::Ref<ui::View>& view, const std::function<bool(const ns::Ref<ui::View>&)>& visit) {
    if (view->isHidden() && !view->isWindow()) return false;
    if (visit(view)) return true;
    const auto subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        if (walkFrontToBack(*it, visit)) return true;
    }
    return false;
}

bool matchesText(ui::View& view, std::string_view text) {
    if (auto shown = UIDriver::textOf(view); shown && *shown == text) return true;
    if (auto* field = dynamic_cast<ui::TextField*>(&view)) {
        const auto& placeholder = field->placeholder();
        return placeholder && placeholder->utf8() == text;
    }
    return false;
}

// The centre of the view in screen coordinates, after laying out its window.
std::optional<cg::Point> centreOnScreen(const ns::Ref<ui::View>& view) {
    auto window = view->window();
    if (!window) return std::nullopt;
    window->layoutIfNeeded();
    cg::Rect b = view->bounds();
    return ui::screenPoint(*view, {b.midX(), b.midY()});
}

// What a touch at `point` of the view would hit, or nil: nothing when a
// window in front of the view's takes the touch.
ns::Ref<ui::View> hitAt(const ui::View& view, cg::Point point) {
    auto window = view.window();
    if (!window || ui::windowAtScreenPoint(ui::screenPoint(view, point)) != window) return nullptr;
    return window->hitTest(view.convertPointToView(point, nullptr), nullptr);
}

cg::Point centreOf(const ui::View& view) { return {view.bounds().midX(), view.bounds().midY()}; }

}  // namespace

// ---- Finding ----

std::vector<ns::Ref<ui::View>> UIDriver::findAll(const Predicate& predicate) const {
    std::vector<ns::Ref<ui::View>> out;
    for (const auto& window : windowsFrontToBack()) {
        walkFrontToBack(window, [&](const ns::Ref<ui::View>& v) {
            if (predicate(*v)) out.push_back(v);
            return false;
        });
    }
    return out;
}

ns::Ref<ui::View> UIDriver::find(const Predicate& predicate) const {
    ns::Ref<ui::View> found;
    for (const auto& window : windowsFrontToBack()) {
        bool done = walkFrontToBack(window, [&](const ns::Ref<ui::View>& v) {
            if (!predicate(*v)) return false;
            found = v;
            return true;
        });
        if (done) break;
    }
    return found;
}

ns::Ref<ui::View> UIDriver::findByText(std::string_view text) const {
    return find([text](ui::View& v) { return matchesText(v, text); });
}

std::vector<ns::Ref<ui::View>> UIDriver::findAllByText(std::string_view text) const {
    return findAll([text](ui::View& v) { return matchesText(v, text); });
}

ns::Ref<ui::View> UIDriver::findByTag(int64_t tag) const {
    return find([tag](ui::View& v) { return v.tag() == tag; });
}

std::vector<ns::Ref<ui::View>> UIDriver::findAllByTag(int64_t tag) const {
    return findAll([tag](ui::View& v) { return v.tag() == tag; });
}

ns::Ref<ui::View> UIDriver::findByClassName(std::string_view className) const {
    return find([className](ui::View& v) { return v.isKindOf(className); });
}

std::vector<ns::Ref<ui::View>> UIDriver::findAllByClassName(std::string_view className) const {
    return findAll([className](ui::View& v) { return v.isKindOf(className); });
}

ns::Ref<ui::View> UIDriver::findByAccessibilityIdentifier(std::string_view identifier) const {
    return find([identifier](ui::View& v) { return v.accessibilityIdentifier() == identifier; });
}

std::vector<ns::Ref<ui::View>> UIDriver::findAllByAccessibilityIdentifier(std::string_view identifier) const {
    return findAll([identifier](ui::View& v) { return v.accessibilityIdentifier() == identifier; });
}

// ---- Reading ----

std::optional<std::string> UIDriver::textOf(const ui::View& view) {
    auto text = [](const ns::Ref<ns::String>& s) -> std::optional<std::string> {
        if (!s) return std::nullopt;
        return s->utf8();
    };
    if (auto* label = dynamic_cast<const ui::Label*>(&view)) return text(label->text());
    if (auto* button = dynamic_cast<const ui::Button*>(&view)) {
        if (auto attributed = button->currentAttributedTitle()) return attributed->string()->utf8();
        return text(button->currentTitle());
    }
    if (auto* field = dynamic_cast<const ui::TextField*>(&view)) {
        std::string shown = field->displayedText();
        if (shown.empty()) return std::nullopt;
        return shown;
    }
    if (auto* textView = dynamic_cast<const ui::TextView*>(&view)) return text(textView->text());
    return std::nullopt;
}

cg::Rect UIDriver::frameInWindow(const ui::View& view) { return view.convertRectToView(view.bounds(), nullptr); }

bool UIDriver::isOnScreen(const ui::View& view) {
    auto window = view.window();
    if (!window || window->isHidden()) return false;
    for (const ui::View* v = &view; v && !v->isWindow(); v = v->superview().get()) {
        if (v->isHidden()) return false;
    }
    return true;
}

// ---- Acting ----

bool UIDriver::tap(const ns::Ref<ui::View>& view) {
    if (!view || !isOnScreen(*view)) return false;
    auto screen = centreOnScreen(view);
    if (!screen) return false;
    auto hit = hitAt(*view, centreOf(*view));
    bool landed = hit && (hit->isDescendantOfView(view.get()) || view->isDescendantOfView(hit.get()));
    ui::simulateTap(*screen);
    return landed;
}

bool UIDriver::tap(std::string_view text) { return tap(findByText(text)); }

bool UIDriver::tapAt(cg::Point screenPoint) { return ui::simulateTap(screenPoint); }

bool UIDriver::reaches(const ui::View& view, cg::Point point) {
    auto hit = hitAt(view, point);
    return hit && hit->isDescendantOfView(&view);
}

bool UIDriver::typeText(const ns::Ref<ui::TextField>& field, std::string_view text) {
    if (!field) return false;
    if (!field->isEditing() && isOnScreen(*field)) tap(field);
    return field->typeText(text);
}

bool UIDriver::pressReturn(const ns::Ref<ui::TextField>& field) { return field && field->pressReturn(); }

namespace {

// Whether a finger at the cell's centre would reach the cell itself (not
// a control inside it, nor something lying over it).
bool tappable(const ns::Ref<ui::View>& cell) {
    if (!UIDriver::isOnScreen(*cell)) return false;
    auto screen = centreOnScreen(cell);
    if (!screen) return false;
    auto hit = hitAt(*cell, centreOf(*cell));
    if (!hit || !hit->isDescendantOfView(cell.get())) return false;
    for (auto v = hit; v && v != cell; v = v->superview()) {
        if (dynamic_cast<ui::Control*>(v.get())) return false;
    }
    return true;
}

}  // namespace

bool UIDriver::selectRow(const ns::Ref<ui::TableView>& table, const ui::IndexPath& path) {
    if (!table || path.row < 0 || path.row >= table->numberOfRowsInSection(path.section)) return false;
    if (isOnScreen(*table)) {
        table->scrollToRowAtIndexPath(path, ui::TableViewScrollPosition::None, false);
        if (auto cell = table->cellForRowAtIndexPath(path); cell && tappable(cell)) {
            tap(cell);
            return true;
        }
    }
    table->performUserSelection(path);
    return true;
}

bool UIDriver::selectItem(const ns::Ref<ui::CollectionView>& collection, const ui::IndexPath& path) {
    if (!collection || path.item() < 0 || path.item() >= collection->numberOfItemsInSection(path.section)) {
        return false;
    }
    if (isOnScreen(*collection)) {
        collection->scrollToItemAtIndexPath(path, ui::CollectionViewScrollPositionNone, false);
        if (auto cell = collection->cellForItemAtIndexPath(path); cell && tappable(cell)) {
            tap(cell);
            return true;
        }
    }
    collection->performUserSelection(path);
    return true;
}

ns::Ref<ui::AlertController> UIDriver::presentedAlert() const {
    for (const auto& window : windowsFrontToBack()) {
        auto root = std::dynamic_pointer_cast<ui::ViewController>(window->rootViewController());
        ns::Ref<ui::AlertController> alert;
        for (auto c = root; c; c = c->presentedViewController()) {
            if (auto a = ns::cast<ui::AlertController>(c); a && !a->isBeingDismissed()) alert = a;
        }
        if (alert) return alert;
    }
    return nullptr;
}

bool UIDriver::answerAlert(std::string_view actionTitle) {
    auto alert = presentedAlert();
    if (!alert) return false;
    auto action = alert->actionWithTitle(actionTitle);
    if (!action) return false;
    auto button = alert->buttonForAction(action);
    if (button && isOnScreen(*button) && action->isEnabled()) {
        tap(button);
    } else {
        alert->performAction(action);
    }
    return true;
}

bool UIDriver::drag(const ns::Ref<ui::View>& view, cg::Vector delta, int steps) {
    if (!view) return false;
    if (auto scroll = ns::cast<ui::ScrollView>(view)) return scroll->simulateDrag(delta, steps);
    if (!isOnScreen(*view)) return false;
    auto screen = centreOnScreen(view);
    if (!screen) return false;
    steps = std::max(steps, 1);
    std::vector<cg::Vector> moves(size_t(steps), cg::Vector{delta.dx / steps, delta.dy / steps});
    ui::simulatePan(*screen, moves);
    return true;
}

// ---- Dumping ----

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

void dump(const ns::Ref<ui::View>& view, int depth, std::string& out) {
    out.append(size_t(depth) * 2, ' ');
    out += view->className() + " " + cg::toString(view->frame());
    if (auto text = UIDriver::textOf(*view)) out += " " + quoted(*text);
    if (view->isHidden()) out += " hidden";
    out += "\n";
    for (const auto& sub : view->subviews()) dump(sub, depth + 1, out);
}

}  // namespace

std::string UIDriver::dumpTree(const ns::Ref<ui::View>& root) {
    std::string out;
    if (root) dump(root, 0, out);
    return out;
}

}  // namespace testing
