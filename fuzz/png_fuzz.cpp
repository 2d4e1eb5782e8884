// libFuzzer target: bytes taken as a PNG through the converter's path, first
// toolkit::read_png alone, then `bitmapc pixels` itself on a one-bitmap run of the
// matching size (or of a wrong one), with what each promises checked:
//
// - read_png either gives an image of a sane size or fails with one line that
//   names the file;
// - pixels succeeds exactly when the image reads and has the run's size, and
//   then replaces the old output with exactly the image's RGB565 bytes;
//   otherwise it fails with status 1 and removes the old output. Either way
//   it leaves no temporary file.
//
// A broken promise aborts, which libFuzzer reports as a crash like any
// sanitizer finding.
//
// The custom mutator keeps most mutants' chunk CRCs right (a wrong CRC stops
// libpng at the first chunk, so unfixed mutants would rarely get past it) and
// sometimes mutates the inflated image data and deflates it again, so that
// row filters, palette indices and alpha values get varied, not only zlib
// streams broken. Some mutants keep their wrong CRCs, for that path too.
#include <dirent.h>
#include <sanitizer/common_interface_defs.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "manifest.h"
#include "png_io.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace {

struct Scratch {
  std::string dir;       // per process, removed at exit
  std::string manifest;  // one single-bitmap run for each size the catalogue uses
  std::vector<std::pair<std::string, std::pair<int, int>>> runs;  // name, (width, height)
};

Scratch scratch;

// Said on the sanitizers' report stream, which stays open when fuzz/run has
// libFuzzer silence the converter's standard error (-close_fd_mask=2).
[[noreturn]] void broken(const std::string& what) {
  __sanitizer_report_error_summary(("png_fuzz: " + what).c_str());
  std::abort();
}

void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) broken("cannot create " + path);
  const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
  if (std::fclose(f) != 0 || !ok) broken("cannot write " + path);
}

