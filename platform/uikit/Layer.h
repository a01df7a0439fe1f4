#pragma once
// The layer tree. Every view owns one layer and keeps its geometry there;
// standalone layers (shapes, gradients, masks) hang in the same tree. Nothing
// is composited: the tree holds the model values, drawing goes into bitmaps
// on request, and animations only start and stop on the clock.
//
// Geometry follows the platform: a point p in the layer's own space maps to
// the superlayer's space as position + transform(p - anchor), where the
// anchor is bounds.origin + anchorPoint x bounds.size; the frame is the
// bounding box of the transformed bounds.
//
// Changing an animatable property of a standalone layer that sits in a tree
// adds an implicit animation under the property's name (the transaction's
// duration and curve) unless the transaction disables actions. The layer of
// a view animates only inside the view's animation blocks.
//
// Main thread only.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/BezierPath.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/DrawingRecord.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Animation.h"
#include "platform/uikit/Transform3D.h"

namespace cg {
class BitmapContext;
}

namespace dispatch {
class RunLoopTimer;
}

namespace ui {

class View;

// The platform's contents-gravity names.
inline constexpr const char* LayerGravityResize = "resize";
inline constexpr const char* LayerGravityResizeAspect = "resizeAspect";
inline constexpr const char* LayerGravityResizeAspectFill = "resizeAspectFill";
inline constexpr const char* LayerGravityCenter = "center";

class Layer : public ns::Object {
    RT_DECLARE_CLASS(Layer)
public:
    Layer();
    ~Layer() override;
    static ns::Ref<Layer> make() { return std::make_shared<Layer>(); }

    // ---- Geometry ----
    const cg::Rect& bounds() const { return bounds_; }
    void setBounds(const cg::Rect& bounds);
    cg::Point position() const { return position_; }
    void setPosition(cg::Point position);
    cg::Point anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(cg::Point anchor);
    double zPosition() const { return zPosition_; }
    void setZPosition(double z);
    const Transform3D& transform() const { return transform_; }
    void setTransform(const Transform3D& transform);
    cg::AffineTransform affineTransform() const { return transform_.affine; }
    void setAffineTransform(const cg::AffineTransform& transform);
    // Derived from the above. Setting it places the untransformed bounds at
    // the rect, keeping any transform (the platform leaves that case
    // undefined).
    cg::Rect frame() const;
    void setFrame(const cg::Rect& frame);

    // ---- Appearance ----
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool on);
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double width);
    const std::optional<cg::Color>& borderColor() const { return borderColor_; }
    void setBorderColor(std::optional<cg::Color> color);
    const std::optional<cg::Color>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<cg::Color> color);
    // Defaults as on the platform: opaque black, opacity 0, offset (0, -3),
    // radius 3, no path.
    const std::optional<cg::Color>& shadowColor() const { return shadowColor_; }
    void setShadowColor(std::optional<cg::Color> color);
    double shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(double opacity);
    cg::Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(cg::Size offset);
    double shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(double radius);
    const std::optional<cg::BezierPath>& shadowPath() const { return shadowPath_; }
    void setShadowPath(std::optional<cg::BezierPath> path);
    bool allowsGroupOpacity() const { return allowsGroupOpacity_; }
    void setAllowsGroupOpacity(bool on) { allowsGroupOpacity_ = on; }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    // ---- Contents ----
    const ns::Ref<cg::Image>& contents() const { return contents_; }
    void setContents(ns::Ref<cg::Image> image);
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double scale) { contentsScale_ = scale > 0 ? scale : 1; }
    // The part of the contents shown, in unit coordinates of the contents
    // image; (0, 0, 1, 1), the whole, by default. Animatable.
    const cg::Rect& contentsRect() const { return contentsRect_; }
    void setContentsRect(const cg::Rect& rect) { changeValue("contentsRect", contentsRect_, rect); }
    const std::string& contentsGravity() const { return contentsGravity_; }
    void setContentsGravity(std::string gravity) { contentsGravity_ = std::move(gravity); }
    // A layer whose opaque parts show this one; it belongs to no tree.
    const ns::Ref<Layer>& mask() const { return mask_; }
    void setMask(ns::Ref<Layer> mask);

    // ---- Tree ----
    ns::Ref<Layer> superlayer() const { return superlayer_.lock(); }
    const std::vector<ns::Ref<Layer>>& sublayers() const { return sublayers_; }
    void addSublayer(const ns::Ref<Layer>& layer);
    // Indices past the end append.
    void insertSublayer(const ns::Ref<Layer>& layer, size_t index);
    void insertSublayerBelow(const ns::Ref<Layer>& layer, const ns::Ref<Layer>& sibling);
    void insertSublayerAbove(const ns::Ref<Layer>& layer, const ns::Ref<Layer>& sibling);
    void replaceSublayer(const ns::Ref<Layer>& old, const ns::Ref<Layer>& replacement);
    void removeFromSuperlayer();
    bool isDescendantOf(const Layer& ancestor) const;
    // The view this layer backs, or null for a standalone layer.
    View* delegateView() const { return view_; }
    // Whether the tree above ends in a window's layer.
    bool isInWindow() const;

    // ---- Coordinates (nil other layer: the root of this layer's tree) ----
    cg::Point convertPointToLayer(cg::Point point, const Layer* layer) const;
    cg::Point convertPointFromLayer(cg::Point point, const Layer* layer) const;
    cg::Rect convertRectToLayer(const cg::Rect& rect, const Layer* layer) const;
    cg::Rect convertRectFromLayer(const cg::Rect& rect, const Layer* layer) const;
    bool containsPoint(cg::Point point) const { return bounds_.containsPoint(point); }
    // One step: between this layer's space and its superlayer's (for a
    // window's layer, the screen's).
    cg::Point pointToSuperlayer(cg::Point point) const;
    cg::Point pointFromSuperlayer(cg::Point point) const;

    // ---- Display ----
    // Asks for display at the next display pass, once the layer is in a
    // window (see UpdateCycle.h).
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    // Displays now if marked and in a window.
    void displayIfNeeded();
    // Draws the layer into a new bitmap of its bounds at its contents scale
    // and makes that the contents; a view-backed layer draws through the
    // view's drawRect. Called by the display pass.
    virtual void display();
    // Standalone layers draw themselves here; nothing by default.
    virtual void drawInContext(cg::BitmapContext& context);
    // What the last display drew, and how many displays ran, for tests.
    const std::vector<cg::DrawingRecord>& displayRecords() const { return displayRecords_; }
    uint64_t displayCount() const { return displayCount_; }

    // ---- Animations ----
    // Stores a copy of `animation` under `key` (an empty key gets a unique
    // one), replacing, and stopping unfinished, any animation of that key.
    // The copy starts at its begin time (now when 0), telling the delegate
    // animationDidStart, and stops after its active duration with
    // animationDidStop(finished = true); removed on completion unless told
    // otherwise. Removed earlier, it stops with finished = false on the next
    // run-loop turn. Both calls come from the main run loop.
    void addAnimation(const ns::Ref<Animation>& animation, std::string key);
    ns::Ref<Animation> animationForKey(std::string_view key) const;
    void removeAnimationForKey(std::string_view key);
    void removeAllAnimations();
    // In the order added.
    std::vector<std::string> animationKeys() const;

    std::string description() const override;

