#include "host/discs/local_file.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "host/base/errors.h"
#include "host/base/messages.h"

namespace wertowik {

std::optional<std::string> ReadLocalFile(const std::filesystem::path& file, std::size_t limit) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        throw HostError(kExitNoInput, Say("cannot read {1}: it is a folder", file.string()));
    }
    std::ifstream in(file, std::ios::binary);
    const int openError = errno;
    if (!in) {
        throw HostError(kExitNoInput, Say("cannot read {1}: {2}", file.string(), std::strerror(openError)));
    }
    std::string bytes;
    std::array<char, 65536> piece{};
    while (bytes.size() <= limit &&
           (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0)) {
        bytes.append(piece.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw HostError(kExitIoError, Say("cannot read {1}", file.string()));
    }
    return bytes.size() <= limit ? std::optional<std::string>(std::move(bytes)) : std::nullopt;
}

}  // namespace wertowik
