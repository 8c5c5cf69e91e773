#include "host/modules/session.h"

#include <cstring>
#include <exception>
#include <memory>

namespace wertowik {

namespace {

struct Search {
    std::vector<DriveEntry> matches;
    std::size_t next = 0;
};

// A whole file handed to a library, and where it came from.
struct HeldFile {
    std::string path;
    std::unique_ptr<FileContent> content;
};

Session& Of(void* context) { return *static_cast<Session*>(context); }

// Copies a match into the module's record; a name that does not fit is a failure.
int32_t Deliver(Search& search, WertowikFindData* found) {
    if (search.next >= search.matches.size()) {
        return 0;
    }
    const DriveEntry& entry = search.matches[search.next++];
    if (entry.name.size() >= sizeof found->name) {
        return -1;
    }
    std::memset(found, 0, sizeof *found);
    std::memcpy(found->name, entry.name.data(), entry.name.size());
    found->attributes = entry.attributes;
    return 1;
}

}  // namespace

Session::Session(Drive* drive, UserInterface& ui) : drive_(drive), ui_(ui) {
    services_.version = WERTOWIK_HOST_SERVICES_VERSION;
    services_.context = this;
    services_.FileExists = &Session::FileExists;
    services_.FindFirst = &Session::FindFirst;
    services_.FindNext = &Session::FindNext;
    services_.FindClose = &Session::FindClose;
    services_.ReadWholeFile = &Session::ReadWholeFile;
    services_.ReleaseWholeFile = &Session::ReleaseWholeFile;
    services_.VolumeLabel = &Session::VolumeLabel;
    services_.MessageBox = &Session::MessageBox;
    services_.OpenFile = &Session::OpenFile;
}

int32_t Session::FileExists(void* context, const char* path) {
    Session& self = Of(context);
    try {
        return self.drive_ != nullptr && self.drive_->FileExists(path) ? 1 : 0;
    } catch (const std::exception&) {
        return -1;
    }
}

int32_t Session::FindFirst(void* context, const char* pattern, uint32_t mask, WertowikFindData* found, void** search) {
    Session& self = Of(context);
    *search = nullptr;
    if (self.drive_ == nullptr) {
        return 0;
    }
    try {
        auto open = std::make_unique<Search>();
        open->matches = self.drive_->Find(pattern, mask);
        const int32_t status = Deliver(*open, found);
        if (status == 1) {
            *search = open.release();
        }
        return status;
    } catch (const std::exception&) {
        return -1;
    }
}

int32_t Session::FindNext(void*, void* search, WertowikFindData* found) {
    return Deliver(*static_cast<Search*>(search), found);
}

void Session::FindClose(void*, void* search) { delete static_cast<Search*>(search); }

int32_t Session::ReadWholeFile(void* context, const char* path, void** file, const char** bytes, int64_t* size) {
    Session& self = Of(context);
    *file = nullptr;
    if (self.drive_ == nullptr) {
        return 0;
    }
    try {
        const std::unique_ptr<SourceFile> opened = self.drive_->OpenRead(path);
        if (!opened) {
            return 0;
        }
        if (const int64_t claimed = opened->Size(); claimed > 0 && uint64_t(claimed) > self.wholeFileLimit_) {
            self.refusedFiles_.push_back(RefusedFile{path, uint64_t(claimed)});
            return -1;
        }
        auto held = std::make_unique<HeldFile>(HeldFile{path, opened->ReadAll()});
        *bytes = held->content->bytes().data();
        *size = static_cast<int64_t>(held->content->bytes().size());
        *file = held.release();
        return 1;
    } catch (const std::exception&) {
        return -1;
    }
}

// These are called from library code, which no exception may reach: a failure is the C answer
// each gives for one (none for a file let go of, which goes in any case).
void Session::ReleaseWholeFile(void* context, void* file) {
    const std::unique_ptr<HeldFile> held(static_cast<HeldFile*>(file));
    try {
        if (held->content->Changed()) {
            Of(context).changedFiles_.push_back(held->path);
        }
    } catch (const std::exception&) {
    }
}

int32_t Session::VolumeLabel(void* context, const char* root, char* label, uint32_t size) {
    Session& self = Of(context);
    if (self.drive_ == nullptr || size == 0) {
        return 0;
    }
    try {
        const std::optional<std::string> text = self.drive_->VolumeLabel(root);
        if (!text) {
            return 0;
        }
        const std::size_t length = std::min<std::size_t>(text->size(), size - 1);
        std::memcpy(label, text->data(), length);
        label[length] = '\0';
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

int32_t Session::MessageBox(void* context, const char* text, const char* caption, uint32_t flags, int32_t owned) {
    Session& self = Of(context);
    try {
        BoxRecord box;
        box.text = text != nullptr ? text : "";
        if (caption != nullptr) {
            box.caption = std::string(caption);
        }
        box.flags = flags;
        box.owned = owned != 0;
        box.answer = self.ui_.ShowBox(box);
        if (self.boxes_ != nullptr) {
            self.boxes_->push_back(box);
        }
        return box.answer;
    } catch (const std::exception&) {
        return 0;  // as a box that could not be shown
    }
}

int32_t Session::OpenFile(void* context, const char* verb, const char* file) {
    Session& self = Of(context);
    try {
        OpenRecord request{verb != nullptr ? verb : "", file != nullptr ? file : ""};
        if (self.opened_ != nullptr) {
            self.opened_->push_back(request);
        }
        self.ui_.OpenFile(request, self.drive_);
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

}  // namespace wertowik
