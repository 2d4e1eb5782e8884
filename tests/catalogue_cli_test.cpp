// The catalogue command as a developer runs it: every table entry points at
// its own bytes in the flash image, the listing agrees with both, and
// failures leave nothing behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "apng_reader.h"
#include "bitmap_runs.h"
#include "bitmaps.h"
#include "catalogue_process.h"
#include "process.h"

namespace {

using testing_support::file_exists;
using testing_support::list_dir;
using testing_support::ProcessResult;
using testing_support::read_file;
using testing_support::run_catalogue;
using testing_support::TempDir;
using testing_support::byte_size;
using testing_support::pixels;

// Pixel i as RGB565 in hexadecimal, from the bytes the program carries.
std::string hex_pixel(const sBITMAP& b, size_t i) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X", b.pixels[2 * i], b.pixels[2 * i + 1]);
  return text;
}

struct Printed {
  unsigned width, height, offset;
};

// bitmap_table index -> what `table` printed for it, reading each table's
// lines as the entries of the run it is named after. Between tables the file
// has its heading and preprocessor lines; within one, only entries.
std::map<unsigned, Printed> parse_tables(const std::string& text) {
  std::map<unsigned, Printed> printed;
  std::istringstream in(text);
  std::string line;
  const sBITMAP_RUN* run = nullptr;
  bool in_table = false;
  unsigned index = 0;
  while (std::getline(in, line)) {
    char name[64];
    int count = 0;
    Printed p{};
    if (std::sscanf(line.c_str(), "FLASH_sBITMAP flash_%63[a-z0-9_][%d] = {", name, &count) == 2) {
      run = nullptr;
      for (size_t r = 0; r < bitmap_run_count; ++r)
        if (std::string(bitmap_runs[r].name) == name) run = &bitmap_runs[r];
      EXPECT_TRUE(run && run->first_entry != BITMAP_NOT_IN_TABLE) << "table for no run of the table: " << line;
      if (run) {
        EXPECT_EQ(count, run->count) << line;
      }
      index = 0;
      in_table = true;
    } else if (std::sscanf(line.c_str(), "%u, %u, 0x%x,", &p.width, &p.height, &p.offset) == 3) {
      EXPECT_TRUE(in_table && run) << "entry outside a table: " << line;
      if (in_table && run) printed[run->first_entry + index++] = p;
    } else if (line == "};") {
      EXPECT_TRUE(in_table) << "a table ends twice";
      in_table = false;
    } else {
      EXPECT_FALSE(in_table) << "not an entry: " << line;
    }
  }
  return printed;
}

TEST(CatalogueCli, EveryTableEntryPointsAtItsBytesInTheFlashImage) {
  TempDir dir;
  const ProcessResult table = run_catalogue({"table"});
  ASSERT_EQ(table.exit_status, 0) << table.err;
  const ProcessResult image = run_catalogue({"flash-image", dir / "flash.bin"});
  ASSERT_EQ(image.exit_status, 0) << image.err;
  const std::string flash = read_file(dir / "flash.bin");

  // 219 screens of 80 x 160, 14 of 100 x 100, 26 capitals of 5 x 7 and 20
  // digits of 9 x 12.
  const size_t total = 219 * 25600 + 14 * 20000 + 26 * 70 + 20 * 216;
  EXPECT_EQ(total, 5892540u);
  // Then the 16-byte record.
  ASSERT_EQ(flash.size(), total + 16);
  EXPECT_EQ(image.out, dir / "flash.bin" + ": 5892556 bytes written\n");
  EXPECT_TRUE(flash == testing_support::expected_flash_image());

  const std::map<unsigned, Printed> printed = parse_tables(table.out);
  ASSERT_EQ(printed.size(), size_t{BITMAP_TABLE_LENGTH});
  size_t next = 0;  // in table order the arrays follow each other with no gaps
  for (const auto& [entry, p] : printed) {
    const sBITMAP& b = *bitmap_table[entry];
    EXPECT_EQ(p.width, b.width) << "entry " << entry;
    EXPECT_EQ(p.height, b.height) << "entry " << entry;
    EXPECT_EQ(p.offset, next) << "entry " << entry;
    ASSERT_LE(p.offset + byte_size(&b), flash.size()) << "entry " << entry;
    EXPECT_TRUE(flash.compare(p.offset, byte_size(&b), pixels(&b)) == 0) << "entry " << entry;
    next = p.offset + byte_size(&b);
  }
}

