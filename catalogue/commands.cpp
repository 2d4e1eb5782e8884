#include "commands.h"

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap_runs.h"
#include "bitmaps.h"
#include "directories.h"
#include "firmware_files.h"
#include "flash_image.h"
#include "flash_layout.h"
#include "flash_table.h"
#include "listing.h"
#include "messages.h"
#include "names.h"
#include "output_file.h"
#include "page.h"
#include "png_encode.h"
#include "preview.h"
#include "reflash.h"
#include "shown_name.h"
#include "verify.h"

namespace catalogue {

namespace {

std::vector<FlashTable> tables() { return flash_tables(bitmap_runs, bitmap_run_count); }

FlashImage flash_image() { return FlashImage(bitmap_runs, bitmap_run_count, bitmap_table, BITMAP_TABLE_LENGTH); }

using toolkit::Piece;

// Where a command reports what it wrote: standard error when standard
// output holds the bytes.
std::FILE* report_stream(const std::string& path) {
  return path == "-" || toolkit::names_standard_output(path) ? stderr : stdout;
}

// Writes the command's one file by the rules every output follows
// (output_file.h), "-" being standard output, and says so: on standard
// error when standard output holds the bytes.
int report_written(const char* command, const std::string& path, const std::vector<Piece>& pieces) {
  const bool to_stdout = path == "-";
  if (to_stdout && toolkit::standard_output_is_terminal())
    return usage_error(command, "standard output is a terminal: give a FILE, or redirect standard output");
  std::string error;
  if (!toolkit::write_output(path, pieces, error, toolkit::Dash::standard_output)) return report_error(kFailed, error);
  unsigned long long total = 0;
  for (const Piece& piece : pieces) total += piece.size;
  std::fprintf(report_stream(path), "%s: %llu bytes written\n",
               to_stdout ? "standard output" : toolkit::shown_name(path).c_str(), total);
  return finish_stdout();
}

// An empty name reaches the system as "", and its error would name no file.
int empty_name_error(const char* command, const char* what) {
  return usage_error(command, std::string(what) + " must not be empty");
}

// The encoded picture written as every output is, and a line saying so.
bool write_picture(const std::string& path, const std::vector<uint8_t>& png, const std::string& what) {
  std::string error;
  if (!toolkit::write_output(path, {{png.data(), png.size()}}, error)) {
    report_error(kFailed, error);
    return false;
  }
  std::printf("%s: %s\n", toolkit::shown_name(path).c_str(), what.c_str());
  return true;
}

}  // namespace

int list_command(const Arguments&) {
  const FlashImage image = flash_image();
  const std::vector<BitmapRow> rows = bitmap_rows(bitmap_runs, bitmap_run_count, image);
  int name_width = 3;
  for (size_t r = 0; r < bitmap_run_count; ++r)
    name_width = std::max(name_width, static_cast<int>(std::strlen(bitmap_runs[r].name)));
  std::printf("%5s  %-*s  %-7s  %6s  %-10s  %s\n", "entry", name_width, "run", "size", "bytes", "offset", "crc32");
  for (const BitmapRow& row : rows)
    std::printf("%5s  %-*s  %-7s  %6" PRIu32 "  %-10s  %s\n", row.entry_text().c_str(), name_width, row.run->name,
                row.size_text().c_str(), row.bytes, row.offset_text().c_str(), row.crc32_text().c_str());
  // The image's end: the trailer that identifies it, after any padding.
  for (const SegmentRow& s : other_segment_rows(image))
    std::printf("%5s  %-*s  %-7s  %6" PRIu32 "  %-10s  %s\n", "-", name_width, ("(" + s.name + ")").c_str(), "-",
                s.bytes, s.offset_text.c_str(), s.crc32_text.c_str());
  return finish_stdout();
}

// The version, and the art this program carries, named by the flash image's
// CRC-32 as its header gives it: an installed catalogue can be told from
// one built from other art.
int version_command() {
  std::printf("catalogue %s\nart: flash image CRC-32 0x%08" PRIx32 " (FLASH_IMAGE_CRC32)\n", DEVICE_BITMAPS_VERSION,
              flash_image().crc32());
  return finish_stdout();
}

int table_command(const Arguments&) {
  print_tables_file(stdout, tables(), bitmap_table, DEVICE_BITMAPS_VERSION);
  return finish_stdout();
}

int header_command(const Arguments&) {
  print_header_file(stdout, tables(), flash_image(), DEVICE_BITMAPS_VERSION);
  return finish_stdout();
}

namespace {

// A size option's value, when given, into size; else the refusal, naming
// the forms it takes.
int size_option(const Arguments& args, const char* option, const char* what, const char* example, uint64_t least,
                uint64_t& size) {
  const char* value = args.option(option);
  if (!value || parse_size(value, size, least)) return kOk;
  return usage_error(std::string("flash-image: --") + option + " " + quoted(value),
                     std::string("give ") + what + " in bytes, in hexadecimal with 0x, or with K, KiB, M or MiB (" +
                         example + "), " + std::to_string(least) + " to 4096M");
}

// What --since made, written before the image: the regions of erase blocks
// of block bytes where the image differs from OLD, in the layout file, and
// the files its commands read beside it (OLD's record's region, and with
// --chip-offset each region's bytes). Or status: the refusal or failure,
// reported, that leaves no new image beside them. The image may then be
// written over OLD itself.
struct SinceLayout {
  int status = kOk;
  uint64_t block = 4096;  // unless --erase-block says otherwise
  std::vector<LayoutRegion> regions;
};

SinceLayout stopped(int status) {
  SinceLayout made;
  made.status = status;
  return made;
}

SinceLayout write_since_layout(const Arguments& args, const FlashImage& image) {
  SinceLayout made;
  const char *since = args.option("since"), *layout = args.option("layout");
  if (!*since) return stopped(empty_name_error("flash-image", "OLD"));
  if (!*layout) return stopped(empty_name_error("flash-image", "LAYOUT"));
  // flashrom reads the layout, and the lines name it: it must be a file.
  if (std::string(layout) == "-")
    return stopped(usage_error("flash-image: --layout -", "flashrom reads the layout from a file: give its name"));
  uint64_t offset = 0;
  const uint64_t length = image.length();
  if (const int refused = size_option(args, "erase-block", "the erase block's size", "4K, 0x1000", 1, made.block))
    return stopped(refused);
  if (const int refused = size_option(args, "chip-offset", "the image's offset on the chip", "128K, 0x20000", 0, offset))
    return stopped(refused);
  std::string refusal = erase_block_refusal(made.block, length);
  if (refusal.empty() && offset % made.block)
    refusal = "--chip-offset " + std::to_string(offset) + " is not a multiple of the erase block, " +
              std::to_string(made.block) + " bytes";
  if (refusal.empty() && offset + length > (uint64_t{1} << 32))
    refusal = "--chip-offset " + std::to_string(offset) + ": the image would end past 4096M";
  if (!refusal.empty()) return stopped(usage_error("flash-image", refusal));
  uint64_t old_length = 0;
  std::vector<uint8_t> old_record;
  std::string error;
  if (!changed_regions(since, image, made.block, made.regions, old_record, old_length, error))
    return stopped(report_error(kFailed, error));
  if (old_length != length)
    return stopped(usage_error("flash-image: --since " + toolkit::shown_name(since),
                              (old_length > length ? "more than" : std::to_string(old_length) + " bytes, not") +
                                  " the image's " + std::to_string(length) +
                                  ": give the image as written, with its --size"));
  std::vector<std::pair<std::string, std::vector<Piece>>> files;
  if (!made.regions.empty())
    files.push_back({region_file(layout, kOldRecord), {{old_record.data(), old_record.size()}}});
  if (args.option("chip-offset"))
    for (const LayoutRegion& r : made.regions)
      files.push_back({region_file(layout, r.name), image.pieces(r.start, r.end)});
  const std::string text = layout_text(made.regions, offset);
  files.push_back({layout, {{text.data(), text.size()}}});
  for (const auto& [path, bytes] : files)
    if (!toolkit::write_output(path, bytes, error)) return stopped(report_error(kFailed, error));
  return made;
}

// Asks for the pages of the bitmaps' bytes, which the system maps from the
// program's file on first touch, in one call a stretch of them: a third of
// the cost of faulting them in one by one while they are written. Only a
// hint: where the system has no such advice, the write faults them in.
void fault_in(const FlashImage& image) {
#ifdef MADV_POPULATE_READ
  const std::vector<ImageSegment>& segments = image.segments();
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  for (size_t i = 0; i < segments.size();) {  // bitmaps that follow one another in memory as one
    if (!segments[i].bitmap) {
      ++i;
      continue;
    }
    const uintptr_t start = reinterpret_cast<uintptr_t>(segments[i].bytes) & ~(page - 1);
    const uint8_t* end = segments[i].bytes + segments[i].size;
    for (++i; i < segments.size() && segments[i].bitmap && segments[i].bytes == end; ++i) end += segments[i].size;
    madvise(reinterpret_cast<void*>(start), reinterpret_cast<uintptr_t>(end) - start, MADV_POPULATE_READ);
  }
#else
  (void)image;
#endif
}

}  // namespace

int flash_image_command(const Arguments& args) {
  const bool since = args.option("since"), layout = args.option("layout");
  if (since != layout || ((args.option("erase-block") || args.option("chip-offset")) && !since))
    return usage_error("flash-image",
                       "--since OLD and --layout LAYOUT go together, and --erase-block and --chip-offset with them");
  uint64_t size = 0;
  const char* chip = args.option("size");
  if (const int refused = size_option(args, "size", "the chip's size", "8M, 0x800000", 1, size)) return refused;
  const std::string& path = args.operands[0];
  if (path.empty()) return empty_name_error("flash-image", "FILE");
  // The command printed tells flashrom to read FILE: standard output it cannot.
  if (since && path == "-")
    return usage_error("flash-image", "--since needs a FILE that flashrom can read, not standard output");
  FlashImage image = flash_image();
  if (chip && !image.fill_chip(size))
    return usage_error("flash-image", "the image is " + std::to_string(image.length()) + " bytes, more than --size " +
                                          chip + " (" + std::to_string(size) + " bytes)");
  fault_in(image);  // once the command is sure to read the pixels
  if (!since) return report_written("flash-image", path, image.pieces());
  const SinceLayout made = write_since_layout(args, image);
  if (made.status != kOk) return made.status;
  if (const int written = report_written("flash-image", path, image.pieces())) return written;
  print_reflash(report_stream(path), made.regions, made.block, image.length(), args.option("layout"), path,
                args.option("since"), args.option("chip-offset"));
  return finish_stdout();
}

int verify_command(const Arguments& args) {
  const std::string& path = args.operands[0];
  if (path.empty()) return empty_name_error("verify", "FILE");
  std::string error;
  const FlashImage image = flash_image();
  const int outcome = verify_dump(path, image.segments(), stdout, error);
  if (outcome < 0) return report_error(kFailed, error);
  const int written = finish_stdout();
  return written != kOk ? written : outcome;
}

int export_command(const Arguments& args) {
  const std::string& name = args.operands[0];
  std::string reason;
  const sBITMAP* b = find_bitmap(bitmap_runs, bitmap_run_count, bitmap_table, BITMAP_TABLE_LENGTH, name, reason);
  if (!b) return usage_error("export: " + quoted(name), reason);
  const std::string& path = args.operands[1];
  if (path.empty()) return empty_name_error("export", "FILE");
  return report_written("export", path, {{b->pixels, bitmap_byte_size(b)}});
}

int preview_command(const Arguments& args) {
  const std::string& dir = args.operands[0];
  if (dir.empty()) return empty_name_error("preview", "DIR");
  // "-" stands for standard input or output everywhere else: never a folder's name.
  if (dir == "-") return usage_error("preview", "DIR '-': give a folder's name (./- for a folder called -)");
  std::string error;
  if (!toolkit::make_directories(dir, error)) return report_error(kFailed, error);
  for (size_t r = 0; r < bitmap_run_count; ++r) {
    const sBITMAP_RUN& run = bitmap_runs[r];
    const PreviewStyle style = preview_style(run);
    const std::string count = std::to_string(run.count), scale = std::to_string(style.scale) + "x";
    std::vector<uint8_t> png;
    const std::string sheet_path = dir + "/" + run.name + ".png";
    if (!toolkit::encode_png(contact_sheet(run, style.scale), toolkit::Compression::quick, png, error))
      return report_error(kFailed, toolkit::shown_name(sheet_path) + ": " + error);
    if (!write_picture(sheet_path, png, count + " " + plural(run.count, "bitmap", "bitmaps") + " at " + scale))
      return kFailed;
    if (!style.animated) continue;
    const std::string anim_path = dir + "/" + run.name + "_anim.png";
    if (!toolkit::encode_apng(animation_frames(run, style.scale), style.fps, png, error))
      return report_error(kFailed, toolkit::shown_name(anim_path) + ": " + error);
    if (!write_picture(anim_path, png, count + " frames at " + scale + ", " + std::to_string(style.fps) + " a second"))
      return kFailed;
  }
  const std::string page = catalogue_page(bitmap_runs, bitmap_run_count, bitmap_table, BITMAP_TABLE_LENGTH);
  if (!write_picture(dir + "/index.html", {page.begin(), page.end()}, "the page of every run, for a web browser"))
    return kFailed;
  return finish_stdout();
}

}  // namespace catalogue
