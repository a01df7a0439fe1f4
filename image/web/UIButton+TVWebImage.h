#pragma once
// A button's images and background images from URLs, per control state.
// A state is taken apart into its single states (highlighted, disabled,
// selected, and normal when none of the low 8 bits is set); each single
// state has its own holder and download, so state 5 starts two loads. A
// state with none of them (8, say) does nothing. Buttons never fade.
#include <vector>

#include "image/web/_TVWebImageSetter.h"
#include "platform/uikit/Button.h"

// The single states of `state`, in the order 1, 2, 4, 0.
std::vector<unsigned> TVWebImageSingleStates(unsigned state);

// ---- Image ----
ns::Ref<ns::URL> TV_imageURLForState(ui::Button& button, unsigned state);
void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                        const ns::Ref<ui::Image>& placeholder);
void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state, TVWebImageOptions options);
void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                        const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                        TVWebImageCompletionBlock completion);
void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                        const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                        TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                        TVWebImageCompletionBlock completion);
void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                        const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                        ns::Ref<TVWebImageManager> manager, TVWebImageProgressBlock progress,
                        TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion);
void TV_cancelImageRequestForState(ui::Button& button, unsigned state);

// ---- Background image ----
ns::Ref<ns::URL> TV_backgroundImageURLForState(ui::Button& button, unsigned state);
void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  const ns::Ref<ui::Image>& placeholder);
void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  TVWebImageOptions options);
void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                  TVWebImageCompletionBlock completion);
void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                  TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                                  TVWebImageCompletionBlock completion);
void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                  ns::Ref<TVWebImageManager> manager, TVWebImageProgressBlock progress,
                                  TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion);
void TV_cancelBackgroundImageRequestForState(ui::Button& button, unsigned state);
