#include "runs.h"

#include "capitals.h"

namespace art {

namespace {

#define ART_DRAWER(name) {#name, draw_##name},
const RunDrawer kRunDrawers[] = {ART_RUNS(ART_DRAWER)};
#undef ART_DRAWER

}  // namespace

const RunDrawer* find_drawer(const std::string& run) {
  for (const RunDrawer& d : kRunDrawers)
    if (run == d.name) return &d;
  return nullptr;
}

bool draw_bitmap(const RunDrawer& drawer, const Run& run, int index, Image565& out, std::string& error) {
  const std::string which = "run '" + run.name + "', bitmap " + std::to_string(index) + ": ";
  try {
    out = drawer.draw(index, run.count, run.width, run.height);
  } catch (const MissingGlyph& e) {
    error = which + e.what();
    return false;
  }
  if (out.width != run.width || out.height != run.height ||
      out.pixels.size() != static_cast<size_t>(run.width) * static_cast<size_t>(run.height)) {
    error = which + "drawn at " + std::to_string(out.width) + " x " + std::to_string(out.height) +
            ", the manifest says " + std::to_string(run.width) + " x " + std::to_string(run.height);
    return false;
  }
  return true;
}

}  // namespace art
