#pragma once
// A layer's contents from a URL: the image's CGImage becomes the contents,
// and with the fade bit the layer itself always fades. Any thread may call; the
// view is touched on the main thread, completions run there.
#include "image/web/_TVWebImageSetter.h"
#include "platform/uikit/Layer.h"

ns::Ref<ns::URL> TV_imageURL(ui::Layer& view);
void setTV_imageURL(ui::Layer& view, const TVWebImageURL& url);
void TV_setImageWithURL(ui::Layer& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder);
void TV_setImageWithURL(ui::Layer& view, const TVWebImageURL& url, TVWebImageOptions options);
void TV_setImageWithURL(ui::Layer& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageCompletionBlock completion);
void TV_setImageWithURL(ui::Layer& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageProgressBlock progress,
                        TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion);
void TV_setImageWithURL(ui::Layer& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, ns::Ref<TVWebImageManager> manager,
                        TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                        TVWebImageCompletionBlock completion);
void TV_cancelCurrentImageRequest(ui::Layer& view);
