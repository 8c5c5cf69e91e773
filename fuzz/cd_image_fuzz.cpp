// Any cue sheet and any frames as the raw copy of a CD, opened, listed folder by folder and read
// file by file as the host does for a disc, with what must hold of any image (disc_walk.h). The
// input is the sheet's length (two bytes, least significant first), the sheet, then the frames.
// The image is opened by its frames, which take the sheet of the same name beside them whatever
// file the sheet names: opened by the sheet, a sheet would have to name this scratch file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "disc_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static wtk::fuzz::ScratchFile cue(".cue");
    static wtk::fuzz::ScratchFile bin(".bin");
    if (size < 2) {
        return 0;
    }
    const std::size_t sheetSize = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    cue.Write(data + 2, sheetSize);
    const std::size_t framesSize = size - 2 - sheetSize;
    const std::string& frames = bin.Write(data + 2 + sheetSize, framesSize);
    wtk::fuzz::WalkImage([&frames] { return wertowik::OpenIsoDisc(frames); }, framesSize);
    return 0;
}
