#include "firmware_files.h"

#include <zlib.h>

#include "flash_table.h"

namespace catalogue {

FlashImageSummary summarise_flash_image(const std::vector<const sBITMAP*>& bitmaps) {
  FlashImageSummary image;
  uLong crc = crc32(0, nullptr, 0);
  for (const sBITMAP* b : bitmaps) {
    const uint32_t size = bitmap_byte_size(b);
    crc = crc32(crc, b->pixels, size);  // a bitmap is at most 130,050 bytes, well within uInt
    image.length += size;
  }
  image.crc32 = static_cast<uint32_t>(crc);
  return image;
}

namespace {

// Both files start with the same note on where they come from.
void print_heading(std::FILE* out, const char* what, const char* version) {
  std::fprintf(out,
               "/* %s\n"
               " * Printed by catalogue %s; the tables (catalogue table), this header\n"
               " * (catalogue header) and the flash image (catalogue flash-image) belong\n"
               " * together: take all three from the same catalogue. */\n\n",
               what, version);
}

}  // namespace

void print_tables_file(std::FILE* out, const std::vector<FlashTable>& tables, const sBITMAP* const* table,
                       const char* version) {
  print_heading(out, "The device's bitmaps in the external flash image: width, height, offset.", version);
  std::fprintf(out, "#include \"%s\"\n\n", kFirmwareHeaderName);
  // The entries are one flat list of values, without braces around each
  // record: valid C, which gcc and clang nonetheless warn about.
  std::fputs("#if defined(__GNUC__)\n"
             "#pragma GCC diagnostic push\n"
             "#pragma GCC diagnostic ignored \"-Wmissing-braces\"\n"
             "#endif\n\n",
             out);
  bool first = true;
  for (const FlashTable& t : tables) {
    if (!first) std::fputc('\n', out);
    first = false;
    print_flash_table_to(out, t.name.c_str(), &table[t.first_entry], t.count);
  }
  std::fputs("\n#if defined(__GNUC__)\n"
             "#pragma GCC diagnostic pop\n"
             "#endif\n",
             out);
}

void print_header_file(std::FILE* out, const std::vector<FlashTable>& tables, const FlashImageSummary& image,
                       const char* version) {
  print_heading(out, "The device's bitmaps in the external flash image.", version);
  unsigned entries = 0;
  for (const FlashTable& t : tables) entries += t.count;
  std::fprintf(out,
               "/* The image is the bitmaps' pixel arrays, one after another from offset 0,\n"
               " * with nothing between them. Each table entry gives the bitmap's width and\n"
               " * height in pixels and the offset of its pixel array from the start of the\n"
               " * image. Pixels are RGB565 (red bits 15-11, green 10-5, blue 4-0), two\n"
               " * bytes each, high byte first, row-major from the top row: width * height * 2\n"
               " * bytes a bitmap.\n"
               " *\n"
               " * The record is the firmware's own,\n"
               " *   typedef struct { uint8_t width, height; uint32_t offset; } FLASH_sBITMAP;\n"
               " * from the header named by FLASH_SBITMAP_HEADER, \"flash_sbitmap.h\" unless\n"
               " * defined otherwise (-DFLASH_SBITMAP_HEADER='\"board/flash.h\"'). */\n"
               "#ifndef FLASH_TABLES_H\n"
               "#define FLASH_TABLES_H\n\n"
               "#ifndef FLASH_SBITMAP_HEADER\n"
               "#define FLASH_SBITMAP_HEADER \"flash_sbitmap.h\"\n"
               "#endif\n"
               "#include FLASH_SBITMAP_HEADER\n\n"
               "#define FLASH_IMAGE_LENGTH %lluUL /* bytes */\n"
               "#define FLASH_IMAGE_CRC32 0x%08lxUL /* CRC-32 (as zlib's crc32) of those bytes */\n"
               "#define FLASH_TABLE_ENTRIES %uu /* entries in all the tables */\n\n"
               "#ifdef __cplusplus\n"
               "extern \"C\" {\n"
               "#endif\n\n",
               static_cast<unsigned long long>(image.length), static_cast<unsigned long>(image.crc32), entries);
  for (const FlashTable& t : tables)
    std::fprintf(out, "extern FLASH_sBITMAP flash_%s[%u];\n", t.name.c_str(), static_cast<unsigned>(t.count));
  std::fputs("\n#ifdef __cplusplus\n"
             "}\n"
             "#endif\n\n"
             "#endif\n",
             out);
}

}  // namespace catalogue
