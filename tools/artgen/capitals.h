// The device's 5 x 7 capitals, A to Z: the source of the capitals run and the
// face every caption in the catalogue is set in.
#pragma once

namespace art {

constexpr int kCapitalWidth = 5;
constexpr int kCapitalHeight = 7;

// Row r (0 = top) of letter c ('A'..'Z'): 5 characters, '#' ink, '.' paper.
// Null for any other character.
const char* const* capital_rows(char c);

}  // namespace art
