// The device's 5 x 7 capitals, A to Z: the source of the capitals run and the
// face every caption in the catalogue is set in.
#pragma once

#include <stdexcept>
#include <string>

namespace art {

constexpr int kCapitalWidth = 5;
constexpr int kCapitalHeight = 7;

// Row r (0 = top) of letter c ('A'..'Z'): 5 characters, '#' ink, '.' paper.
// Null for any other character.
const char* const* capital_rows(char c);

// Thrown when text is set with a character the capitals lack (anything but
// A-Z and the space): dropping it would make the caption say something else
// and shrink it, unnoticed. what() is "caption \"LOCKED!\": the 5 x 7
// capitals have no '!'".
class MissingGlyph : public std::runtime_error {
 public:
  MissingGlyph(const std::string& text, char missing);
};

}  // namespace art
