// catalogue: the device's bitmaps for the firmware developer at the
// workstation: what is there, the flash tables and the flash image they
// describe, one bitmap's bytes, and pictures to look at.
//
// Errors go to standard error as "catalogue: <what>: <reason>". Exit status:
// 0 success, 1 failure, 2 usage error.
#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap_runs.h"
#include "bitmaps.h"
#include "firmware_files.h"
#include "flash_image.h"
#include "flash_layout.h"
#include "flash_table.h"
#include "listing.h"
#include "page.h"
#include "png_encode.h"
#include "preview.h"
#include "output_file.h"
#include "reflash.h"
#include "verify.h"

namespace {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

struct Command {
  const char* name;
  const char* arguments;  // as in the usage line
  int argument_count;
  const char* help;
  int (*run)(char** args);
  const char* option = nullptr;  // one it may take, with a value, before its arguments: args then start with both
};

int fail(const std::string& what, const std::string& reason) {
  std::fprintf(stderr, "catalogue: %s: %s\n", what.c_str(), reason.c_str());
  return kFailed;
}

int usage_error(const std::string& what, const std::string& reason) {
  std::fprintf(stderr, "catalogue: %s: %s\n", what.c_str(), reason.c_str());
  return kUsage;
}

// Output to a pipe or file fails late, when the buffer is flushed; a listing
// cut short must not end with status 0.
int finish_stdout() {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return fail("standard output", errno ? std::strerror(errno) : "write error");
  return kOk;
}

std::vector<catalogue::FlashTable> tables() { return catalogue::flash_tables(bitmap_runs, bitmap_run_count); }

using art::Piece;

// Where a command reports what it wrote: standard error when standard
// output holds the bytes.
std::FILE* report_stream(const std::string& path) {
  return path == "-" || art::names_standard_output(path) ? stderr : stdout;
}

// Writes the command's one file by the rules every output follows
// (output_file.h), "-" being standard output, and says so: on standard
// error when standard output holds the bytes.
int report_written(const char* command, const std::string& path, const std::vector<Piece>& pieces) {
  const bool to_stdout = path == "-";
  if (to_stdout && art::standard_output_is_terminal())
    return usage_error(command, "standard output is a terminal: give a FILE, or redirect standard output");
  std::string error;
  if (!art::write_output(path, pieces, error, art::Dash::standard_output)) {
    std::fprintf(stderr, "catalogue: %s\n", error.c_str());
    return kFailed;
  }
  unsigned long long total = 0;
  for (const Piece& piece : pieces) total += piece.size;
  std::fprintf(report_stream(path), "%s: %llu bytes written\n",
               to_stdout ? "standard output" : path.c_str(), total);
  return finish_stdout();
}

catalogue::FlashImage flash_image() {
  return catalogue::FlashImage(bitmap_runs, bitmap_run_count, bitmap_table, BITMAP_TABLE_LENGTH);
}

int list_command(char**) {
  const catalogue::FlashImage image = flash_image();
  const std::vector<catalogue::BitmapRow> rows = catalogue::bitmap_rows(bitmap_runs, bitmap_run_count, image);
  int name_width = 3;
  for (size_t r = 0; r < bitmap_run_count; ++r)
    name_width = std::max(name_width, static_cast<int>(std::strlen(bitmap_runs[r].name)));
  std::printf("%5s  %-*s  %-7s  %6s  %-10s  %s\n", "entry", name_width, "run", "size", "bytes", "offset", "crc32");
  for (const catalogue::BitmapRow& row : rows)
    std::printf("%5s  %-*s  %-7s  %6" PRIu32 "  %-10s  %s\n", row.entry_text().c_str(), name_width, row.run->name,
                row.size_text().c_str(), row.bytes, row.offset_text().c_str(), row.crc32_text().c_str());
  // The image's end: the record that identifies it, after any padding.
  for (const catalogue::SegmentRow& s : catalogue::other_segment_rows(image))
    std::printf("%5s  %-*s  %-7s  %6" PRIu32 "  %-10s  %s\n", "-", name_width, ("(" + s.name + ")").c_str(), "-",
                s.bytes, s.offset_text.c_str(), s.crc32_text.c_str());
  return finish_stdout();
}

int table_command(char**) {
  catalogue::print_tables_file(stdout, tables(), bitmap_table, DEVICE_BITMAPS_VERSION);
  return finish_stdout();
}

int header_command(char**) {
  catalogue::print_header_file(stdout, tables(), flash_image(), DEVICE_BITMAPS_VERSION);
  return finish_stdout();
}

// An empty name reaches the system as "", and its error would name no file.
int empty_name_error(const char* command, const char* what) {
  return usage_error(command, std::string(what) + " must not be empty");
}

// A chip's size, or its erase block's: bytes, or KiB or MiB with the suffix
// K or M, from 1 byte to 4 GiB, the most the tables' 32-bit offsets reach.
bool parse_chip_size(const char* text, unsigned long long& size) {
  constexpr unsigned long long kMost = 1ull << 32;
  unsigned long long value = 0, unit = 1;
  const char* p = text;
  for (; *p >= '0' && *p <= '9'; ++p)
    if ((value = value * 10 + static_cast<unsigned>(*p - '0')) > kMost) return false;
  if (*p == 'K' || *p == 'M') unit = *p++ == 'K' ? 1024 : 1024 * 1024;
  if (p == text || *p || value == 0 || value > kMost / unit) return false;
  size = value * unit;
  return true;
}

// flash-image's options for writing only what changed: --since OLD
// --layout LAYOUT [--erase-block SIZE], before its other arguments.
struct SinceOptions {
  const char* since = nullptr;
  const char* layout = nullptr;
  const char* erase_block = nullptr;
} since_options;

// Takes those options out of flash-image's command line, leaving the rest
// for the parsing every command has.
int take_since_options(int& argc, char** argv) {
  int at = 2;
  for (; at + 1 < argc; at += 2) {
    const char** value = std::strcmp(argv[at], "--since") == 0         ? &since_options.since
                         : std::strcmp(argv[at], "--layout") == 0      ? &since_options.layout
                         : std::strcmp(argv[at], "--erase-block") == 0 ? &since_options.erase_block
                                                                       : nullptr;
    if (!value) break;
    if (*value) return usage_error("flash-image", std::string(argv[at]) + " is given twice");
    *value = argv[at + 1];
  }
  std::copy(argv + at, argv + argc, argv + 2);
  argc -= at - 2;
  if (!since_options.since != !since_options.layout || (since_options.erase_block && !since_options.since))
    return usage_error("flash-image", "--since OLD and --layout LAYOUT go together, and --erase-block with them");
  return kOk;
}

// With --since: the layout of the erase blocks where the image differs from
// OLD, written before the image, so that a failure leaves no image without
// its layout.
int write_since_layout(const std::vector<Piece>& pieces, const catalogue::FlashImage& image, unsigned long long& block,
                       std::vector<catalogue::LayoutRegion>& regions) {
  const SinceOptions& o = since_options;
  if (!*o.since) return empty_name_error("flash-image", "OLD");
  if (!*o.layout) return empty_name_error("flash-image", "LAYOUT");
  unsigned long long length = 0;
  for (const Piece& piece : pieces) length += piece.size;
  block = 4096;
  if (o.erase_block && !parse_chip_size(o.erase_block, block))
    return usage_error(std::string("flash-image: --erase-block '") + o.erase_block + "'",
                       "give the erase block's size in bytes, or with K or M for KiB or MiB (4K)");
  const std::string refusal = catalogue::erase_block_refusal(block, length);
  if (!refusal.empty()) return usage_error("flash-image", refusal);
  uint64_t old_length = 0;
  std::string error;
  if (!catalogue::changed_regions(o.since, pieces, block, image.record_offset(), catalogue::kRecordSize, regions,
                                  old_length, error)) {
    std::fprintf(stderr, "catalogue: %s\n", error.c_str());
    return kFailed;
  }
  if (old_length != length)
    return usage_error(std::string("flash-image: --since ") + o.since,
                       (old_length > length ? "more than" : std::to_string(old_length) + " bytes, not") +
                           " the image's " + std::to_string(length) + ": give the image as written, with its --size");
  const std::string text = catalogue::layout_text(regions);
  if (!art::write_output(o.layout, {{text.data(), text.size()}}, error)) {
    std::fprintf(stderr, "catalogue: %s\n", error.c_str());
    return kFailed;
  }
  return kOk;
}

int flash_image_command(char** args) {
  unsigned long long size = 0;
  const bool padded = std::strcmp(args[0], "--size") == 0;
  if (padded && !parse_chip_size(args[1], size))
    return usage_error(std::string("flash-image: --size '") + args[1] + "'",
                       "give the chip's size in bytes, or with K or M for KiB or MiB (8M), 1 to 4096M");
  const char* path = padded ? args[2] : args[0];
  if (!*path) return empty_name_error("flash-image", "FILE");
  const catalogue::FlashImage image = flash_image();
  std::vector<Piece> pieces;
  for (const catalogue::ImageSegment& s : image.segments()) pieces.push_back({s.bytes, s.size});
  const unsigned long long length = image.length();
  if (padded && length > size)
    return usage_error("flash-image", "the image is " + std::to_string(length) + " bytes, more than --size " +
                                          args[1] + " (" + std::to_string(size) + " bytes)");
  // The rest of the chip as erased NOR flash reads: every bit set.
  static const std::vector<uint8_t> erased(64 * 1024, 0xFF);
  for (unsigned long long rest = padded ? size - length : 0; rest > 0; rest -= pieces.back().size)
    pieces.push_back({erased.data(), static_cast<size_t>(std::min<unsigned long long>(rest, erased.size()))});
  if (!since_options.since) return report_written("flash-image", path, pieces);
  unsigned long long block = 0;
  std::vector<catalogue::LayoutRegion> regions;
  if (const int refused = write_since_layout(pieces, image, block, regions)) return refused;
  if (const int written = report_written("flash-image", path, pieces)) return written;
  catalogue::print_reflash(report_stream(path), regions, block, padded ? size : length, since_options.layout, path,
                           since_options.since);
  return finish_stdout();
}

int verify_command(char** args) {
  if (!*args[0]) return empty_name_error("verify", "FILE");
  std::string error;
  const catalogue::FlashImage image = flash_image();
  const int outcome = catalogue::verify_dump(args[0], image.segments(), stdout, error);
  if (outcome < 0) {
    std::fprintf(stderr, "catalogue: %s\n", error.c_str());
    return kFailed;
  }
  const int written = finish_stdout();
  return written != kOk ? written : outcome;
}

// A count from 0: decimal digits only, below limit.
bool parse_below(const char* text, unsigned limit, unsigned& number) {
  if (!*text) return false;
  unsigned long value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + static_cast<unsigned long>(*p - '0');
    if (value >= limit) return false;
  }
  number = static_cast<unsigned>(value);
  return true;
}

