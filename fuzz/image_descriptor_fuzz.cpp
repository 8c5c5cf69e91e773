// Any descriptor and frames as an Alcohol (.mds and .mdf), CloneCD (.ccd and .img) or Nero (.nrg)
// image, opened by its descriptor, listed folder by folder and read file by file as the host does
// for a disc, with what must hold of any image (disc_walk.h). The input is the kind (its first
// byte modulo 3), the descriptor's length (two bytes, least significant first), the descriptor,
// then the frames; a Nero image is the frames and the descriptor behind them, in one file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "disc_walk.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const wtk::fuzz::ScratchFolder folder;
    if (size < 3) {
        return 0;
    }
    const int kind = data[0] % 3;
    const std::size_t descriptorSize = std::min<std::size_t>(data[1] | data[2] << 8, size - 3);
    const uint8_t* descriptor = data + 3;
    const uint8_t* frames = descriptor + descriptorSize;
    const std::size_t framesSize = size - 3 - descriptorSize;
    std::filesystem::path opened;
    if (kind == 2) {
        std::string image(reinterpret_cast<const char*>(frames), framesSize);
        image.append(reinterpret_cast<const char*>(descriptor), descriptorSize);
        opened = folder.Write("d.nrg", reinterpret_cast<const uint8_t*>(image.data()), image.size());
    } else {
        opened = folder.Write(kind == 0 ? "d.mds" : "d.ccd", descriptor, descriptorSize);
        folder.Write(kind == 0 ? "d.mdf" : "d.img", frames, framesSize);
    }
    wtk::fuzz::WalkImage([&opened] { return wertowik::OpenIsoDisc(opened); }, size);
    std::error_code ignored;
    std::filesystem::remove(opened, ignored);
    return 0;
}
