#include "reflash.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "messages.h"
#include "shown_name.h"
#include "verify.h"

namespace catalogue {

namespace {

// Runs of erase blocks, by index: [first, end).
using BlockRun = std::pair<uint64_t, uint64_t>;

// Follows the image along OLD as it is read, and notes each erase block
// where the two differ. Blocks come in order, so the runs grow at the back.
class BlockComparer {
 public:
  BlockComparer(const FlashImage& image, uint64_t block) : walker_(image.segments()), block_(block) {}

  // The next size bytes of OLD, no further than the image's end.
  void feed(const uint8_t* data, size_t size) {
    walker_.feed(data, size, [this](const ImageWalker::Stretch& s) {
      for (size_t done = 0; done < s.size;) {  // block by block
        const uint64_t offset = s.offset + done, index = offset / block_;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(s.size - done, block_ - offset % block_));
        const bool known = !runs_.empty() && runs_.back().second == index + 1;
        if (!known && std::memcmp(s.given + done, s.image + done, n) != 0) {
          if (!runs_.empty() && runs_.back().second == index)
            ++runs_.back().second;
          else
            runs_.push_back({index, index + 1});
        }
        done += n;
      }
    });
  }

  const std::vector<BlockRun>& runs() const { return runs_; }

 private:
  ImageWalker walker_;
  const uint64_t block_;
  std::vector<BlockRun> runs_;
};

// A name as the shell takes it back: quoted when it holds anything else
// than letters, digits and . _ - / + , : = @.
std::string shell_word(const std::string& word) {
  // A control byte is shown as coreutils show it, which a shell takes back.
  if (const std::string shown = toolkit::shown_name(word); shown != word) return shown;
  const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || std::strchr("._-/+,:=@", c);
  });
  if (plain) return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}


}  // namespace

std::string erase_block_refusal(uint64_t block, uint64_t length) {
  const std::string of = "an erase block of " + std::to_string(block) + " bytes";
  if (block & (block - 1)) return of + ": not a power of two";
  if (length % block) return of + " does not divide the image's " + std::to_string(length) +
                            " bytes: pad it to the chip's size with --size";
  return "";
}

bool changed_regions(const std::string& old_path, const FlashImage& image, uint64_t block,
                     std::vector<LayoutRegion>& regions, std::vector<uint8_t>& old_record, uint64_t& old_length,
                     std::string& error) {
  const uint64_t length = image.length(), trailer_start = image.trailer_offset();
  const BlockRun trailer{trailer_start / block, (trailer_start + kTrailerSize - 1) / block + 1};
  BlockComparer comparer(image, block);
  old_length = 0;
  old_record.clear();
  const auto take = [&](const uint8_t* data, size_t size) {
    if (old_length < length) comparer.feed(data, static_cast<size_t>(std::min<uint64_t>(size, length - old_length)));
    // OLD's bytes over the record's blocks, for the line that confirms the chip holds them.
    const uint64_t from = std::max(old_length, trailer.first * block),
                   to = std::min(old_length + size, std::min(trailer.second * block, length));
    if (from < to) old_record.insert(old_record.end(), data + (from - old_length), data + (to - old_length));
    old_length += size;
  };
  if (!read_in_blocks(old_path, length + 1, take, error)) return false;
  regions.clear();
  std::vector<BlockRun> runs = comparer.runs();
  if (runs.empty()) return true;
  // The trailer's blocks join the runs, and then stand apart as a region.
  runs.insert(std::upper_bound(runs.begin(), runs.end(), trailer), trailer);
  std::vector<BlockRun> merged;
  for (const BlockRun& run : runs)
    if (!merged.empty() && run.first <= merged.back().second)
      merged.back().second = std::max(merged.back().second, run.second);
    else
      merged.push_back(run);
  const auto add = [&](std::string name, uint64_t first, uint64_t end) {
    if (first < end) regions.push_back({std::move(name), first * block, end * block});
  };
  size_t count = 0;
  for (const BlockRun& run : merged)
    if (run.first <= trailer.first && trailer.second <= run.second) {
      add("r" + std::to_string(count), run.first, trailer.first);
      count += run.first < trailer.first;
      add(kRecordRegion, trailer.first, trailer.second);
      add("r" + std::to_string(count), trailer.second, run.second);
      count += trailer.second < run.second;
    } else {
      add("r" + std::to_string(count++), run.first, run.second);
    }
  return true;
}

