// A stand-in for the host around a plug-in module: an in-memory disc (Windows paths, names
// matched in any letter case, a volume label), a user who answers message boxes, fault hooks,
// and the module itself, loaded with dlopen and handed the table of host services.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "contract/host_stream.h"
#include "contract/records.h"
#include "platform/host_services.h"

namespace wtk::test {

struct ShownBox {
    std::string text;
    std::optional<std::string> caption;  // nothing: the system's default caption
    uint32_t flags = 0;
    bool owned = false;
};

struct OpenedFile {
    std::string verb;
    std::string file;
};

class FakeHost {
public:
    FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;
    ~FakeHost();

    // The disc. Paths are Windows paths such as "D:\Browser\chip.dat"; a file's folders exist
    // with it. Names are matched without regard to the case of A to Z.
    void AddFile(std::string_view path, std::string bytes);
    void AddDirectory(std::string_view path);
    void RemoveFile(std::string_view path);
    bool HasFile(std::string_view path) const;
    // The label of every root; a failed query when there is none.
    void SetLabel(std::string label);
    void FailLabelQuery();

    // The user: how Yes/No boxes are answered (No unless told otherwise).
    void AnswerYesNo(bool yes);

    // Faults: every existence test, open or read of that path reports a failure.
    void FailExistenceTest(std::string_view path);
    void FailOpen(std::string_view path);
    void FailRead(std::string_view path);

    // What the module did, in order.
    const std::vector<ShownBox>& boxes() const { return boxes_; }
    const std::vector<std::string>& existenceTests() const { return existenceTests_; }
    const std::vector<std::string>& openedForReading() const { return openedForReading_; }
    const std::vector<std::string>& searches() const { return searches_; }
    const std::vector<std::string>& labelQueries() const { return labelQueries_; }
    const std::vector<OpenedFile>& openedFiles() const { return openedFiles_; }
    int64_t readCalls() const { return readCalls_; }
    // Files and searches the module opened and has not closed.
    int openHandles() const { return openHandles_; }
    void ClearRecords();

    const WertowikHostServices* services() const { return &services_; }

private:
    struct File;
    struct OpenRead;
    struct Search;

    static FakeHost& Of(void* context) { return *static_cast<FakeHost*>(context); }
    static int32_t FileExistsCall(void* context, const char* path);
    static int32_t FindFirstCall(void* context, const char* pattern, uint32_t mask, WertowikFindData* found,
                                 void** search);
    static int32_t FindNextCall(void* context, void* search, WertowikFindData* found);
    static void FindCloseCall(void* context, void* search);
    static int32_t OpenReadCall(void* context, const char* path, void** file, int64_t* size);
    static int32_t ReadCall(void* context, void* file, void* buffer, int32_t count);
    static void CloseReadCall(void* context, void* file);
    static int32_t VolumeLabelCall(void* context, const char* root, char* label, uint32_t size);
    static int32_t MessageBoxCall(void* context, const char* text, const char* caption, uint32_t flags,
                                  int32_t owned);
    static int32_t OpenFileCall(void* context, const char* verb, const char* file);

    WertowikHostServices services_{};
    // Keyed by the lower-cased path.
    std::map<std::string, std::shared_ptr<File>> files_;
    std::map<std::string, std::string> directories_;
    std::optional<std::string> label_;
    bool answerYes_ = false;
    std::set<std::string> failingTests_, failingOpens_, failingReads_;

    std::vector<ShownBox> boxes_;
    std::vector<std::string> existenceTests_, openedForReading_, searches_, labelQueries_;
    std::vector<OpenedFile> openedFiles_;
    int64_t readCalls_ = 0;
    int openHandles_ = 0;
};

// Collects the percentages a module reports; one recorder lives at a time.
class ProgressRecorder {
public:
    ProgressRecorder();
    ProgressRecorder(const ProgressRecorder&) = delete;
    ProgressRecorder& operator=(const ProgressRecorder&) = delete;
    ~ProgressRecorder();

    TProgressProc proc() const;
    const std::vector<int32_t>& values() const { return values_; }

private:
    static void WTK_STDCALL Record(int32_t percent);
    std::vector<int32_t> values_;
};

// A plug-in module, loaded by file name and bound by export name.
class PluginModule {
public:
    // NAME.so in the build's plug-in folder.
    static std::string PathOf(std::string_view name);

    explicit PluginModule(const std::string& path);
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;
    ~PluginModule();

    void Attach(const FakeHost& host);
    uint8_t InitializePlugin(char letter);
    uint8_t CanYouRegister();
    uint8_t RegisterCD(HostStream** discStream, HostStream** entryStream, const TDiscRecord& record,
                       TProgressProc progress);
    int32_t Info();
    const char* PluginName();
    const char* CDName();
    // Any export by name; nullptr when the module has none of that name.
    void* Symbol(const char* name) const;

private:
    void* Required(const char* name) const;
    void* handle_ = nullptr;
};

// A disc record as a host would pass it: the identifier, a label text and the host's own bytes.
TDiscRecord HostRecord(uint16_t discId, std::string_view label, uint32_t hostData);

}  // namespace wtk::test
