// The browser layout's import: the disc index Browser\Chip.dat, read in one pass in memory.
#pragma once

#include "contract/plugin.h"

namespace wtk::chip {

// Fills Issue and Year from the index trailer, appends the record named "CHIP CD", then one entry
// per program line whose number was not seen before. Throws on any failure; the index trailer is
// checked before anything is written.
void ImportBrowserIndex(Registration& registration);

}  // namespace wtk::chip