// A bitmap by a name `list` shows: its table entry, or its run's name with
// ":FRAME" from 0, the name alone for a run of one bitmap. Null, with the
// reason, when the text names none.
const sBITMAP* find_bitmap(const std::string& text, std::string& reason) {
  unsigned number = 0;
  if (parse_below(text.c_str(), BITMAP_TABLE_LENGTH, number)) return bitmap_table[number];
  const size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  for (size_t r = 0; r < bitmap_run_count; ++r) {
    const sBITMAP_RUN& run = bitmap_runs[r];
    if (name != run.name) continue;  // the manifest gives every run at least one bitmap
    if (colon == std::string::npos ? run.count == 1
                                   : parse_below(text.c_str() + colon + 1, run.count, number))
      return &run.records[colon == std::string::npos ? 0 : number];
    reason = run.count == 1 ? "a run of 1 bitmap: give it as " + name + " or " + name + ":0"
                            : "a run of " + std::to_string(run.count) + " bitmaps: give one as " + name + ":0 to " +
                                  name + ":" + std::to_string(run.count - 1);
    return nullptr;
  }
  reason = "no such bitmap: give a table entry, 0 to " + std::to_string(BITMAP_TABLE_LENGTH - 1) +
           ", or a run as 'catalogue list' names it, with :FRAME from 0 (see catalogue export --help)";
  return nullptr;
}

