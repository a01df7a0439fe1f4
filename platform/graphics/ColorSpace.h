#pragma once
// Colour spaces by model only: pixels here are device RGB (decoders convert
// grey and palette files to it, and CMYK files are not decoded).

#include "platform/runtime/Class.h"

namespace cg {

enum class ColorSpaceModel { Monochrome = 0, RGB = 1, CMYK = 2 };

class ColorSpace : public ns::Object {
    RT_DECLARE_CLASS(ColorSpace)
public:
    explicit ColorSpace(ColorSpaceModel model = ColorSpaceModel::RGB) : model_(model) {}
    // A new device RGB space each call, as the platform's create call.
    static ns::Ref<ColorSpace> createDeviceRGB() { return std::make_shared<ColorSpace>(ColorSpaceModel::RGB); }

    ColorSpaceModel model() const { return model_; }
    size_t numberOfComponents() const { return model_ == ColorSpaceModel::CMYK ? 4 : model_ == ColorSpaceModel::RGB ? 3 : 1; }

private:
    const ColorSpaceModel model_;
};

}  // namespace cg
