#include "host/discs/temporary_folder.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "host/host_error.h"

namespace wertowik {

namespace fs = std::filesystem;

fs::path TemporaryFolder() {
    std::error_code error;
    const fs::path folder = fs::temp_directory_path(error);
    return error ? fs::path("/tmp") : folder;
}

fs::path MakeTemporaryFolder(std::string_view prefix, const std::string& purpose) {
    const fs::path parent = TemporaryFolder();
    std::string pattern = (parent / prefix).string() + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        const int error = errno;
        throw HostError(kExitCantCreate,
                        "cannot make a folder for " + purpose + " in " + parent.string() + ": " + std::strerror(error));
    }
    return pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace wertowik
