// The product's logo: the bolt inside a metal ring. The start-up animation
// and the farewell screens draw it through one function, so every screen
// shows the same mark and only the lighting and progress change.
#pragma once

#include "canvas.h"

namespace art::logo {

// How far each part of the logo has come and how it is lit. The defaults
// give the calm, complete logo.
struct Look {
  Vec2 centre{40, 80};
  float ring_outer = 30;     // outer radius, px
  float ring_inner = 26;     // inner radius, px
  float bolt_height = 38;    // px
  float ring_sweep = 1;      // part of the ring drawn, clockwise from 12 o'clock
  float ring_spark = 0;      // light at the growing end of the ring
  float bolt_reveal = 1;     // part of the bolt wiped in from the top
  float bolt_heat = 0;       // 1 = white hot, 0 = its own yellow
  float glow = 0.45f;        // warm light behind the bolt
  float flash = 0;           // bloom over the whole logo
  float sheen = -10;         // light band across the bolt, -1 to 1 crosses it
  float brightness = 1;      // below 1 fades the logo towards the screen colour
};

// The calm, complete logo centred at centre, its parts sized after the
// ring's outer radius.
Look calm_look(Vec2 centre, float ring_outer);

// Light added around centre that falls smoothly to exactly nothing at
// radius, so the screen beyond stays its own colour.
void soft_light(Canvas& canvas, Vec2 centre, float radius, Color color, float intensity);

// Draws the logo over what the canvas holds (the screen colour).
void draw_logo(Canvas& canvas, const Look& look);

}  // namespace art::logo
