// The small digit face that labels pictures: distances on the measured
// farewell screen, table entries on the catalogue's contact sheets. Three
// pixels wide and five high, square-shouldered so that it reads at one pixel
// a stroke.
#pragma once

namespace toolkit {

constexpr int kLabelGlyphWidth = 3;
constexpr int kLabelGlyphHeight = 5;

// Rows top to bottom, '#' ink and '.' paper, for the digits 0 to 9 and '-';
// null for any other character.
inline const char* const* label_glyph(char c) {
  static const char* const kDigits[10][kLabelGlyphHeight] = {
      {"###", "#.#", "#.#", "#.#", "###"},  // 0
      {".#.", "##.", ".#.", ".#.", "###"},  // 1
      {"###", "..#", "###", "#..", "###"},  // 2
      {"###", "..#", ".##", "..#", "###"},  // 3
      {"#.#", "#.#", "###", "..#", "..#"},  // 4
      {"###", "#..", "###", "..#", "###"},  // 5
      {"###", "#..", "###", "#.#", "###"},  // 6
      {"###", "..#", "..#", ".#.", ".#."},  // 7
      {"###", "#.#", "###", "#.#", "###"},  // 8
      {"###", "#.#", "###", "..#", "###"},  // 9
  };
  static const char* const kDash[kLabelGlyphHeight] = {"...", "...", "###", "...", "..."};
  if (c >= '0' && c <= '9') return kDigits[c - '0'];
  return c == '-' ? kDash : nullptr;
}

}  // namespace toolkit
