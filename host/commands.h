// The host's commands, callable from main and from tests.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "contract/records.h"
#include "terminal_ui.h"

namespace wertowik {

// Exit codes.
enum : int {
    kExitRegistered = 0,
    kExitNotClaimed = 1,
    kExitFailed = 2,
    kExitUsage = 64,
    kExitNoInput = 66,
    kExitSoftware = 70,
    kExitCantCreate = 73,
};

// A usage or host error: one line for the user and the exit code.
class HostError : public std::runtime_error {
public:
    HostError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

struct RegisterOptions {
    std::string disc;
    char drive = 'D';
    std::optional<std::string> label;   // UTF-8 as given
    std::optional<std::string> only;
    std::optional<std::string> record;  // 50 hex digits
    QuestionAnswer answer = QuestionAnswer::Ask;
    std::optional<std::filesystem::path> streams;
    bool json = false;
    bool quiet = false;
    std::optional<std::filesystem::path> catalogue;
    bool noCatalogue = false;
    std::filesystem::path plugins;
};

int RunRegister(const RegisterOptions& options);
int RunDecode(const std::filesystem::path& discStream, const std::filesystem::path& entryStream, bool json);
int RunPlugins(const std::filesystem::path& folder, bool json);

// Parses 50 hex digits into the 25-byte record.
wtk::TDiscRecord ParseRecord(const std::string& hex);

}  // namespace wertowik
