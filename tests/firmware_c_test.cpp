// What a firmware build takes from the catalogue: `catalogue table` and
// `catalogue header` compiled with gcc and clang, as C and C++, warnings as
// errors, beside the firmware's own FLASH_sBITMAP; and the docs' firmware
// example run over the image `catalogue flash-image` writes, on a stand-in
// board on this machine, and as the example project built against the
// installed package for an emulated Cortex-M (FirmwareOnTarget): its two
// checks, and bitmaps drawn from the tables.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bitmaps.h"
#include "png_io.h"
#include "process.h"

namespace {

using testing_support::file_exists;
using testing_support::ProcessResult;
using testing_support::read_file;
using testing_support::run_process;
using testing_support::TempDir;
using testing_support::write_file;

const std::string kRecord =
    "#include <stdint.h>\n"
    "typedef const struct flash_bitmap { uint8_t width, height; uint32_t offset; } FLASH_sBITMAP;\n";

// Installing, configuring, building and running a board take minutes on a
// busy machine.
testing_support::ProcessOptions slow(const std::string& cwd = ".") {
  testing_support::ProcessOptions options;
  options.cwd = cwd;
  options.deadline = std::chrono::minutes(10);
  return options;
}

// The image ends in its 16-byte trailer.
constexpr size_t kTrailerSize = 16;

// The standard CRC-32 (reflected, polynomial 0xEDB88320), bit by bit.
uint32_t crc32_of(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

// The catalogue's three files in one folder, made once: what a firmware
// developer saves.
class FirmwareFiles : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    for (const char* command : {"table", "header"}) {
      const ProcessResult r = run_process({CATALOGUE_PATH, command});
      ASSERT_EQ(r.exit_status, 0) << command << ": " << r.err;
      ASSERT_EQ(r.err, "") << command;
      write_file(*dir_ / (std::string(command) == "table" ? "flash_tables.c" : "flash_tables.h"), r.out);
    }
    const ProcessResult image = run_process({CATALOGUE_PATH, "flash-image", *dir_ / "flash.bin"});
    ASSERT_EQ(image.exit_status, 0) << image.err;
    // The firmware's record, under the header's default name, and under a
    // name of its own for FLASH_SBITMAP_HEADER to pick. A stale one beside
    // flash_tables.h must not be taken before the one on the include path.
    ASSERT_EQ(mkdir((*dir_ / "default").c_str(), 0777), 0);
    ASSERT_EQ(mkdir((*dir_ / "named").c_str(), 0777), 0);
    write_file(*dir_ / "default/flash_sbitmap.h", kRecord);
    write_file(*dir_ / "named/board_record.h", kRecord);
    write_file(*dir_ / "flash_sbitmap.h", "#error \"the flash_sbitmap.h beside flash_tables.h was taken\"\n");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  // How one file is compiled: the compiler and its language options.
  struct Language {
    std::string compiler;
    std::vector<std::string> options;  // -std=..., and -x c++ for C++
  };
  struct Mode {
    std::string what;
    Language tables, board;  // the board is linked with its compiler
    bool named_record;       // the record found through FLASH_SBITMAP_HEADER, not its default name
  };

  static std::vector<Mode> modes(const std::string& c, const std::string& cxx) {
    const Language c99{c, {"-std=c99"}}, c11{c, {"-std=c11"}}, cxx17{cxx, {"-x", "c++", "-std=c++17"}};
    return {{"C99", c99, c99, false},
            {"C11", c11, c11, true},
            {"C++17", cxx17, cxx17, false},
            {"tables in C11, firmware in C++17", c11, cxx17, true}};
  }

  // Compiles the tables, the docs' example and the board, each a translation
  // unit of its own, warnings as errors, links them and runs the result on
  // the image; returns the run.
  static ProcessResult build_and_run(const Mode& mode, const std::string& image, const std::string& digit) {
    const std::string out = *dir_ / ("board-" + std::to_string(++builds_));
    std::vector<std::string> flags = {"-Wall", "-Wextra", "-Wpedantic", "-Werror"};
    if (mode.named_record)
      flags.insert(flags.end(), {"-I", *dir_ / "named", "-DFLASH_SBITMAP_HEADER=<board_record.h>"});
    else
      flags.insert(flags.end(), {"-I", *dir_ / "default"});
    flags.insert(flags.end(), {"-I", dir_->path(), "-I", FIRMWARE_EXAMPLE_DIR});
    const struct {
      const Language& language;
      std::string source, object;
    } files[] = {{mode.tables, *dir_ / "flash_tables.c", out + "-tables.o"},
                 {mode.board, std::string(FIRMWARE_EXAMPLE_DIR) + "/example.c", out + "-example.o"},
                 {mode.board, std::string(FIRMWARE_BOARD_DIR) + "/board.c", out + "-board.o"}};
    for (const auto& file : files) {
      std::vector<std::string> argv = {file.language.compiler};
      argv.insert(argv.end(), file.language.options.begin(), file.language.options.end());
      argv.insert(argv.end(), flags.begin(), flags.end());
      argv.insert(argv.end(), {"-c", file.source, "-o", file.object});
      const ProcessResult cc = run_process(argv);
      if (cc.exit_status != 0 || !cc.err.empty()) {
        ADD_FAILURE() << file.language.compiler << " " << file.language.options.back() << " " << file.source << ":\n"
                      << cc.err;
        return cc;
      }
    }
    const ProcessResult link =
        run_process({mode.board.compiler, out + "-tables.o", out + "-example.o", out + "-board.o", "-o", out});
    if (link.exit_status != 0) {
      ADD_FAILURE() << mode.board.compiler << " link:\n" << link.err;
      return link;
    }
    return run_process({out, image, digit});
  }

  // What the board must print for the image and the digit drawn, worked out
  // here: the file's own length and the CRC-32 of its bytes before the
  // record, the entry lines the tables hold, both checks passing, and the
  // digit's pixels read high byte first.
  static std::string expected_run(const std::string& image, unsigned digit) {
    const std::string bytes = read_file(image);
    const std::string tables = read_file(*dir_ / "flash_tables.c");
    unsigned entries = 0;
    std::istringstream in(tables);
    for (std::string line; std::getline(in, line);) {
      unsigned w = 0, h = 0, offset = 0;
      char end = 0;
      if (std::sscanf(line.c_str(), "%u, %u, 0x%x%c", &w, &h, &offset, &end) == 4 && end == ',') ++entries;
    }
    char head[96];
    std::snprintf(head, sizeof head, "length %zu crc32 %08lx entries %u\n", bytes.size(),
                  static_cast<unsigned long>(crc32_of(bytes.substr(0, bytes.size() - kTrailerSize))), entries);
    std::string text = std::string(head) + "boot check ok, full check ok\n";
    const sBITMAP& b = *bitmap_table[269 + digit];
    text += "window 10 20 " + std::to_string(b.width) + " " + std::to_string(b.height) + "\n";
    for (uint32_t i = 0; i < bitmap_byte_size(&b); i += 2) {
      char pixel[8];
      std::snprintf(pixel, sizeof pixel, "%04x\n", static_cast<unsigned>(b.pixels[i] << 8 | b.pixels[i + 1]));
      text += pixel;
    }
    return text;
  }

  static void check_compilers(const std::string& c, const std::string& cxx) {
    const std::string image = *dir_ / "flash.bin";
    for (const Mode& mode : modes(c, cxx)) {
      SCOPED_TRACE(mode.tables.compiler + ", " + mode.what);
      const unsigned digit = 7;
      const ProcessResult run = build_and_run(mode, image, std::to_string(digit));
      if (HasFailure()) return;
      EXPECT_EQ(run.exit_status, 0) << run.err;
      EXPECT_EQ(run.out, expected_run(image, digit));
    }
  }

  static TempDir* dir_;
  static int builds_;
};

TempDir* FirmwareFiles::dir_ = nullptr;
int FirmwareFiles::builds_ = 0;

TEST_F(FirmwareFiles, CompileWithoutWarningsUnderGccAndTheExampleRuns) {
  if (std::string(FIRMWARE_GCC).empty() || std::string(FIRMWARE_GXX).empty())
    GTEST_SKIP() << "gcc or g++ was not found when the tests were configured";
  check_compilers(FIRMWARE_GCC, FIRMWARE_GXX);
}

TEST_F(FirmwareFiles, CompileWithoutWarningsUnderClangAndTheExampleRuns) {
  if (std::string(FIRMWARE_CLANG).empty() || std::string(FIRMWARE_CLANGXX).empty())
    GTEST_SKIP() << "clang or clang++ was not found when the tests were configured (.ci/run installs clang)";
  check_compilers(FIRMWARE_CLANG, FIRMWARE_CLANGXX);
}

// A pixel byte changed passes the boot check, which reads the record alone,
// and fails the full one; an image one byte short cannot be read whole.
TEST_F(FirmwareFiles, TheFullCheckRefusesAChangedByte) {
  if (std::string(FIRMWARE_GCC).empty()) GTEST_SKIP() << "gcc was not found when the tests were configured";
  std::string bytes = read_file(*dir_ / "flash.bin");
  bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x01);
  write_file(*dir_ / "changed.bin", bytes);
  const ProcessResult changed = build_and_run(modes(FIRMWARE_GCC, FIRMWARE_GXX)[0], *dir_ / "changed.bin", "0");
  EXPECT_EQ(changed.exit_status, 1) << changed.err;
  EXPECT_NE(changed.out.find("\nboot check ok, full check fails\n"), std::string::npos) << changed.out;
  write_file(*dir_ / "short.bin", read_file(*dir_ / "flash.bin").substr(1));
  const ProcessResult shorter = build_and_run(modes(FIRMWARE_GCC, FIRMWARE_GXX)[0], *dir_ / "short.bin", "0");
  EXPECT_EQ(shorter.exit_status, 3) << shorter.err;
}

