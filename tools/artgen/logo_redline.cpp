#include "logo_redline.h"

#include <string>

#include "label_font.h"
#include "palette.h"

namespace art::logo {
namespace {

const Color kLabelInk = palette::white;
const Color kLabelBox = hex(0x08090B);
constexpr int kPad = 1;  // box margin around the digits

bool inside(const Canvas& c, int x, int y) { return x >= 0 && y >= 0 && x < c.width() && y < c.height(); }

void put(Canvas& c, int x, int y, Color color, float opacity = 1) {
  if (inside(c, x, y)) c.at(x, y) = mix(c.at(x, y), color, opacity);
}

int label_width(int n) { return number_width(n) + 2 * kPad; }
constexpr int kLabelHeight = kDigitHeight + 2 * kPad;

// The label box with its top-left corner at (left, top).
void label_at(Canvas& c, int n, int left, int top) {
  for (int y = top; y < top + kLabelHeight; ++y)
    for (int x = left; x < left + label_width(n); ++x) put(c, x, y, kLabelBox);
  draw_number(c, n, left + kPad, top + kPad, kLabelInk);
}

// Where a label of size `size` goes to sit centred in [a, b). When it cannot
// sit exactly centred it leans away from the screen's middle, so a label in a
// margin keeps clear of the guide on the picture's side.
int centred_start(int a, int b, int size, int screen) {
  int slack = (b - a) - size;
  int start = a + (slack >= 0 ? slack / 2 : -((-slack + 1) / 2));
  bool tie = slack % 2 != 0;
  if (tie && a + b > screen) ++start;
  return start;
}

}  // namespace

int number_width(int n) {
  int digits = static_cast<int>(std::to_string(n < 0 ? 0 : n).size());
  return digits * (kDigitWidth + 1) - 1;
}

void draw_number(Canvas& canvas, int n, int left, int top, Color ink) {
  std::string s = std::to_string(n < 0 ? 0 : n);
  for (char ch : s) {
    const char* const* rows = toolkit::label_glyph(ch);
    for (int r = 0; r < kDigitHeight; ++r)
      for (int col = 0; col < kDigitWidth; ++col)
        if (rows[r][col] == '#') put(canvas, left + col, top + r, ink);
    left += kDigitWidth + 1;
  }
}

void guide_column(Canvas& canvas, int x, Color color, float opacity, bool dashed) {
  for (int y = 0; y < canvas.height(); ++y)
    if (!dashed || y % 4 < 2) put(canvas, x, y, color, opacity);
}

void guide_row(Canvas& canvas, int y, Color color, float opacity, bool dashed) {
  for (int x = 0; x < canvas.width(); ++x)
    if (!dashed || x % 4 < 2) put(canvas, x, y, color, opacity);
}

void dimension_across(Canvas& canvas, int a, int b, int y, Color line) {
  if (b <= a) return;
  for (int x = a; x < b; ++x) put(canvas, x, y, line);
  if (b - a >= 5) {  // arrowheads need room for both
    for (int d : {-1, 1}) {
      put(canvas, a + 1, y + d, line);
      put(canvas, b - 2, y + d, line);
    }
  }
  int n = b - a, left = centred_start(a, b, label_width(n), canvas.width());
  label_at(canvas, n, left, n >= label_width(n) ? y - kLabelHeight / 2 : y - 1 - kLabelHeight);
}

void dimension_down(Canvas& canvas, int a, int b, int x, Color line) {
  if (b <= a) return;
  for (int y = a; y < b; ++y) put(canvas, x, y, line);
  if (b - a >= 5) {
    for (int d : {-1, 1}) {
      put(canvas, x + d, a + 1, line);
      put(canvas, x + d, b - 2, line);
    }
  }
  int n = b - a, top = centred_start(a, b, kLabelHeight, canvas.height());
  label_at(canvas, n, n >= kLabelHeight + 4 ? x - label_width(n) / 2 : x + 2, top);
}

}  // namespace art::logo
