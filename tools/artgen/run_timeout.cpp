// The time-out screen: a clock whose minute hand sweeps one full turn per
// loop, trailing a fading amber wake. As it passes twelve (the first frame)
// the clock rings: a short wobble and a ring of light spreading from the
// bezel.
//
// The hour hand holds still: creeping forward would make it jump back where
// the loop joins up.
#include "palette.h"
#include "runs.h"
#include "screen_common.h"

namespace art {
namespace {

const screen::Material kSteel = screen::steel();
const screen::Material kBrass = screen::brass();

const Vec2 kCentre{screen::kIconX, screen::kIconY + 2};
constexpr float kOuter = 27;            // bezel outside
constexpr float kFace = 22.5f;          // bezel inside, the dial's edge
constexpr float kHourAngle = -kPi / 3;  // ten o'clock, clockwise from twelve

const Color kDial = mix(palette::graphite, palette::charcoal, 0.35f);
const Color kHand = mix(palette::bolt_amber, palette::bolt_yellow, 0.35f);

// A direction on the dial: angle clockwise from twelve.
Vec2 dial_dir(float angle) { return {math::sin(angle), -math::cos(angle)}; }

// What the ringing does at loop phase t: it starts as the hand passes twelve.
struct Alarm {
  float wobble = 0;   // radians
  float spread = -1;  // 0..1 while the ring of light spreads, else -1
};

Alarm alarm_at(float t) {
  Alarm r;
  if (t < 0.24f) {
    float u = t / 0.24f;
    r.wobble = 0.11f * math::sin(4 * kPi * u) * (1 - u);
  }
  if (t < 0.34f) r.spread = t / 0.34f;
  return r;
}

// A hand: a tapered blade from a short tail behind the centre to its tip.
Path hand(float angle, float length, float tail, float base_width, float tip_width) {
  Vec2 d = dial_dir(angle), n{-d.y, d.x};
  Vec2 back = kCentre - d * tail, tip = kCentre + d * length;
  Contour blade{back + n * (base_width / 2), tip + n * (tip_width / 2), tip - n * (tip_width / 2),
                back - n * (base_width / 2)};
  Path p(clockwise(blade));
  p.add(clockwise(circle(tip, tip_width / 2)));
  p.add(clockwise(circle(back, base_width / 2)));
  return p;
}

Path ticks() {
  Path p;
  for (int k = 0; k < 12; ++k) {
    Vec2 d = dial_dir(2 * kPi * static_cast<float>(k) / 12);
    bool major = k % 3 == 0;
    float r0 = major ? kFace - 6.5f : kFace - 4.5f, r1 = kFace - 2.2f;
    p.add(clockwise(capsule(kCentre + d * r0, kCentre + d * r1, major ? 2.2f : 1.3f)));
  }
  return p;
}

// The crown on top, as on a timer: a cap on a short stem.
Path crown() {
  const float x = kCentre.x, top = kCentre.y - kOuter - 6;
  Path p(clockwise(rect(x - 2, top + 3, x + 2, kCentre.y - kOuter + 1.5f)));
  p.add(clockwise(rounded_rect(x - 5, top, x + 5, top + 4, 1.5f)));
  return p;
}

void draw_dial(Canvas& canvas, float minute, float wobble) {
  const Vec2 c = kCentre;
  // The dial, faintly lighter towards the upper left.
  canvas.fill(Path(circle(c, kFace + 0.5f)), [c](float x, float y) {
    float along = dot(Vec2{x, y} - c, Vec2{0.6f, 0.8f}) / kFace;
    return mix(mix(kDial, palette::steel, 0.12f), kDial, clamp01(0.5f + 0.5f * along));
  });
  // The bezel's shadow falls on the dial's upper left rim.
  canvas.blend_field(
      [c](float x, float y) {
        Vec2 d = Vec2{x, y} - c;
        float r = length(d);
        if (r > kFace + 0.5f || r < 1) return 0.0f;
        float towards_light = clamp01(-dot(d * (1 / r), Vec2{0.6f, 0.8f}));
        return 0.6f * smoothstep(kFace - 5, kFace, r) * (0.3f + 0.7f * towards_light);
      },
      palette::black);
  // The minute hand's wake: amber fading over the last sixth of a turn.
  constexpr float wake = kPi / 3;
  canvas.blend_field(
      [c, minute, wobble](float x, float y) {
        Vec2 d = Vec2{x, y} - c;
        float r = length(d);
        if (r > kFace - 1.5f || r < 2) return 0.0f;
        float a = math::atan2(d.x, -d.y) - wobble;  // clockwise from twelve
        float behind = std::fmod(minute - a + 4 * kPi, 2 * kPi);
        if (behind > wake) return 0.0f;
        float edge = 1 - smoothstep(kFace - 4, kFace - 1.5f, r);
        return 0.4f * (1 - behind / wake) * (1 - behind / wake) * edge;
      },
      kHand);
  canvas.fill(ticks().rotated(c, wobble), mix(palette::silver, palette::white, 0.4f));
}

void draw_hands(Canvas& canvas, float minute, float wobble) {
  const Vec2 c = kCentre;
  Path hour = hand(kHourAngle, 11, 0, 3.4f, 2.4f).rotated(c, wobble);
  Path min = hand(minute, kFace - 3, 4, 2.6f, 1.4f).rotated(c, wobble);
  Path both = hour;
  both.add(min);
  screen::soft_shadow(canvas, both, {1.0f, 1.5f}, 1, 0.6f);
  canvas.fill(hour, mix(palette::silver, palette::white, 0.3f));
  canvas.fill(min, kHand);
  // The cap over the hands' pivot.
  Path cap(circle(c, 2.8f));
  canvas.fill(cap, screen::slab([c](Vec2 q) { return length(q - c) - 2.8f; }, 2.8f, kBrass, c, 3));
}

}  // namespace

Image565 draw_timeout(int index, int count, int width, int height) {
  const float t = screen::loop_phase(index, count);
  const float minute = 2 * kPi * t;
  const Alarm alarm = alarm_at(t);
  const Vec2 c = kCentre;
  Canvas canvas = screen::background(width, height);

  // The ring of light spreads behind the clock.
  if (alarm.spread >= 0) {
    float u = alarm.spread, r = kOuter + 10 * screen::ease_out(u), w = 0.8f + 1.6f * (1 - u);
    canvas.fill(ring(c, r + w, r - w), kHand, 0.75f * (1 - u) * (1 - u) * (0.6f + 0.4f * smoothstep(0, 0.12f, u)));
  }

  const Path knob = crown().rotated(c, alarm.wobble);
  Path body(circle(c, kOuter));
  body.add(knob);
  screen::soft_shadow(canvas, body, {2.0f, 3.0f}, 2, 0.55f);

  canvas.fill(knob, screen::tube(
                        [c, w = alarm.wobble](Vec2 q) {
                          // Shade the crown as an upright bar in the clock's own frame.
                          Vec2 local = c + rotate(q - c, -w);
                          return c + rotate(Vec2{c.x, local.y} - c, w);
                        },
                        5, kSteel));
  // The bezel: a polished steel ring, round in section.
  const float mid = (kOuter + kFace) / 2, half = (kOuter - kFace) / 2;
  canvas.fill(ring(c, kOuter, kFace), screen::tube(
                                          [c, mid](Vec2 q) {
                                            Vec2 d = q - c;
                                            float l = length(d);
                                            return l > 1e-6f ? c + d * (mid / l) : c;
                                          },
                                          half, kSteel));
  draw_dial(canvas, minute, alarm.wobble);
  draw_hands(canvas, minute, alarm.wobble);
  // A faint reflection on the glass, upper left.
  canvas.fill(Path(arc(c, kFace - 3.5f, kPi * 1.08f, kPi * 1.42f, 2.2f)), palette::white, 0.12f);

  screen::caption(canvas, {"TIME", "OUT"}, palette::white);
  return canvas.to_image();
}

}  // namespace art