TEST_F(FirmwareFiles, TheHeaderSaysWhatTheBytesAreAndDeclaresEveryTable) {
  const std::string header = read_file(*dir_ / "flash_tables.h");
  for (const char* words : {"RGB565", "high byte first", "row-major", "from the start of the image",
                            "#ifndef FLASH_TABLES_H\n#define FLASH_TABLES_H\n", "#include FLASH_SBITMAP_HEADER\n"})
    EXPECT_NE(header.find(words), std::string::npos) << words;
  // Every table the tables file defines, declared with the same count.
  std::istringstream in(read_file(*dir_ / "flash_tables.c"));
  unsigned tables = 0;
  for (std::string line; std::getline(in, line);) {
    char name[64];
    unsigned count = 0;
    if (std::sscanf(line.c_str(), "FLASH_sBITMAP flash_%63[a-z0-9_][%u] = {", name, &count) != 2) continue;
    ++tables;
    EXPECT_NE(header.find("\nextern FLASH_sBITMAP flash_" + std::string(name) + "[" + std::to_string(count) + "];\n"),
              std::string::npos)
        << name;
  }
  EXPECT_EQ(tables, 11u);  // the runs of bitmap_table
  size_t declared = 0;
  for (size_t at = 0; (at = header.find("\nextern FLASH_sBITMAP ", at + 1)) != std::string::npos;) ++declared;
  EXPECT_EQ(declared, tables);
}

