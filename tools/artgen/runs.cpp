#include "runs.h"

namespace art {

const RunDrawer kRunDrawers[] = {
    {"bolt", draw_bolt},
    {"emblem", draw_emblem},
    {"capitals", draw_capitals},
    {"lock", draw_lock},
    {"charging", draw_charging},
    {"no_cartridge", draw_no_cartridge},
    {"digits_warm", draw_digits_warm},
    {"farewell", draw_farewell},
    {"farewell_measured", draw_farewell_measured},
    {"startup", draw_startup},
    {"smoke", draw_smoke},
    {"timeout", draw_timeout},
    {"digits_cool", draw_digits_cool},
    {nullptr, nullptr},
};

const RunDrawer* find_drawer(const std::string& run) {
  for (const RunDrawer* d = kRunDrawers; d->name; ++d)
    if (run == d->name) return d;
  return nullptr;
}

}  // namespace art
