#pragma once
// Stroke end and corner styles, numbered as the platform numbers them.

namespace cg {

enum class LineCap { Butt = 0, Round = 1, Square = 2 };
enum class LineJoin { Miter = 0, Round = 1, Bevel = 2 };

}  // namespace cg
