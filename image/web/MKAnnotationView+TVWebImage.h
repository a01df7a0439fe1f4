#pragma once
// An annotation view's image from a URL; with the fade bit it fades only
// while the view is not highlighted. Any thread may call; the
// view is touched on the main thread, completions run there.
#include "image/web/_TVWebImageSetter.h"
#include "platform/uikit/AnnotationView.h"

ns::Ref<ns::URL> TV_imageURL(ui::AnnotationView& view);
void setTV_imageURL(ui::AnnotationView& view, const TVWebImageURL& url);
void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder);
void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, TVWebImageOptions options);
void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageCompletionBlock completion);
void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageProgressBlock progress,
                        TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion);
void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, ns::Ref<TVWebImageManager> manager,
                        TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                        TVWebImageCompletionBlock completion);
void TV_cancelCurrentImageRequest(ui::AnnotationView& view);
