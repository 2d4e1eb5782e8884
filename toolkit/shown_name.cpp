#include "shown_name.h"

#include <cstdio>

namespace toolkit {

namespace {

// How many bytes from at form one character a terminal prints as it is:
// 0 for a control byte (C0, DEL, or C1 written in UTF-8), a line or
// paragraph separator (U+2028, U+2029), or a byte that starts no valid
// UTF-8 sequence: cut short, overlong (C0 9B is ESC), a surrogate (U+D800
// to U+DFFF) or above U+10FFFF.
size_t printable_length(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
  const unsigned first = byte(at), second = byte(at + 1);
  if (first < 0x80) return first >= 0x20 && first != 0x7f ? 1 : 0;
  const size_t length = first >= 0xc2 && first <= 0xdf ? 2 : first >= 0xe0 && first <= 0xef ? 3
                        : first >= 0xf0 && first <= 0xf4 ? 4 : 0;
  for (size_t i = 1; i < length; ++i)
    if ((byte(at + i) & 0xc0) != 0x80) return 0;
  // What the second byte may be: C2 80 to C2 9F are the C1 controls, E0
  // and F0 below the range overlong, ED above it a surrogate, F4 above it
  // past U+10FFFF.
  const unsigned low = first == 0xc2 ? 0xa0 : first == 0xe0 ? 0xa0 : first == 0xf0 ? 0x90 : 0x80;
  const unsigned high = first == 0xed ? 0x9f : first == 0xf4 ? 0x8f : 0xbf;
  if (second < low || second > high) return 0;
  if (first == 0xe2 && second == 0x80 && (byte(at + 2) == 0xa8 || byte(at + 2) == 0xa9)) return 0;
  return length;
}

}  // namespace

std::string shown_name(const std::string& name) {
  bool plain = true;
  for (size_t at = 0, n = 0; plain && at < name.size(); at += n) plain = (n = printable_length(name, at)) != 0;
  if (plain) return name;
  // Printable runs in '...', each run of other bytes in $'...' beside them.
  std::string shown = "'";
  bool escaping = false;
  for (size_t at = 0; at < name.size();) {
    const size_t n = printable_length(name, at);
    if (n == 0) {
      if (!escaping) shown += "'$'";
      escaping = true;
      const unsigned char c = static_cast<unsigned char>(name[at++]);
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\%03o", c);
      shown += c >= '\a' && c <= '\r' ? std::string("\\") + "abtnvfr"[c - '\a'] : std::string(escape);
      continue;
    }
    if (escaping) shown += "''";
    escaping = false;
    shown += name[at] == '\'' ? std::string("'\\''") : name.substr(at, n);
    at += n;
  }
  return shown + "'";
}

}  // namespace toolkit