// The entry lines are exactly the printer's: no braces around elements.
TEST_F(FirmwareFiles, TheTablesFileHoldsThePrintersLinesUnchanged) {
  const std::string tables = read_file(*dir_ / "flash_tables.c");
  std::string digits = "\nFLASH_sBITMAP flash_digits_cool[10] = {\n";
  for (uint32_t i = 0; i < 10; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "9, 12, 0x%x,\n", 5892540 - 2160 + i * 216);
    digits += line;
  }
  EXPECT_NE(tables.find(digits + "};\n"), std::string::npos) << tables.substr(tables.size() - 600);
  EXPECT_NE(tables.find("\n#include \"flash_tables.h\"\n"), std::string::npos);
}

ProcessResult cmake(std::vector<std::string> args) {
  args.insert(args.begin(), CMAKE_COMMAND);
  return run_process(args, slow());
}

// The package as a firmware developer gets it: this build installed into a
// prefix that is then moved elsewhere: by default a name with a space, as
// in many a home folder. Returns where it is now.
std::string install_and_move(const std::string& scratch, const std::string& name = "moved prefix") {
  const ProcessResult installed = cmake({"--install", PROJECT_BINARY_DIR, "--prefix", scratch + "/installed"});
  EXPECT_EQ(installed.exit_status, 0) << installed.out << installed.err;
  const std::string prefix = scratch + "/" + name;
  EXPECT_EQ(std::rename((scratch + "/installed").c_str(), prefix.c_str()), 0);
  return prefix;
}

