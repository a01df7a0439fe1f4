#include "platform/uikit/AnnotationView.h"

#include "platform/uikit/Layer.h"

namespace ui {

RT_DEFINE_CLASS(AnnotationView, View, "MKAnnotationView")

AnnotationView::AnnotationView() : AnnotationView(cg::Rect{}) {}

AnnotationView::AnnotationView(const cg::Rect& frame) : View(frame) {}

ns::Ref<AnnotationView> AnnotationView::make(const cg::Rect& frame) { return std::make_shared<AnnotationView>(frame); }

void AnnotationView::setImage(const ns::Ref<Image>& image) {
    if (image == image_) return;
    image_ = image;
    layer()->setContents(image ? image->cgImage() : nullptr);
    if (image) {
        cg::Point centre = center();
        cg::Size size = image->size();
        setBounds({0, 0, size.width, size.height});
        setCenter(centre);
    }
}

}  // namespace ui
