// Where the host keeps what it needs in files for a while.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wertowik {

// The folder std::filesystem::temp_directory_path names (from TMPDIR, TMP, TEMP or TEMPDIR) when it
// is one, else /tmp.
std::filesystem::path TemporaryFolder();

// A fresh folder of the user's own in TemporaryFolder(), named prefix and six random characters.
// Throws a HostError (exit 73) that names what it was for when it cannot be made.
std::filesystem::path MakeTemporaryFolder(std::string_view prefix, const std::string& purpose);

// Removes what processes of this user that are gone left in folder: the entries named prefix, a
// process number, then nothing more or a dash and more ("wertowik-cd-123-aB3dE9",
// ".wertowik-new-123-journal"): folders with all they hold when folders, else plain files. What
// is another user's, a running process's, or of the other kind stays.
void RemoveLeftByGoneProcesses(const std::filesystem::path& folder, std::string_view prefix, bool folders);

// A fresh folder, made as MakeTemporaryFolder makes one, that goes with all it holds when this
// object goes (links in it go, never what they lead to). Its name, prefix, the process's number, a
// dash and six random characters, tells whose it is: a process killed before it could remove its
// folder leaves it behind, and the next one made with the same prefix removes such folders of
// this user whose process is gone.
class ScratchFolder {
public:
    ScratchFolder(std::string_view prefix, const std::string& purpose);
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace wertowik
