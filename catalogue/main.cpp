// catalogue: the device's bitmaps for the firmware developer at the
// workstation: what is there, the flash tables and the flash image they
// describe, one bitmap's bytes, and pictures to look at.
//
// Here the command line is read and handed to the command it names
// (commands.h). Errors go to standard error as "catalogue: <what>: <reason>".
// Exit status: 0 success, 1 failure, 2 usage error.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "messages.h"
#include "shown_name.h"

namespace {

using namespace catalogue;

// A command: its options, each added here and read by its run function
// (Arguments::option), then its operands, its line in the overview and its
// help.
struct Command {
  const char* name;
  std::vector<OptionTaken> options;  // given before, between or after the operands
  const char* operands;             // as the usage line gives them
  size_t fewest, most;              // operands it takes
  const char* summary;
  const char* help;
  int (*run)(const Arguments& args);
};

int help_command(const Arguments& args);

const std::vector<Command> kCommands = {
    {"list", {}, "", 0, 0, "one line per bitmap: entry, run, size, bytes, offset, CRC-32",
     "One line per bitmap, in catalogue order: table entry ('-' outside the table),\n"
     "run, size, bytes, offset in the flash image ('-' outside), CRC-32 of its bytes;\n"
     "then the same for the record that ends the flash image, \"(record)\".\n",
     list_command},
    {"table", {}, "", 0, 0, "the flash tables as a C file",
     "The flash tables as a C file: one FLASH_sBITMAP table per run of bitmap_table,\n"
     "named flash_<run>, with each bitmap's width, height and flash offset. It\n"
     "includes flash_tables.h, the output of 'catalogue header'.\n",
     table_command},
    {"header", {}, "", 0, 0, "the C header of the tables, flash_tables.h",
     "The C header of the tables, to save as flash_tables.h: the image's length\n"
     "(FLASH_IMAGE_LENGTH), its record (FLASH_IMAGE_RECORD_OFFSET, _LENGTH, and the\n"
     "bytes, FLASH_IMAGE_RECORD), the CRC-32 of the bytes before the record\n"
     "(FLASH_IMAGE_CRC32), the number of entries (FLASH_TABLE_ENTRIES) and a\n"
     "declaration of each table. It includes the firmware's FLASH_sBITMAP from\n"
     "FLASH_SBITMAP_HEADER, <flash_sbitmap.h> unless defined otherwise.\n",
     header_command},
    {"flash-image",
     {{"since", "OLD"}, {"layout", "LAYOUT"}, {"erase-block", "SIZE"}, {"chip-offset", "OFFSET"}, {"size", "SIZE"}}, "FILE", 1, 1,
     "writes the flash image, padded to a chip's size if asked, and what changed since the last one",
     "Writes the flash image the tables describe to FILE: the pixel arrays of\n"
     "bitmap_table in table order from offset 0, with nothing between them, then\n"
     "a 16-byte record that identifies the image (see catalogue header).\n"
     "A device (an SD card, a flash chip) is written in place and synced; FILE\n"
     "'-' is standard output, and the report then goes to standard error.\n"
     "\n"
     "--size SIZE pads the image to SIZE bytes with 0xFF, as erased NOR flash\n"
     "reads, for a programmer that writes whole chips. SIZE is in bytes, in\n"
     "hexadecimal with 0x, or in KiB or MiB with K, KiB, M or MiB: 8M, 8MiB and\n"
     "0x800000 are 8388608. An image larger than SIZE is refused and nothing is\n"
     "written. For an 8 MiB chip, with flashrom:\n"
     "  catalogue flash-image --size 8M flash.bin\n"
     "  flashrom -p <programmer> -c <chip> -w flash.bin\n"
     "\n"
     "--since OLD --layout LAYOUT compares the image with OLD, the image written\n"
     "before (a file, or '-' for standard input), and writes LAYOUT, a flashrom\n"
     "layout of the erase blocks where they differ: r0, r1, ... and 'record', the\n"
     "blocks of the image's record, always among them when any block differs,\n"
     "and LAYOUT.old-record, OLD's bytes there. It prints the flashrom commands\n"
     "to run in order, each only if the one before succeeded: confirm that the\n"
     "chip holds OLD's record, erase the record's region, write the other\n"
     "regions, write the record's region; stopped anywhere, the chip holds OLD,\n"
     "NEW, or no valid record. Erase blocks are 4K unless --erase-block SIZE says\n"
     "otherwise (a power of two that divides the image's size).\n"
     "--chip-offset OFFSET places the image OFFSET bytes into the chip (a\n"
     "multiple of the erase block), FILE and OLD being its region as written:\n"
     "the layout's addresses are the chip's, and each region's bytes are written\n"
     "beside LAYOUT as LAYOUT.NAME for flashrom's -i NAME:FILE.\n",
     flash_image_command},
    {"export", {}, "BITMAP FILE", 2, 2, "writes one bitmap's pixel bytes",
     "Writes the pixel bytes of one bitmap to FILE, as the device holds them:\n"
     "RGB565, high byte first, row-major. BITMAP is a name 'catalogue list' shows:\n"
     "  269          the table entry, 0 to 278\n"
     "  smoke:10     a run and a frame of it, counted from 0\n"
     "  farewell     a run of one bitmap (the farewell screens are in no table)\n"
     "FILE '-' is standard output, and the report then goes to standard error.\n",
     export_command},
    {"preview", {}, "DIR", 1, 1, "writes pictures of every run and a page of them all",
     "Writes pictures of the bitmaps into DIR (created if missing): DIR/<run>.png,\n"
     "a contact sheet of each run labelled with table entries, and DIR/<run>_anim.png,\n"
     "an animated PNG of each animated run for a web browser, and DIR/index.html,\n"
     "one page of every run playing, with each bitmap's listing, a pixel inspector\n"
     "and a map of the flash image.\n",
     preview_command},
    {"verify", {}, "FILE", 1, 1, "compares a dump of the flash chip with the flash image",
     "Compares a dump of the flash chip (a file, a device, or '-' for standard\n"
     "input) with the flash image from offset 0; what follows the image in the\n"
     "dump is not compared. Status 0 when the dump holds the image:\n"
     "  FILE: holds the flash image (LENGTH bytes from offset 0)\n"
     "otherwise status 1, with a line for each part of the image that differs,\n"
     "a bitmap named as 'catalogue list' shows it, with its first differing\n"
     "pixel (x, y) and the RGB565 values there, the dump's first:\n"
     "  269 digits_cool:0: 1 of 108 pixels differs, first at (1, 0): 81EC where the image has 80EC\n"
     "a line when the dump ends early, naming the parts it cuts, or saying it is empty:\n"
     "  FILE: 16 bytes short of the flash image's LENGTH: record is cut\n"
     "  FILE: 500 bytes short of the flash image's LENGTH: 277 digits_cool:8 to record (3 parts) are cut\n"
     "  FILE: empty, where the flash image has LENGTH bytes\n"
     "and a total, counting each part once:\n"
     "  FILE: not the flash image: 1 of its PARTS parts differs, 1 is cut\n",
     verify_command},
    {"help", {}, "[COMMAND]", 0, 1, "describes a command, or lists them",
     "Describes COMMAND, as 'catalogue COMMAND --help' does; without one, lists\n"
     "the commands, as 'catalogue --help' does.\n",
     help_command},
};

// "flash-image [--size SIZE] FILE"
std::string usage(const Command& c) {
  std::string line = c.name;
  for (const OptionTaken& o : c.options)
    line += std::string(" [--") + o.name + (o.value ? std::string(" ") + o.value : "") + "]";
  return *c.operands ? line + " " + c.operands : line;
}

int print_command_help(const Command& c) {
  std::printf("usage: catalogue %s\n\n%s", usage(c).c_str(), c.help);
  return finish_stdout();
}

int print_overview() {
  std::printf("usage: catalogue COMMAND [ARGUMENTS]\n\nThe device's bitmaps. Commands:\n");
  for (const Command& c : kCommands) std::printf("  %-12s %s\n", c.name, c.summary);
  std::printf("\n'catalogue COMMAND --help' or 'catalogue help COMMAND' describes a command;\n"
              "'catalogue --version' prints the version and names the art.\n");
  return finish_stdout();
}

// The command of that name; null after a usage error for what, with the
// command meant when one is close.
const Command* find_command(const std::string& what, const std::string& name) {
  std::vector<std::string> names;
  for (const Command& c : kCommands) {
    if (name == c.name) return &c;
    names.push_back(c.name);
  }
  const std::string near = closest_name(name, names);
  usage_error(what, "unknown command" + (near.empty() ? "" : "; did you mean " + near + "?") +
                        " (see catalogue --help)");
  return nullptr;
}

int help_command(const Arguments& args) {
  if (args.operands.empty()) return print_overview();
  const Command* c = find_command("help: " + toolkit::shown_name(args.operands[0]), args.operands[0]);
  return c ? print_command_help(*c) : kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage_error("no command", "see catalogue --help");
  const std::string name = argv[1];
  const std::vector<std::string> rest(argv + 2, argv + argc);
  if (name == "--version") {
    if (!rest.empty()) return usage_error("--version", "takes no arguments (see catalogue --help)");
    return version_command();
  }
  // "catalogue --help list" as "catalogue help list"
  const Command* c = find_command(toolkit::shown_name(name), name == "--help" || name == "-h" ? "help" : name);
  if (!c) return kUsage;
  Arguments args;
  if (!parse_arguments(c->name, c->options, rest, args)) return kUsage;
  if (args.help) return print_command_help(*c);
  if (args.operands.size() < c->fewest || args.operands.size() > c->most)
    return usage_error(c->name, "expects " + (c->most ? usage(*c).substr(std::strlen(c->name) + 1) : "no arguments") +
                                    " (see catalogue " + c->name + " --help)");
  return c->run(args);
}
