#include "platform/uikit/IndexPath.h"

#include <ostream>

namespace ui {

std::string toString(const IndexPath& path) {
    return "{length = 2, path = " + std::to_string(path.section) + " - " + std::to_string(path.row) + "}";
}

std::ostream& operator<<(std::ostream& os, const IndexPath& path) { return os << toString(path); }

}  // namespace ui
