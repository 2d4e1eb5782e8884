// The pieces behind the catalogue command that its real data cannot reach:
// absent entries, and pictures of every kind of content the encoder meets
// (animations are checked on the real runs by the command's own test).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "apng_reader.h"
#include "bitmaps.h"
#include "flash_image.h"
#include "flash_layout.h"
#include "listing.h"
#include "names.h"
#include "page.h"
#include "png_encode.h"
#include "process.h"
#include "verify.h"

namespace {

// The image: the pixel arrays in the order the tables print them, absent
// entries and entries of no table left out, 0xFF up to a multiple of 4, then
// the record: "BITMAPS", 1, the length before it and its CRC-32, little-endian.
TEST(FlashImage, PlacesTheTablesEntriesThenPaddingAndTheRecord) {
  std::vector<uint8_t> nine(216), five(70);
  for (size_t i = 0; i < nine.size(); ++i) nine[i] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < five.size(); ++i) five[i] = static_cast<uint8_t>(0xA0 + i);
  const sBITMAP a{9, 12, nine.data()}, b{5, 7, five.data()};
  const sBITMAP* table[5] = {&a, nullptr, &b, &a, &b};
  // Printed in the order entry 3-4, then 0-1; entry 2 is in no table.
  // The CRC-32s the build works out for each run's bitmaps: those of the
  // table's entries here.
  const uint32_t crc_nine = static_cast<uint32_t>(crc32(0, nine.data(), 216));
  const uint32_t crc_five = static_cast<uint32_t>(crc32(0, five.data(), 70));
  const uint32_t late[] = {crc_nine, crc_five}, early[] = {crc_nine, 0};
  const sBITMAP_RUN runs[] = {{"late", 3, 2, nullptr, late}, {"early", 0, 2, nullptr, early}};
  const catalogue::FlashImage image(runs, 2, table, 5);

  std::string before = std::string(nine.begin(), nine.end()) + std::string(five.begin(), five.end()) +
                       std::string(nine.begin(), nine.end()) + "\xFF\xFF";
  const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(before.data()), 504));
  std::string record = std::string("BITMAPS\x01") + std::string("\xF8\x01\0\0", 4);  // 504
  for (int i = 0; i < 4; ++i) record += static_cast<char>(crc >> (8 * i));
  std::string written, names;
  for (const catalogue::ImageSegment& s : image.segments()) {
    EXPECT_EQ(s.offset, written.size()) << s.name;
    written.append(reinterpret_cast<const char*>(s.bytes), s.size);
    names += s.name + ";";
  }
  EXPECT_EQ(written, before + record);
  EXPECT_EQ(names, "3 late:0;4 late:1;0 early:0;padding;record;");
  EXPECT_EQ(image.length(), 520u);
  EXPECT_EQ(image.crc32(), crc);
  const std::vector<std::optional<uint32_t>> expected = {216 + 70, std::nullopt, std::nullopt, 0, 216};
  for (size_t entry = 0; entry < 5; ++entry) EXPECT_EQ(image.offset_of(entry), expected[entry]) << entry;

  // Any stretch of it for the writer, across segments; and as written to a
  // chip, 0xFF after the record up to the chip's end, in more than one piece.
  const auto joined = [](const std::vector<toolkit::Piece>& pieces) {
    std::string bytes;
    for (const toolkit::Piece& p : pieces) bytes.append(static_cast<const char*>(p.data), p.size);
    return bytes;
  };
  EXPECT_EQ(joined(image.pieces(214, 506)), written.substr(214, 292));
  catalogue::FlashImage chip(runs, 2, table, 5);
  EXPECT_FALSE(chip.fill_chip(519));
  EXPECT_EQ(chip.length(), 520u);
  ASSERT_TRUE(chip.fill_chip(520 + 65537));
  EXPECT_TRUE(joined(chip.pieces()) == written + std::string(65537, '\xFF'));
  EXPECT_EQ(chip.trailer_offset(), 504u);
}

// Every bitmap's name, by run and by table entry, names that bitmap again.
TEST(BitmapNames, EveryNameGivenFindsItsBitmap) {
  std::string reason;
  const auto find = [&](const std::string& name) {
    return catalogue::find_bitmap(bitmap_runs, bitmap_run_count, bitmap_table, BITMAP_TABLE_LENGTH, name, reason);
  };
  for (size_t r = 0; r < bitmap_run_count; ++r) {
    const sBITMAP_RUN& run = bitmap_runs[r];
    for (unsigned frame = 0; frame < run.count; ++frame) {
      const std::string name = catalogue::bitmap_name(run, frame);
      EXPECT_EQ(find(name), &run.records[frame]) << name << ": " << reason;
      if (run.first_entry != BITMAP_NOT_IN_TABLE) {
        EXPECT_EQ(find(std::to_string(run.first_entry + frame)), &run.records[frame]) << name;
      }
    }
    if (run.count == 1) {
      EXPECT_EQ(find(run.name), &run.records[0]) << run.name;
    }
  }
}