int export_command(char** args) {
  std::string reason;
  const sBITMAP* b = find_bitmap(args[0], reason);
  if (!b) return usage_error(std::string("export: '") + args[0] + "'", reason);
  if (!*args[1]) return empty_name_error("export", "FILE");
  return report_written("export", args[1], {{b->pixels, bitmap_byte_size(b)}});
}

bool is_separator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

int make_directory(const std::string& path) {
#ifdef _WIN32
  return _mkdir(path.c_str());
#else
  return mkdir(path.c_str(), 0777);
#endif
}

// mkdir -p: every missing directory on the way.
bool make_directories(const std::string& path, std::string& error) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && !is_separator(path[at])) continue;
    const std::string prefix = path.substr(0, at);
#ifdef _WIN32
    if (prefix.back() == ':') continue;  // a drive, as in C:\out
#endif
    if (make_directory(prefix) != 0 && errno != EEXIST) {
      error = prefix + ": " + std::strerror(errno);
      return false;
    }
  }
  struct stat st;
  const int reason = stat(path.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (reason) error = path + ": " + std::strerror(reason);
  return reason == 0;
}

// The encoded picture written as every output is, and a line saying so.
bool write_picture(const std::string& path, const std::vector<uint8_t>& png, const std::string& what) {
  std::string error;
  if (!art::write_output(path, {{png.data(), png.size()}}, error)) {
    std::fprintf(stderr, "catalogue: %s\n", error.c_str());
    return false;
  }
  std::printf("%s: %s\n", path.c_str(), what.c_str());
  return true;
}

