// Any bytes as an ISO 9660 image, opened, listed folder by folder and read file by file as the
// host does for a disc:
// - nothing crashes, and every failure is an exception the host turns into a message;
// - no file reads as more bytes than the image holds (a damaged record may claim gigabytes);
// - no folder lists more entries than the image has room for.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "host/disc_source.h"

using wtk::fuzz::Require;

namespace {

// A directory record takes at least 34 bytes.
constexpr std::size_t kSmallestRecord = 34;
// Folders may lead back to their parents: the walk stops after this many entries and this depth.
constexpr int kMostEntries = 200;
constexpr std::size_t kDeepest = 6;

// The image goes through a file, as libiso9660 opens images by name; one file per process.
class ImageFile {
public:
    ImageFile() : path_("/tmp/wertowik-fuzz-" + std::to_string(::getpid()) + ".iso") {}
    ~ImageFile() { std::remove(path_.c_str()); }
    const std::string& Write(const uint8_t* data, std::size_t size) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return path_;
    }

private:
    std::string path_;
};

void Walk(wertowik::DiscSource& disc, std::vector<std::string>& path, std::size_t imageSize, int& budget) {
    std::vector<wertowik::SourceEntry> entries;
    try {
        entries = disc.List(path);
    } catch (const std::exception&) {
        return;
    }
    Require(entries.size() <= imageSize / kSmallestRecord, "a folder lists no more entries than fit in the image");
    for (const wertowik::SourceEntry& entry : entries) {
        if (--budget < 0) {
            return;
        }
        path.push_back(entry.name);
        if (entry.directory) {
            if (path.size() < kDeepest) {
                Walk(disc, path, imageSize, budget);
            }
        } else {
            try {
                const std::unique_ptr<wertowik::SourceFile> file = disc.Open(path);
                Require(file->Size() >= 0 && static_cast<uint64_t>(file->Size()) <= imageSize,
                        "a file is no larger than the image");
                const std::unique_ptr<wertowik::FileContent> content = file->ReadAll();
                Require(content->bytes().size() <= imageSize, "a file reads as no more than the image holds");
            } catch (const std::exception&) {
            }
        }
        path.pop_back();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static ImageFile image;
    const std::string& file = image.Write(data, size);
    try {
        const std::unique_ptr<wertowik::DiscSource> disc = wertowik::OpenIsoDisc(file);
        (void)disc->Label();
        std::vector<std::string> path;
        int budget = kMostEntries;
        Walk(*disc, path, size, budget);
    } catch (const std::exception&) {
    }
    return 0;
}
