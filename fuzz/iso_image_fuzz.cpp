// Any bytes as an ISO 9660 image, opened, listed folder by folder and read file by file as the
// host does for a disc, with what must hold of any image (disc_walk.h).
#include <cstddef>
#include <cstdint>
#include <string>

#include "disc_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static wtk::fuzz::ScratchFile image(".iso");
    const std::string& file = image.Write(data, size);
    wtk::fuzz::WalkImage([&file] { return wertowik::OpenIsoDisc(file); }, size);
    return 0;
}