// A dump compared in blocks of any even size, across segments that are no
// bitmap, and ending one byte into a pixel.
TEST(Verify, NamesEachSegmentThatDiffersWhateverBlocksTheDumpComesIn) {
  const uint8_t pixels[] = {0x80, 0xEC, 0x12, 0x34, 0xAB, 0xCD, 0x00, 0x01};  // 2 x 2
  const uint8_t record[] = {'I', 'D', 3, '!'};
  const sBITMAP b{2, 2, pixels};
  const std::vector<catalogue::ImageSegment> parts = {{"7 run:3", &b, 0, pixels, 8},
                                                      {"record", nullptr, 8, record, 4},
                                                      {"8 run:4", &b, 12, pixels, 8}};
  std::string dump = std::string(reinterpret_cast<const char*>(pixels), 8) + "ID\x03!" +
                     std::string(reinterpret_cast<const char*>(pixels), 8);
  dump[7] = 0x02;    // 7 run:3, (1, 1)
  dump[10] = 0x04;   // the record's third byte
  dump[15] = 0x35;   // 8 run:4, (1, 0), its second byte
  dump[16] = 0x00;   // and (0, 1)
  for (size_t piece : {size_t{2}, size_t{4}, size_t{6}, size_t{20}}) {
    catalogue::DumpComparer comparer(parts);
    for (size_t at = 0; at < dump.size(); at += piece)
      comparer.feed(reinterpret_cast<const uint8_t*>(dump.data()) + at, std::min(piece, dump.size() - at));
    EXPECT_EQ(comparer.remaining(), 0u);
    EXPECT_EQ(comparer.first_cut(), 3u);
    const auto& d = comparer.differences();
    ASSERT_EQ(d.size(), 3u) << "pieces of " << piece;
    const catalogue::SegmentDifference expected[] = {{0, 1, 3, 0x0002, 0x0001}, {1, 1, 2, 0x04, 0x03}, {2, 2, 1, 0x1235, 0x1234}};
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(d[i].segment, expected[i].segment) << "pieces of " << piece << ", difference " << i;
      EXPECT_EQ(d[i].count, expected[i].count) << "pieces of " << piece << ", difference " << i;
      EXPECT_EQ(d[i].first, expected[i].first) << "pieces of " << piece << ", difference " << i;
      EXPECT_EQ(d[i].dump_value, expected[i].dump_value) << "pieces of " << piece << ", difference " << i;
      EXPECT_EQ(d[i].image_value, expected[i].image_value) << "pieces of " << piece << ", difference " << i;
    }
  }
  // As the command says it, a segment that is no bitmap by its own name, byte
  // by byte; the dump ends one byte into 8 run:4's third pixel.
  testing_support::TempDir dir;
  testing_support::write_file(dir / "dump.bin", dump.substr(0, 17));
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  std::string error;
  EXPECT_EQ(catalogue::verify_dump(dir / "dump.bin", parts, out, error), 1);
  std::rewind(out);
  std::string printed(1000, '\0');
  printed.resize(std::fread(printed.data(), 1, printed.size(), out));
  std::fclose(out);
  EXPECT_EQ(printed, "7 run:3: 1 of 4 pixels differs, first at (1, 1): 0002 where the image has 0001\n"
                     "record: 1 of 4 bytes differs, first at byte 2: 04 where the image has 03\n"
                     "8 run:4: 1 of 4 pixels differs, first at (1, 0): 1235 where the image has 1234\n" +
                         dir / "dump.bin" + ": 3 bytes short of the flash image's 20: 8 run:4 is cut\n" +
                         dir / "dump.bin" + ": not the flash image: 3 of its 3 parts differ\n");
}