// A programmer writes whole chips: the image, then 0xFF, as erased NOR
// flash reads, up to the chip's size.
TEST(CatalogueCli, FlashImagePadsToTheChipSize) {
  TempDir dir;
  ASSERT_EQ(run_catalogue({"flash-image", "image.bin"}, dir.path()).exit_status, 0);
  const std::string image = read_file(dir / "image.bin");
  ASSERT_EQ(image.size(), 5892556u);
  struct Case {
    std::string size;
    size_t bytes;     // written, or 0 for a refusal
    std::string err;  // the refusal
    std::vector<std::string> args = {};  // spelled otherwise than --size SIZE chip.bin
    int status = 2;                      // of a refusal
  };
  std::vector<Case> cases = {
      {"8M", 8388608, ""},
      {"8M", 8388608, "", {"flash-image", "--size=8M", "chip.bin"}},
      {"8M", 8388608, "", {"flash-image", "chip.bin", "--siz", "8M"}},
      {"8M", 8388608, "", {"flash-image", "--size", "8M", "--", "chip.bin"}},
      {"8M", 8388608, "", {"flash-image", "--size", "4M", "chip.bin", "--size=8M"}},  // the last one given
      // The most: accepted, and only then does the missing folder stop it.
      {"4096M", 0, "catalogue: missing/chip.bin: No such file or directory\n",
       {"flash-image", "--size", "4096M", "missing/chip.bin"}, 1},
      {"72M", 75497472, ""},  // more pieces of padding than one system call takes
      {"5760K", 5898240, ""},
      {"5892556", 5892556, ""},
      {"0X800000", 8388608, ""},
      {"8MiB", 8388608, ""},
      {"5760KiB", 5898240, ""},
      {"5892555", 0, "catalogue: flash-image: the image is 5892556 bytes, more than --size 5892555 (5892555 bytes)\n"},
      {"4M", 0, "catalogue: flash-image: the image is 5892556 bytes, more than --size 4M (4194304 bytes)\n"},
  };
  for (const char* size : {"0", "0M", "4097M", "4194305K", "4294967297", "18446744073709551617", "8m", "8MB", "M",
                           "-8M", "0x100000001", "0x8M", "0x", "8Mi", "8KIB", ""})
    cases.push_back({size, 0,
                     "catalogue: flash-image: --size '" + std::string(size) +
                         "': give the chip's size in bytes, in hexadecimal with 0x, or with K, KiB, M or MiB (8M, "
                         "0x800000), 1 to 4096M\n"});
  for (const auto& c : cases) {
    const ProcessResult r =
        run_catalogue(c.args.empty() ? std::vector<std::string>{"flash-image", "--size", c.size, "chip.bin"} : c.args,
                  dir.path());
    if (!c.bytes) {
      EXPECT_EQ(r.exit_status, c.status) << c.size;
      EXPECT_EQ(r.err, c.err);
      EXPECT_FALSE(file_exists(dir / "chip.bin")) << c.size;
      continue;
    }
    EXPECT_EQ(r.exit_status, 0) << c.size << ": " << r.err;
    EXPECT_EQ(r.out, "chip.bin: " + std::to_string(c.bytes) + " bytes written\n");
    const std::string chip = read_file(dir / "chip.bin");
    EXPECT_TRUE(chip == image + std::string(c.bytes - image.size(), '\xFF')) << c.size;
    ASSERT_EQ(std::remove((dir / "chip.bin").c_str()), 0);
  }
}

