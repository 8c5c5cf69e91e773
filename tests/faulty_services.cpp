#include "faulty_services.h"

namespace wtk::test {

namespace {

constexpr int32_t kFailure = -1;

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string("(null)"); }

}  // namespace

FaultyServices::FaultyServices(const WertowikHostServices& inner) : inner_(inner) {
    table_.version = WERTOWIK_HOST_SERVICES_VERSION;
    table_.context = this;
    table_.FileExists = &FaultyServices::FileExists;
    table_.FindFirst = &FaultyServices::FindFirst;
    table_.FindNext = &FaultyServices::FindNext;
    table_.FindClose = &FaultyServices::FindClose;
    table_.ReadWholeFile = &FaultyServices::ReadWholeFile;
    table_.ReleaseWholeFile = &FaultyServices::ReleaseWholeFile;
    table_.VolumeLabel = &FaultyServices::VolumeLabel;
    table_.MessageBox = &FaultyServices::MessageBox;
    table_.OpenFile = &FaultyServices::OpenFile;
}

std::string FaultyServices::BoxLine(const std::string& text, const char* caption, uint32_t flags, bool owned,
                                    int32_t button) {
    return "MessageBox \"" + text + "\" caption " + (caption != nullptr ? "\"" + std::string(caption) + "\"" : "none") +
           " flags " + std::to_string(flags) + (owned ? " owned" : "") + " -> " + std::to_string(button);
}

void FaultyServices::FailAt(int k) {
    failAt_ = k;
    operations_ = 0;
    failed_ = false;
}

bool FaultyServices::Fails(const std::string& what) {
    ++operations_;
    if (operations_ != failAt_) {
        return false;
    }
    failed_ = true;
    Note(what + " -> failure");
    return true;
}

void FaultyServices::Note(const std::string& line) {
    if (journal_ != nullptr) {
        journal_->push_back(line);
    }
}

int32_t FaultyServices::FileExists(void* context, const char* path) {
    FaultyServices& self = Of(context);
    const std::string what = "FileExists " + Text(path);
    if (self.Fails(what)) {
        return kFailure;
    }
    const int32_t status = self.inner_.FileExists(self.inner_.context, path);
    self.Note(what + " -> " + std::to_string(status));
    return status;
}

int32_t FaultyServices::FindFirst(void* context, const char* pattern, uint32_t mask, WertowikFindData* found,
                                  void** search) {
    FaultyServices& self = Of(context);
    const std::string what = "FindFirst " + Text(pattern) + " mask " + std::to_string(mask);
    if (self.Fails(what)) {
        *search = nullptr;
        return kFailure;
    }
    const int32_t status = self.inner_.FindFirst(self.inner_.context, pattern, mask, found, search);
    if (status > 0) {
        ++self.openSearches_;
    }
    self.Note(what + " -> " + std::to_string(status) + (status > 0 ? " " + std::string(found->name) : ""));
    return status;
}

int32_t FaultyServices::FindNext(void* context, void* search, WertowikFindData* found) {
    FaultyServices& self = Of(context);
    if (self.Fails("FindNext")) {
        return kFailure;
    }
    const int32_t status = self.inner_.FindNext(self.inner_.context, search, found);
    self.Note("FindNext -> " + std::to_string(status) + (status > 0 ? " " + std::string(found->name) : ""));
    return status;
}

void FaultyServices::FindClose(void* context, void* search) {
    FaultyServices& self = Of(context);
    --self.openSearches_;
    self.inner_.FindClose(self.inner_.context, search);
}

int32_t FaultyServices::ReadWholeFile(void* context, const char* path, void** file, const char** bytes, int64_t* size) {
    FaultyServices& self = Of(context);
    const std::string what = "ReadWholeFile " + Text(path);
    if (self.Fails(what)) {
        *file = nullptr;
        return kFailure;
    }
    const int32_t status = self.inner_.ReadWholeFile(self.inner_.context, path, file, bytes, size);
    if (status > 0) {
        ++self.openFiles_;
    }
    self.Note(what + " -> " + std::to_string(status) + (status > 0 ? " " + std::to_string(*size) + " bytes" : ""));
    return status;
}

void FaultyServices::ReleaseWholeFile(void* context, void* file) {
    FaultyServices& self = Of(context);
    --self.openFiles_;
    self.inner_.ReleaseWholeFile(self.inner_.context, file);
}

int32_t FaultyServices::VolumeLabel(void* context, const char* root, char* label, uint32_t size) {
    FaultyServices& self = Of(context);
    if (self.failVolumeLabel_) {
        self.Note("VolumeLabel " + Text(root) + " -> failure");
        return 0;
    }
    const int32_t status = self.inner_.VolumeLabel(self.inner_.context, root, label, size);
    self.Note("VolumeLabel " + Text(root) + " -> " + std::to_string(status));
    return status;
}

int32_t FaultyServices::MessageBox(void* context, const char* text, const char* caption, uint32_t flags,
                                   int32_t owned) {
    FaultyServices& self = Of(context);
    const int32_t button = self.inner_.MessageBox(self.inner_.context, text, caption, flags, owned);
    self.Note(BoxLine(Text(text), caption, flags, owned != 0, button));
    return button;
}

int32_t FaultyServices::OpenFile(void* context, const char* verb, const char* file) {
    FaultyServices& self = Of(context);
    self.Note("OpenFile " + Text(verb) + " " + Text(file));
    return self.inner_.OpenFile(self.inner_.context, verb, file);
}

}  // namespace wtk::test
