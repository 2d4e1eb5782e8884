// The start-up logo animation, played once: the ring draws itself round,
// the bolt strikes in white hot with a flash, its glow swells and settles, a
// band of light runs across the bolt, and the calm logo holds to the end.
#include <cmath>

#include "logo_mark.h"
#include "palette.h"
#include "runs.h"

namespace art {
namespace {

// The timeline in frames of the 35-frame sequence; other lengths stretch it.
constexpr float kFrames = 34;
constexpr float kRingDone = 10, kStrikeDone = 14, kFlashPeak = 14.6f, kGlowPeak = 17, kGlowRest = 25;
constexpr float kSheenStart = 23, kSheenEnd = 30;

float ease_in_out(float t) { return 0.5f - 0.5f * math::cos(kPi * clamp01(t)); }

logo::Look startup_look(float f, int width, int height) {
  logo::Look look = logo::calm_look({static_cast<float>(width) / 2, static_cast<float>(height) / 2},
                                    static_cast<float>(width) * 3 / 8);
  look.ring_sweep = ease_in_out((f + 0.5f) / (kRingDone + 0.5f));
  look.ring_spark = 1 - smoothstep(kRingDone - 0.5f, kRingDone + 2.5f, f);
  look.bolt_reveal = math::pow(clamp01((f - kRingDone) / (kStrikeDone - kRingDone)), 1.3f);
  look.bolt_heat = 1 - smoothstep(kStrikeDone, kStrikeDone + 6, f);
  float from_flash = (f - kFlashPeak) / 1.3f;
  look.flash = math::exp(-from_flash * from_flash);
  if (look.flash < 0.02f) look.flash = 0;
  const float peak = 1.3f, rest = look.glow;
  look.glow = f < kGlowPeak ? peak * smoothstep(kRingDone + 2, kGlowPeak, f)
                            : peak + (rest - peak) * smoothstep(kGlowPeak, kGlowRest, f);
  // The band enters and leaves the bolt just outside the first and last frames
  // of the sweep, moving evenly so each frame shows it a step further.
  if (f > kSheenStart && f < kSheenEnd) look.sheen = -0.95f + 1.85f * (f - kSheenStart) / (kSheenEnd - kSheenStart);
  return look;
}

}  // namespace

Image565 draw_startup(int index, int count, int width, int height) {
  float f = count > 1 ? static_cast<float>(index) * kFrames / static_cast<float>(count - 1) : kFrames;
  Canvas canvas(width, height, palette::charcoal);
  logo::draw_logo(canvas, startup_look(f, width, height));
  return canvas.to_image();
}

}  // namespace art
