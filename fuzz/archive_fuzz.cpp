// Any bytes as an archive or compressed stream that holds disc images: unpacked, every image in it
// opened, listed folder by folder and read file by file as the host does for a disc, with what must
// hold of any image (disc_walk.h), and besides:
// - no file read from an image is larger than what the archive may unpack to;
// - the temporary folder of the unpacked members is gone again, whether the archive was read or
//   refused.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "disc_walk.h"
#include "host/discs/archive_disc.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const wtk::fuzz::ScratchFolder folder;
    static const wtk::fuzz::ScratchFolder temporary;  // the host's TMPDIR
    static const bool once = [] { return ::setenv("TMPDIR", temporary.path().c_str(), 1) == 0; }();
    (void)once;
    const std::filesystem::path archive = folder.Write("disc.zip", data, size);
    const std::size_t bound = static_cast<std::size_t>(wertowik::UnpackLimit(size));
    try {
        std::vector<wertowik::UnreadMember> unread;
        for (auto& disc : wertowik::OpenArchiveDiscs(archive, unread)) {
            std::unique_ptr<wertowik::DiscSource> held = std::move(disc);
            wtk::fuzz::WalkImage([&held] { return std::move(held); }, bound);
        }
    } catch (const std::exception&) {
    }
    wtk::fuzz::Require(std::filesystem::is_empty(temporary.path()), "nothing unpacked is left behind");
    return 0;
}
