// Shapes that several screens share, so the product has one bolt.
#pragma once

#include "canvas.h"

namespace art {

// The device's lightning bolt, centred on the origin, 1 unit tall (y from
// -0.5 at the top to +0.5 at the bottom tip), about 0.56 units wide, wound
// clockwise on screen. Scale and place it with Path::transformed.
Contour bolt_outline();

// The bolt scaled to `height` pixels with its centre at `centre`.
Contour bolt_at(Vec2 centre, float height);

}  // namespace art
