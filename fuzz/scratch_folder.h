// A private folder of one fuzz process, for images that come with files beside them (so that a
// descriptor can name no file but the ones written there), removed at the end.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace wtk::fuzz {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = "/tmp/wertowik-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    // Writes the bytes as the file of that name in the folder; its path.
    std::filesystem::path Write(const std::string& name, const uint8_t* data, std::size_t size) const {
        const std::filesystem::path file = path_ / name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return file;
    }

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace wtk::fuzz
