// The platform of a Linux module: every service comes from the table the host attached.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "contract/errors.h"
#include "contract/exports.h"
#include "host_services.h"
#include "platform.h"

namespace wtk::platform {

namespace {

const WertowikHostServices* g_services = nullptr;

DirEntry ToEntry(const WertowikFindData& found) {
    const std::size_t length = strnlen(found.name, sizeof found.name);
    return DirEntry{std::string(found.name, length), found.attributes};
}

class HostSearch final : public DirectorySearch {
public:
    HostSearch(const WertowikHostServices& services, void* search, const WertowikFindData& first)
        : services_(services), search_(search), pending_(ToEntry(first)) {}
    HostSearch(const HostSearch&) = delete;
    HostSearch& operator=(const HostSearch&) = delete;
    ~HostSearch() override {
        if (search_ != nullptr) {
            services_.FindClose(services_.context, search_);
        }
    }

    std::optional<DirEntry> Next() override {
        if (pending_) {
            std::optional<DirEntry> entry = std::move(pending_);
            pending_.reset();
            return entry;
        }
        if (search_ == nullptr) {
            return std::nullopt;
        }
        WertowikFindData found{};
        const int32_t status = services_.FindNext(services_.context, search_, &found);
        if (status < 0) {
            throw PluginError("directory search failed");
        }
        if (status == 0) {
            services_.FindClose(services_.context, search_);
            search_ = nullptr;
            return std::nullopt;
        }
        return ToEntry(found);
    }

private:
    const WertowikHostServices& services_;
    void* search_;
    std::optional<DirEntry> pending_;
};

class EmptySearch final : public DirectorySearch {
public:
    std::optional<DirEntry> Next() override { return std::nullopt; }
};

// A file the host holds in memory for this module, let go of on every path.
class HostFileBytes final : public FileBytes {
public:
    HostFileBytes(const WertowikHostServices& services, void* file, std::string_view bytes)
        : services_(services), file_(file), bytes_(bytes) {}
    HostFileBytes(const HostFileBytes&) = delete;
    HostFileBytes& operator=(const HostFileBytes&) = delete;
    ~HostFileBytes() override { services_.ReleaseWholeFile(services_.context, file_); }
    std::string_view View() const override { return bytes_; }

private:
    const WertowikHostServices& services_;
    void* file_;
    std::string_view bytes_;
};

class HostPlatform final : public Platform {
public:
    explicit HostPlatform(const WertowikHostServices& services) : s_(services) {}

    bool FileExists(const std::string& path) override {
        const int32_t status = s_.FileExists(s_.context, path.c_str());
        if (status < 0) {
            throw PluginError("file test failed");
        }
        return status > 0;
    }

    std::unique_ptr<DirectorySearch> FindFiles(const std::string& pattern, uint32_t attributeMask) override {
        WertowikFindData found{};
        void* search = nullptr;
        const int32_t status = s_.FindFirst(s_.context, pattern.c_str(), attributeMask, &found, &search);
        if (status < 0) {
            throw PluginError("directory search failed");
        }
        if (status == 0) {
            return std::make_unique<EmptySearch>();
        }
        try {
            return std::make_unique<HostSearch>(s_, search, found);
        } catch (...) {  // no memory for the object that would have closed it
            s_.FindClose(s_.context, search);
            throw;
        }
    }

    std::unique_ptr<FileBytes> ReadWholeFile(const std::string& path) override {
        void* file = nullptr;
        const char* bytes = nullptr;
        int64_t size = 0;
        const int32_t status = s_.ReadWholeFile(s_.context, path.c_str(), &file, &bytes, &size);
        if (status <= 0) {
            throw PluginError("cannot read file");
        }
        const bool sizeFits = size >= 0 && (bytes != nullptr || size == 0) &&
                              static_cast<uint64_t>(size) <= std::numeric_limits<std::size_t>::max();
        // Held before the size is judged, so that the host's copy is let go of on every path.
        std::unique_ptr<HostFileBytes> held;
        try {
            held = std::make_unique<HostFileBytes>(
                s_, file, sizeFits ? std::string_view(bytes, static_cast<std::size_t>(size)) : std::string_view());
        } catch (...) {  // no memory for the object that would have let go of it
            s_.ReleaseWholeFile(s_.context, file);
            throw;
        }
        if (!sizeFits) {
            throw PluginError("file of an impossible size");
        }
        return held;
    }

    std::string VolumeLabel(const std::string& root) override {
        char label[261] = {};
        if (s_.VolumeLabel(s_.context, root.c_str(), label, sizeof label) == 0) {
            return std::string();
        }
        return std::string(label, strnlen(label, sizeof label));
    }

    int32_t MessageBox(const std::string& text, const char* caption, uint32_t flags, BoxOwner owner) override {
        return s_.MessageBox(s_.context, text.c_str(), caption, flags, owner == BoxOwner::ActiveWindow ? 1 : 0);
    }

    void OpenFile(const std::string& verb, const std::string& file) override {
        s_.OpenFile(s_.context, verb.c_str(), file.c_str());
    }

private:
    const WertowikHostServices& s_;
};

// A module that was handed no table sees no drives and answers every question with No.
class DetachedPlatform final : public Platform {
public:
    bool FileExists(const std::string&) override { return false; }
    std::unique_ptr<DirectorySearch> FindFiles(const std::string&, uint32_t) override {
        return std::make_unique<EmptySearch>();
    }
    std::unique_ptr<FileBytes> ReadWholeFile(const std::string&) override { throw PluginError("no drive"); }
    std::string VolumeLabel(const std::string&) override { return std::string(); }
    int32_t MessageBox(const std::string&, const char*, uint32_t flags, BoxOwner) override {
        return (flags & 0x0F) == mbYesNo ? idNo : idOk;
    }
    void OpenFile(const std::string&, const std::string&) override {}
};

}  // namespace

Platform& Current() {
    static DetachedPlatform detached;
    static std::optional<HostPlatform> attached;
    static const WertowikHostServices* attachedFor = nullptr;
    if (g_services == nullptr) {
        return detached;
    }
    if (attachedFor != g_services) {
        attached.emplace(*g_services);
        attachedFor = g_services;
    }
    return *attached;
}

}  // namespace wtk::platform

extern "C" WTK_EXPORT void WertowikAttachHost(const WertowikHostServices* services) {
    if (services != nullptr && services->version != WERTOWIK_HOST_SERVICES_VERSION) {
        services = nullptr;
    }
    wtk::platform::g_services = services;
}