// The erase blocks where the image differs from the one written before, as
// a flashrom layout; the record's (4 KiB: 0x59e000, holding 0x59e9bc to
// 0x59e9cb) always among them. A refusal writes neither file.
TEST(CatalogueCli, FlashImageSinceOldLaysOutTheEraseBlocksThatDiffer) {
  TempDir dir;
  ASSERT_EQ(run_catalogue({"flash-image", "--size", "8M", "chip.bin"}, dir.path()).exit_status, 0);
  const std::string chip = read_file(dir / "chip.bin");
  const std::string usage = "catalogue: flash-image: ", as_written = "give the image as written, with its --size\n";
  const struct {
    std::vector<size_t> changed;        // bytes of OLD that differ
    std::string old_tail, erase_block;  // OLD's end: "" as is, "-" one byte short, else more bytes
    int status;
    std::string layout_or_err;
    std::string out = "";  // what it prints, when given
    const char *since = "old.bin", *layout = "changed.layout";
    std::vector<std::string> more = {"--size", "8M"};
    std::vector<std::string> beside = {"changed.layout.old-record"};  // files written beside the layout
  } cases[] = {
      {{0xfff}, "", "", 0, "00000000:00000fff r0\n0059e000:0059efff record\n",
       "new.bin: 8388608 bytes written\n"
       "changed.layout: 2 regions, 2 erase blocks of 4096 bytes, where new.bin differs from old.bin\n"
       "flashrom -p PROGRAMMER -c CHIP -l changed.layout -i record:changed.layout.old-record -v new.bin\n"
       "flashrom -p PROGRAMMER -c CHIP -l changed.layout -i record -E\n"
       "flashrom -p PROGRAMMER -c CHIP -l changed.layout -i r0 --noverify-all -w new.bin\n"
       "flashrom -p PROGRAMMER -c CHIP -l changed.layout -i record --noverify-all -w new.bin\n"
       "flashrom reads and verifies these 8192 bytes instead of all 8388608, and writes at most as many\n"},
      {{0x1000, 0x59dfff, 0x7fffff}, "", "", 0,
       "00001000:00001fff r0\n0059d000:0059dfff r1\n0059e000:0059efff record\n007ff000:007fffff r2\n"},
      // Adjacent blocks are one region, counted as blocks; one apart, two.
      {{0xfff, 0x1000}, "", "", 0, "00000000:00001fff r0\n0059e000:0059efff record\n",
       "changed.layout: 2 regions, 3 erase blocks of 4096 bytes"},
      {{0, 0x2000}, "", "", 0, "00000000:00000fff r0\n00002000:00002fff r1\n0059e000:0059efff record\n"},
      {{}, "", "", 0, "",
       "new.bin: 8388608 bytes written\n"
       "changed.layout: no regions: new.bin holds what old.bin does, nothing to write\n", "old.bin", "changed.layout",
       {"--size", "8M"}, {}},
      {{0x59e9cb}, "", "16", 0, "0059e9b0:0059e9cf record\n"},
      {{0x59e9cb}, "", "4", 0, "0059e9bc:0059e9cb record\n"},  // the record's blocks end with it
      {{0}, "", "8M", 0, "00000000:007fffff record\n"},
      {{0}, "", "", 0, "00000000:00000fff r0\n0059e000:0059efff record\n",
       " -l 'it'\\''s.layout' -i 'record:it'\\''s.layout.old-record' -v new.bin\n", "old.bin", "it's.layout",
       {"--size", "8M"}, {"it's.layout.old-record"}},
      // On the chip at 0x20000, the regions' bytes beside the layout for -i NAME:FILE.
      {{0xfff}, "", "", 0, "00020000:00020fff r0\n005be000:005befff record\n",
       " -i r0:changed.layout.r0 --noverify-all -w - </dev/zero\n", "old.bin", "changed.layout",
       {"--chip-offset", "0x20000", "--size", "8M"},
       {"changed.layout.old-record", "changed.layout.r0", "changed.layout.record"}},
      {{0x7fffff}, "", "", 0, "ffd9e000:ffd9efff record\nfffff000:ffffffff r0\n", "", "old.bin", "changed.layout",
       {"--chip-offset", "4088M", "--size", "8M"},
       {"changed.layout.old-record", "changed.layout.r0", "changed.layout.record"}},
      {{}, "", "", 2, usage + "--chip-offset 4287627264: the image would end past 4096M\n", "", "old.bin",
       "changed.layout", {"--chip-offset", "4089M", "--size", "8M"}},
      {{}, "", "", 2, usage + "--chip-offset 133120 is not a multiple of the erase block, 4096 bytes\n", "",
       "old.bin", "changed.layout", {"--chip-offset", "0x20800", "--size", "8M"}},
      {{}, "-", "", 2, usage + "--since old.bin: 8388607 bytes, not the image's 8388608: " + as_written},
      {{}, "x", "", 2, usage + "--since old.bin: more than the image's 8388608: " + as_written},
      {{}, "", "3K", 2, usage + "an erase block of 3072 bytes: not a power of two\n"},
      {{}, "", "16M", 2,
       usage + "an erase block of 16777216 bytes does not divide the image's 8388608 bytes: pad it to the chip's "
               "size with --size\n"},
      {{}, "", "4K", 2,
       usage + "an erase block of 4096 bytes does not divide the image's 5892556 bytes: pad it to the chip's "
               "size with --size\n", "", "old.bin", "changed.layout", {}},
      {{}, "", "4k", 2,
       usage + "--erase-block '4k': give the erase block's size in bytes, in hexadecimal with 0x, or with K, KiB, "
               "M or MiB (4K, 0x1000), 1 to 4096M\n"},
      {{}, "", "", 2,
       usage + "--chip-offset '4k': give the image's offset on the chip in bytes, in hexadecimal with 0x, or with K, "
               "KiB, M or MiB (128K, 0x20000), 0 to 4096M\n", "", "old.bin", "changed.layout",
       {"--chip-offset", "4k", "--size", "8M"}},
      {{}, "", "", 1, "catalogue: .: " + std::string(std::strerror(EISDIR)) + "\n", "", "."},
      {{}, "", "", 1, "catalogue: .: " + std::string(std::strerror(EISDIR)) + "\n", "", "old.bin", "."},
  };
  for (const auto& c : cases) {
    std::string old = c.old_tail == "-" ? chip.substr(1) : chip + c.old_tail;
    for (size_t at : c.changed) old[at] = static_cast<char>(~old[at]);
    testing_support::write_file(dir / "old.bin", old);
    std::vector<std::string> args = {"flash-image", "--since", c.since, "--layout", c.layout};
    if (!c.erase_block.empty()) args.insert(args.end(), {"--erase-block", c.erase_block});
    args.insert(args.end(), c.more.begin(), c.more.end());
    args.push_back("new.bin");
    const ProcessResult r = run_catalogue(args, dir.path());
    const std::string what = c.layout_or_err + " with --erase-block " + c.erase_block;
    EXPECT_EQ(r.exit_status, c.status) << what << r.err;
    if (c.status) {
      EXPECT_EQ(r.err, c.layout_or_err);
      EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"chip.bin", "old.bin"})) << what;
      continue;
    }
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_EQ(read_file(dir / c.layout), c.layout_or_err) << what;
    EXPECT_TRUE(read_file(dir / "new.bin") == chip) << what;
    std::vector<std::string> files = {"chip.bin", c.layout, "new.bin", "old.bin"};
    files.insert(files.end(), c.beside.begin(), c.beside.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(list_dir(dir.path()), files) << what;
    for (const std::string& name : files)
      if (name != "chip.bin" && name != "old.bin") std::remove((dir / name).c_str());
  }
}

