// The flash table printer. flash_offset belongs to the whole process and is
// never reset, so every in-process case works from the value it finds; the
// absolute offsets are checked in a fresh process.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "bitmaps.h"
#include "flash_table.h"
#include "process.h"

namespace {

using testing_support::run_process;
using testing_support::TempDir;

std::string print_to_string(const char* name, const sBITMAP* const* entries, uint8_t count) {
  std::FILE* f = std::tmpfile();
  if (!f) throw std::runtime_error("tmpfile failed");
  print_flash_table_to(f, name, entries, count);
  std::string text(static_cast<size_t>(std::ftell(f)), '\0');
  std::rewind(f);
  const size_t got = std::fread(text.data(), 1, text.size(), f);
  std::fclose(f);
  text.resize(got);
  return text;
}

std::string line(unsigned width, unsigned height, uint32_t offset) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%u, %u, 0x%" PRIx32 ",\n", width, height, offset);
  return buf;
}

std::string digits_table(uint32_t start) {
  std::string text = "FLASH_sBITMAP flash_digits[10] = {\n";
  for (uint32_t i = 0; i < 10; ++i) text += line(9, 12, start + i * 0xd8);
  return text + "};\n";
}

TEST(FlashTable, DigitsInAFreshProcessStartAtZero) {
  auto once = run_process({FLASH_TABLE_PRINT_PATH, "1"});
  EXPECT_EQ(once.exit_status, 0);
  EXPECT_EQ(once.out,
            "FLASH_sBITMAP flash_digits[10] = {\n"
            "9, 12, 0x0,\n9, 12, 0xd8,\n9, 12, 0x1b0,\n9, 12, 0x288,\n9, 12, 0x360,\n"
            "9, 12, 0x438,\n9, 12, 0x510,\n9, 12, 0x5e8,\n9, 12, 0x6c0,\n9, 12, 0x798,\n"
            "};\n"
            "flash_offset 0x870\n");
  auto twice = run_process({FLASH_TABLE_PRINT_PATH, "2"});
  EXPECT_EQ(twice.out, digits_table(0) + digits_table(0x870) + "flash_offset 0x10e0\n");
}

TEST(FlashTable, ASecondTableContinuesWhereTheFirstEnded) {
  const uint32_t start = flash_offset;
  EXPECT_EQ(print_to_string("digits", &bitmap_table[140], 10), digits_table(start));
  EXPECT_EQ(flash_offset, start + 0x870);
  EXPECT_EQ(print_to_string("digits", &bitmap_table[140], 10), digits_table(start + 0x870));
  EXPECT_EQ(flash_offset, start + 0x10e0);
}

TEST(FlashTable, AbsentEntriesPrintNothingAndTakeNoSpace) {
  const sBITMAP a{9, 12, nullptr}, b{5, 7, nullptr};
  const sBITMAP* none[3] = {nullptr, nullptr, nullptr};
  const sBITMAP* gap[3] = {&a, nullptr, &b};
  struct Case {
    const char* what;
    const sBITMAP* const* entries;
    uint8_t count;
    std::vector<std::pair<const sBITMAP*, uint32_t>> lines;  // record, offset after start
    uint32_t advance;
  };
  const Case cases[] = {
      {"count 0", gap, 0, {}, 0},
      {"all absent", none, 3, {}, 0},
      {"absent between two", gap, 3, {{&a, 0}, {&b, 216}}, 216 + 70},
  };
  for (const Case& c : cases) {
    const uint32_t start = flash_offset;
    std::string expected = "FLASH_sBITMAP flash_t[" + std::to_string(c.count) + "] = {\n";
    for (const auto& [record, at] : c.lines) expected += line(record->width, record->height, start + at);
    EXPECT_EQ(print_to_string("t", c.entries, c.count), expected + "};\n") << c.what;
    EXPECT_EQ(flash_offset - start, c.advance) << c.what;
  }
}

