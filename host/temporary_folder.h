// Where the host keeps what it needs in files for a while.
#pragma once

#include <filesystem>
#include <system_error>

namespace wertowik {

// TMPDIR when it names a folder, else /tmp.
inline std::filesystem::path TemporaryFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path("/tmp") : folder;
}

}  // namespace wertowik
