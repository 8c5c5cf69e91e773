#include "host/cli/messages.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace wertowik {

namespace {

constexpr char kDomain[] = "wertowik";

// The language the environment asks for messages in, as setlocale would take it.
std::string_view WantedLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

}  // namespace

void SetUpMessages() {
    // Only the messages follow the locale: numbers, letter classes and sorting stay as they are.
    if (std::setlocale(LC_MESSAGES, "") == nullptr && WantedLanguage().starts_with("pl")) {
        // A Polish locale that was never generated on this machine: the catalogue is Polish all
        // the same, chosen by LANGUAGE under a locale that is always there.
        if (std::setlocale(LC_MESSAGES, "C.UTF-8") != nullptr) {
            ::setenv("LANGUAGE", "pl", 0);
        }
    }
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path prefix = self.parent_path().parent_path();
        for (const std::filesystem::path& folder : {prefix / "share" / "locale", prefix / "locale"}) {
            if (std::filesystem::exists(folder / "pl" / "LC_MESSAGES" / "wertowik.mo", error)) {
                ::bindtextdomain(kDomain, folder.c_str());
                break;
            }
        }
    }
    // The texts are written as UTF-8 whatever the locale's character set.
    ::bind_textdomain_codeset(kDomain, "UTF-8");
}

const char* Tr(const char* message) { return ::dgettext(kDomain, message); }

}  // namespace wertowik
