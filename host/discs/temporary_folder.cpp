#include "host/discs/temporary_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <system_error>

#include "host/base/errors.h"
#include "host/base/messages.h"

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
        throw HostError(WriteFailureCode(error), Say("cannot make a folder for {1} in {2}: {3}", Tr(purpose.c_str()),
                                                     parent.string(), std::strerror(error)));
    }
    return pattern;
}

void RemoveLeftByGoneProcesses(const fs::path& folder, std::string_view prefix, bool folders) {
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::size_t dash = name.find('-', prefix.size());
        const std::string number =
            name.substr(prefix.size(), dash == std::string::npos ? std::string::npos : dash - prefix.size());
        if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        struct stat info {};
        const pid_t owner = static_cast<pid_t>(std::stol(number));
        if (::lstat(entry->path().c_str(), &info) != 0 || (folders ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode)) ||
            info.st_uid != ::geteuid() || owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH) {
            continue;
        }
        std::error_code ignored;
        fs::remove_all(entry->path(), ignored);
    }
}

ScratchFolder::ScratchFolder(std::string_view prefix, const std::string& purpose) {
    RemoveLeftByGoneProcesses(TemporaryFolder(), prefix, true);
    path_ = MakeTemporaryFolder(std::string(prefix) + std::to_string(::getpid()) + "-", purpose);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace wertowik
