// The two C files a firmware build takes from the catalogue: the flash
// tables (`catalogue table`) and the header that declares them, with what
// identifies the flash image they describe (`catalogue header`).
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "flash_image.h"
#include "flash_layout.h"

namespace catalogue {

// The name the tables file includes its header by: save the header's text
// under it.
constexpr const char* kFirmwareHeaderName = "flash_tables.h";

// The tables as a C file: a heading, the header's #include, and each table
// as print_flash_table_to prints it, in a region where the compiler does not
// ask for braces around each element. The offsets come from flash_offset,
// so they start at 0 only when nothing has been printed before in the process.
void print_tables_file(std::FILE* out, const std::vector<FlashTable>& tables, const sBITMAP* const* table,
                       const char* version);

// The matching header: the firmware's FLASH_sBITMAP through its own header,
// the image's length, its CRC-32 and its trailer (FLASH_IMAGE_RECORD), the number of
// table entries, and an extern declaration of each table.
void print_header_file(std::FILE* out, const std::vector<FlashTable>& tables, const FlashImage& image,
                       const char* version);

}  // namespace catalogue