// What a read-back of the chip holds, as the command says it: the bitmaps
// that differ named as `list` names them, with the first differing pixel,
// and what a dump that ends early cuts. Entry 269, the second-style 0 (9 x 12),
// starts at 0x59e14c, right after entry 268, timeout:29 (80 x 160); its
// pixel (1, 0) is 80EC and (8, 11) is 0000.
TEST(CatalogueCli, VerifyNamesWhatADumpHoldsOtherwise) {
  TempDir dir;
  ASSERT_EQ(run_catalogue({"flash-image", "--size", "8M", "chip.bin"}, dir.path()).exit_status, 0);
  const std::string chip = read_file(dir / "chip.bin");
  const size_t zero = 0x59e14c, image = 5892556;
  const auto changed = [&](std::vector<std::pair<size_t, char>> bytes, size_t length) {
    std::string dump = chip.substr(0, length);
    for (const auto& [at, value] : bytes) dump[at] = value;
    return dump;
  };
  const struct {
    const char* what;
    std::string dump;
    bool from_stdin;
    int status;
    std::string out;  // with D for the dump's name
  } cases[] = {
      {"an 8 MiB read-back", chip, false, 0, "D: holds the flash image (5892556 bytes from offset 0)\n"},
      {"the image alone, through a pipe", chip.substr(0, image), true, 0,
       "D: holds the flash image (5892556 bytes from offset 0)\n"},
      {"three pixels in two bitmaps",
       changed({{zero - 2, '\x12'}, {zero - 1, '\x13'}, {zero + 2, '\x81'}, {zero + 215, '\x01'}}, chip.size()),
       false, 1,
       "268 timeout:29: 1 of 12800 pixels differs, first at (79, 159): 1213 where the image has " +
           hex_pixel(*bitmap_table[268], 12799) +
           "\n"
           "269 digits_cool:0: 2 of 108 pixels differ, first at (1, 0): 81EC where the image has 80EC\n"
           "D: not the flash image: 2 of its 280 parts differ\n"},
      {"the record missing", chip.substr(0, image - 16), false, 1,
       "D: 16 bytes short of the flash image's 5892556: record is cut\n"
       "D: not the flash image: 0 of its 280 parts differ, 1 is cut\n"},
      {"one byte short", chip.substr(0, image - 1), false, 1,
       "D: 1 byte short of the flash image's 5892556: record is cut\n"
       "D: not the flash image: 0 of its 280 parts differ, 1 is cut\n"},
      {"a pixel changed and the dump ending inside the next, through a pipe", changed({{zero + 1, '\x01'}}, zero + 3),
       true, 1,
       "269 digits_cool:0: 1 of 108 pixels differs, first at (0, 0): 0001 where the image has 0000\n"
       "D: 2173 bytes short of the flash image's 5892556: 269 digits_cool:0 to record (11 parts) are cut\n"
       "D: not the flash image: 1 of its 280 parts differs, 10 are cut\n"},  // each part once
      {"nothing", "", true, 1,
       "D: empty, where the flash image has 5892556 bytes\n"
       "D: not the flash image: 0 of its 280 parts differ, 280 are cut\n"},
  };
  for (const auto& c : cases) {
    testing_support::write_file(dir / "dump.bin", c.dump);
    const ProcessResult r =
        // Through a pipe in odd pieces: the reads return them as they come.
        c.from_stdin ? testing_support::run_process(
                           {"/bin/sh", "-c", "dd if=dump.bin bs=4093 status=none | exec \"$0\" verify -", CATALOGUE_PATH},
                           dir.path())
                     : run_catalogue({"verify", "dump.bin"}, dir.path());
    std::string out = c.out;
    for (size_t at = 0; (at = out.find("D:", at)) != std::string::npos; at += 2)
      out.replace(at, 1, c.from_stdin ? "standard input" : "dump.bin");
    EXPECT_EQ(r.exit_status, c.status) << c.what;
    EXPECT_EQ(r.out, out) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
  }
}

TEST(CatalogueCli, ListingAgreesWithTheTablesAndTheBytes) {
  const ProcessResult list = run_catalogue({"list"});
  ASSERT_EQ(list.exit_status, 0) << list.err;
  const std::map<unsigned, Printed> printed = parse_tables(run_catalogue({"table"}).out);
  std::istringstream in(list.out);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line.rfind("entry", line.find_first_not_of(' ')), line.find_first_not_of(' ')) << "header: " << line;
  size_t width = 0;
  for (size_t r = 0; r < bitmap_run_count; ++r)
    for (unsigned i = 0; i < bitmap_runs[r].count; ++i) {
      const sBITMAP_RUN& run = bitmap_runs[r];
      const sBITMAP& b = run.records[i];
      ASSERT_TRUE(std::getline(in, line)) << "listing ends before " << run.name << " " << i;
      if (!width) width = line.size();
      EXPECT_EQ(line.size(), width) << "columns are not fixed: " << line;
      std::istringstream fields(line);
      std::string entry, name, size, offset, crc;
      uint32_t bytes = 0;
      fields >> entry >> name >> size >> bytes >> offset >> crc;
      EXPECT_EQ(name, run.name);
      EXPECT_EQ(size, std::to_string(b.width) + "x" + std::to_string(b.height));
      EXPECT_EQ(bytes, byte_size(&b));
      EXPECT_EQ(std::stoul(crc, nullptr, 16), crc32(0, b.pixels, static_cast<uInt>(byte_size(&b)))) << line;
      EXPECT_EQ(crc.size(), 8u);
      if (run.first_entry == BITMAP_NOT_IN_TABLE) {
        EXPECT_EQ(entry, "-");
        EXPECT_EQ(offset, "-");
      } else {
        EXPECT_EQ(entry, std::to_string(run.first_entry + i));
        EXPECT_EQ(std::stoul(offset, nullptr, 16), printed.at(run.first_entry + i).offset) << line;
      }
    }
  // The image's record, after the last bitmap's bytes, in the same columns.
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line.size(), width) << line;
  EXPECT_EQ(line.substr(0, line.size() - 8), "    -  (record)           -            16  0x0059e9bc  ") << line;
  EXPECT_FALSE(std::getline(in, line)) << "more lines than bitmaps and the record: " << line;
}