std::string layout_text(const std::vector<LayoutRegion>& regions, uint64_t chip_offset) {
  std::string text;
  char line[64];
  for (const LayoutRegion& r : regions) {
    std::snprintf(line, sizeof line, "%08" PRIx64 ":%08" PRIx64 " ", chip_offset + r.start, chip_offset + r.end - 1);
    text += line + r.name + "\n";
  }
  return text;
}

std::string region_file(const std::string& layout_path, const std::string& name) { return layout_path + "." + name; }

void print_reflash(std::FILE* out, const std::vector<LayoutRegion>& regions, uint64_t block, uint64_t length,
                   const std::string& layout_path, const std::string& file, const std::string& old_path,
                   bool region_files) {
  const std::string old_name = old_path == "-" ? "standard input" : toolkit::shown_name(old_path);
  const std::string file_name = file == "-" ? "standard output" : toolkit::shown_name(file);
  const std::string layout_name = toolkit::shown_name(layout_path);
  if (regions.empty()) {
    std::fprintf(out, "%s: no regions: %s holds what %s does, nothing to write\n", layout_name.c_str(),
                 file_name.c_str(), old_name.c_str());
    return;
  }
  uint64_t bytes = 0;
  for (const LayoutRegion& r : regions) bytes += r.end - r.start;
  const unsigned long long blocks = bytes / block;
  std::fprintf(out, "%s: %zu %s, %llu erase %s of %" PRIu64 " bytes, where %s differs from %s\n",
               layout_name.c_str(), regions.size(), plural(regions.size(), "region", "regions"), blocks,
               plural(blocks, "block", "blocks"), block, file_name.c_str(), old_name.c_str());
  // flashrom wants a whole chip's bytes after -w and -v even when -i names a
  // file for every region it touches: FILE when it is the whole chip, else
  // any bytes, which it reads from standard input without asking their length.
  const std::string whole = region_files ? "- </dev/zero" : shell_word(file);
  const std::string flashrom = "flashrom -p PROGRAMMER -c CHIP -l " + shell_word(layout_path);
  // -i NAME, or -i NAME:FILE taking the region's bytes from a file beside the layout.
  const auto include = [&](const std::string& name, const char* beside) {
    return " -i " + (beside ? shell_word(name + ":" + region_file(layout_path, beside)) : name);
  };
  std::string pixels;
  for (const LayoutRegion& r : regions)
    if (r.name != kRecordRegion) pixels += include(r.name, region_files ? r.name.c_str() : nullptr);
  // Each line only once the one before succeeded; the record's region is
  // written alone and last, so that a chip cut short anywhere holds OLD's
  // record over OLD's pixels, no record, or NEW's over NEW's.
  std::vector<std::string> lines = {flashrom + include(kRecordRegion, kOldRecord) + " -v " + whole,
                                    flashrom + include(kRecordRegion, nullptr) + " -E"};
  if (!pixels.empty()) lines.push_back(flashrom + pixels + " --noverify-all -w " + whole);
  lines.push_back(flashrom + include(kRecordRegion, region_files ? kRecordRegion : nullptr) + " --noverify-all -w " +
                  whole);
  for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
  std::fprintf(out, "flashrom reads and verifies these %" PRIu64 " bytes instead of all %" PRIu64
                    ", and writes at most as many\n",
               bytes, length);
}

}  // namespace catalogue