TEST(FlashTable, EachSizeAdvancesByItsByteSize) {
  const struct {
    const sBITMAP* entry;
    uint32_t advance;
  } cases[] = {{bitmap_table[0], 0x6400}, {bitmap_table[30], 0x4e20}, {bitmap_table[44], 0x46}};
  for (const auto& c : cases) {
    const uint32_t start = flash_offset;
    EXPECT_EQ(print_to_string("one", &c.entry, 1),
              "FLASH_sBITMAP flash_one[1] = {\n" + line(c.entry->width, c.entry->height, start) + "};\n");
    EXPECT_EQ(flash_offset - start, c.advance);
  }
}

// 255 x 255 is the largest record; 33,025 of them end 66,046 bytes short of
// 2^32, and the next one passes it: the offsets wrap modulo 2^32.
TEST(FlashTable, TheOffsetWrapsModulo2To32) {
  const auto r = run_process({FLASH_TABLE_PRINT_PATH, "wrap", "33025"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out,
            "FLASH_sBITMAP flash_wrap[3] = {\n"
            "255, 255, 0xfffefe02,\n9, 12, 0xfa04,\n9, 12, 0xfadc,\n"
            "};\n"
            "flash_offset 0xfbb4\n");
}

TEST(FlashTable, AFullTableOf255PrintsEveryEntry) {
  std::vector<sBITMAP> records;
  for (unsigned i = 0; i < 255; ++i) records.push_back({static_cast<uint8_t>(i % 50 + 1), 3, nullptr});
  std::vector<const sBITMAP*> entries;
  for (const sBITMAP& r : records) entries.push_back(&r);
  uint32_t at = flash_offset;
  std::string expected = "FLASH_sBITMAP flash_full[255] = {\n";
  for (const sBITMAP& r : records) {
    expected += line(r.width, r.height, at);
    at += r.width * r.height * 2u;
  }
  EXPECT_EQ(print_to_string("full", entries.data(), 255), expected + "};\n");
  EXPECT_EQ(flash_offset, at);
}

// The printed text is C: compiled with the firmware's record type, it gives
// back the widths, heights and offsets printed.
TEST(FlashTable, ThePrintedTablesCompileAsC) {
  const sBITMAP big{255, 255, nullptr};
  const sBITMAP* mixed[4] = {bitmap_table[0], nullptr, bitmap_table[30], &big};
  const uint32_t start = flash_offset;
  std::string source =
      "#include <stdint.h>\n#include <stdio.h>\n"
      "typedef struct { uint8_t width, height; uint32_t offset; } FLASH_sBITMAP;\n";
  source += print_to_string("mixed", mixed, 4);
  source += print_to_string("digits", &bitmap_table[140], 10);
  source +=
      "static void show(const FLASH_sBITMAP *t, size_t n) {\n"
      "  printf(\"%zu\\n\", n);\n"
      "  for (size_t i = 0; i < n; ++i) printf(\"%u %u %lu\\n\", (unsigned)t[i].width, (unsigned)t[i].height,\n"
      "                                       (unsigned long)t[i].offset);\n"
      "}\n"
      "int main(void) {\n"
      "  show(flash_mixed, sizeof flash_mixed / sizeof flash_mixed[0]);\n"
      "  show(flash_digits, sizeof flash_digits / sizeof flash_digits[0]);\n"
      "  return 0;\n"
      "}\n";
  TempDir dir;
  testing_support::write_file(dir / "tables.c", source);
  auto cc = run_process({C_COMPILER, "-std=c11", "-pedantic-errors", "-o", dir / "tables", dir / "tables.c"});
  ASSERT_EQ(cc.exit_status, 0) << cc.err << source;
  auto run = run_process({dir / "tables"});
  ASSERT_EQ(run.exit_status, 0);

  auto value = [](uint32_t v) { return std::to_string(v); };
  // An absent entry closes up: the present ones come first and the slots left
  // over are zero, as C fills them.
  std::string expected = "4\n80 160 " + value(start) + "\n100 100 " + value(start + 0x6400) + "\n255 255 " +
                         value(start + 0x6400 + 0x4e20) + "\n0 0 0\n10\n";
  const uint32_t digits = start + 0x6400 + 0x4e20 + 130050;
  for (uint32_t i = 0; i < 10; ++i) expected += "9 12 " + value(digits + i * 0xd8) + "\n";
  EXPECT_EQ(run.out, expected);
}

}  // namespace
