#include "manifest.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "numbers.h"
#include "shown_name.h"

namespace toolkit {
namespace {

bool is_identifier(const std::string& s) {
  if (s.empty() || !(s[0] >= 'a' && s[0] <= 'z')) return false;
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

// Whole decimal number within [lo, hi]; nothing else on the field.
bool parse_int(const std::string& s, int lo, int hi, int& out) {
  unsigned v = 0;
  if (!parse_below(s, static_cast<unsigned>(hi) + 1, v) || v < static_cast<unsigned>(lo)) return false;
  out = static_cast<int>(v);
  return true;
}

std::string art_dir(const Manifest& manifest) {
  const std::string::size_type slash = manifest.path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : manifest.path.substr(0, slash);
}

std::string file_name(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// "run 'bolt' has 30 bitmaps, 00.png to 29.png"
std::string run_files(const Manifest& manifest, const Run& run) {
  const std::string first = file_name(bitmap_path(manifest, run, 0));
  if (run.count == 1) return "1 bitmap, " + first;
  return std::to_string(run.count) + " bitmaps, " + first + " to " +
         file_name(bitmap_path(manifest, run, run.count - 1));
}

// The names in folder, sorted; what names the folder in an error ("the
// folder of run 'bolt'").
bool list_folder(const std::string& folder, const std::string& what, std::vector<std::string>& names,
                 std::string& error) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    error = shown_name(folder) + ": cannot open " + what + ": " + std::strerror(errno);
    return false;
  }
  int saved = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (!entry) {
      saved = errno;
      break;
    }
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  if (saved != 0) {
    error = shown_name(folder) + ": cannot list " + what + ": " + std::strerror(saved);
    return false;
  }
  std::sort(names.begin(), names.end());
  return true;
}

bool is_folder(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);  // links are not followed
}

// The PNGs under folder, its subfolders' too, but not those directly in a
// run's folder (runs: the runs' folders, sorted).
bool find_stray_pngs(const std::string& folder, const std::vector<std::string>& runs, const Manifest& manifest,
                     std::string& error) {
  std::vector<std::string> names;
  if (!list_folder(folder, "a folder of the art", names, error)) return false;
  const bool in_run = std::binary_search(runs.begin(), runs.end(), folder);
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    if (is_folder(path)) {
      if (!find_stray_pngs(path, runs, manifest, error)) return false;
    } else if (ends_with(name, ".png") && !in_run) {
      error = shown_name(path) + ": not part of any run of " + shown_name(manifest.path);
      return false;
    }
  }
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
    if (!run.in_table && run.count != 1)
      return fail("run '" + run.name + "' is outside the table, so it must hold exactly 1 bitmap");
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
  if (out.table_length() > kMaxTableEntries) {
    error = shown_name(path) + ": the table runs hold " + std::to_string(out.table_length()) +
            " bitmaps, more than a table index can name";
    return false;
  }
  return true;
}

bool check_run_files(const Manifest& manifest, const Run& run, std::string& error) {
  const std::string first = bitmap_path(manifest, run, 0);
  const std::string folder = first.substr(0, first.find_last_of('/'));
  std::vector<std::string> names;
  if (!list_folder(folder, "the folder of run '" + run.name + "'", names, error)) return false;
  std::vector<std::string> pngs;
  for (const std::string& name : names)
    if (ends_with(name, ".png")) pngs.push_back(name);

  std::vector<std::string> expected;
  for (int i = 0; i < run.count; ++i) expected.push_back(file_name(bitmap_path(manifest, run, i)));
  for (int i = 0; i < run.count; ++i) {
    if (!std::binary_search(pngs.begin(), pngs.end(), expected[static_cast<size_t>(i)])) {
      error = shown_name(bitmap_path(manifest, run, i)) + ": missing: run '" + run.name + "' has " +
              run_files(manifest, run);
      return false;
    }
  }
  for (const std::string& name : pngs) {
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
      error = shown_name(folder + "/" + name) + ": not part of run '" + run.name + "', which has " +
              run_files(manifest, run);
      return false;
    }
  }
  return true;
}

bool check_art_files(const Manifest& manifest, std::string& error) {
  const std::string dir = art_dir(manifest);
  std::vector<std::string> runs;
  for (const Run& run : manifest.runs) runs.push_back(dir + "/" + run.name);
  std::sort(runs.begin(), runs.end());
  return find_stray_pngs(dir, runs, manifest, error);
}

std::string bitmap_path(const Manifest& manifest, const Run& run, int index) {
  char name[16];
  std::snprintf(name, sizeof name, "%02d.png", index);
  return art_dir(manifest) + "/" + run.name + "/" + name;
}

}  // namespace toolkit
