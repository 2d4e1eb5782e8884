#include "names.h"

#include <string_view>
#include <vector>

#include "command_line.h"
#include "messages.h"
#include "numbers.h"

namespace catalogue {

std::string bitmap_name(const sBITMAP_RUN& run, unsigned frame) { return std::string(run.name) + ":" + std::to_string(frame); }

const sBITMAP* find_bitmap(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                           size_t table_length, const std::string& text, std::string& reason) {
  unsigned number = 0;
  if (toolkit::parse_below(text, static_cast<unsigned>(table_length), number)) return table[number];
  const size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  std::vector<std::string> names;
  for (size_t r = 0; r < run_count; ++r) {
    const sBITMAP_RUN& run = runs[r];
    names.push_back(run.name);
    if (name != run.name) continue;  // the manifest gives every run at least one bitmap
    if (colon == std::string::npos
            ? run.count == 1
            : toolkit::parse_below(std::string_view(text).substr(colon + 1), run.count, number))
      return &run.records[colon == std::string::npos ? 0 : number];
    reason = "a run of " + std::to_string(run.count) + " " + plural(run.count, "bitmap", "bitmaps") + ": " +
             (run.count == 1 ? "give it as " + name + " or " + bitmap_name(run, 0)
                             : "give one as " + bitmap_name(run, 0) + " to " + bitmap_name(run, run.count - 1u));
    return nullptr;
  }
  // A near miss of a run's name, with the frame as given.
  const std::string near = closest_name(name, names);
  reason = !near.empty() ? "no such bitmap; did you mean " + near + (colon == std::string::npos ? "" : text.substr(colon)) +
                               "? (see catalogue export --help)"
                         : "no such bitmap: give a table entry, 0 to " + std::to_string(table_length - 1) +
                               ", or a run as 'catalogue list' names it, with :FRAME from 0 (see catalogue export --help)";
  return nullptr;
}

}  // namespace catalogue
