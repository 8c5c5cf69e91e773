#include "fake_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace wtk::test {

namespace {

constexpr uint32_t kDirectoryAttribute = 0x10;
constexpr uint32_t kArchiveAttribute = 0x20;
constexpr uint32_t kYesNo = 0x04;
constexpr int32_t kIdOk = 1, kIdYes = 6, kIdNo = 7;

std::string Lower(std::string_view s) {
    std::string lowered(s);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lowered;
}

// The folder part of a path ("D:\a\b.txt" gives "D:\a"), and the name part.
std::string_view FolderOf(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}
std::string_view NameOf(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// "*" and "?" as usual, without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern.empty()) {
        return name.empty();
    }
    if (pattern.front() == '*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (WildcardMatch(pattern.substr(1), name.substr(skip))) {
                return true;
            }
        }
        return false;
    }
    if (name.empty()) {
        return false;
    }
    if (pattern.front() != '?' && Lower(pattern.substr(0, 1)) != Lower(name.substr(0, 1))) {
        return false;
    }
    return WildcardMatch(pattern.substr(1), name.substr(1));
}

// As a Windows search through the short names: "*.htm" also finds "page.html".
bool SearchMatches(std::string_view pattern, std::string_view name) {
    if (WildcardMatch(pattern, name)) {
        return true;
    }
    const std::size_t patternDot = pattern.rfind('.');
    const std::size_t nameDot = name.rfind('.');
    if (patternDot == std::string_view::npos || nameDot == std::string_view::npos) {
        return false;
    }
    const std::string_view extension = pattern.substr(patternDot + 1);
    if (extension.size() != 3 || extension.find_first_of("*?") != std::string_view::npos ||
        name.size() - nameDot - 1 <= 3) {
        return false;
    }
    return WildcardMatch(pattern.substr(0, patternDot + 4), name.substr(0, nameDot + 4));
}

void CopyName(std::string_view name, WertowikFindData* found) {
    std::memset(found->name, 0, sizeof found->name);
    std::memcpy(found->name, name.data(), std::min(name.size(), sizeof found->name - 1));
}

ProgressRecorder* g_recorder = nullptr;

}  // namespace

struct FakeHost::File {
    std::string path;  // as added
    std::string bytes;
};

struct FakeHost::OpenRead {
    std::shared_ptr<const File> file;
    std::size_t position = 0;
    bool failing = false;
};

struct FakeHost::Search {
    std::vector<WertowikFindData> matches;
    std::size_t next = 0;
};

FakeHost::FakeHost() {
    services_.version = WERTOWIK_HOST_SERVICES_VERSION;
    services_.context = this;
    services_.FileExists = &FileExistsCall;
    services_.FindFirst = &FindFirstCall;
    services_.FindNext = &FindNextCall;
    services_.FindClose = &FindCloseCall;
    services_.OpenRead = &OpenReadCall;
    services_.Read = &ReadCall;
    services_.CloseRead = &CloseReadCall;
    services_.VolumeLabel = &VolumeLabelCall;
    services_.MessageBox = &MessageBoxCall;
    services_.OpenFile = &OpenFileCall;
}

FakeHost::~FakeHost() = default;

void FakeHost::AddFile(std::string_view path, std::string bytes) {
    files_[Lower(path)] = std::make_shared<File>(File{std::string(path), std::move(bytes)});
    for (std::string_view folder = FolderOf(path); folder.find('\\') != std::string_view::npos;
         folder = FolderOf(folder)) {
        directories_.emplace(Lower(folder), std::string(folder));
    }
}

void FakeHost::AddDirectory(std::string_view path) {
    for (std::string_view folder = path; folder.find('\\') != std::string_view::npos; folder = FolderOf(folder)) {
        directories_.emplace(Lower(folder), std::string(folder));
    }
}

void FakeHost::RemoveFile(std::string_view path) { files_.erase(Lower(path)); }

bool FakeHost::HasFile(std::string_view path) const { return files_.count(Lower(path)) != 0; }

void FakeHost::SetLabel(std::string label) { label_ = std::move(label); }

void FakeHost::FailLabelQuery() { label_.reset(); }

void FakeHost::AnswerYesNo(bool yes) { answerYes_ = yes; }

