// The services the host hands a module: the mounted drive, message boxes and opening files,
// with every box and every opened file recorded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/discs/drive.h"
#include "platform/host_services.h"

namespace wertowik {

struct BoxRecord {
    std::string text;                    // Windows-1250
    std::optional<std::string> caption;  // nothing: the system's default caption
    uint32_t flags = 0;
    bool owned = false;
    int32_t answer = 0;
};

struct OpenRecord {
    std::string verb;
    std::string file;  // a Windows path, Windows-1250
};

// How boxes reach the person at the terminal and files reach a viewer.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    // Shows the box and returns the button pressed (1 OK, 6 Yes, 7 No).
    virtual int32_t ShowBox(const BoxRecord& box) = 0;
    // A file the library asked to open; drive is the disc it is on (null when there is none).
    virtual void OpenFile(const OpenRecord& request, Drive* drive) = 0;
};

class Session {
public:
    // drive may be null: then no drive exists.
    Session(Drive* drive, UserInterface& ui);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const WertowikHostServices* services() const { return &services_; }

    // Where the boxes and opened files of the next calls are recorded.
    void RecordInto(std::vector<BoxRecord>* boxes, std::vector<OpenRecord>* opened) {
        boxes_ = boxes;
        opened_ = opened;
    }

    // The files (Windows paths) that were cut short by someone else while a library read them.
    const std::vector<std::string>& changedFiles() const { return changedFiles_; }

    // A file a library asks for whole that is larger than this is not read (the library is told it
    // cannot be), so that what a disc claims never decides how much memory is taken.
    void LimitWholeFiles(uint64_t bytes) { wholeFileLimit_ = bytes; }
    struct RefusedFile {
        std::string path;  // a Windows path, Windows-1250
        uint64_t size = 0;
    };
    // The files refused for their size.
    const std::vector<RefusedFile>& refusedFiles() const { return refusedFiles_; }

private:
    static int32_t FileExists(void* context, const char* path);
    static int32_t FindFirst(void* context, const char* pattern, uint32_t mask, WertowikFindData* found, void** search);
    static int32_t FindNext(void* context, void* search, WertowikFindData* found);
    static void FindClose(void* context, void* search);
    static int32_t ReadWholeFile(void* context, const char* path, void** file, const char** bytes, int64_t* size);
    static void ReleaseWholeFile(void* context, void* file);
    static int32_t VolumeLabel(void* context, const char* root, char* label, uint32_t size);
    static int32_t MessageBox(void* context, const char* text, const char* caption, uint32_t flags, int32_t owned);
    static int32_t OpenFile(void* context, const char* verb, const char* file);

    Drive* drive_;
    UserInterface& ui_;
    std::vector<BoxRecord>* boxes_ = nullptr;
    std::vector<OpenRecord>* opened_ = nullptr;
    std::vector<std::string> changedFiles_;
    uint64_t wholeFileLimit_ = UINT64_MAX;
    std::vector<RefusedFile> refusedFiles_;
    WertowikHostServices services_;
};

}  // namespace wertowik
