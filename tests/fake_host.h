// A stand-in for the host's service table over a disc held in memory, for tests that load the
// built modules or attach the platform layer directly. Paths are Windows paths ("E:\datalo\a.htm")
// in Windows-1250; names compare without regard to the case of A to Z.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host_services.h"

namespace wtk::test {

// The calls of the service table, as the failure hook and the call log name them.
enum class Service { FileExists, FindFirst, FindNext, ReadWholeFile, VolumeLabel, MessageBox, OpenFile };

struct ShownBox {
    std::string text;
    std::optional<std::string> caption;  // nothing: the system's default caption
    uint32_t flags = 0;
    bool owned = false;

    bool operator==(const ShownBox&) const = default;
};

struct OpenedFile {
    std::string verb;
    std::string file;

    bool operator==(const OpenedFile&) const = default;
};

struct ServiceCall {
    Service service;
    std::string argument;  // the path or pattern, the box text; empty for calls without one

    bool operator==(const ServiceCall&) const = default;
};

// Directory entry attributes as a Windows search reports them.
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeArchive = 0x20;

// Whether name matches a Windows wildcard pattern (* and ?), letter case aside. As on Windows, a
// name whose extension is longer than three characters also matches through its short form, so
// "*.htm" finds "opis.html".
bool MatchesWildcard(const std::string& pattern, const std::string& name);

class FakeHost {
public:
    FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;
    ~FakeHost();

    // The table to hand to a module; valid while this host lives.
    const WertowikHostServices* services() const { return &table_; }

    // The disc. Entries are listed in the order they were added; adding a file again replaces it.
    void AddFile(const std::string& path, const std::string& bytes, uint32_t attributes = kAttributeArchive);
    void AddDirectory(const std::string& path);
    // Takes every file or folder of that path, letter case aside, off the disc.
    void RemoveFile(const std::string& path);
    void SetVolumeLabel(const std::string& root, const std::string& label);

    // The button a Yes/No question is answered with (No unless set); other boxes answer OK.
    void AnswerQuestionsWith(int32_t button) { questionAnswer_ = button; }

    // A call for which this returns true reports a failure (negative status, 0 for a box).
    std::function<bool(Service, const std::string& argument)> failWhen;
    // Runs at the start of every FindFirst, for discs that change between two searches.
    std::function<void(const std::string& pattern)> onFindFirst;

    const std::vector<ShownBox>& boxes() const { return boxes_; }
    const std::vector<OpenedFile>& opened() const { return opened_; }
    const std::vector<ServiceCall>& calls() const { return calls_; }
    // The paths of the calls of one kind, in order.
    std::vector<std::string> CallsOf(Service service) const;

    // Searches a module has opened and files it holds, not closed or let go of yet.
    std::size_t openSearches() const { return searches_.size(); }
    std::size_t openFiles() const { return files_.size(); }

private:
    // A file's bytes are shared with the reads of it, so a large index is not copied per open.
    struct Node {
        std::string path;
        std::shared_ptr<const std::string> bytes;
        uint32_t attributes = 0;
    };
    struct Search {
        std::vector<WertowikFindData> matches;
        std::size_t next = 0;
    };
    struct HeldFile {
        std::shared_ptr<const std::string> bytes;
    };

    static FakeHost& Of(void* context) { return *static_cast<FakeHost*>(context); }
    bool Fails(Service service, const std::string& argument);
    const Node* Find(const std::string& path) const;

    static int32_t FileExistsCall(void* context, const char* path);
    static int32_t FindFirstCall(void* context, const char* pattern, uint32_t mask, WertowikFindData* found,
                                 void** search);
    static int32_t FindNextCall(void* context, void* search, WertowikFindData* found);
    static void FindCloseCall(void* context, void* search);
    static int32_t ReadWholeFileCall(void* context, const char* path, void** file, const char** bytes, int64_t* size);
    static void ReleaseWholeFileCall(void* context, void* file);
    static int32_t VolumeLabelCall(void* context, const char* root, char* label, uint32_t size);
    static int32_t MessageBoxCall(void* context, const char* text, const char* caption, uint32_t flags, int32_t owned);
    static int32_t OpenFileCall(void* context, const char* verb, const char* file);

    WertowikHostServices table_{};
    std::vector<Node> nodes_;
    std::map<std::string, std::string> labels_;  // by lower-cased root
    std::map<void*, std::unique_ptr<Search>> searches_;
    std::map<void*, std::unique_ptr<HeldFile>> files_;
    std::vector<ShownBox> boxes_;
    std::vector<OpenedFile> opened_;
    std::vector<ServiceCall> calls_;
    int32_t questionAnswer_ = 7;  // No
};

}  // namespace wtk::test
