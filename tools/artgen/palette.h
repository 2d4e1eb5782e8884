// The device's palette. Every picture in the catalogue is drawn from these
// colours and blends between them, so screens look like one product.
#pragma once

#include "canvas.h"

namespace art::palette {

inline const Color black = hex(0x000000);
inline const Color white = hex(0xFFFFFF);
// The dark grey behind the start-up logo: RGB565 0x1082, stored as 10 82.
inline const Color charcoal = from565(0x1082);
inline const Color graphite = hex(0x2A2D34);  // panels, outlines at rest
inline const Color steel = hex(0x6B7280);     // inactive strokes
inline const Color silver = hex(0xC9CED6);    // metal, captions' secondary ink

inline const Color bolt_yellow = hex(0xFFD42A);  // the bolt, lit face
inline const Color bolt_amber = hex(0xFF9F1C);   // the bolt, shaded face
inline const Color bolt_ember = hex(0xC2410C);   // the bolt, edges and back

inline const Color orange = hex(0xFF8A1F);   // first-style digits, top
inline const Color pink = hex(0xFF4F9A);     // first-style digits, bottom
inline const Color magenta = from565(0xF1F7);  // second-style digits, top
inline const Color blue = from565(0x1ABF);     // second-style digits, bottom

inline const Color cyan = hex(0x22D3EE);   // accents, guide lines
inline const Color green = hex(0x34D870);  // charge level
inline const Color red = hex(0xF43F5E);    // warnings
inline const Color smoke = hex(0xD8DCE3);  // vapour, lit from above

}  // namespace art::palette
