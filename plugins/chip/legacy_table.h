// The legacy layout's import: issue and year from the volume label, programs from Tabela.dbt.
#pragma once

#include "contract/plugin.h"

namespace wtk::chip {

// Fills Issue and Year from the volume label, appends the record named "CHIP", then one entry per
// table line after the header. Throws on any failure; the label is checked before anything is
// written.
void ImportLegacyTable(Registration& registration);

}  // namespace wtk::chip
