#include "shapes.h"

namespace art {

Contour bolt_outline() {
  // A flat-topped upper stroke leaning right, a notch, and a lower stroke that
  // tapers to the tip at bottom left.
  return {
      {0.02f, -0.50f}, {0.27f, -0.50f},  // flat top
      {0.05f, -0.06f}, {0.25f, -0.06f},  // right side of the notch
      {-0.23f, 0.50f},                   // tip
      {-0.05f, 0.06f}, {-0.27f, 0.06f},  // left side of the notch
  };
}

Contour bolt_at(Vec2 centre, float height) {
  Contour c = bolt_outline();
  for (Vec2& p : c) p = centre + p * height;
  return c;
}

}  // namespace art