TEST(CatalogueCli, ExportWritesOneBitmapsBytes) {
  for (unsigned entry : {0u, 44u, 269u, 278u}) {
    TempDir dir;
    testing_support::write_file(dir / "out.bin", std::string(100000, 'x'));  // replaced whole
    const ProcessResult r = run_catalogue({"export", std::to_string(entry), "out.bin"}, dir.path());
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(read_file(dir / "out.bin"), pixels(bitmap_table[entry])) << "entry " << entry;
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"out.bin"});
  }
}

TEST(CatalogueCli, ExportOfTheSecondStyleNineStartsWithItsKnownPixels) {
  TempDir dir;
  ASSERT_EQ(run_catalogue({"export", "278", dir / "nine.bin"}).exit_status, 0);
  EXPECT_EQ(read_file(dir / "nine.bin").substr(0, 8), std::string("\x08\x00\x80\xEC\xD9\xD5\xF1\xF7", 8));
}

// Any bitmap, by a name `list` shows: the table entry, or the run with a
// frame from 0, or a run of one bitmap by its name alone. Entries from the
// catalogue's table: bolt 0-29, smoke 185-238, digits_cool 269-278.
TEST(CatalogueCli, ExportTakesABitmapByANameTheListingShows) {
  const struct {
    const char* name;
    const sBITMAP* expected;
  } cases[] = {
      {"269", bitmap_table[269]},         {"digits_cool:0", bitmap_table[269]},
      {"smoke:10", bitmap_table[195]},    {"smoke:0", bitmap_table[185]},
      {"smoke:53", bitmap_table[238]},    {"bolt:29", bitmap_table[29]},
      {"farewell", &farewell_bitmap},     {"farewell:0", &farewell_bitmap},
      {"farewell_measured", &farewell_measured_bitmap},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const ProcessResult r = run_catalogue({"export", c.name, "out.bin"}, dir.path());
    EXPECT_EQ(r.exit_status, 0) << c.name << ": " << r.err;
    EXPECT_TRUE(read_file(dir / "out.bin") == pixels(c.expected)) << c.name;
  }
  const ProcessResult help = run_catalogue({"export", "--help"});
  for (const char* shown : {"smoke:10", "farewell", "'-'"})
    EXPECT_NE(help.out.find(shown), std::string::npos) << shown << " not in:\n" << help.out;
}

TEST(CatalogueCli, ExportSaysHowToNameABitmapOfARun) {
  const std::string smoke = "a run of 54 bitmaps: give one as smoke:0 to smoke:53\n";
  const std::string unknown =
      "no such bitmap: give a table entry, 0 to 278, or a run as 'catalogue list' names it, with :FRAME from 0 "
      "(see catalogue export --help)\n";
  const struct {
    const char* name;
    std::string reason;
  } cases[] = {
      {"smoke", smoke},
      {"smoke:54", smoke},
      {"smoke:", smoke},
      {"smoke:-1", smoke},
      {"smoke:1x", smoke},
      {"smoke:10:1", smoke},
      {"farewell:1", "a run of 1 bitmap: give it as farewell or farewell:0\n"},
      {"Smoke:1", "no such bitmap; did you mean smoke:1? (see catalogue export --help)\n"},
      {"smokeyy", "no such bitmap; did you mean smoke? (see catalogue export --help)\n"},
      {"smokeyyy:1", unknown},
      {":3", unknown},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const ProcessResult r = run_catalogue({"export", c.name, "out.bin"}, dir.path());
    EXPECT_EQ(r.exit_status, 2) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(r.err, "catalogue: export: '" + std::string(c.name) + "': " + c.reason);
    EXPECT_TRUE(list_dir(dir.path()).empty()) << c.name;
  }
}

