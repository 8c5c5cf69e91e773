#include "fake_host.h"

#include <algorithm>
#include <cstring>

namespace wtk::test {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), Lower);
    return s;
}

bool MatchFrom(const std::string& pattern, std::size_t p, const std::string& name, std::size_t n) {
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            for (std::size_t rest = n; rest <= name.size(); ++rest) {
                if (MatchFrom(pattern, p + 1, name, rest)) {
                    return true;
                }
            }
            return false;
        }
        if (n == name.size() || (pattern[p] != '?' && Lower(pattern[p]) != Lower(name[n]))) {
            return false;
        }
        ++p;
        ++n;
    }
    return n == name.size();
}

// The folder part of a path and the name behind its last backslash.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos) {
        return {std::string(), path};
    }
    return {path.substr(0, slash), path.substr(slash + 1)};
}

WertowikFindData ToFindData(const std::string& name, uint32_t attributes) {
    WertowikFindData data{};
    const std::size_t length = std::min(name.size(), sizeof data.name - 1);
    std::memcpy(data.name, name.data(), length);
    data.attributes = attributes;
    return data;
}

// Hidden, system and directory entries are listed only when the mask asks for them.
constexpr uint32_t kAttributesNeedingTheMask = 0x02 | 0x04 | kAttributeDirectory;

}  // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
    if (MatchFrom(pattern, 0, name, 0)) {
        return true;
    }
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot - 1 <= 3) {
        return false;
    }
    return MatchFrom(pattern, 0, name.substr(0, dot + 4), 0);
}

FakeHost::FakeHost() {
    table_.version = WERTOWIK_HOST_SERVICES_VERSION;
    table_.context = this;
    table_.FileExists = &FileExistsCall;
    table_.FindFirst = &FindFirstCall;
    table_.FindNext = &FindNextCall;
    table_.FindClose = &FindCloseCall;
    table_.ReadWholeFile = &ReadWholeFileCall;
    table_.ReleaseWholeFile = &ReleaseWholeFileCall;
    table_.VolumeLabel = &VolumeLabelCall;
    table_.MessageBox = &MessageBoxCall;
    table_.OpenFile = &OpenFileCall;
}

FakeHost::~FakeHost() = default;

void FakeHost::AddFile(const std::string& path, const std::string& bytes, uint32_t attributes) {
    RemoveFile(path);
    nodes_.push_back(Node{path, std::make_shared<const std::string>(bytes), attributes & ~kAttributeDirectory});
}

void FakeHost::AddDirectory(const std::string& path) {
    nodes_.push_back(Node{path, std::make_shared<const std::string>(), kAttributeDirectory});
}

void FakeHost::RemoveFile(const std::string& path) {
    const std::string wanted = Lowered(path);
    std::erase_if(nodes_, [&](const Node& node) { return Lowered(node.path) == wanted; });
}

void FakeHost::SetVolumeLabel(const std::string& root, const std::string& label) { labels_[Lowered(root)] = label; }

std::vector<std::string> FakeHost::CallsOf(Service service) const {
    std::vector<std::string> arguments;
    for (const ServiceCall& call : calls_) {
        if (call.service == service) {
            arguments.push_back(call.argument);
        }
    }
    return arguments;
}

bool FakeHost::Fails(Service service, const std::string& argument) {
    calls_.push_back(ServiceCall{service, argument});
    return failWhen && failWhen(service, argument);
}

const FakeHost::Node* FakeHost::Find(const std::string& path) const {
    const std::string wanted = Lowered(path);
    for (const Node& node : nodes_) {
        if (Lowered(node.path) == wanted) {
            return &node;
        }
    }
    return nullptr;
}

int32_t FakeHost::FileExistsCall(void* context, const char* path) {
    FakeHost& host = Of(context);
    if (host.Fails(Service::FileExists, path)) {
        return -1;
    }
    const Node* node = host.Find(path);
    return node != nullptr && (node->attributes & kAttributeDirectory) == 0 ? 1 : 0;
}

