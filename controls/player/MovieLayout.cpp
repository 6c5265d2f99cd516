#include "controls/player/MovieLayout.h"

#include <algorithm>

#include "common/Dpi.h"

namespace mf::movie {
namespace {

// One direction: the near and far edges of a span after growing by `grow`.
void Stretch(LONG& nearEdge, LONG& farEdge, bool toNear, bool toFar, LONG grow) {
  if (!toFar) return;
  farEdge += grow;
  if (!toNear) nearEdge += grow;
}

}  // namespace

RECT Arrange(const Rect& at, unsigned anchor, int dpi, SIZE grow) {
  RECT r{ScaleFor(at.x, dpi), ScaleFor(at.y, dpi), ScaleFor(at.x + at.w, dpi),
         ScaleFor(at.y + at.h, dpi)};
  Stretch(r.left, r.right, anchor & kAnchorLeft, anchor & kAnchorRight, grow.cx);
  Stretch(r.top, r.bottom, anchor & kAnchorTop, anchor & kAnchorBottom, grow.cy);
  return r;
}

SIZE Growth(SIZE client, int width, int height, int dpi) {
  return {std::max<LONG>(0, client.cx - ScaleFor(width, dpi)),
          std::max<LONG>(0, client.cy - ScaleFor(height, dpi))};
}

}  // namespace mf::movie
