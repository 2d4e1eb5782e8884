// The art manifest: the runs of the bitmap catalogue in catalogue order.
//
// One run per line: name, width, height, count, placement ("table" or
// "outside"), who draws it ("artgen", the drawing program, or "hand", an
// image editor) and a free-text description. '#' starts a comment; blank lines
// are ignored. A run's bitmaps are the files <art dir>/<name>/00.png,
// 01.png, ... in order. A run outside the table holds one bitmap.
//
// Every rule of the manifest and of the art folder beside it lives here: the
// build lays out its steps by the runs' names alone and leaves the reading
// and checking to the converter, which calls this.
#pragma once

#include <string>
#include <vector>

namespace toolkit {

// The most bitmaps a run holds: its files are named with two digits, and a
// run always fits one flash table (at most 255 entries).
constexpr int kMaxRunBitmaps = 99;

// The most bitmaps the table runs hold together: a table index is 16 bits,
// entries 0 to 0xFFFE, and 0xFFFF (BITMAP_NOT_IN_TABLE) is no entry.
constexpr int kMaxTableEntries = 0xFFFF;

struct Run {
  std::string name;         // a C identifier: [a-z][a-z0-9_]*
  int width = 0;            // pixels, 1 to 255
  int height = 0;           // pixels, 1 to 255
  int count = 0;            // bitmaps in the run, 1 to kMaxRunBitmaps
  bool in_table = false;    // true: the run fills entries of bitmap_table
  bool by_artgen = false;   // true: artgen draws it; false: drawn by hand, artgen leaves it alone
  std::string description;  // what the run shows, for people
  int line = 0;             // line of the manifest that declares it
};

struct Manifest {
  std::string path;  // as given to load_manifest
  std::vector<Run> runs;

  const Run* find(const std::string& name) const;
  int table_length() const;  // bitmaps of all runs placed in the table
};

// Reads and checks a manifest. On failure returns false and sets error to
// one line, "<path>:<line>: <what is wrong>".
bool load_manifest(const std::string& path, Manifest& out, std::string& error);

// Whether the run's folder holds exactly its bitmaps: a picture left out or
// one too many means the manifest and the art disagree, and either would
// silently shift every bitmap after it. False with error set to one line
// naming the file.
bool check_run_files(const Manifest& manifest, const Run& run, std::string& error);

// Whether every PNG under the art folder lies in the folder of a run; those
// directly in a run's folder are check_run_files' to judge. False with error
// set to one line naming the first stray file.
bool check_art_files(const Manifest& manifest, std::string& error);

// "<art dir>/<run>/<index, two digits>.png", art dir being the manifest's folder.
std::string bitmap_path(const Manifest& manifest, const Run& run, int index);

}  // namespace toolkit
