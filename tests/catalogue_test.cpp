// The catalogue as the program is built with it: the shape of bitmap_table,
// the pixel values the program's output depends on, and a golden table of
// every bitmap so that any drift in the art or the converter shows as a diff.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap_runs.h"
#include "bitmaps.h"
#include "known_pixels.h"
#include "next_steps.h"

namespace {

// The pixel at (x, y), reading the stored bytes high byte first.
uint16_t pixel(const sBITMAP& b, int x, int y) {
  const uint8_t* p = b.pixels + 2 * (y * b.width + x);
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

TEST(Catalogue, WalkingTheTableVisitsTheRunsInOrder) {
  struct Stretch {
    int count, width, height;
  };
  const Stretch expected[] = {{30, 80, 160}, {14, 100, 100}, {26, 5, 7}, {70, 80, 160},
                              {10, 9, 12},   {119, 80, 160}, {10, 9, 12}};
  std::vector<Stretch> walked;
  for (const sBITMAP* b : bitmap_table) {
    ASSERT_NE(b, nullptr);
    if (walked.empty() || walked.back().width != b->width || walked.back().height != b->height)
      walked.push_back({0, b->width, b->height});
    ++walked.back().count;
  }
  ASSERT_EQ(walked.size(), std::size(expected));
  for (size_t i = 0; i < walked.size(); ++i) {
    EXPECT_EQ(walked[i].count, expected[i].count) << "stretch " << i;
    EXPECT_EQ(walked[i].width, expected[i].width) << "stretch " << i;
    EXPECT_EQ(walked[i].height, expected[i].height) << "stretch " << i;
  }
  EXPECT_EQ(bitmap_table[44]->width, 5);  // A
  EXPECT_EQ(bitmap_table[69]->height, 7);  // Z
  EXPECT_EQ(bitmap_table[140]->width, 9);  // first-style 0
  EXPECT_EQ(bitmap_table[269]->height, 12);  // second-style 0
}

TEST(Catalogue, EveryRecordHasItsOwnPixelArray) {
  std::vector<const sBITMAP*> all(std::begin(bitmap_table), std::end(bitmap_table));
  all.push_back(&farewell_bitmap);
  all.push_back(&farewell_measured_bitmap);
  std::set<const sBITMAP*> records(all.begin(), all.end());
  EXPECT_EQ(records.size(), all.size());
  // No two arrays overlap, so no record's bytes alias another's.
  std::vector<std::pair<const uint8_t*, const uint8_t*>> spans;
  for (const sBITMAP* b : all) spans.push_back({b->pixels, b->pixels + bitmap_byte_size(b)});
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i) EXPECT_LE(spans[i - 1].second, spans[i].first);
}

TEST(Catalogue, FarewellScreensAreFullScreenAndOutsideTheTable) {
  for (const sBITMAP* b : {&farewell_bitmap, &farewell_measured_bitmap}) {
    EXPECT_EQ(b->width, 80);
    EXPECT_EQ(b->height, 160);
    for (const sBITMAP* entry : bitmap_table) EXPECT_NE(entry, b);
  }
  // The measured variant is the farewell screen with marks drawn over it.
  EXPECT_NE(0, std::memcmp(farewell_bitmap.pixels, farewell_measured_bitmap.pixels, 25600));
}

TEST(Catalogue, SecondStyleZeroHoldsExactlyTheFontMaster) {
  const sBITMAP& zero = *bitmap_table[269];
  ASSERT_EQ(bitmap_byte_size(&zero), 216u);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(pixel(zero, x, y), testing_support::kSecondStyleZero[y][x]) << "x " << x << ", y " << y;
  // High byte first: the second pixel 80EC is stored as 80 EC.
  const uint8_t head[4] = {0x00, 0x00, 0x80, 0xEC};
  EXPECT_EQ(0, std::memcmp(zero.pixels, head, 4));
}

TEST(Catalogue, SecondStyleNineStartsWithTheGivenPixels) {
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bitmap_table[278]->pixels), 8),
            testing_support::kSecondStyleNineHead);
}

TEST(Catalogue, CapitalsAreWhiteOnBlackOnly) {
  for (int entry = 44; entry <= 69; ++entry) {
    const sBITMAP& letter = *bitmap_table[entry];
    int ink = 0;
    for (int y = 0; y < letter.height; ++y)
      for (int x = 0; x < letter.width; ++x) {
        uint16_t p = pixel(letter, x, y);
        EXPECT_TRUE(p == 0x0000 || p == 0xFFFF) << "entry " << entry << " (" << x << ", " << y << ")";
        ink += p == 0xFFFF;
      }
    EXPECT_GT(ink, 5) << "entry " << entry;
  }
}

TEST(Catalogue, StartupLogoStandsOnDarkGrey) {
  for (int entry = 150; entry <= 184; ++entry) {
    const sBITMAP& frame = *bitmap_table[entry];
    int grey = 0;
    for (uint32_t i = 0; i < bitmap_byte_size(&frame); i += 2)
      grey += frame.pixels[i] == 0x10 && frame.pixels[i + 1] == 0x82;  // 0x1082, high byte first
    EXPECT_GT(grey, 80 * 160 / 2) << "entry " << entry;
  }
}