// tests/package built on this machine against the moved package: the host
// libraries through their imported targets, and device_bitmaps_flash() with
// every option, making its files while the program builds and only then.
TEST(InstalledPackage, AHostBuildLinksItsLibrariesAndMakesTheFilesWhenDue) {
  TempDir dir;
  const std::string prefix = install_and_move(dir.path());
  const std::string build = dir / "build";
  const ProcessResult configured =
      cmake({"-S", PACKAGE_CONSUMER_DIR, "-B", build, "-G", "Ninja", "-DCMAKE_PREFIX_PATH=" + prefix,
             "-DCMAKE_COMPILE_WARNING_AS_ERROR=ON", "-DCMAKE_CXX_FLAGS=" HOST_CXX_FLAGS,
             "-DCMAKE_EXE_LINKER_FLAGS=" HOST_EXE_LINKER_FLAGS});
  ASSERT_EQ(configured.exit_status, 0) << configured.out << configured.err;
  EXPECT_FALSE(file_exists(build + "/chip.bin")) << "chip.bin was made at configure time";
  const ProcessResult built = cmake({"--build", build});
  ASSERT_EQ(built.exit_status, 0) << built.out << built.err;

  std::string expected = "FLASH_sBITMAP flash_digits[10] = {\n";
  for (unsigned i = 0; i < 10; ++i)
    expected += "9, 12, 0x" + (std::ostringstream() << std::hex << i * 216).str() + ",\n";
  expected += "};\n279 entries; digits_cool[9] at 0x59e8e4\n";  // the last bitmap, 216 bytes before the record
  EXPECT_EQ(run_process({build + "/consumer"}).out, expected);
  EXPECT_EQ(read_file(build + "/chip.bin").size(), 8u << 20);
  EXPECT_TRUE(file_exists(prefix + "/bin/image_export"));

  // Nothing changed, nothing to do; a newer catalogue makes the files again,
  // and one that fails leaves them as they were.
  EXPECT_NE(cmake({"--build", build}).out.find("ninja: no work to do."), std::string::npos);
  ASSERT_EQ(utimensat(AT_FDCWD, (prefix + "/bin/catalogue").c_str(), nullptr, 0), 0);
  EXPECT_NE(cmake({"--build", build}).out.find("Making the flash tables and image"), std::string::npos);
  const std::string tables = read_file(build + "/consumer_bitmaps/flash_tables.c");
  write_file(prefix + "/bin/catalogue", "#!/bin/sh\necho partial\nexit 1\n");
  EXPECT_NE(cmake({"--build", build}).exit_status, 0);
  EXPECT_EQ(read_file(build + "/consumer_bitmaps/flash_tables.c"), tables);

  // What cannot work is refused when the firmware configures, in one line
  // with the way out; the package's rows, then the vendored tree's.
  const std::string found = "find_package(DeviceBitmaps CONFIG REQUIRED)\n",
                    vendored = "add_subdirectory(" PROJECT_SOURCE_DIR " vendored)\n", host = dir / "r/vendored/host";
  const struct {
    std::string calls, option, error;  // calls after two targets, a and b
  } refused[] = {
      {found + "device_bitmaps_flash(a SIZ 8M)", "", "device_bitmaps_flash(a): unknown arguments: SIZ;8M\n"},
      {found + "device_bitmaps_flash(a IMAGE x.bin)\ndevice_bitmaps_flash(b IMAGE s/../x.bin)", "",
       "device_bitmaps_flash(b): " + dir / "r/x.bin is already the image of a: give one of them IMAGE"},
      {found + "device_bitmaps_flash(a)\ndevice_bitmaps_flash(a SIZE 8M)", "",
       "device_bitmaps_flash(a): called twice for a, which has its tables and image already: call it once\n"},
      {"set(CMAKE_VERSION 3.19.8)\n" + found, "", "DeviceBitmaps needs CMake 3.20 or newer, this is 3.19.8:"},
      {vendored, "-DDEVICE_BITMAPS_CATALOGUE=/none", "DEVICE_BITMAPS_CATALOGUE /none: no such program; give"},
      {vendored, "-DDEVICE_BITMAPS_HOST_OPTIONS=-DCMAKE_DISABLE_FIND_PACKAGE_PNG=ON",
       "Configuring the project for the build machine in " + host + ": find_package for module PNG called with "
       "REQUIRED, but CMAKE_DISABLE_FIND_PACKAGE_PNG is enabled."},
      {found + vendored, "", "DeviceBitmaps vendored in " PROJECT_SOURCE_DIR " is already here (found installed"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.calls + r.option);
    write_file(dir / "CMakeLists.txt", "cmake_minimum_required(VERSION 3.25)\nproject(refused C)\nfile(WRITE "
               "${CMAKE_BINARY_DIR}/a.c \"\")\nadd_executable(a a.c)\nadd_executable(b a.c)\n" + r.calls + "\n");
    std::filesystem::remove_all(dir / "r");
    const ProcessResult refusal = cmake({"-S", dir.path(), "-B", dir / "r", "-DCMAKE_PREFIX_PATH=" + prefix, r.option});
    EXPECT_NE(refusal.exit_status, 0);
    EXPECT_NE(refusal.err.find("):\n   " + r.error), std::string::npos) << refusal.err;
  }
}

