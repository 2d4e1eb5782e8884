#include "firmware_files.h"

#include "flash_table.h"

namespace catalogue {

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

void print_header_file(std::FILE* out, const std::vector<FlashTable>& tables, const FlashImage& image,
                       const char* version) {
  print_heading(out, "The device's bitmaps in the external flash image.", version);
  unsigned entries = 0;
  for (const FlashTable& t : tables) entries += t.count;
  std::fputs("/* The image is the bitmaps' pixel arrays, one after another from offset 0,\n"
             " * with nothing between them, then a record that identifies the image. Each\n"
             " * table entry gives the bitmap's width and height in pixels and the offset\n"
             " * of its pixel array from the start of the image. Pixels are RGB565 (red\n"
             " * bits 15-11, green 10-5, blue 4-0), two bytes each, high byte first,\n"
             " * row-major from the top row: width * height * 2 bytes a bitmap.\n"
             " *\n"
             " * The record, at FLASH_IMAGE_RECORD_OFFSET (the end of the pixel arrays\n"
             " * rounded up to a multiple of 4; any byte between is 0xFF), holds \"BITMAPS\"\n"
             " * and its format number 1, then the length of the bytes before it and\n"
             " * their CRC-32, both 32-bit little-endian: FLASH_IMAGE_RECORD. Reading it\n"
             " * tells at boot whether the flash holds this image; the CRC-32 of every\n"
             " * byte before it, against FLASH_IMAGE_CRC32, whether the image is intact.\n"
             " *\n"
             " * An entry is the firmware's own type,\n"
             " *   typedef const struct flash_bitmap { uint8_t width, height; uint32_t offset; } FLASH_sBITMAP;\n"
             " * const, so that the tables stay in read-only memory, and tagged, so that\n"
             " * a C++ function taking it can be called from another file. It comes from\n"
             " * the header named by FLASH_SBITMAP_HEADER, <flash_sbitmap.h> unless\n"
             " * defined otherwise (-DFLASH_SBITMAP_HEADER='<board/flash.h>'), found on\n"
             " * the include path. */\n"
             "#ifndef FLASH_TABLES_H\n"
             "#define FLASH_TABLES_H\n\n"
             "#ifndef FLASH_SBITMAP_HEADER\n"
             "#define FLASH_SBITMAP_HEADER <flash_sbitmap.h>\n"
             "#endif\n"
             "#include FLASH_SBITMAP_HEADER\n\n",
             out);
  std::fprintf(out,
               "#define FLASH_IMAGE_LENGTH %lluUL /* bytes, the record's included */\n"
               "#define FLASH_IMAGE_CRC32 0x%08lxUL /* CRC-32 (as zlib's crc32) of the bytes before the record */\n"
               "#define FLASH_IMAGE_RECORD_OFFSET %luUL\n"
               "#define FLASH_IMAGE_RECORD_LENGTH %uu\n"
               "#define FLASH_IMAGE_RECORD {",
               static_cast<unsigned long long>(image.length()), static_cast<unsigned long>(image.crc32()),
               static_cast<unsigned long>(image.trailer_offset()), static_cast<unsigned>(kTrailerSize));
  for (size_t i = 0; i < kTrailerSize; ++i) std::fprintf(out, "%s0x%02x", i ? ", " : " ", image.trailer()[i]);
  std::fprintf(out,
               " }\n"
               "#define FLASH_TABLE_ENTRIES %uu /* entries in all the tables */\n\n"
               "#ifdef __cplusplus\n"
               "extern \"C\" {\n"
               "#endif\n\n",
               entries);
  for (const FlashTable& t : tables)
    std::fprintf(out, "extern FLASH_sBITMAP flash_%s[%u];\n", t.name.c_str(), static_cast<unsigned>(t.count));
  std::fputs("\n#ifdef __cplusplus\n"
             "}\n"
             "#endif\n\n"
             "#endif\n",
             out);
}

}  // namespace catalogue