protected:
    // Setters of animatable properties call these: they store the value and
    // announce the change to observers and to the action machinery.
    void changeValue(std::string_view key, double& field, double value);
    void changeValue(std::string_view key, cg::Point& field, cg::Point value);
    void changeValue(std::string_view key, cg::Size& field, cg::Size value);
    void changeValue(std::string_view key, cg::Rect& field, const cg::Rect& value);
    void changeValue(std::string_view key, Transform3D& field, const Transform3D& value);
    void changeValue(std::string_view key, std::optional<cg::Color>& field, const std::optional<cg::Color>& value);
    // For properties that never animate: observers only.
    void announce(std::string_view key, const ns::Id& oldValue, const ns::Id& newValue);

    // Hook for subclasses whose drawing depends on their bounds.
    virtual void boundsDidChange() {}

private:
    friend class View;
    friend class Window;
    struct AnimationEntry;

    void attach(const ns::Ref<Layer>& layer, size_t index);
    void detachSublayer(const Layer* layer);
    void actionForChange(std::string_view key, const ns::Id& oldValue, const ns::Id& newValue);
    cg::Point anchorInBounds() const;
    // Maps between this layer's space and its root's space.
    cg::Point toRoot(cg::Point p) const;
    cg::Point fromRoot(cg::Point p) const;
    const Layer* root() const;
    void animationStarted(uint64_t serial);
    void animationEnded(uint64_t serial);
    void stopEntry(std::shared_ptr<AnimationEntry> entry, bool finished);

    cg::Rect bounds_;
    cg::Point position_;
    cg::Point anchorPoint_{0.5, 0.5};
    double zPosition_ = 0;
    Transform3D transform_;
    double opacity_ = 1;
    bool hidden_ = false;
    double cornerRadius_ = 0;
    bool masksToBounds_ = false;
    double borderWidth_ = 0;
    std::optional<cg::Color> borderColor_ = cg::Color::black();
    std::optional<cg::Color> backgroundColor_;
    std::optional<cg::Color> shadowColor_ = cg::Color::black();
    double shadowOpacity_ = 0;
    cg::Size shadowOffset_{0, -3};
    double shadowRadius_ = 3;
    std::optional<cg::BezierPath> shadowPath_;
    bool allowsGroupOpacity_ = true;
    std::string name_;
    ns::Ref<cg::Image> contents_;
    double contentsScale_ = 1;
    cg::Rect contentsRect_{0, 0, 1, 1};
    std::string contentsGravity_ = LayerGravityResize;
    ns::Ref<Layer> mask_;

    ns::Weak<Layer> superlayer_;
    std::vector<ns::Ref<Layer>> sublayers_;
    View* view_ = nullptr;  // the owning view clears it when it goes
    bool needsDisplay_ = false;
    std::vector<cg::DrawingRecord> displayRecords_;
    uint64_t displayCount_ = 0;

    std::vector<std::shared_ptr<AnimationEntry>> animations_;
    uint64_t nextAnimationSerial_ = 1;
};

}  // namespace ui
