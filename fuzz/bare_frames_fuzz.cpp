// Any bytes as a file of frames without a descriptor (a .bin, .img or .mdf alone): its layout told
// from its first sectors (a raw frame's sync pattern and mode byte, with or without subchannel, or
// a volume descriptor in sectors of 2048 or 2336 bytes), then opened, listed folder by folder and
// read file by file as the host does for a disc, with what must hold of any image (disc_walk.h).
#include <cstddef>
#include <cstdint>
#include <string>

#include "disc_walk.h"
#include "host/discs/images/image_blocks.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const wtk::fuzz::ScratchFolder folder;
    const std::filesystem::path frames = folder.Write("frames.img", data, size);
    // A layout found is one of the four sector sizes, with its block inside each sector.
    const std::optional<wertowik::DataTrack> track =
        wertowik::TrackOfBareFrames(std::string_view(reinterpret_cast<const char*>(data), size));
    if (track) {
        wtk::fuzz::Require(track->sectorSize >= 2048 && track->userData + 2048 <= track->sectorSize,
                           "a frame's block lies within its frame");
    }
    wtk::fuzz::WalkImage([&frames] { return wertowik::OpenIsoDisc(frames); }, size);
    return 0;
}
