#include "host/base/messages.h"

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

const char* TrCount(const char* one, const char* many, unsigned long count) {
    return ::dngettext(kDomain, one, many, count);
}

std::string Substitute(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
    std::string text;
    text.reserve(pattern.size() + 32);
    std::size_t at = 0;
    while (at < pattern.size()) {
        const std::size_t open = pattern.find('{', at);
        text.append(pattern.substr(at, open == std::string_view::npos ? std::string_view::npos : open - at));
        if (open == std::string_view::npos) {
            break;
        }
        if (pattern.substr(open, 2) == "{{") {
            text += '{';
            at = open + 2;
            continue;
        }
        const std::size_t close = pattern.find('}', open);
        std::size_t number = 0;
        bool digits = close != std::string_view::npos && close > open + 1 && close - open <= 3;
        for (std::size_t i = open + 1; digits && i < close; ++i) {
            digits = pattern[i] >= '0' && pattern[i] <= '9';
            number = number * 10 + static_cast<std::size_t>(pattern[i] - '0');
        }
        if (digits && number >= 1 && number <= arguments.size()) {
            text.append(arguments.begin()[number - 1]);
            at = close + 1;
        } else {
            text += '{';
            at = open + 1;
        }
    }
    return text;
}

}  // namespace wertowik
