#pragma once
// An image view's image and highlighted image from URLs. Each slot keeps
// its own holder; the image fades in only while the view is not
// highlighted, the highlighted image only while it is. Any thread may call;
// the view is touched on the main thread, completions run there.
#include "image/web/TVWebImageImageForms.h"
#include "platform/uikit/ImageView.h"

// ---- Image: the forms of every one-image slot (TVWebImageImageForms.h) ----

// ---- Highlighted image ----
ns::Ref<ns::URL> TV_highlightedImageURL(ui::ImageView& view);
void setTV_highlightedImageURL(ui::ImageView& view, const TVWebImageURL& url);
void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url,
                                   const ns::Ref<ui::Image>& placeholder);
void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url, TVWebImageOptions options);
void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url,
                                   const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                   TVWebImageCompletionBlock completion);
void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url,
                                   const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                   TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                                   TVWebImageCompletionBlock completion);
void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url,
                                   const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                   ns::Ref<TVWebImageManager> manager, TVWebImageProgressBlock progress,
                                   TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion);
void TV_cancelCurrentHighlightedImageRequest(ui::ImageView& view);
