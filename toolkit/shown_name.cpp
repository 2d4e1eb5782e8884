#include "shown_name.h"

#include <cstdio>

namespace toolkit {

namespace {

// How many bytes from at form one character a terminal prints as it is:
// 0 for a control byte (C0, DEL, or C1 written in UTF-8) or a byte that
// starts no valid UTF-8 sequence.
size_t printable_length(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
  const unsigned first = byte(at);
  if (first < 0x80) return first >= 0x20 && first != 0x7f ? 1 : 0;
  const size_t length = first >= 0xc2 && first <= 0xdf ? 2 : first >= 0xe0 && first <= 0xef ? 3
                        : first >= 0xf0 && first <= 0xf4 ? 4 : 0;
  for (size_t i = 1; i < length; ++i)
    if ((byte(at + i) & 0xc0) != 0x80) return 0;
  if (first == 0xc2 && byte(at + 1) < 0xa0) return 0;  // U+0080 to U+009F
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
