// A designer's redline over a screen: guide lines on whole pixels, dimension
// lines with arrowheads, and distances in a 3 x 5 digit face (the catalogue's
// capitals have no digits).
#pragma once

#include "canvas.h"
#include "label_font.h"

namespace art::logo {

constexpr int kDigitWidth = toolkit::kLabelGlyphWidth;  // the label face of label_font.h
constexpr int kDigitHeight = toolkit::kLabelGlyphHeight;

// Width in pixels of n (n >= 0) set in the digit face, one blank column
// between digits.
int number_width(int n);

// Writes n with its top-left corner at (left, top), clipped to the canvas.
void draw_number(Canvas& canvas, int n, int left, int top, Color ink);

// A guide one pixel wide over the whole screen at column x or row y, blended
// over the picture so the picture stays readable; dashed guides mark centres.
void guide_column(Canvas& canvas, int x, Color color, float opacity, bool dashed = false);
void guide_row(Canvas& canvas, int y, Color color, float opacity, bool dashed = false);

// The distance between pixel boundaries a and b (a < b) measured along row y
// or column x: a line over the pixels between them with arrowheads touching
// both boundaries, and the distance b - a written on a dark box at its middle.
// A span too short to hold its label has the label beside it: above a row,
// right of a column.
void dimension_across(Canvas& canvas, int a, int b, int y, Color line);
void dimension_down(Canvas& canvas, int a, int b, int x, Color line);

}  // namespace art::logo