bool read_bytes(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::vector<std::string> list(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  return names;
}

void remove_scratch() {
  if (scratch.dir.empty()) return;
  for (const auto& run : scratch.runs) {
    const std::string folder = scratch.dir + "/" + run.first;
    for (const std::string& name : list(folder)) std::remove((folder + "/" + name).c_str());
    rmdir(folder.c_str());
  }
  for (const std::string& name : list(scratch.dir)) std::remove((scratch.dir + "/" + name).c_str());
  rmdir(scratch.dir.c_str());
}

void make_scratch() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/png_fuzz.XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) broken("cannot create a scratch directory from " + pattern);
  scratch.dir = buffer.data();
  std::atexit(remove_scratch);

  // The sizes come from the real manifest, so the size check is fuzzed
  // against the sizes the build actually takes.
  toolkit::Manifest real;
  std::string error;
  if (!toolkit::load_manifest(ART_MANIFEST, real, error)) broken(error);
  std::set<std::pair<int, int>> sizes;
  for (const toolkit::Run& run : real.runs) sizes.insert({run.width, run.height});

  std::string text;
  for (const auto& size : sizes) {
    const std::string name = "s" + std::to_string(size.first) + "x" + std::to_string(size.second);
    scratch.runs.push_back({name, size});
    text += name + " " + std::to_string(size.first) + " " + std::to_string(size.second) + " 1 table hand fuzzed\n";
    if (mkdir((scratch.dir + "/" + name).c_str(), 0700) != 0) broken("cannot create a run folder");
  }
  scratch.manifest = scratch.dir + "/manifest.txt";
  write_bytes(scratch.manifest, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// --- chunk surgery for the mutator -----------------------------------------

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t get_u32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void put_u32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

struct Chunk {
  size_t at;      // offset of its length field
  size_t length;  // of its data
};

// The chunks that lie wholly inside the bytes, in order, after the signature.
std::vector<Chunk> chunks(const uint8_t* data, size_t size) {
  std::vector<Chunk> out;
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return out;
  size_t at = 8;
  while (at + 12 <= size) {
    const size_t length = get_u32(data + at);
    if (length > size - at - 12) break;
    out.push_back({at, length});
    at += 12 + length;
  }
  return out;
}

void fix_crcs(uint8_t* data, size_t size) {
  for (const Chunk& c : chunks(data, size)) {
    const uLong crc = crc32(0L, data + c.at + 4, static_cast<uInt>(c.length + 4));
    put_u32(data + c.at + 8 + c.length, static_cast<uint32_t>(crc));
  }
}

bool is_idat(const uint8_t* data, const Chunk& c) { return std::memcmp(data + c.at + 4, "IDAT", 4) == 0; }

// Inflates the image data, mutates it, deflates it into one IDAT where the
// first one was. Returns the new size, or 0 when the file has no usable image
// data or the result would not fit.
size_t mutate_image_data(uint8_t* data, size_t size, size_t max_size) {
  const std::vector<Chunk> all = chunks(data, size);
  std::vector<uint8_t> compressed;
  size_t first = 0, last_end = 0;
  bool found = false;
  for (const Chunk& c : all) {
    if (!is_idat(data, c)) continue;
    if (!found) first = c.at;
    found = true;
    compressed.insert(compressed.end(), data + c.at + 8, data + c.at + 8 + c.length);
    last_end = c.at + 12 + c.length;
  }
  if (!found) return 0;

  // 80 x 160 at 16-bit RGBA inflates to about 100 KB; room for larger too.
  std::vector<uint8_t> raw(1u << 20);
  uLongf raw_size = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &raw_size, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK)
    return 0;
  const size_t mutated = LLVMFuzzerMutate(raw.data(), raw_size, raw.size());

  std::vector<uint8_t> deflated(compressBound(static_cast<uLong>(mutated)));
  uLongf deflated_size = static_cast<uLongf>(deflated.size());
  if (compress2(deflated.data(), &deflated_size, raw.data(), static_cast<uLong>(mutated), 9) != Z_OK) return 0;

  // signature and chunks before the image data, the new IDAT, what followed
  // the last IDAT (chunks between IDATs are dropped with them).
  std::vector<uint8_t> out(data, data + first);
  const size_t idat = out.size();
  out.resize(idat + 8);
  put_u32(out.data() + idat, static_cast<uint32_t>(deflated_size));
  std::memcpy(out.data() + idat + 4, "IDAT", 4);
  out.insert(out.end(), deflated.begin(), deflated.begin() + static_cast<std::ptrdiff_t>(deflated_size));
  out.resize(out.size() + 4);  // CRC, fixed by the caller
  out.insert(out.end(), data + last_end, data + size);
  if (out.size() > max_size) return 0;
  std::memcpy(data, out.data(), out.size());
  return out.size();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  make_scratch();
  return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size, unsigned int seed) {
  size_t out = 0;
  if (seed % 3 == 0) out = mutate_image_data(data, size, max_size);
  if (out == 0) out = LLVMFuzzerMutate(data, size, max_size);
  if (seed % 8 != 1) fix_crcs(data, out);
  return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // read_png alone.
  const std::string probe = scratch.dir + "/probe.png";
  write_bytes(probe, data, size);
  toolkit::Image565 image;
  std::string error;
  const bool read = toolkit::read_png(probe, image, error);
  std::remove(probe.c_str());
  if (read) {
    if (image.width < 1 || image.height < 1 || image.width > 4096 || image.height > 4096)
      broken("read_png gave a " + std::to_string(image.width) + " x " + std::to_string(image.height) + " image");
    if (image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
      broken("read_png gave an image whose pixel count is not width x height");
  } else {
    if (error.compare(0, probe.size() + 2, probe + ": ") != 0 || error.size() == probe.size() + 2)
      broken("read_png's error does not name the file: " + error);
    if (error.find('\n') != std::string::npos) broken("read_png's error is not one line: " + error);
  }

  // bitmapc pixels on a run of the image's size when there is one, else on
  // the first run, where the size check has to refuse it.
  size_t chosen = 0;
  for (size_t i = 0; i < scratch.runs.size(); ++i)
    if (scratch.runs[i].second == std::make_pair(image.width, image.height)) chosen = i;
  const std::string& run = scratch.runs[chosen].first;
  const bool should_pass = read && scratch.runs[chosen].second == std::make_pair(image.width, image.height);
  const std::string folder = scratch.dir + "/" + run;
  const std::string bitmap = folder + "/00.png";
  const std::string out = scratch.dir + "/out.bin";
  write_bytes(bitmap, data, size);
  // An output from an earlier build: replaced on success, removed on failure.
  const uint8_t stale[] = {'s', 't', 'a', 'l', 'e'};
  write_bytes(out, stale, sizeof stale);

  std::string args[3] = {scratch.manifest, run, out};
  char* argv[3] = {&args[0][0], &args[1][0], &args[2][0]};
  const int status = bitmapc::pixels_command(argv);

  std::vector<uint8_t> written;
  const bool has_output = read_bytes(out, written);
  if (should_pass) {
    if (status != 0) broken("pixels refused a " + run + " bitmap that read_png accepts");
    std::vector<uint8_t> expected;
    toolkit::append_bytes(image, expected);
    if (written != expected) broken("pixels wrote other bytes than the image's");
  } else {
    if (status != 1) broken("pixels returned " + std::to_string(status) + " for a bitmap it must refuse");
    if (has_output) broken("pixels failed but left the old output in place");
  }
  std::remove(out.c_str());
  std::remove(bitmap.c_str());

  for (const std::string& name : list(scratch.dir)) {
    bool expected = name == "manifest.txt";
    for (const auto& r : scratch.runs) expected = expected || name == r.first;
    if (!expected) broken("left behind: " + name);
  }
  if (!list(folder).empty()) broken("left behind in " + folder + ": " + list(folder).front());
  return 0;
}
