// A little 3D for the runs that show something turning about its vertical
// axis: vectors, the turn itself and a perspective camera; and the art's one
// light model, which every drawer that shades a surface uses.
//
// World axes follow the screen: x to the right, y down, z away from the
// viewer. The turning axis is the world y axis through the origin.
#pragma once

#include "canvas.h"

namespace art::turn {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 normalized(Vec3 v);

// Turns p about the vertical axis by angle radians; at a small positive
// angle the right-hand side comes towards the viewer.
Vec3 turn_y(Vec3 p, float angle);

inline Vec3 view_direction() { return {0, 0, -1}; }  // towards the viewer, straight in front

// The light: at the upper left, in front of the picture. Lambert's term
// for the diffuse light, Blinn-Phong's for the highlight.
struct Light {
  Vec3 towards;  // from a surface towards the light
  Vec3 half;     // halfway between towards and view_direction(), for the highlight

  float lambert(Vec3 normal) const { return dot(normal, towards); }     // negative facing away
  float diffuse(Vec3 normal) const { return clamp01(lambert(normal)); }  // 0 to 1
  // 0 to 1; higher shininess gives a tighter spot.
  float specular(Vec3 normal, float shininess) const;
};

// Where each family of drawers has the light. Each aims it a little
// differently; the committed pictures depend on those aims to the last
// pixel, so they stay as they were drawn.
const Light& turning_light();  // the turning bolt and emblem
const Light& logo_light();     // the logo's ring (start-up, farewell)
const Light& screen_light();   // the screens' metal and brass (screen_common.h)

// A pinhole camera on the z axis at `distance` in front of the turning axis.
// Points on the plane z = 0 keep their size; nearer points grow a little.
struct Camera {
  Vec2 centre;     // where the turning axis's origin lands on screen
  float distance;  // from the camera to the turning axis, in pixels

  Vec2 project(Vec3 p) const;
  // The point of the plane through `on_plane` with `normal` that shows at
  // screen point s; false when the plane is seen edge-on.
  bool unproject(Vec2 s, Vec3 on_plane, Vec3 normal, Vec3& hit) const;
};

// Ordered dithering before the panel's rounding: a fraction of a step per
// channel, in a fixed 4 x 4 pattern, so soft glows on dark screens come out
// smooth instead of in rings. Colours the panel shows exactly stay exact.
void dither(Canvas& canvas);

// Clamped mix through three colours: dark at t = 0, mid at 0.5, light at 1.
Color ramp(Color dark, Color mid, Color light, float t);

}  // namespace art::turn
