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
#include "flash_layout.h"
#include "flash_table.h"
#include "listing.h"
#include "page.h"
#include "png_encode.h"
#include "preview.h"
#include "temp_file.h"

namespace {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

struct Command {
  const char* name;
  const char* arguments;  // as in the usage line
  int argument_count;
  const char* help;
  int (*run)(char** args);
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

struct Piece {
  const void* data;
  size_t size;
};

// Writes the pieces one after another under a temporary name beside path and
// renames the result onto path only when every byte is out, so that a failure
// never leaves a partial file under the final name.
bool write_whole(const std::string& path, const std::vector<Piece>& pieces, std::string& error) {
  art::TempFile temp(path);
  if (!temp.file()) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  for (const Piece& piece : pieces)
    if (piece.size && std::fwrite(piece.data, 1, piece.size, temp.file()) != piece.size) {
      error = path + ": " + std::strerror(errno);
      return false;  // the temporary file goes with temp
    }
  return temp.commit(error);
}

int report_written(const std::string& path, const std::vector<Piece>& pieces) {
  std::string error;
  if (!write_whole(path, pieces, error)) {
    std::fprintf(stderr, "catalogue: %s\n", error.c_str());
    return kFailed;
  }
  unsigned long long total = 0;
  for (const Piece& piece : pieces) total += piece.size;
  std::printf("%s: %llu bytes written\n", path.c_str(), total);
  return finish_stdout();
}

int list_command(char**) {
  const std::vector<catalogue::BitmapRow> rows = catalogue::bitmap_rows(bitmap_runs, bitmap_run_count, bitmap_table,
                                                                       BITMAP_TABLE_LENGTH);
  int name_width = 3;
  for (size_t r = 0; r < bitmap_run_count; ++r)
    name_width = std::max(name_width, static_cast<int>(std::strlen(bitmap_runs[r].name)));
  std::printf("%5s  %-*s  %-7s  %6s  %-10s  %s\n", "entry", name_width, "run", "size", "bytes", "offset", "crc32");
  for (const catalogue::BitmapRow& row : rows)
    std::printf("%5s  %-*s  %-7s  %6" PRIu32 "  %-10s  %s\n", row.entry_text().c_str(), name_width, row.run->name,
                row.size_text().c_str(), row.bytes, row.offset_text().c_str(), row.crc32_text().c_str());
  return finish_stdout();
}

int table_command(char**) {
  bool first = true;
  for (const catalogue::FlashTable& t : tables()) {
    if (!first) std::putchar('\n');
    first = false;
    print_flash_table(t.name.c_str(), &bitmap_table[t.first_entry], t.count);
  }
  return finish_stdout();
}

// An empty name reaches the system as "", and its error would name no file.
int empty_name_error(const char* command, const char* what) {
  return usage_error(command, std::string(what) + " must not be empty");
}

int flash_image_command(char** args) {
  if (!*args[0]) return empty_name_error("flash-image", "FILE");
  std::vector<Piece> pieces;
  for (const catalogue::FlashTable& t : tables())
    for (unsigned i = 0; i < t.count; ++i) {
      const sBITMAP* b = bitmap_table[t.first_entry + i];
      pieces.push_back({b->pixels, bitmap_byte_size(b)});
    }
  return report_written(args[0], pieces);
}

// A table index: decimal digits only, 0 to the last entry.
bool parse_index(const char* text, unsigned& index) {
  if (!*text) return false;
  unsigned long value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + static_cast<unsigned long>(*p - '0');
    if (value >= BITMAP_TABLE_LENGTH) return false;
  }
  index = static_cast<unsigned>(value);
  return true;
}

int export_command(char** args) {
  unsigned index = 0;
  if (!parse_index(args[0], index))
    return usage_error(std::string("export: '") + args[0] + "'",
                       "INDEX must be a bitmap_table index, 0 to " + std::to_string(BITMAP_TABLE_LENGTH - 1));
  if (!*args[1]) return empty_name_error("export", "FILE");
  const sBITMAP* b = bitmap_table[index];
  return report_written(args[1], {{b->pixels, bitmap_byte_size(b)}});
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

// The encoded picture written through a temporary file, and a line saying so.
bool write_picture(const std::string& path, const std::vector<uint8_t>& png, const std::string& what) {
  std::string error;
  if (!write_whole(path, {{png.data(), png.size()}}, error)) {
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
    if (run.count == 0) continue;
    const catalogue::PreviewStyle style = catalogue::preview_style(run);
    const std::string count = std::to_string(run.count), scale = std::to_string(style.scale) + "x";
    std::vector<uint8_t> png;
    const std::string sheet_path = dir + "/" + run.name + ".png";
    if (!catalogue::encode_png(catalogue::contact_sheet(run, style.scale), png, error)) return fail(sheet_path, error);
    if (!write_picture(sheet_path, png, count + (run.count == 1 ? " bitmap at " : " bitmaps at ") + scale))
      return kFailed;
    if (!style.animated) continue;
    const std::string anim_path = dir + "/" + run.name + "_anim.png";
    if (!catalogue::encode_apng(catalogue::animation_frames(run, style.scale), style.fps, png, error))
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
     "run, size, bytes, offset in the flash image ('-' outside), CRC-32 of its bytes.\n",
     list_command},
    {"table", "", 0,
     "The flash tables as C source: one FLASH_sBITMAP table per run of bitmap_table,\n"
     "named flash_<run>, with each bitmap's width, height and flash offset.\n",
     table_command},
    {"flash-image", " FILE", 1,
     "Writes the flash image the tables describe to FILE: the pixel arrays of\n"
     "bitmap_table in table order from offset 0, with nothing between them.\n",
     flash_image_command},
    {"export", " INDEX FILE", 2,
     "Writes the pixel bytes of bitmap_table[INDEX] (0 to 278) to FILE, as the\n"
     "device holds them: RGB565, high byte first, row-major.\n",
     export_command},
    {"preview", " DIR", 1,
     "Writes pictures of the bitmaps into DIR (created if missing): DIR/<run>.png,\n"
     "a contact sheet of each run labelled with table entries, and DIR/<run>_anim.png,\n"
     "an animated PNG of each animated run for a web browser, and DIR/index.html,\n"
     "one page of every run playing, with each bitmap's listing, a pixel inspector\n"
     "and a map of the flash image.\n",
     preview_command},
};

void print_overview() {
  std::printf("usage: catalogue COMMAND [ARGUMENTS]\n\nThe device's bitmaps. Commands:\n");
  for (const Command& c : kCommands) std::printf("  %s%s\n", c.name, c.arguments);
  std::printf("\n'catalogue COMMAND --help' describes a command.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage_error("no command", "see catalogue --help");
  const std::string name = argv[1];
  if (name == "--help" || name == "-h") {
    print_overview();
    return finish_stdout();
  }
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    for (int i = 2; i < argc; ++i)
      if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
        std::printf("usage: catalogue %s%s\n\n%s", c.name, c.arguments, c.help);
        return finish_stdout();
      }
    if (argc - 2 != c.argument_count)
      return usage_error(c.name, std::string("expects") + (c.argument_count ? c.arguments : " no arguments") +
                                     " (see catalogue " + c.name + " --help)");
    return c.run(argv + 2);
  }
  return usage_error(name, "unknown command (see catalogue --help)");
}
