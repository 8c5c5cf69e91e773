#include "host/base/helper_module.h"

#include <dlfcn.h>

#include "host/base/errors.h"
#include "host/base/messages.h"

namespace wertowik {

namespace {

// The reason dlopen or dlsym gave for its last failure.
std::string LoaderReason() {
    const char* reason = dlerror();
    return reason != nullptr ? reason : Tr("unknown reason");
}

}  // namespace

std::filesystem::path HelperModulePath(std::string_view file) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path prefix = error ? std::filesystem::path("..") : self.parent_path().parent_path();
    return prefix / "lib" / "wertowik" / "host" / file;
}

HelperModule::HelperModule(const std::filesystem::path& file)
    : file_(file), handle_(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
        throw HostError(kExitUnavailable,
                        Say("this wertowik is installed without {1}: {2}", file_.filename().string(), LoaderReason()));
    }
}

HelperModule::~HelperModule() { dlclose(handle_); }

void* HelperModule::Symbol(const char* name) const {
    dlerror();
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) {
        throw HostError(kExitUnavailable,
                        Say("this wertowik is installed without {1}: {2}", file_.filename().string(), LoaderReason()));
    }
    return symbol;
}

}  // namespace wertowik
