#include "image/codec/TVAnimatedImage.h"

#include <cfloat>
#include <cmath>

#include "platform/foundation/RegularExpression.h"
#include "platform/foundation/String.h"
#include "platform/uikit/Screen.h"

TVAnimatedImage* TVAnimatedImageOf(const ui::Image* image) {
    return dynamic_cast<TVAnimatedImage*>(const_cast<ui::Image*>(image));
}

std::vector<double> TVPreferredImageScales() {
    // Worked out on each call: the screen's scale is settable here, unlike
    // on a device, and the answer costs nothing.
    double screen = ui::Screen::mainScreen()->scale();
    if (screen <= 1) return {1, 2, 3};
    if (screen <= 2) return {2, 3, 1};
    return {3, 2, 1};
}

double TVScaleFromImagePath(const std::string& path) {
    if (path.empty() || path.back() == '/') return 1;
    auto name = ns::String::make(path)->stringByDeletingPathExtension();
    static const auto pattern =
        ns::RegularExpression::withPattern("@[0-9]+\\.?[0-9]*x$", ns::RegularExpressionAnchorsMatchLines);
    double scale = 1;
    auto matches = pattern->matchesInString(*name);
    for (uint64_t i = 0; i < matches->count(); ++i) {
        auto match = ns::cast<ns::TextCheckingResult>(matches->objectAtIndex(i));
        ns::Range range = match->range();
        // A name that is nothing but the suffix ("@2x.png") names no scale.
        if (range.location < 3) continue;
        auto number = name->substringWithRange({range.location + 1, range.length - 2});
        scale = number->doubleValue();
    }
    return scale;
}
