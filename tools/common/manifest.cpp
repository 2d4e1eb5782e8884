#include "manifest.h"

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "shown_name.h"

namespace art {
namespace {

bool is_identifier(const std::string& s) {
  if (s.empty() || !(s[0] >= 'a' && s[0] <= 'z')) return false;
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

// Whole decimal number within [lo, hi]; nothing else on the field.
bool parse_int(const std::string& s, int lo, int hi, int& out) {
  if (s.empty() || s.size() > 4) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return false;
  out = v;
  return true;
}

}  // namespace

const Run* Manifest::find(const std::string& name) const {
  for (const Run& r : runs)
    if (r.name == name) return &r;
  return nullptr;
}

int Manifest::table_length() const {
  int n = 0;
  for (const Run& r : runs)
    if (r.in_table) n += r.count;
  return n;
}

bool load_manifest(const std::string& path, Manifest& out, std::string& error) {
  out = Manifest{};
  out.path = path;
  std::ifstream in(path);
  if (!in) {
    error = shown_name(path) + ": cannot open the manifest";
    return false;
  }
  std::set<std::string> seen;
  std::string text;
  int line_no = 0;
  while (std::getline(in, text)) {
    ++line_no;
    auto fail = [&](const std::string& what) {
      error = shown_name(path) + ":" + std::to_string(line_no) + ": " + what;
      return false;
    };
    std::string::size_type hash = text.find('#');
    std::istringstream fields(text.substr(0, hash));
    Run run;
    std::string width, height, count, placement, drawn;
    if (!(fields >> run.name)) continue;  // blank or comment only
    if (!(fields >> width >> height >> count >> placement >> drawn))
      return fail("expected: name width height count placement drawn description");
    std::getline(fields >> std::ws, run.description);
    if (!is_identifier(run.name))
      return fail("run name '" + run.name + "' is not lower case letters, digits and underscores");
    if (!seen.insert(run.name).second) return fail("run '" + run.name + "' is declared twice");
    if (!parse_int(width, 1, 255, run.width))
      return fail("width '" + width + "' is not a whole number from 1 to 255");
    if (!parse_int(height, 1, 255, run.height))
      return fail("height '" + height + "' is not a whole number from 1 to 255");
    if (!parse_int(count, 1, kMaxRunBitmaps, run.count))
      return fail("count '" + count + "' is not a whole number from 1 to " + std::to_string(kMaxRunBitmaps));
    if (placement == "table")
      run.in_table = true;
    else if (placement != "outside")
      return fail("placement '" + placement + "' is neither 'table' nor 'outside'");
    if (drawn == "artgen")
      run.by_artgen = true;
    else if (drawn != "hand")
      return fail("drawn '" + drawn + "' is neither 'artgen' nor 'hand'");
    run.line = line_no;
    out.runs.push_back(run);
  }
  if (in.bad()) {
    error = shown_name(path) + ": read error";
    return false;
  }
  if (out.runs.empty()) {
    error = shown_name(path) + ": declares no runs";
    return false;
  }
  return true;
}

std::string bitmap_path(const Manifest& manifest, const Run& run, int index) {
  std::string dir = manifest.path;
  std::string::size_type slash = dir.find_last_of('/');
  dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
  char name[16];
  std::snprintf(name, sizeof name, "%02d.png", index);
  return dir + "/" + run.name + "/" + name;
}

}  // namespace art
