#pragma once

namespace imageproc {

// A set bit in a BinaryImage is a black pixel.
enum BWColor { WHITE = 0, BLACK = 1 };

} // namespace imageproc
