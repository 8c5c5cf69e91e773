// Which CHIP discs the library claims: the two generations are told apart by the files they carry.
#pragma once

#include "contract/records.h"

namespace wtk::chip {

// raFull when every file of the browser layout's marker set, or failing that every file of the
// legacy layout's set, exists on the drive; raNotMine otherwise. Each set is tested in its own
// order and given up at its first missing file.
TRegisterAnswer RecogniseChipDisc();

}  // namespace wtk::chip