void FakeHost::FailExistenceTest(std::string_view path) { failingTests_.insert(Lower(path)); }

void FakeHost::FailOpen(std::string_view path) { failingOpens_.insert(Lower(path)); }

void FakeHost::FailRead(std::string_view path) { failingReads_.insert(Lower(path)); }

void FakeHost::ClearRecords() {
    boxes_.clear();
    existenceTests_.clear();
    openedForReading_.clear();
    searches_.clear();
    labelQueries_.clear();
    openedFiles_.clear();
    readCalls_ = 0;
}

int32_t FakeHost::FileExistsCall(void* context, const char* path) {
    FakeHost& host = Of(context);
    host.existenceTests_.emplace_back(path);
    const std::string key = Lower(path);
    if (host.failingTests_.count(key) != 0) {
        return -1;
    }
    return host.files_.count(key) != 0 ? 1 : 0;
}

int32_t FakeHost::FindFirstCall(void* context, const char* pattern, uint32_t mask, WertowikFindData* found,
                                void** search) {
    FakeHost& host = Of(context);
    host.searches_.emplace_back(pattern);
    const std::string folder = Lower(FolderOf(pattern));
    const std::string_view wildcard = NameOf(pattern);
    if (host.failingTests_.count(Lower(pattern)) != 0) {
        return -1;
    }
    // Listed in name order, directories only when the mask asks for them.
    std::map<std::string, WertowikFindData> listing;
    auto consider = [&](const std::string& key, std::string_view original, uint32_t attributes) {
        if (std::string_view(FolderOf(key)) != folder || !SearchMatches(wildcard, NameOf(original))) {
            return;
        }
        WertowikFindData data{};
        CopyName(NameOf(original), &data);
        data.attributes = attributes;
        listing.emplace(key, data);
    };
    for (const auto& [key, file] : host.files_) {
        consider(key, file->path, kArchiveAttribute);
    }
    if ((mask & kDirectoryAttribute) != 0) {
        for (const auto& [key, original] : host.directories_) {
            consider(key, original, kDirectoryAttribute);
        }
    }
    if (listing.empty()) {
        return 0;
    }
    auto open = std::make_unique<Search>();
    for (const auto& entry : listing) {
        open->matches.push_back(entry.second);
    }
    *found = open->matches[0];
    open->next = 1;
    *search = open.release();
    ++host.openHandles_;
    return 1;
}

int32_t FakeHost::FindNextCall(void*, void* search, WertowikFindData* found) {
    Search& open = *static_cast<Search*>(search);
    if (open.next >= open.matches.size()) {
        return 0;
    }
    *found = open.matches[open.next++];
    return 1;
}

void FakeHost::FindCloseCall(void* context, void* search) {
    delete static_cast<Search*>(search);
    --Of(context).openHandles_;
}

int32_t FakeHost::OpenReadCall(void* context, const char* path, void** file, int64_t* size) {
    FakeHost& host = Of(context);
    host.openedForReading_.emplace_back(path);
    const std::string key = Lower(path);
    if (host.failingOpens_.count(key) != 0) {
        return -1;
    }
    const auto found = host.files_.find(key);
    if (found == host.files_.end()) {
        return 0;
    }
    auto open = std::make_unique<OpenRead>();
    open->file = found->second;
    open->failing = host.failingReads_.count(key) != 0;
    *size = static_cast<int64_t>(found->second->bytes.size());
    *file = open.release();
    ++host.openHandles_;
    return 1;
}

int32_t FakeHost::ReadCall(void* context, void* file, void* buffer, int32_t count) {
    FakeHost& host = Of(context);
    ++host.readCalls_;
    OpenRead& open = *static_cast<OpenRead*>(file);
    if (open.failing || count < 0) {
        return -1;
    }
    const std::string& bytes = open.file->bytes;
    const std::size_t n = std::min(static_cast<std::size_t>(count), bytes.size() - open.position);
    std::memcpy(buffer, bytes.data() + open.position, n);
    open.position += n;
    return static_cast<int32_t>(n);
}

void FakeHost::CloseReadCall(void* context, void* file) {
    delete static_cast<OpenRead*>(file);
    --Of(context).openHandles_;
}