// The moved package for a build without CMake, through device-bitmaps.pc: a
// C program of this machine linked with pkg-config's flags, and the docs'
// Makefile (package/Makefile) building the example with the board of this
// machine, whose run checks the image it made both ways.
TEST(InstalledPackage, AMakeOnlyBuildFindsItThroughPkgConfig) {
  const ProcessResult tools = run_process({"/bin/sh", PACKAGE_CONSUMER_DIR "/make-tools.sh"});
  if (tools.exit_status != 0) GTEST_SKIP() << tools.out;
  TempDir dir;
  const std::string prefix = install_and_move(dir.path(), "moved");  // Make takes no blank in a file's name
  const std::string env = "PKG_CONFIG_PATH=" + prefix + "/" CMAKE_INSTALL_LIBDIR "/pkgconfig";
  std::string catalogue = run_process({"/usr/bin/env", env, "pkg-config", "--variable=catalogue", "device-bitmaps"}).out;
  catalogue = catalogue.substr(0, catalogue.find('\n'));
  char found[PATH_MAX], installed[PATH_MAX];
  ASSERT_TRUE(realpath(catalogue.c_str(), found)) << catalogue;
  ASSERT_TRUE(realpath((prefix + "/bin/catalogue").c_str(), installed));
  EXPECT_STREQ(found, installed);
  write_file(dir / "table.c",
             "#include \"bitmaps.h\"\n#include \"flash_table.h\"\n"
             "int main(void) { print_flash_table(\"digits\", &bitmap_table[269], 2); return 0; }\n");
  // With the build's own flags: a sanitized build's libraries need its runtime.
  const ProcessResult host = run_process({"/bin/sh", "-c",
                                          "export " + env + " && cc -Werror " HOST_CXX_FLAGS " " HOST_EXE_LINKER_FLAGS
                                          " table.c $(pkg-config --cflags --libs device-bitmaps) -o table"},
                                         dir.path());
  ASSERT_EQ(host.exit_status, 0) << host.err;
  EXPECT_EQ(run_process({dir / "table"}).out, "FLASH_sBITMAP flash_digits[2] = {\n9, 12, 0x0,\n9, 12, 0xd8,\n};\n");

  const std::vector<std::string> make = {"/usr/bin/env", env, "make", "-f", PACKAGE_CONSUMER_DIR "/Makefile",
                                         "VPATH=" FIRMWARE_BOARD_DIR ":" FIRMWARE_EXAMPLE_DIR,
                                         "CPPFLAGS=-I" FIRMWARE_EXAMPLE_DIR, "CFLAGS=-Wall -Wextra -Wpedantic -Werror"};
  const ProcessResult made = run_process(make, slow(dir.path()));
  ASSERT_EQ(made.exit_status, 0) << made.out << made.err;
  const ProcessResult run = run_process({dir / "firmware", dir / "flash.bin", "9"});
  EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("boot check ok, full check ok\n"), std::string::npos) << run.out;
  EXPECT_EQ(run_process(make, dir.path()).out, "make: Nothing to be done for 'all'.\n");
}

// The example firmware project (examples/firmware) as a user builds it: the
// package installed into a prefix that is then moved, the project configured
// with its arm-none-eabi toolchain file against it, for a Cortex-M0+ as C99
// and as C++17 and for a Cortex-M4 as C11; the M0+ builds run on QEMU's
// mps2-an385 with the image in its PSRAM, the external flash.
class FirmwareOnTarget : public FirmwareFiles {
 protected:
  static ProcessResult sh(const std::string& command) { return run_process({"/bin/sh", "-c", command}, slow()); }

  // Why this machine cannot build and run the example, "" when it can: the
  // same check that ctest says as it starts (firmware/target-tools.sh).
  static std::string missing_tool() {
    const ProcessResult check = run_process({"/bin/sh", std::string(FIRMWARE_BOARD_DIR) + "/target-tools.sh"});
    return check.exit_status == 0 ? "" : check.out;
  }

  // The board's run over image, in a folder of its own: its report, and the
  // bytes it drew ("" when it drew nothing).
  static std::pair<ProcessResult, std::string> run_board(const std::string& elf, const std::string& image,
                                                         const std::string& name) {
    const std::string folder = *dir_ / name;
    EXPECT_EQ(mkdir(folder.c_str(), 0777), 0) << folder;
    const ProcessResult run = run_process({std::string(FIRMWARE_EXAMPLE_DIR) + "/run-qemu.sh", elf, image}, slow(folder));
    struct stat st;
    return {run, stat((folder + "/drawn.bin").c_str(), &st) == 0 ? read_file(folder + "/drawn.bin") : ""};
  }
};

