// The names `list` shows for the bitmaps, and reading them back: a table
// entry ("195"), a run and a frame of it ("smoke:10"), or a run of one
// bitmap by its name alone ("farewell").
#pragma once

#include <cstddef>
#include <string>

#include "bitmap_runs.h"

namespace catalogue {

// A bitmap's name by its run: the run's name and the frame, counted from 0
// ("smoke:10"), as the image's parts and the page show it.
std::string bitmap_name(const sBITMAP_RUN& run, unsigned frame);

// The bitmap a name `list` shows gives: its table entry of the table's
// table_length ("195"), or its run's name with ":FRAME", or the name alone
// for a run of one bitmap. Null when the text names none, with the reason:
// how to name a bitmap of the run, or the name meant when a run's name is
// within 2 edits of the text's ("Smoke:10" for smoke:10).
const sBITMAP* find_bitmap(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                           size_t table_length, const std::string& text, std::string& reason);

}  // namespace catalogue