// The page's data: an element per run, with each bitmap's name as the
// commands take it and all the run's bytes deflated in base64 (unpacked here
// with zlib), the image length of the tables, and run names that cannot end
// the element holding them or start markup.
TEST(CataloguePage, CarriesEachRunsBytesAndNoMarkupFromNames) {
  const uint8_t two[] = {0x80, 0xEC}, four[] = {0, 1, 2, 3}, six[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  const sBITMAP records[] = {{1, 1, two}, {2, 1, four}, {3, 1, six}};
  const sBITMAP* table[] = {&records[1]};
  const uint32_t crcs[] = {0, 0, 0};
  const sBITMAP_RUN runs[] = {{"a</script><b>&", BITMAP_NOT_IN_TABLE, 3, records, crcs},
                              {"t", 0, 1, &records[1], crcs}};
  const std::string page = catalogue::catalogue_page(runs, 2, table, 1);
  for (const char* expected : {"\"imageLength\":20,", "\"name\":\"a\\u003c/script\\u003e\\u003cb\\u003e\\u0026\"",
                               "\"name\":\"a\\u003c/script\\u003e\\u003cb\\u003e\\u0026:2\",\"entry\":null,",
                               "{\"name\":\"t:0\",\"entry\":0,", "\"offset\":0,\"crc32\"", "\"offset\":null,\"crc32\"",
                               "\"imageRuns\":[{\"name\":\"t\",\"bytes\":4,\"offset\":0}]"})
    EXPECT_NE(page.find(expected), std::string::npos) << expected;
  const std::string base64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::string> unpacked;
  for (size_t at = page.find("\"pixels\":\""); at != std::string::npos; at = page.find("\"pixels\":\"", at + 1)) {
    std::string deflated;
    unsigned value = 0, bits = 0;
    for (size_t i = at + 10; page[i] != '"' && page[i] != '='; ++i) {
      value = value << 6 | static_cast<unsigned>(base64.find(page[i]));
      if ((bits += 6) >= 8) deflated += static_cast<char>(value >> (bits -= 8) & 0xFF);
    }
    std::string bytes(64, '\0');
    uLongf size = bytes.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(bytes.data()), &size, reinterpret_cast<const Bytef*>(deflated.data()),
                         deflated.size()),
              Z_OK);
    unpacked.push_back(bytes.substr(0, size));
  }
  EXPECT_EQ(unpacked, (std::vector<std::string>{std::string("\x80\xEC\0\1\2\3\xFF\xFF\xFF\xFF\xFF\xFF", 12),
                                                std::string("\0\1\2\3", 4)}));
  size_t script_ends = 0;
  for (size_t at = page.find("</script"); at != std::string::npos; at = page.find("</script", at + 1)) ++script_ends;
  EXPECT_EQ(script_ends, 5u) << "the browser check's, the code's, the head's and each run's";
}

// Noise, flat colour, stripes and gradients, rows repeated and not.
toolkit::Image565 test_image(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  toolkit::Image565 image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint16_t v;
      if (y < height / 4) v = static_cast<uint16_t>(random());
      else if (y < height / 2) v = 0x1082;
      else if (y < 3 * height / 4) v = x % 3 ? 0xFFFF : 0xF800;
      else v = toolkit::pack565(static_cast<unsigned>(x) % 32, static_cast<unsigned>(y) % 64, static_cast<unsigned>(x + y) % 32);
      image.at(x, y) = v;
    }
  return image;
}

testing_support::Picture picture_of(const toolkit::Image565& image) {
  testing_support::Picture p{static_cast<uint32_t>(image.width), static_cast<uint32_t>(image.height), {}};
  for (uint16_t v : image.pixels) p.rgb.push_back(testing_support::rgb_of(v));
  return p;
}

TEST(PngEncode, StillPicturesReadBackExactly) {
  for (auto [w, h] : {std::pair{1, 1}, {37, 23}, {240, 8}}) {
    const toolkit::Image565 image = test_image(w, h, static_cast<unsigned>(w * h));
    std::vector<uint8_t> png;
    std::string error;
    ASSERT_TRUE(toolkit::encode_png(image, toolkit::Compression::smallest, png, error)) << error;
    const std::string bytes(png.begin(), png.end());
    testing_support::Picture read;
    ASSERT_EQ(testing_support::read_with_libpng(bytes, read), "");
    EXPECT_TRUE(read == picture_of(image)) << w << " x " << h;
    testing_support::DecodedPng decoded;
    ASSERT_EQ(testing_support::decode_png(bytes, decoded), "");
    EXPECT_FALSE(decoded.animated);
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_TRUE(decoded.frames[0] == picture_of(image));
  }
}

TEST(PngEncode, RefusesWhatItCannotPicture) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(toolkit::encode_png(toolkit::Image565(0, 5), toolkit::Compression::quick, out, error));
  EXPECT_FALSE(toolkit::encode_apng({}, 15, out, error));
  EXPECT_FALSE(toolkit::encode_apng({toolkit::Image565(3, 3), toolkit::Image565(3, 4)}, 15, out, error));
  EXPECT_FALSE(toolkit::encode_apng({toolkit::Image565(3, 3)}, 0, out, error));
}

}  // namespace