TEST_F(FirmwareOnTarget, BothChecksAndEveryBitmapDrawnOnACortexM) {
  if (const std::string why = missing_tool(); !why.empty()) GTEST_SKIP() << why;
  const std::string prefix = install_and_move(dir_->path());
  // The Cortex-M4 build with Make, through a toolchain file that searches the
  // target's sysroot alone, as SDKs' do: the package named by its folder.
  const std::string example_toolchain = std::string(FIRMWARE_EXAMPLE_DIR) + "/arm-none-eabi.cmake",
                    sdk_toolchain = std::string(FIRMWARE_BOARD_DIR) + "/sdk-toolchain.cmake";
  const struct {
    const char* name;
    const char* option;  // for the example's CMakeLists.txt
    const char* generator;
    std::string toolchain, package;
  } builds[] = {
      {"c99-cortex-m0plus", "-DCMAKE_C_STANDARD=99", "Ninja", example_toolchain, "-DCMAKE_PREFIX_PATH=" + prefix},
      {"cxx17-cortex-m0plus", "-DFIRMWARE_CXX=ON", "Ninja", example_toolchain, "-DCMAKE_PREFIX_PATH=" + prefix},
      {"c11-cortex-m4", "-DFIRMWARE_CPU=cortex-m4", "Unix Makefiles", sdk_toolchain,
       "-DDeviceBitmaps_DIR=" + prefix + "/share/cmake/DeviceBitmaps"}};
  for (const auto& b : builds) {
    SCOPED_TRACE(b.name);
    const std::string build = *dir_ / b.name;
    const ProcessResult configured =
        cmake({"-S", FIRMWARE_EXAMPLE_DIR, "-B", build, "-G", b.generator, "-DCMAKE_TOOLCHAIN_FILE=" + b.toolchain,
               b.package, "-DCMAKE_COMPILE_WARNING_AS_ERROR=ON", b.option});
    ASSERT_EQ(configured.exit_status, 0) << configured.out << configured.err;
    const ProcessResult built = cmake({"--build", build});
    ASSERT_EQ(built.exit_status, 0) << built.out << built.err;

    // What arm-none-eabi-size says of the tables' object: read-only memory
    // alone, 279 entries of 8 bytes (two sizes, two bytes of padding, a
    // 32-bit offset), no data, no bss.
    const ProcessResult size =
        sh("arm-none-eabi-size '" + build + "/CMakeFiles/firmware.dir/firmware_bitmaps/flash_tables.c.obj'");
    unsigned text = 0, data = 1, bss = 1;
    EXPECT_EQ(std::sscanf(size.out.c_str(), "%*[^\n]\n %u %u %u", &text, &data, &bss), 3) << size.out << size.err;
    EXPECT_EQ(text, 2232u) << size.out;
    EXPECT_EQ(data + bss, 0u) << size.out;
  }
  const std::string first = *dir_ / builds[0].name;

  // Every bitmap of the tables, drawn in their order, against `export`.
  std::string exported;
  for (unsigned entry = 0; entry < BITMAP_TABLE_LENGTH; ++entry) {
    const ProcessResult e = run_process({CATALOGUE_PATH, "export", std::to_string(entry), "-"});
    ASSERT_EQ(e.exit_status, 0) << e.err;
    exported += e.out;
  }
  const std::string image = first + "/firmware_flash.bin";
  for (const char* language : {"c99", "cxx17"}) {
    const std::string build = *dir_ / (std::string(language) + "-cortex-m0plus");
    const auto [run, drawn] = run_board(build + "/firmware.elf", image, std::string("run-") + language);
    EXPECT_EQ(run.exit_status, 0) << language << ": " << run.out << run.err;
    for (const char* line : {"boot check: ok, ", "full check: ok, ", "drawn: 279 bitmaps\n"})
      EXPECT_NE(run.out.find(line), std::string::npos) << language << ": " << line << "\n" << run.out;
    const auto at = std::mismatch(drawn.begin(), drawn.end(), exported.begin(), exported.end()).first - drawn.begin();
    EXPECT_TRUE(drawn == exported) << language << ": drawn " << drawn.size() << " bytes, exported "
                                   << exported.size() << ", first difference at byte " << at;
  }

  // Images that are not this one. Another build's, with a bitmap changed and
  // its own trailer: "BITMAPS", 1, then the length before the trailer and
  // their CRC-32, little-endian. And this one with a byte changed.
  const std::string bytes = read_file(image);
  const size_t trailer = bytes.size() - kTrailerSize;
  std::string other = bytes;
  other[trailer / 3] = static_cast<char>(other[trailer / 3] ^ 0x40);
  const uint32_t other_crc = crc32_of(other.substr(0, trailer));
  for (unsigned i = 0; i < 4; ++i) other[trailer + 12 + i] = static_cast<char>(other_crc >> (8 * i));
  const struct {
    const char* what;
    size_t changed;  // the byte flipped in this image, or npos for the other build's
    bool boot_ok;
  } cases[] = {{"another build's image", std::string::npos, false},
               {"the first byte changed", 0, true},
               {"a middle byte changed", bytes.size() / 2, true},
               {"the last pixel byte changed", trailer - 1, true},
               {"the last byte changed", bytes.size() - 1, false}};
  const std::string elf = first + "/firmware.elf";
  int n = 0;
  for (const auto& c : cases) {
    std::string changed = c.changed == std::string::npos ? other : bytes;
    if (c.changed != std::string::npos) changed[c.changed] = static_cast<char>(changed[c.changed] ^ 0x01);
    const std::string path = *dir_ / ("changed-" + std::to_string(++n) + ".bin");
    write_file(path, changed);
    const auto [run, drawn] = run_board(elf, path, "changed-run-" + std::to_string(n));
    EXPECT_EQ(run.exit_status, 1) << c.what << ": " << run.out << run.err;
    EXPECT_NE(run.out.find(c.boot_ok ? "boot check: ok, " : "boot check: fails, "), std::string::npos)
        << c.what << ":\n" << run.out;
    EXPECT_NE(run.out.find("full check: fails, "), std::string::npos) << c.what << ":\n" << run.out;
    EXPECT_EQ(drawn, "") << c.what;
  }
}

