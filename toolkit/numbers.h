// Numbers as people type them, read strictly: decimal digits and nothing
// else around them, no sign, no space, no overflow. The command line and the
// art manifest read theirs here.
#pragma once

#include <charconv>
#include <cstddef>
#include <string_view>

namespace toolkit {

// The digits text starts with, in base, as a number of type T, and the
// position after them; false when it starts with none or they overflow T.
template <typename T>
bool leading_number(std::string_view text, T& value, size_t& end, int base = 10) {
  const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  end = static_cast<size_t>(at - text.data());
  return error == std::errc();
}

// A count from 0 below limit, in decimal digits only. False for anything
// else: a sign, a space, another base, a number out of range.
inline bool parse_below(std::string_view text, unsigned limit, unsigned& number) {
  size_t end = 0;
  unsigned value = 0;
  if (!leading_number(text, value, end) || end != text.size() || value >= limit) return false;
  number = value;
  return true;
}

}  // namespace toolkit