TEST(CatalogueCli, ExportRefusesAnythingButATableIndex) {
  for (const char* index : {"-1", "279", "1000", "abc", "12x", "", "1e2", " 5", "+5", "0x10", "99999999999999999999"}) {
    TempDir dir;
    const ProcessResult r = run_catalogue({"export", "--", index, "out.bin"}, dir.path());  // "-1" no option
    EXPECT_EQ(r.exit_status, 2) << "'" << index << "'";
    EXPECT_NE(r.err.find("0 to 278"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("catalogue: ", 0), 0u) << r.err;
    EXPECT_TRUE(list_dir(dir.path()).empty()) << "'" << index << "'";
  }
}

TEST(CatalogueCli, AFailedWriteSaysWhyAndLeavesNothing) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "taken").c_str(), 0777), 0);
  struct Case {
    std::string target;
    int error;
    std::string shown = "";  // how the message shows target, when not as it is
  };
  std::vector<Case> cases = {
      {dir / "missing/flash.bin", ENOENT},
      {dir / "taken", EISDIR},
      // Quoted as coreutils quote it: no escape reaches the terminal, no newline splits the line.
      {dir / "a\nb\033[2J/flash.bin", ENOENT, "'" + dir.path() + "/a'$'\\n''b'$'\\033''[2J/flash.bin'"}};
  // Bytes that are no valid UTF-8 (overlong ESC and CSI, surrogates, past
  // U+10FFFF, cut short) and the line and paragraph separators are quoted;
  // the valid characters at each boundary are not.
  for (const auto& [bytes, octal] : std::vector<std::pair<std::string, std::string>>{
           {"\xE0\x80\x9B", "\\340\\200\\233"}, {"\xE0\xA0\x80", ""}, {"\xED\xA0\x80", "\\355\\240\\200"},
           {"\xED\x9F\xBB", ""}, {"\xF0\x8F\xBF\xBF", "\\360\\217\\277\\277"}, {"\xF0\x90\x80\x80", ""},
           {"\xF4\x90\x80\x80", "\\364\\220\\200\\200"}, {"\xF4\x8F\xBF\xBD", ""}, {"\xE2\x80", "\\342\\200"},
           {"\xE2\x80\xA8", "\\342\\200\\250"}, {"\xE2\x80\xA9", "\\342\\200\\251"}, {"\xE2\x80\xA7", ""},
           {"\xE2\x80\xAA", ""}, {"\x7F", "\\177"}})
    cases.push_back({dir / ("a" + bytes + "b/flash.bin"), ENOENT,
                     octal.empty() ? "" : "'" + dir.path() + "/a'$'" + octal + "''b/flash.bin'"});
  // A byte that is no continuation ends the sequence, and is read afresh.
  cases.push_back({dir / "a\xE2\x80\xC3\xA9" "b/flash.bin", ENOENT,
                   "'" + dir.path() + "/a'$'\\342\\200''\xC3\xA9" "b/flash.bin'"});
  for (const auto& c : cases) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"flash-image", c.target}, {"export", "3", c.target}, {"verify", c.target}}) {
      const ProcessResult r = run_catalogue(args);
      EXPECT_EQ(r.exit_status, 1);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, "catalogue: " + (c.shown.empty() ? c.target : c.shown) + ": " + std::strerror(c.error) + "\n");
      EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"taken"});
      EXPECT_TRUE(list_dir(dir / "taken").empty());
    }
  }
  // The report line, too.
  EXPECT_EQ(run_catalogue({"export", "3", "x\xE2\x80\xA8y"}, dir / "taken").out,
            "'x'$'\\342\\200\\250''y': 25600 bytes written\n");
}

// A listing cut short by a full disk must not report success.
TEST(CatalogueCli, OutputThatCannotBeWrittenIsAFailure) {
  for (const char* command : {"list", "table", "header", "--version", "help", "verify -"}) {
    const ProcessResult r =
        testing_support::run_process({"/bin/sh", "-c", std::string("exec \"$0\" ") + command + " >/dev/full", CATALOGUE_PATH});
    EXPECT_EQ(r.exit_status, 1) << command;
    EXPECT_EQ(r.err, std::string("catalogue: standard output: ") + std::strerror(ENOSPC) + "\n") << command;
  }
}

