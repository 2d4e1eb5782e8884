// The catalogue as one web page: index.html with its style, script and data
// inside, to open from the file system. The page shows every run playing,
// each bitmap's listing, a pixel inspector and a map of the flash image.
#pragma once

#include <cstddef>
#include <string>

#include "bitmap_runs.h"

namespace catalogue {

// The page for the runs, whose bitmaps the table's table_length entries place
// in the flash image. Its data is an element per run: the run's listing and
// its pixel bytes exactly as carried, deflated and in base64; the page
// unpacks and decodes them itself.
std::string catalogue_page(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                           size_t table_length);

// The page's source (catalogue/page/) as built into the program, split where
// the data goes: put together by catalogue/page/embed.cmake, embedded by
// catalogue/page/page.S.
extern "C" const char kPageHead[];
extern "C" const size_t kPageHeadSize;
extern "C" const char kPageTail[];
extern "C" const size_t kPageTailSize;

}  // namespace catalogue