int preview_command(char** args) {
  if (!*args[0]) return empty_name_error("preview", "DIR");
  const std::string dir = args[0];
  std::string error;
  if (!make_directories(dir, error)) {
    std::fprintf(stderr, "catalogue: %s\n", error.c_str());
    return kFailed;
  }
  for (size_t r = 0; r < bitmap_run_count; ++r) {
    const sBITMAP_RUN& run = bitmap_runs[r];
    const catalogue::PreviewStyle style = catalogue::preview_style(run);
    const std::string count = std::to_string(run.count), scale = std::to_string(style.scale) + "x";
    std::vector<uint8_t> png;
    const std::string sheet_path = dir + "/" + run.name + ".png";
    if (!art::encode_png(catalogue::contact_sheet(run, style.scale), art::Compression::quick, png, error))
      return fail(sheet_path, error);
    if (!write_picture(sheet_path, png, count + (run.count == 1 ? " bitmap at " : " bitmaps at ") + scale))
      return kFailed;
    if (!style.animated) continue;
    const std::string anim_path = dir + "/" + run.name + "_anim.png";
    if (!art::encode_apng(catalogue::animation_frames(run, style.scale), style.fps, png, error))
      return fail(anim_path, error);
    if (!write_picture(anim_path, png, count + " frames at " + scale + ", " + std::to_string(style.fps) + " a second"))
      return kFailed;
  }
  const std::string page = catalogue::catalogue_page(bitmap_runs, bitmap_run_count, bitmap_table, BITMAP_TABLE_LENGTH);
  if (!write_picture(dir + "/index.html", {page.begin(), page.end()}, "the page of every run, for a web browser"))
    return kFailed;
  return finish_stdout();
}

const Command kCommands[] = {
    {"list", "", 0,
     "One line per bitmap, in catalogue order: table entry ('-' outside the table),\n"
     "run, size, bytes, offset in the flash image ('-' outside), CRC-32 of its bytes;\n"
     "then the same for the record that ends the flash image, \"(record)\".\n",
     list_command},
    {"table", "", 0,
     "The flash tables as a C file: one FLASH_sBITMAP table per run of bitmap_table,\n"
     "named flash_<run>, with each bitmap's width, height and flash offset. It\n"
     "includes flash_tables.h, the output of 'catalogue header'.\n",
     table_command},
    {"header", "", 0,
     "The C header of the tables, to save as flash_tables.h: the image's length\n"
     "(FLASH_IMAGE_LENGTH), its record (FLASH_IMAGE_RECORD_OFFSET, _LENGTH, and the\n"
     "bytes, FLASH_IMAGE_RECORD), the CRC-32 of the bytes before the record\n"
     "(FLASH_IMAGE_CRC32), the number of entries (FLASH_TABLE_ENTRIES) and a\n"
     "declaration of each table. It includes the firmware's FLASH_sBITMAP from\n"
     "FLASH_SBITMAP_HEADER, <flash_sbitmap.h> unless defined otherwise.\n",
     header_command},
    {"flash-image", " [--since OLD --layout LAYOUT [--erase-block SIZE]] [--size SIZE] FILE", 1,
     "Writes the flash image the tables describe to FILE: the pixel arrays of\n"
     "bitmap_table in table order from offset 0, with nothing between them, then\n"
     "a 16-byte record that identifies the image (see catalogue header).\n"
     "A device (an SD card, a flash chip) is written in place and synced; FILE\n"
     "'-' is standard output, and the report then goes to standard error.\n"
     "\n"
     "--size SIZE pads the image to SIZE bytes with 0xFF, as erased NOR flash\n"
     "reads, for a programmer that writes whole chips. SIZE is in bytes, or in\n"
     "KiB or MiB with K or M: 8M is 8388608. An image larger than SIZE is\n"
     "refused and nothing is written. For an 8 MiB chip, with flashrom:\n"
     "  catalogue flash-image --size 8M flash.bin\n"
     "  flashrom -p <programmer> -c <chip> -w flash.bin\n"
     "\n"
     "--since OLD --layout LAYOUT compares the image with OLD, the image written\n"
     "before (a file, or '-' for standard input), and writes LAYOUT, a flashrom\n"
     "layout of the erase blocks where they differ: r0, r1, ... and 'record', the\n"
     "blocks of the image's record, always among them when any block differs.\n"
     "It prints the flashrom command that writes and verifies those alone. Erase\n"
     "blocks are 4K unless --erase-block SIZE says otherwise (a power of two that\n"
     "divides the image's size). Before using it, confirm that the chip holds OLD:\n"
     "  flashrom -p <programmer> -c <chip> -l LAYOUT -i record -v OLD\n"
     "and write the whole image when it does not.\n",
     flash_image_command, "--size"},
    {"export", " BITMAP FILE", 2,
     "Writes the pixel bytes of one bitmap to FILE, as the device holds them:\n"
     "RGB565, high byte first, row-major. BITMAP is a name 'catalogue list' shows:\n"
     "  269          the table entry, 0 to 278\n"
     "  smoke:10     a run and a frame of it, counted from 0\n"
     "  farewell     a run of one bitmap (the farewell screens are in no table)\n"
     "FILE '-' is standard output, and the report then goes to standard error.\n",
     export_command},
    {"preview", " DIR", 1,
     "Writes pictures of the bitmaps into DIR (created if missing): DIR/<run>.png,\n"
     "a contact sheet of each run labelled with table entries, and DIR/<run>_anim.png,\n"
     "an animated PNG of each animated run for a web browser, and DIR/index.html,\n"
     "one page of every run playing, with each bitmap's listing, a pixel inspector\n"
     "and a map of the flash image.\n",
     preview_command},
    {"verify", " FILE", 1,
     "Compares a dump of the flash chip (a file, a device, or '-' for standard\n"
     "input) with the flash image from offset 0; what follows the image in the\n"
     "dump is not compared. Status 0 when the dump holds the image:\n"
     "  FILE: holds the flash image (LENGTH bytes from offset 0)\n"
     "otherwise status 1, with a line for each part of the image that differs,\n"
     "a bitmap named as 'catalogue list' shows it, with its first differing\n"
     "pixel (x, y) and the RGB565 values there, the dump's first:\n"
     "  269 digits_cool:0: 1 of 108 pixels differs, first at (1, 0): 81EC where the image has 80EC\n"
     "a line when the dump ends early, naming the parts it cuts:\n"
     "  FILE: 16 bytes short of the flash image's LENGTH: record is cut\n"
     "  FILE: 500 bytes short of the flash image's LENGTH: 277 digits_cool:8 to record (3 parts) are cut\n"
     "and a total:\n"
     "  FILE: not the flash image: 1 of its PARTS parts differs, 1 is cut\n",
     verify_command},
};