int32_t FakeHost::FindFirstCall(void* context, const char* pattern, uint32_t mask, WertowikFindData* found,
                                void** search) {
    FakeHost& host = Of(context);
    if (host.onFindFirst) {
        host.onFindFirst(pattern);
    }
    if (host.Fails(Service::FindFirst, pattern)) {
        return -1;
    }
    const auto [folder, namePattern] = SplitPath(pattern);
    auto listing = std::make_unique<Search>();
    for (const Node& node : host.nodes_) {
        const auto [nodeFolder, name] = SplitPath(node.path);
        if (Lowered(nodeFolder) == Lowered(folder) && MatchesWildcard(namePattern, name) &&
            (node.attributes & kAttributesNeedingTheMask & ~mask) == 0) {
            listing->matches.push_back(ToFindData(name, node.attributes));
        }
    }
    if (listing->matches.empty()) {
        return 0;
    }
    *found = listing->matches[0];
    listing->next = 1;
    *search = listing.get();
    host.searches_[listing.get()] = std::move(listing);
    return 1;
}

int32_t FakeHost::FindNextCall(void* context, void* search, WertowikFindData* found) {
    FakeHost& host = Of(context);
    if (host.Fails(Service::FindNext, std::string())) {
        return -1;
    }
    Search& listing = *host.searches_.at(search);
    if (listing.next == listing.matches.size()) {
        return 0;
    }
    *found = listing.matches[listing.next++];
    return 1;
}

void FakeHost::FindCloseCall(void* context, void* search) { Of(context).searches_.erase(search); }

int32_t FakeHost::ReadWholeFileCall(void* context, const char* path, void** file, const char** bytes, int64_t* size) {
    FakeHost& host = Of(context);
    *file = nullptr;
    if (host.Fails(Service::ReadWholeFile, path)) {
        return -1;
    }
    const Node* node = host.Find(path);
    if (node == nullptr) {
        return 0;
    }
    if ((node->attributes & kAttributeDirectory) != 0) {
        return -1;  // a folder cannot be read
    }
    auto held = std::make_unique<HeldFile>(HeldFile{node->bytes});
    *bytes = held->bytes->data();
    *size = static_cast<int64_t>(held->bytes->size());
    *file = held.get();
    host.files_[held.get()] = std::move(held);
    return 1;
}

void FakeHost::ReleaseWholeFileCall(void* context, void* file) { Of(context).files_.erase(file); }

int32_t FakeHost::VolumeLabelCall(void* context, const char* root, char* label, uint32_t size) {
    FakeHost& host = Of(context);
    if (host.Fails(Service::VolumeLabel, root)) {
        return 0;
    }
    const auto found = host.labels_.find(Lowered(root));
    if (found == host.labels_.end() || size == 0) {
        return 0;
    }
    const std::size_t length = std::min<std::size_t>(found->second.size(), size - 1);
    std::memcpy(label, found->second.data(), length);
    label[length] = '\0';
    return 1;
}

int32_t FakeHost::MessageBoxCall(void* context, const char* text, const char* caption, uint32_t flags, int32_t owned) {
    FakeHost& host = Of(context);
    if (host.Fails(Service::MessageBox, text)) {
        return 0;
    }
    host.boxes_.push_back(
        ShownBox{text, caption == nullptr ? std::nullopt : std::optional<std::string>(caption), flags, owned != 0});
    constexpr uint32_t kYesNo = 0x04;
    return (flags & 0x0F) == kYesNo ? host.questionAnswer_ : 1;
}

int32_t FakeHost::OpenFileCall(void* context, const char* verb, const char* file) {
    FakeHost& host = Of(context);
    if (host.Fails(Service::OpenFile, file)) {
        return 0;
    }
    host.opened_.push_back(OpenedFile{verb, file});
    return 1;
}

}  // namespace wtk::test
