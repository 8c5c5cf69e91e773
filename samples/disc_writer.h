// Writes a made-up cover disc as a folder: files given by their paths on the disc, the volume
// label in ".windows-label". Texts are byte strings (Windows-1250 where a disc holds Polish text).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace samples {

class DiscWriter {
public:
    // Empties the folder and starts the disc afresh.
    explicit DiscWriter(std::filesystem::path root);

    // A file at a path such as "Browser/chip.dat", with its folders.
    void File(std::string_view path, std::string_view bytes = {});
    void Folder(std::string_view path);
    // The volume label, in UTF-8.
    void Label(std::string_view label);

    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

// Each family of sample discs, written below the output folder.
void MakeEnterDiscs(const std::filesystem::path& out);
void MakeNameDiscs(const std::filesystem::path& out);
void MakeKsDiscs(const std::filesystem::path& out);
void MakeChipDiscs(const std::filesystem::path& out);

}  // namespace samples
