// Walks a disc image as the host does for a disc: every folder listed, every file opened and read
// whole, stopping after a number of entries and a depth (a damaged folder may lead back to its
// parent). What must always hold of any image:
// - nothing crashes, and every failure is an exception the host turns into a message;
// - no file reads as more bytes than the image holds (a damaged record may claim gigabytes);
// - no folder lists more entries than the image has room for.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "host/discs/disc_source.h"

namespace wtk::fuzz {

namespace detail {

// A directory record takes at least 34 bytes.
constexpr std::size_t kSmallestRecord = 34;
// Folders may lead back to their parents: the walk stops after this many entries and this depth.
constexpr int kMostEntries = 200;
constexpr std::size_t kDeepest = 6;

inline void Walk(wertowik::DiscSource& disc, std::vector<std::string>& path, std::size_t imageSize, int& budget) {
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

}  // namespace detail

// A file an image goes through, as the libraries open images by name; one per process and suffix.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& suffix)
        : path_("/tmp/wertowik-fuzz-" + std::to_string(::getpid()) + suffix) {}
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() { std::remove(path_.c_str()); }

    const std::string& Write(const uint8_t* data, std::size_t size) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return path_;
    }

private:
    std::string path_;
};

// Opens the image with `open` and walks it; imageSize bounds what any file or folder may hold.
template <typename Open>
void WalkImage(Open open, std::size_t imageSize) {
    try {
        const std::unique_ptr<wertowik::DiscSource> disc = open();
        (void)disc->Label();
        std::vector<std::string> path;
        int budget = detail::kMostEntries;
        detail::Walk(*disc, path, imageSize, budget);
    } catch (const std::exception&) {
    }
}

}  // namespace wtk::fuzz