// Each command in the overview, in order, with its line on what it does;
// its own help, however it is asked for, starts with its usage line.
TEST(CatalogueCli, HelpForEveryCommand) {
  const struct {
    const char* command;
    const char* summary;
    const char* usage;
  } commands[] = {
      {"list", "one line per bitmap: entry, run, size, bytes, offset, CRC-32", "list"},
      {"table", "the flash tables as a C file", "table"},
      {"header", "the C header of the tables, flash_tables.h", "header"},
      {"flash-image",
       "writes the flash image, padded to a chip's size if asked, and what changed since the last one",
       "flash-image [--since OLD] [--layout LAYOUT] [--erase-block SIZE] [--chip-offset OFFSET] [--size SIZE] FILE"},
      {"export", "writes one bitmap's pixel bytes", "export BITMAP FILE"},
      {"preview", "writes pictures of every run and a page of them all", "preview DIR"},
      {"verify", "compares a dump of the flash chip with the flash image", "verify FILE"},
      {"help", "describes a command, or lists them", "help [COMMAND]"},
  };
  const ProcessResult top = run_catalogue({"--help"});
  EXPECT_EQ(top.exit_status, 0);
  std::string overview = "Commands:\n";
  for (const auto& c : commands) overview += "  " + (std::string(c.command) + "           ").substr(0, 13) + c.summary + "\n";
  EXPECT_NE(top.out.find(overview + "\n"), std::string::npos) << top.out;
  for (const auto& c : commands) {
    const ProcessResult r = run_catalogue({c.command, "--help"});
    EXPECT_EQ(r.exit_status, 0) << c.command;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), std::string("usage: catalogue ") + c.usage + "\n");
    EXPECT_EQ(r.err, "");
    for (const std::vector<std::string>& asked : {std::vector<std::string>{"help", c.command}, {c.command, "x", "-h"}}) {
      const ProcessResult again = run_catalogue(asked);
      EXPECT_EQ(again.exit_status, 0) << asked[0] << " " << asked[1];
      EXPECT_EQ(again.out, r.out) << asked[0] << " " << asked[1];
    }
  }
  const ProcessResult help = run_catalogue({"help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_EQ(help.out, top.out);
}

// The version, then the art carried: the CRC-32 of every bitmap of the
// table, one after another, as the image holds them before its record.
TEST(CatalogueCli, VersionIsTheProjectsAndNamesTheArt) {
  uLong crc = crc32(0, nullptr, 0);
  for (const sBITMAP* b : bitmap_table) crc = crc32(crc, b->pixels, bitmap_byte_size(b));
  char art[64];
  std::snprintf(art, sizeof art, "art: flash image CRC-32 0x%08lx (FLASH_IMAGE_CRC32)\n", crc);
  const ProcessResult r = run_catalogue({"--version"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "catalogue " PROJECT_VERSION "\n" + std::string(art));
  EXPECT_EQ(r.err, "");
}

// Each in one line on standard error; where the words are given, those.
TEST(CatalogueCli, UsageErrorsExitWith2) {
  const std::string see_flash_image = " (see catalogue flash-image --help)\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, ""}, {{"frobnicate"}, "catalogue: frobnicate: unknown command (see catalogue --help)\n"},
      {{"LIST"}, ""}, {{"list", "extra"}, ""}, {{"table", "x"}, ""}, {{"flash-image"}, ""}, {{"export", "5"}, ""},
      {{"export", "5", "a", "b"}, ""}, {{"preview"}, ""}, {{"preview", "a", "b"}, ""}, {{"header", "x"}, ""},
      {{"help", "frobnicate"}, ""}, {{"help", "list", "table"}, ""}, {{"flash-image", "--size", "8M"}, ""},
      {{"flash-image", "--size", "x.bin"}, ""}, {{"verify"}, ""}, {{"verify", "a", "b"}, ""}, {{"verify", ""}, ""},
      {{"flash-image", "--since", "a", "x.bin"}, ""}, {{"flash-image", "--erase-block", "4K", "--layout", "l", "x.bin"}, ""},
      {{"flash-image", "--since", "", "--layout", "l", "--size", "8M", "x.bin"}, ""},
      {{"flash-image", "--since", "a", "--layout", "", "--size", "8M", "x.bin"}, ""},
      {{"flash-image", "--since", "a", "--layout", "l", "-"},
       "catalogue: flash-image: --since needs a FILE that flashrom can read, not standard output\n"},
      {{"flash-image", "--since=a", "--layout=-", "x.bin"},
       "catalogue: flash-image: --layout -: flashrom reads the layout from a file: give its name\n"},
      {{"flash-image", "--chip-offset=0", "x.bin"},
       "catalogue: flash-image: --since OLD and --layout LAYOUT go together, and --erase-block and --chip-offset with "
       "them\n"},
      {{"preview", "-"}, "catalogue: preview: DIR '-': give a folder's name (./- for a folder called -)\n"},
      {{"--version", "extra"}, "catalogue: --version: takes no arguments (see catalogue --help)\n"},
      // A near miss, within 2 edits, gets the one meant; 3 edits, none.
      {{"lst"}, "catalogue: lst: unknown command; did you mean list? (see catalogue --help)\n"},
      {{"help", "flash_imag"}, "catalogue: help: flash_imag: unknown command; did you mean flash-image? (see catalogue --help)\n"},
      {{"flash_ima"}, "catalogue: flash_ima: unknown command (see catalogue --help)\n"},
      // Options: named when unknown, ambiguous, or missing the value they need.
      {{"flash-image", "--sise", "8M", "x.bin"},
       "catalogue: flash-image: unknown option '--sise'; did you mean --size?" + see_flash_image},
      {{"flash-image", "x.bin", "-s", "8M"}, "catalogue: flash-image: unknown option '-s'" + see_flash_image},
      {{"flash-image", "x.bin", "--size"}, "catalogue: flash-image: --size needs a value" + see_flash_image},
      {{"flash-image", "--help=all"}, "catalogue: flash-image: --help takes no value" + see_flash_image},
      {{"verify", "--size", "8M", "x.bin"}, "catalogue: verify: unknown option '--size' (see catalogue verify --help)\n"},
      {{"flash-image", "--s", "8M", "x.bin"}, "catalogue: flash-image: ambiguous option '--s': --since, --size" + see_flash_image},
      {{"flash-image", "--s=8M", "x.bin"}, "catalogue: flash-image: ambiguous option '--s': --since, --size" + see_flash_image},
      {{"flash-image", "--sise=8M", "x.bin"},
       "catalogue: flash-image: unknown option '--sise'; did you mean --size?" + see_flash_image},
      // Control bytes the user gave are shown quoted, as a shell takes them back.
      {{"flash-image", "--si\nze", "8M", "x.bin"},
       "catalogue: flash-image: unknown option '--si'$'\\n''ze'; did you mean --size?" + see_flash_image},
      {{"export", "smoke:1\n", "x.bin"}, "catalogue: export: 'smoke:1'$'\\n': a run of 54 bitmaps: give one as smoke:0 to smoke:53\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const ProcessResult r = run_catalogue(c.args, dir.path());
    std::string shown;
    for (const std::string& a : c.args) shown += " '" + a + "'";
    EXPECT_EQ(r.exit_status, 2) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(r.err.rfind("catalogue: ", 0), 0u) << shown << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << shown << ": " << r.err;
    if (!c.err.empty()) {
      EXPECT_EQ(r.err, c.err) << shown;
    }
    EXPECT_TRUE(list_dir(dir.path()).empty()) << shown;
  }
}

using testing_support::Picture;

// Whether picture holds image at some position, pixel for pixel.
bool contains(const Picture& picture, const Picture& image) {
  const auto row = [](const Picture& p, uint32_t x, uint32_t y) {
    return p.rgb.begin() + static_cast<std::ptrdiff_t>(y * p.width + x);
  };
  for (uint32_t y0 = 0; y0 + image.height <= picture.height; ++y0)
    for (uint32_t x0 = 0; x0 + image.width <= picture.width; ++x0) {
      bool same = true;
      for (uint32_t y = 0; same && y < image.height; ++y)
        same = std::equal(row(image, 0, y), row(image, image.width, y), row(picture, x0, y0 + y));
      if (same) return true;
    }
  return false;
}

// The bitmap as the previews should show it: read high byte first, each
// pixel repeated scale x scale, channels expanded by bit replication.
Picture scaled(const sBITMAP& b, uint32_t scale) {
  Picture p{b.width * scale, b.height * scale, {}};
  for (uint32_t y = 0; y < p.height; ++y)
    for (uint32_t x = 0; x < p.width; ++x) {
      const uint8_t* px = b.pixels + 2 * ((y / scale) * b.width + x / scale);
      p.rgb.push_back(testing_support::rgb_of(static_cast<uint16_t>(px[0] << 8 | px[1])));
    }
  return p;
}

TEST(CatalogueCli, PreviewDrawsASheetPerRunAndPlayableAnimations) {
  TempDir dir;
  const std::string out = dir / "new/previews";
  const ProcessResult r = run_catalogue({"preview", out});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> expected_files;
  for (size_t i = 0; i < bitmap_run_count; ++i) {
    const sBITMAP_RUN& run = bitmap_runs[i];
    const sBITMAP &first = run.records[0], &last = run.records[run.count - 1];
    const std::string sheet_path = out + "/" + run.name + ".png";
    expected_files.push_back(std::string(run.name) + ".png");
    Picture sheet;
    ASSERT_EQ(testing_support::read_with_libpng(read_file(sheet_path), sheet), "") << sheet_path;

    // Animations: full screens and the emblem, not the fonts or single screens.
    const bool animated = run.count > 1 && first.width >= 16 && first.height >= 16;
    const std::string anim_path = out + "/" + run.name + "_anim.png";
    if (!animated) {
      EXPECT_FALSE(file_exists(anim_path)) << anim_path;
      // The sheet shows its bitmaps at some whole scale, the last one too.
      bool found = false;
      for (uint32_t scale = 2; scale <= 8 && !found; ++scale)
        found = contains(sheet, scaled(first, scale)) && contains(sheet, scaled(last, scale));
      EXPECT_TRUE(found) << sheet_path;
      continue;
    }
    expected_files.push_back(std::string(run.name) + "_anim.png");
    const std::string bytes = read_file(anim_path);
    testing_support::DecodedPng apng;
    ASSERT_EQ(testing_support::decode_png(bytes, apng), "") << anim_path;
    EXPECT_TRUE(apng.animated);
    EXPECT_EQ(apng.plays, 0u) << "loops forever";
    ASSERT_EQ(apng.frames.size(), size_t{run.count}) << anim_path;
    ASSERT_EQ(apng.width % first.width, 0u);
    const uint32_t scale = apng.width / first.width;
    EXPECT_GE(scale, 2u);
    for (size_t f = 0; f < apng.frames.size(); ++f) {
      EXPECT_GE(apng.delays[f], 1.0 / 30) << anim_path;
      EXPECT_LE(apng.delays[f], 1.0 / 8) << anim_path;
      EXPECT_TRUE(apng.frames[f] == scaled(run.records[f], scale)) << anim_path << " frame " << f;
    }
    // Viewers without animation show frame 0, as libpng reads it.
    Picture still;
    ASSERT_EQ(testing_support::read_with_libpng(bytes, still), "") << anim_path;
    EXPECT_TRUE(still == scaled(first, scale)) << anim_path;
    EXPECT_TRUE(contains(sheet, scaled(first, scale))) << sheet_path;
    EXPECT_TRUE(contains(sheet, scaled(last, scale))) << sheet_path;
  }
  // and the page of them all (its content is checked in a browser, tests/browser/).
  expected_files.push_back("index.html");
  std::sort(expected_files.begin(), expected_files.end());
  EXPECT_EQ(list_dir(out), expected_files);
}

}  // namespace
