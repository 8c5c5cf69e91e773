// A file written under a name of its own beside it and given its name only once it is whole, so
// that an error (a full disk) leaves no half of it, and an older file of that name as it was.
#pragma once

#include <filesystem>
#include <fstream>
#include <string_view>

namespace wertowik {

class PendingFile {
public:
    // Whether a name that is no plain file (/dev/stdout, a pipe) is written into as it is, or
    // replaced like any other.
    enum class Target { Replace, WriteIntoWhatIsNoFile };

    explicit PendingFile(std::filesystem::path file, Target target = Target::Replace);
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    // Takes the unfinished file away unless it was given its name.
    ~PendingFile();

    std::ostream& stream() { return out_; }
    void Write(std::string_view bytes) { out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); }
    // Everything written is on the disk: a write error is thrown as a HostError (74, or 73).
    void Close();
    // Closes, then gives the file its name.
    void Commit();

private:
    [[noreturn]] void Fail(int code, int error) const;

    std::filesystem::path file_, temporary_;
    std::ofstream out_;
    bool direct_ = false;
    bool closed_ = false;
    bool done_ = false;
};

}  // namespace wertowik