void print_command_help(const Command& c) {
  std::printf("usage: catalogue %s%s\n\n%s", c.name, c.arguments, c.help);
}

void print_overview() {
  std::printf("usage: catalogue COMMAND [ARGUMENTS]\n\nThe device's bitmaps. Commands:\n");
  for (const Command& c : kCommands) std::printf("  %s%s\n", c.name, c.arguments);
  std::printf("\n'catalogue COMMAND --help' or 'catalogue help COMMAND' describes a command;\n"
              "'catalogue --version' prints the version.\n");
}

// `catalogue help [COMMAND]`: the overview, or the command's own help.
int help(int argc, char** argv) {
  if (argc == 2) {
    print_overview();
    return finish_stdout();
  }
  if (argc > 3) return usage_error("help", "expects at most one COMMAND (see catalogue --help)");
  for (const Command& c : kCommands)
    if (std::strcmp(argv[2], c.name) == 0) {
      print_command_help(c);
      return finish_stdout();
    }
  return usage_error(std::string("help: ") + argv[2], "unknown command (see catalogue --help)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage_error("no command", "see catalogue --help");
  const std::string name = argv[1];
  if (name == "--help" || name == "-h") {
    print_overview();
    return finish_stdout();
  }
  if (name == "help") return help(argc, argv);
  if (name == "--version") {
    std::printf("catalogue %s\n", DEVICE_BITMAPS_VERSION);
    return finish_stdout();
  }
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    for (int i = 2; i < argc; ++i)
      if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
        print_command_help(c);
        return finish_stdout();
      }
    if (c.run == flash_image_command)
      if (const int refused = take_since_options(argc, argv)) return refused;
    const bool option = c.option && argc > 2 && std::strcmp(argv[2], c.option) == 0;
    if (argc - 2 - (option ? 2 : 0) != c.argument_count)
      return usage_error(c.name, std::string("expects") + (c.argument_count ? c.arguments : " no arguments") +
                                     " (see catalogue " + c.name + " --help)");
    return c.run(argv + 2);
  }
  return usage_error(name, "unknown command (see catalogue --help)");
}
