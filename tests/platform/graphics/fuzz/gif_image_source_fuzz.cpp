// Feeds arbitrary bytes to the GIF image source: type, count, properties
// and every frame, which must come out at the canvas size or not at all.
#include <cstdint>
#include <cstdlib>

#include "platform/graphics/ImageSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto source = cg::ImageSource::createWithData({data, size});
    if (!source) return 0;
    (void)source->properties().description();
    size_t count = source->count();
    ns::Ref<cg::Image> first;
    size_t firstIndex = 0;
    for (size_t i = 0; i < count; ++i) {
        if (auto properties = source->propertiesAtIndex(i)) (void)properties->description();
        auto image = source->createImageAtIndex(i);
        if (!image) continue;
        if (!first) {
            first = image;
            firstIndex = i;
        }
        if (image->width() != first->width() || image->height() != first->height()) std::abort();
    }
    if (source->propertiesAtIndex(count)) std::abort();
    if (source->createImageAtIndex(count)) std::abort();
    // Going back starts the composition over, and it must agree.
    if (first) {
        auto again = source->createImageAtIndex(firstIndex);
        if (!again || again->bitmap() != first->bitmap()) std::abort();
    }
    return 0;
}
