#pragma once
// The map kit's annotation view, as far as this system uses it: a view that
// shows an image (its layer's contents, the view sized by it) and can be
// highlighted. There is no map: annotation views stand alone.
//
// Main thread only.

#include "platform/uikit/Image.h"
#include "platform/uikit/View.h"

namespace ui {

class AnnotationView : public View {
    RT_DECLARE_CLASS(AnnotationView)
public:
    AnnotationView();
    explicit AnnotationView(const cg::Rect& frame);
    static ns::Ref<AnnotationView> make(const cg::Rect& frame = {});

    const ns::Ref<Image>& image() const { return image_; }
    // Resizes the view to the image, keeping its centre.
    virtual void setImage(const ns::Ref<Image>& image);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }

private:
    ns::Ref<Image> image_;
    bool highlighted_ = false;
};

}  // namespace ui