std::vector<std::filesystem::file_time_type> written(const std::vector<std::string>& paths) {
  std::vector<std::filesystem::file_time_type> times;  // when each file was last written
  for (const std::string& path : paths) times.push_back(std::filesystem::last_write_time(path));
  return times;
}

// The example firmware vendoring a copy of this tree, as a git submodule
// brings it, cross-built through a toolchain file that searches the target's
// sysroot alone, in the environment a cross SDK's set-up script leaves
// (CC, CFLAGS): it runs on the board. Then one PNG edited and one build give
// the image with that bitmap's bytes and the record changed alone, and a
// second build writes nothing.
TEST_F(FirmwareOnTarget, VendoredTakesAnEditedPngToTheImageInOneBuild) {
  if (const std::string why = missing_tool(); !why.empty()) GTEST_SKIP() << why;
  const std::string tree = *dir_ / "vendored tree", build = *dir_ / "vendored", png = tree + "/bitmaps/art/digits_cool/03.png";
  ASSERT_EQ(sh("mkdir '" + tree + "' && tar -C '" PROJECT_SOURCE_DIR "' --exclude=./build --exclude=./.git "
               "--exclude=node_modules -cf - . | tar -C '" + tree + "' -xf -").exit_status, 0);
  ASSERT_EQ(cmake({"-E", "env", "CC=arm-none-eabi-gcc", "CFLAGS=-mcpu=cortex-m0plus -mthumb", CMAKE_COMMAND, "-S",
                   tree + "/examples/firmware", "-B", build, "-G", "Ninja", "-DDEVICE_BITMAPS_SOURCE_DIR=" + tree,
                   "-DCMAKE_TOOLCHAIN_FILE=" + tree + "/tests/firmware/sdk-toolchain.cmake"}).exit_status, 0);
  // Two jobs, in the host build's own ninja too.
  const auto build_firmware = [&] { return cmake({"-E", "env", "CMAKE_BUILD_PARALLEL_LEVEL=2", CMAKE_COMMAND, "--build", build}); };
  ASSERT_EQ(build_firmware().exit_status, 0);
  const std::string image = build + "/firmware_flash.bin", tables = build + "/firmware_bitmaps/flash_tables.c";
  const std::string run = run_board(build + "/firmware.elf", image, "vendored-run").first.out;
  EXPECT_NE(run.find("full check: ok, 53489601 instructions\ndrawn: 279 bitmaps\n"), std::string::npos) << run;

  // One pixel of the fourth cool digit (entry 272) changed in its PNG; the
  // image expected: that pixel's bytes, and the record's CRC-32.
  toolkit::Image565 art;
  std::string error, expected = read_file(image);
  ASSERT_TRUE(toolkit::read_png(png, art, error)) << error;
  const uint16_t pixel = art.at(4, 6) ^= 0x0841;
  ASSERT_TRUE(toolkit::write_png(png, art, error)) << error;
  uint32_t at = 2u * (6 * 9 + 4);
  for (unsigned entry = 0; entry < 272; ++entry) at += bitmap_byte_size(bitmap_table[entry]);
  expected.replace(at, 2, {static_cast<char>(pixel >> 8), static_cast<char>(pixel)});
  const uint32_t crc = crc32_of(expected.substr(0, expected.size() - kTrailerSize));
  for (unsigned i = 0; i < 4; ++i) expected[expected.size() - 4 + i] = static_cast<char>(crc >> (8 * i));
  const auto tables_written = written({tables});
  ASSERT_EQ(build_firmware().exit_status, 0);
  EXPECT_TRUE(read_file(image) == expected) << "not the old image with entry 272's pixel and the record changed";
  EXPECT_EQ(written({tables}), tables_written) << "flash_tables.c was written again, with the same bytes";

  const std::vector<std::string> outputs = {image, build + "/firmware_bitmaps/flash_tables.h", build + "/firmware.elf"};
  const auto before = written(outputs);
  EXPECT_EQ(build_firmware().exit_status, 0);
  EXPECT_EQ(written(outputs), before);
}

