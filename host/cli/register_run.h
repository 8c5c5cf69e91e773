// wertowik register's work: each disc offered to the libraries, and what the one that claims it
// writes stored in the catalogue.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/cli/terminal_ui.h"

namespace wertowik {

struct RegisterOptions {
    std::vector<std::string> discs;  // folders or ISO 9660 images
    char drive = 'D';
    std::optional<std::string> label;  // UTF-8 as given
    std::optional<std::string> only;
    std::optional<std::string> record;  // 50 hex digits
    std::optional<int> issue, year;     // put into the record handed over
    QuestionAnswer answer = QuestionAnswer::Ask;
    std::optional<std::filesystem::path> streams;
    bool json = false;
    bool quiet = false;
    bool again = false;        // store a disc that is catalogued already once more
    bool claimedOnly = false;  // store only discs a library claimed
    std::optional<std::filesystem::path> catalogue;
    bool noCatalogue = false;
    std::filesystem::path plugins;
    uint64_t maxFileSize = uint64_t{512} << 20;  // the most a file read whole may hold
};

// Registers each disc in turn; the exit status is the worst of theirs.
int RunRegister(const RegisterOptions& options);

}  // namespace wertowik
