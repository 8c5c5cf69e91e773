// The host's own modules, kept apart from the executable so that the libraries behind them are
// loaded only by the commands that need them: lib/wertowik/host/wertowik-web.so (the web view,
// with the HTTP server and the TLS libraries it is linked with) and wertowik-archive.so beside it
// (libarchive, with the XML, Unicode and compression libraries behind it).
#pragma once

#include <filesystem>
#include <string_view>

namespace wertowik {

// Where the module FILE is: lib/wertowik/host/ beside the running executable's folder, the same in
// the build tree (bin/ and lib/wertowik/host/) and installed (/usr/bin and /usr/lib/wertowik/host);
// never the plug-in libraries' folder, so that no module is offered a disc.
std::filesystem::path HelperModulePath(std::string_view file);

// A module loaded for as long as it lives.
class HelperModule {
public:
    // Throws HostError(kExitUnavailable) when the file is missing or cannot be loaded.
    explicit HelperModule(const std::filesystem::path& file);
    ~HelperModule();
    HelperModule(const HelperModule&) = delete;
    HelperModule& operator=(const HelperModule&) = delete;

    // The function the module exports under the name; throws HostError(kExitUnavailable) when the
    // module has none.
    template <typename Fn>
    Fn Entry(const char* name) const {
        return reinterpret_cast<Fn>(Symbol(name));
    }

private:
    void* Symbol(const char* name) const;

    std::filesystem::path file_;
    void* handle_;
};

}  // namespace wertowik