int32_t FakeHost::VolumeLabelCall(void* context, const char* root, char* label, uint32_t size) {
    FakeHost& host = Of(context);
    host.labelQueries_.emplace_back(root);
    if (!host.label_ || size == 0) {
        return 0;
    }
    const std::size_t n = std::min<std::size_t>(host.label_->size(), size - 1);
    std::memcpy(label, host.label_->data(), n);
    label[n] = '\0';
    return 1;
}

int32_t FakeHost::MessageBoxCall(void* context, const char* text, const char* caption, uint32_t flags,
                                 int32_t owned) {
    FakeHost& host = Of(context);
    ShownBox box;
    box.text = text;
    if (caption != nullptr) {
        box.caption = std::string(caption);
    }
    box.flags = flags;
    box.owned = owned != 0;
    host.boxes_.push_back(std::move(box));
    if ((flags & 0x0F) == kYesNo) {
        return host.answerYes_ ? kIdYes : kIdNo;
    }
    return kIdOk;
}

int32_t FakeHost::OpenFileCall(void* context, const char* verb, const char* file) {
    Of(context).openedFiles_.push_back(OpenedFile{verb, file});
    return 1;
}

ProgressRecorder::ProgressRecorder() {
    if (g_recorder != nullptr) {
        throw std::logic_error("one progress recorder at a time");
    }
    g_recorder = this;
}

ProgressRecorder::~ProgressRecorder() { g_recorder = nullptr; }

TProgressProc ProgressRecorder::proc() const { return &Record; }

void WTK_STDCALL ProgressRecorder::Record(int32_t percent) {
    if (g_recorder != nullptr) {
        g_recorder->values_.push_back(percent);
    }
}

std::string PluginModule::PathOf(std::string_view name) {
    return std::string(WERTOWIK_PLUGIN_DIR) + "/" + std::string(name) + ".so";
}

PluginModule::PluginModule(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* error = dlerror();
        throw std::runtime_error("cannot load " + path + ": " + (error != nullptr ? error : "unknown error"));
    }
}

PluginModule::~PluginModule() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

void* PluginModule::Symbol(const char* name) const { return dlsym(handle_, name); }

void* PluginModule::Required(const char* name) const {
    void* symbol = Symbol(name);
    if (symbol == nullptr) {
        throw std::runtime_error(std::string("the module has no export ") + name);
    }
    return symbol;
}

void PluginModule::Attach(const FakeHost& host) {
    using Fn = void (*)(const WertowikHostServices*);
    reinterpret_cast<Fn>(Required("WertowikAttachHost"))(host.services());
}

uint8_t PluginModule::InitializePlugin(char letter) {
    using Fn = uint8_t (*)(char);
    return reinterpret_cast<Fn>(Required("InitializePlugin"))(letter);
}

uint8_t PluginModule::CanYouRegister() {
    using Fn = uint8_t (*)();
    return reinterpret_cast<Fn>(Required("CanYouRegister"))();
}

uint8_t PluginModule::RegisterCD(HostStream** discStream, HostStream** entryStream, const TDiscRecord& record,
                                 TProgressProc progress) {
    using Fn = uint8_t(WTK_STDCALL*)(HostStream**, HostStream**, TDiscRecord, TProgressProc);
    return reinterpret_cast<Fn>(Required("RegisterCD"))(discStream, entryStream, record, progress);
}

int32_t PluginModule::Info() {
    using Fn = int32_t (*)();
    return reinterpret_cast<Fn>(Required("Info"))();
}

const char* PluginModule::PluginName() {
    using Fn = const char* (*)();
    return reinterpret_cast<Fn>(Required("PluginName"))();
}

const char* PluginModule::CDName() {
    using Fn = const char* (*)();
    return reinterpret_cast<Fn>(Required("CDName"))();
}

TDiscRecord HostRecord(uint16_t discId, std::string_view label, uint32_t hostData) {
    TDiscRecord record{};
    record.DiscId = discId;
    const std::size_t n = std::min<std::size_t>(label.size(), 14);
    record.Label[0] = static_cast<uint8_t>(n);
    std::memcpy(record.Label + 1, label.data(), n);
    std::memcpy(record.HostData, &hostData, sizeof hostData);
    return record;
}

}  // namespace wtk::test
