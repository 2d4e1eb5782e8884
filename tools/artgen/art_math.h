// The transcendental functions the drawers use, all of them, in one place.
//
// The pictures must come out the same bit for bit wherever they are
// regenerated, but C libraries round sin, cos, exp, pow and the rest
// differently in the last bit. Every drawer calls these instead of <cmath>'s,
// so that the one question, "does a last-bit difference move a pixel?", has
// one place to be asked: built with ART_MATH_NUDGE, every result here is
// moved one unit in the last place up or down (art::math::nudge), and the
// art tests check that no pixel of any run changes (tests/art_nudge_test.cpp).
// sqrt, floor, ceil, fabs, fmod and lround are exact in IEEE arithmetic and
// stay <cmath>'s.
#pragma once

#include <cmath>

namespace art::math {

#ifdef ART_MATH_NUDGE
// -1, 0 or +1: the direction every result below is moved by one unit in the
// last place. Only the nudged build of the drawers has it.
extern int nudge;
inline float settle(double v) {
  return static_cast<float>(nudge == 0 ? v : std::nextafter(v, nudge > 0 ? HUGE_VAL : -HUGE_VAL));
}
#else
inline float settle(double v) { return static_cast<float>(v); }
#endif

inline float sin(float x) { return settle(std::sin(double{x})); }
inline float cos(float x) { return settle(std::cos(double{x})); }
inline float asin(float x) { return settle(std::asin(double{x})); }
inline float acos(float x) { return settle(std::acos(double{x})); }
inline float atan2(float y, float x) { return settle(std::atan2(double{y}, double{x})); }
inline float exp(float x) { return settle(std::exp(double{x})); }
inline float pow(float x, float y) { return settle(std::pow(double{x}, double{y})); }

}  // namespace art::math