// A native firmware fetching this tree (FetchContent) and built with Make:
// two targets in one folder each get an image of their own, the second's
// call made from another folder than its target's, its IMAGE in a folder not
// made yet; a SIZE change pads that image anew and compiles nothing again.
TEST(VendoredPackage, ANativeBuildWithTwoTargetsUnderMake) {
  TempDir dir;
  const std::string sources = std::string(FIRMWARE_BOARD_DIR) + "/board.c " FIRMWARE_EXAMPLE_DIR "/example.c)\n"
                              "target_include_directories(${name} PRIVATE " FIRMWARE_EXAMPLE_DIR ")\n";
  ASSERT_EQ(mkdir((dir / "selftest").c_str(), 0777), 0);
  write_file(dir / "CMakeLists.txt",
             "cmake_minimum_required(VERSION 3.25)\nproject(native_firmware C)\ninclude(FetchContent)\n"
             "FetchContent_Declare(DeviceBitmaps SOURCE_DIR \"" PROJECT_SOURCE_DIR "\")\n"
             "FetchContent_MakeAvailable(DeviceBitmaps)\nfind_package(DeviceBitmaps 0.1 CONFIG REQUIRED)\n"
             "set(name board)\nadd_executable(board " + sources + "device_bitmaps_flash(board)\nadd_subdirectory(selftest)\n"
             "device_bitmaps_flash(selftest IMAGE images/selftest.bin SIZE ${SELFTEST_SIZE})\n");
  write_file(dir / "selftest/CMakeLists.txt", "set(name selftest)\nadd_executable(selftest " + sources);
  const std::string build = dir / "build", images[] = {build + "/board_flash.bin", build + "/images/selftest.bin"};
  ASSERT_EQ(cmake({"-S", dir.path(), "-B", build, "-G", "Unix Makefiles", "-DSELFTEST_SIZE=8M"}).exit_status, 0);
  const ProcessResult built = cmake({"--build", build, "-j2"});
  ASSERT_EQ(built.exit_status, 0) << built.out << built.err;
  EXPECT_EQ(read_file(images[1]), read_file(images[0]).append((8u << 20) - read_file(images[0]).size(), '\xff'));
  EXPECT_EQ(run_process({build + "/selftest/selftest", images[1], "7"}).exit_status, 0);

  const auto header_written = written({build + "/selftest_bitmaps/flash_tables.h"});
  ASSERT_EQ(cmake({"-S", dir.path(), "-B", build, "-DSELFTEST_SIZE=16M"}).exit_status, 0);
  const ProcessResult resized = cmake({"--build", build});
  EXPECT_EQ(read_file(images[1]).size(), 16u << 20);
  EXPECT_EQ(resized.out.find("Building C object"), std::string::npos) << resized.out;
  EXPECT_EQ(written({build + "/selftest_bitmaps/flash_tables.h"}), header_written);
}

// The firmware page shows the firmware side as the tests build and run it.
TEST(FirmwareExample, TheFirmwarePageShowsTheExampleTheTestsRun) {
  const struct {
    const char* path;
    const char* fence;
  } shown[] = {{FIRMWARE_EXAMPLE_DIR "/example.c", "```c\n"}, {PACKAGE_CONSUMER_DIR "/Makefile", "```make\n"}};
  for (const auto& file : shown) {
    const std::string text = read_file(file.path);
    ASSERT_FALSE(text.empty()) << file.path;
    EXPECT_NE(read_file(README_PATH).find(file.fence + text + "```\n"), std::string::npos)
        << "docs/firmware.md does not hold " << file.path << " as it is";
  }
}

}  // namespace
