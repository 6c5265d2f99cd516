#pragma once
// Where the movie's elements lie in a window of some size at some DPI.
#include <windows.h>

#include "controls/player/MovieFormat.h"

namespace mf::movie {

// The element's rectangle `at` (pixels at 96 DPI) scaled to `dpi`, in a
// room `grow` pixels wider and taller than the movie's own at that DPI:
// the element keeps its distance to the edges it is anchored to.
RECT Arrange(const Rect& at, unsigned anchor, int dpi, SIZE grow);

// The room a window of `client` pixels gives over a design of `size` at `dpi`;
// never less than none.
SIZE Growth(SIZE client, int width, int height, int dpi);

}  // namespace mf::movie
