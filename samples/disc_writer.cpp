#include "disc_writer.h"

#include <fstream>
#include <stdexcept>

namespace samples {

DiscWriter::DiscWriter(std::filesystem::path root) : root_(std::move(root)) {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
}

void DiscWriter::File(std::string_view path, std::string_view bytes) {
    const std::filesystem::path file = root_ / std::filesystem::path(std::string(path));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

void DiscWriter::Folder(std::string_view path) {
    std::filesystem::create_directories(root_ / std::filesystem::path(std::string(path)));
}

void DiscWriter::Label(std::string_view label) { File(".windows-label", std::string(label) + "\n"); }

}  // namespace samples