// One line per bitmap in catalogue order: table index (or "-"), run, index
// in the run, size, bytes, CRC-32 of the stored bytes. A run in the table
// shows the records bitmap_table holds at its entries, so that a table out
// of step with its runs shows as a difference too.
std::string golden_table() {
  std::ostringstream out;
  char header[128];
  std::snprintf(header, sizeof header, "%-7s  %-18s  %2s  %-7s  %5s  %s\n", "# entry", "run", "#", "size", "bytes",
                "crc32");
  out << header;
  for (size_t r = 0; r < bitmap_run_count; ++r) {
    const sBITMAP_RUN& run = bitmap_runs[r];
    for (int i = 0; i < run.count; ++i) {
      const int at = run.first_entry + i;
      const bool in_table = run.first_entry != BITMAP_NOT_IN_TABLE;
      if (in_table && at >= BITMAP_TABLE_LENGTH) {
        out << at << " past the table's end, " << run.name << " " << i << "\n";
        continue;
      }
      const sBITMAP& b = in_table ? *bitmap_table[at] : run.records[i];
      char entry[8] = "-";
      if (in_table) std::snprintf(entry, sizeof entry, "%d", at);
      char size[16];
      std::snprintf(size, sizeof size, "%dx%d", b.width, b.height);
      char line[128];
      std::snprintf(line, sizeof line, "%-7s  %-18s  %2d  %-7s  %5u  %08lx\n", entry, run.name, i, size,
                    bitmap_byte_size(&b), crc32(0, b.pixels, bitmap_byte_size(&b)));
      out << line;
    }
  }
  return out.str();
}

// A golden-table line's fields, keyed by run and index in the run.
struct GoldenRow {
  std::string entry, size, bytes, crc;
};
using GoldenRows = std::map<std::pair<std::string, int>, GoldenRow>;

// Every line but comments; a line that does not read as a bitmap is kept
// under its text, so that it still shows as a difference.
GoldenRows golden_rows(const std::string& table) {
  GoldenRows rows;
  std::istringstream in(table);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string run;
    int index = -1;
    GoldenRow row;
    if (!(fields >> row.entry >> run >> index >> row.size >> row.bytes >> row.crc)) {
      run = "(unreadable line) " + line;
      index = -1;
    }
    rows[{run, index}] = row;
  }
  return rows;
}

// One line per bitmap whose line differs: entry, run, file, golden and built
// CRC-32, and the size where that changed too.
std::string golden_differences(const std::string& golden, const std::string& built, int& count) {
  const GoldenRows was = golden_rows(golden), now = golden_rows(built);
  std::set<std::pair<std::string, int>> keys;
  for (const auto& row : was) keys.insert(row.first);
  for (const auto& row : now) keys.insert(row.first);
  std::string out;
  char line[256];
  std::snprintf(line, sizeof line, "  %-6s %-18s %-30s %-13s %s\n", "entry", "run", "file", "golden crc32",
                "built crc32");
  out += line;
  count = 0;
  for (const auto& key : keys) {
    auto a = was.find(key), b = now.find(key);
    const GoldenRow none{"-", "", "", "absent"};
    const GoldenRow& old_row = a == was.end() ? none : a->second;
    const GoldenRow& new_row = b == now.end() ? none : b->second;
    if (a != was.end() && b != now.end() && old_row.entry == new_row.entry && old_row.size == new_row.size &&
        old_row.bytes == new_row.bytes && old_row.crc == new_row.crc)
      continue;
    ++count;
    std::string note;
    if (a != was.end() && b != now.end() && old_row.entry != new_row.entry)
      note += "  entry was " + old_row.entry;
    if (a != was.end() && b != now.end() && old_row.size != new_row.size)
      note += "  size was " + old_row.size + ", now " + new_row.size;
    const std::string file = key.second < 0 ? "" : testing_support::art_file(key.first, key.second);
    std::snprintf(line, sizeof line, "  %-6s %-18s %-30s %-13s %s%s\n",
                  (b == now.end() ? old_row : new_row).entry.c_str(), key.first.c_str(), file.c_str(),
                  old_row.crc.c_str(), new_row.crc.c_str(), note.c_str());
    out += line;
  }
  return out;
}

TEST(Catalogue, MatchesTheGoldenTable) {
  const std::string actual = golden_table();
  if (const char* update = std::getenv("UPDATE_GOLDEN"); update && *update == '1') {
    std::ofstream(GOLDEN_TABLE, std::ios::binary) << actual;
    GTEST_SKIP() << "rewrote " << GOLDEN_TABLE;
  }
  std::ifstream in(GOLDEN_TABLE, std::ios::binary);
  ASSERT_TRUE(in) << "cannot read " << GOLDEN_TABLE;
  std::stringstream expected;
  expected << in.rdbuf();
  if (expected.str() == actual) return;
  int count = 0;
  const std::string listed = golden_differences(expected.str(), actual, count);
  ADD_FAILURE() << count << (count == 1 ? " bitmap differs" : " bitmaps differ") << " from the golden table "
                << testing_support::in_tree(GOLDEN_TABLE) << ":\n"
                << listed << "If the change is intended, refresh the table and commit it with the art:\n  "
                << testing_support::refresh_golden_command()
                << "\nIf not, put back what changed them: the files listed (git checkout FILE), or the converter.";
}

}  // namespace
