// A host services table for tests that forwards every call to the host's own table and makes the
// k-th disc operation (file test, search first / next, reading a file) fail, as a damaged disc or a
// failing drive would. It also writes down every disc operation, and counts the searches and
// files the module opened and has not closed yet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_services.h"

namespace wtk::test {

class FaultyServices {
public:
    explicit FaultyServices(const WertowikHostServices& inner);
    FaultyServices(const FaultyServices&) = delete;
    FaultyServices& operator=(const FaultyServices&) = delete;

    // The table to hand the module.
    const WertowikHostServices* table() const { return &table_; }

    // From now on the k-th disc operation (k from 1) fails; 0: none does. Restarts the count.
    void FailAt(int k);
    // Whether every volume label query fails from now on (a failed query is not a disc operation).
    void FailVolumeLabel(bool fail) { failVolumeLabel_ = fail; }

    // Disc operations since the last FailAt, the failing one included.
    int operations() const { return operations_; }
    // Whether the k-th operation came and was made to fail.
    bool failed() const { return failed_; }

    // Searches opened and files read through this table and not yet closed or let go of.
    int openSearches() const { return openSearches_; }
    int openFiles() const { return openFiles_; }

    // Appends one line per call that reaches the disc or the user, in order ("ReadWholeFile
    // D:\Browser\Chip.dat -> 1", BoxLine for a box); closing a search or a file adds none.
    void JournalInto(std::vector<std::string>* journal) { journal_ = journal; }

    // The journal line of a message box.
    static std::string BoxLine(const std::string& text, const char* caption, uint32_t flags, bool owned,
                               int32_t button);

private:
    // Counts one disc operation; true when this one is to fail.
    bool Fails(const std::string& what);
    void Note(const std::string& line);

    static FaultyServices& Of(void* context) { return *static_cast<FaultyServices*>(context); }
    static int32_t FileExists(void* context, const char* path);
    static int32_t FindFirst(void* context, const char* pattern, uint32_t mask, WertowikFindData* found, void** search);
    static int32_t FindNext(void* context, void* search, WertowikFindData* found);
    static void FindClose(void* context, void* search);
    static int32_t ReadWholeFile(void* context, const char* path, void** file, const char** bytes, int64_t* size);
    static void ReleaseWholeFile(void* context, void* file);
    static int32_t VolumeLabel(void* context, const char* root, char* label, uint32_t size);
    static int32_t MessageBox(void* context, const char* text, const char* caption, uint32_t flags, int32_t owned);
    static int32_t OpenFile(void* context, const char* verb, const char* file);

    const WertowikHostServices& inner_;
    WertowikHostServices table_{};
    int failAt_ = 0;
    int operations_ = 0;
    bool failed_ = false;
    bool failVolumeLabel_ = false;
    int openSearches_ = 0;
    int openFiles_ = 0;
    std::vector<std::string>* journal_ = nullptr;
};

}  // namespace wtk::test
