// InitializePlugin: stores the drive letter and does nothing else.
#include "exports.h"
#include "plugin.h"

extern "C" WTK_EXPORT uint8_t WTK_REGISTER_CONVENTION InitializePlugin(char letter) {
    wtk::SetDriveLetter(letter);
    return 1;
}
