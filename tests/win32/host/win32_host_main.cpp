// wtk_win32_host: registers the disc in a drive with the Windows DLLs, the way wertowik does with the
// Linux modules, so that the tests can compare the two byte for byte.
//
//   wtk_win32_host register --drive X [--only NAME] [--record HEX] [--yes | --no] [--streams DIR]
//                           [--count-progress] [--repeat N]
//
// Prints one JSON object with the keys of wertowik's report that do not depend on the host (drive,
// label, offers, registered: plugin, result, progress, boxes, opened) plus "unbalancedCalls", the
// exports after which the stack or the preserved registers were off. --streams writes discs.bin and
// entries.bin; without it the entries' bytes are not kept. With --count-progress, "progress" is the
// number of calls of the progress callback instead of their values, which are not kept (wertowik
// keeps none without --json). With --repeat N the library registers the disc N times, each time into
// fresh streams, and the report is that of the last time: the time of one registration beyond the
// start of the program and of Wine is then had from runs with two counts. Exit status as wertowik's: 0 registered, 1 not claimed, 2 failed, 64
// usage, 66 no library, 73 streams not written.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin_library.h"
#include "stand_ins.h"
#include "runtime_stream.h"

namespace wtk::win32test {

namespace {

constexpr int kExitRegistered = 0;
constexpr int kExitNotClaimed = 1;
constexpr int kExitFailed = 2;
constexpr int kExitUsage = 64;
constexpr int kExitNoLibrary = 66;
constexpr int kExitCantCreate = 73;

const char* const kLibraryOrder[] = {"chip", "tarvo", "holvar", "enter", "plavik", "vexlo"};

struct Options {
    char drive = 'D';
    std::optional<std::string> only;
    std::optional<std::string> recordHex;
    int questionAnswer = IDNO;
    std::optional<std::string> streams;
    bool countProgress = false;
    int repeat = 1;
};

// ---- JSON output -------------------------------------------------------------------------------

std::string Utf8FromCp1250(const std::string& bytes) {
    if (bytes.empty()) {
        return bytes;
    }
    const int wide = MultiByteToWideChar(1250, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(1250, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), wide);
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, utf8.data(), narrow, nullptr, nullptr);
    return utf8;
}

std::string JsonString(const std::string& cp1250) {
    std::string out = "\"";
    for (const char c : Utf8FromCp1250(cp1250)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonText(const std::optional<std::string>& text) { return text ? JsonString(*text) : "null"; }

template <typename T, typename Write>
std::string JsonArray(const std::vector<T>& items, Write write) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : ", ") + write(items[i]);
    }
    return out + "]";
}

// The progress values as JSON, written straight into one string: a long import reports one value
// a line, hundreds of thousands of them.
std::string ProgressJson(const std::vector<int32_t>& values) {
    constexpr std::size_t kLongestValue = 13;  // ", " and a sign and ten digits
    std::string out;
    out.reserve(2 + values.size() * kLongestValue);
    out += '[';
    char digits[kLongestValue];
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0) {
            out += ", ";
        }
        const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, values[i]);
        out.append(digits, written.ptr);
    }
    return out + "]";
}

std::string BoxJson(const RecordedBox& box) {
    return "{\"text\": " + JsonString(box.text) + ", \"caption\": " + JsonText(box.caption) +
           ", \"flags\": " + std::to_string(box.flags) + ", \"owned\": " + (box.owner != nullptr ? "true" : "false") +
           ", \"answer\": " + std::to_string(box.answer) + "}";
}

std::string OpenJson(const RecordedOpen& open) {
    return "{\"verb\": " + JsonText(open.verb) + ", \"file\": " + JsonText(open.file) + "}";
}

// ---- the registration --------------------------------------------------------------------------

std::optional<TDiscRecord> ParseRecord(const std::string& hex) {
    TDiscRecord record{};
    if (hex.size() != 2 * sizeof record) {
        return std::nullopt;
    }
    auto* bytes = reinterpret_cast<uint8_t*>(&record);
    for (std::size_t i = 0; i < sizeof record; ++i) {
        unsigned value = 0;
        if (std::sscanf(hex.c_str() + 2 * i, "%2x", &value) != 1) {
            return std::nullopt;
        }
        bytes[i] = static_cast<uint8_t>(value);
    }
    return record;
}

std::string VolumeLabel(char drive) {
    const std::string root = std::string(1, drive) + ":\\";
    char label[261] = {};
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    const BOOL ok = GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
    SetErrorMode(previous);
    return ok ? std::string(label) : std::string();
}

// The record wertowik makes when none is given: disc 1, the first 14 characters of the label.
TDiscRecord DefaultRecord(const std::string& label) {
    TDiscRecord record{};
    record.DiscId = 1;
    const std::size_t length = label.size() < 14 ? label.size() : 14;
    record.Label[0] = static_cast<uint8_t>(length);
    std::memcpy(record.Label + 1, label.data(), length);
    return record;
}

bool WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Writes all the bytes to the handle, as far as it takes them.
void WriteAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) {
            return;
        }
        bytes.remove_prefix(written);
    }
}

class Report {
public:
    void Unbalanced(const std::string& library, const char* export_, const CallOutcome& outcome) {
        if (!outcome.balanced()) {
            unbalanced_.push_back(library + "!" + export_ + " (stack " + std::to_string(outcome.stackDelta) + ")");
        }
    }
    void Offer(const std::string& library, uint8_t answer) {
        offers_.push_back("{\"plugin\": " + JsonString(library) + ", \"answer\": " + std::to_string(answer) +
                          ", \"boxes\": " + JsonArray(Log().boxes, BoxJson) + "}");
    }
    void Registered(const std::string& library, uint8_t result) {
        registered_ = "{\"plugin\": " + JsonString(library) + ", \"result\": " + std::to_string(result) +
                      ", \"progress\": " +
                      (Log().countProgressOnly ? std::to_string(Log().progressCalls) : ProgressJson(Log().progress)) +
                      ", \"boxes\": " + JsonArray(Log().boxes, BoxJson) +
                      ", \"opened\": " + JsonArray(Log().opened, OpenJson) + "}";
    }
    std::string Json(char drive, const std::string& label) const {
        return "{\"drive\": \"" + std::string(1, drive) + "\", \"label\": " + JsonString(label) +
               ", \"offers\": [" + Join(offers_) + "], \"registered\": " + registered_ +
               ", \"unbalancedCalls\": " + JsonArray(unbalanced_, JsonString) + "}";
    }

private:
    static std::string Join(const std::vector<std::string>& parts) {
        std::string out;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            out += (i == 0 ? "" : ", ") + parts[i];
        }
        return out;
    }

    std::vector<std::string> offers_;
    std::string registered_ = "null";
    std::vector<std::string> unbalanced_;
};

int Register(const Options& options) {
    std::vector<std::unique_ptr<PluginLibrary>> libraries;
    for (const char* name : kLibraryOrder) {
        if ((!options.only || *options.only == name) && PluginBuilt(name)) {
            auto library = std::make_unique<PluginLibrary>(name);
            if (!library->loaded()) {
                std::fprintf(stderr, "cannot load %s\n", library->file().c_str());
                return kExitNoLibrary;
            }
            libraries.push_back(std::move(library));
        }
    }
    if (libraries.empty()) {
        std::fprintf(stderr, "no library to offer the disc to\n");
        return kExitNoLibrary;
    }

    const std::string label = VolumeLabel(options.drive);
    TDiscRecord record = DefaultRecord(label);
    if (options.recordHex) {
        const std::optional<TDiscRecord> given = ParseRecord(*options.recordHex);
        if (!given) {
            std::fprintf(stderr, "--record takes 50 hex digits\n");
            return kExitUsage;
        }
        record = *given;
    }

    Report report;
    int status = kExitNotClaimed;
    for (const auto& library : libraries) {
        const std::string& plugin = library->name();
        ResetLog(options.questionAnswer);
        if (library->Export("InitializePlugin") != nullptr) {
            report.Unbalanced(plugin, "InitializePlugin", library->InitializePlugin(options.drive));
        }
        const CallOutcome answer = library->CanYouRegister();
        report.Unbalanced(plugin, "CanYouRegister", answer);
        report.Offer(plugin, answer.al());
        if (answer.al() != raFull && answer.al() != raDiscOnly) {
            continue;
        }
        for (int time = 1; time <= options.repeat; ++time) {
            RuntimeStream discs;
            RuntimeStream entries;
            if (!options.streams) {
                entries.KeepNothing();  // the report shows no entry: like wertowik's summary, it keeps none
            }
            ResetLog(options.questionAnswer);
            Log().countProgressOnly = options.countProgress;
            const CallOutcome result =
                library->RegisterCD(discs.variable(), entries.variable(), record, &ProgressCallback);
            report.Unbalanced(plugin, "RegisterCD", result);
            report.Registered(plugin, result.al());
            status = result.al() == rrFailed ? kExitFailed : kExitRegistered;
            if (time == options.repeat && options.streams &&
                (!WriteFile(*options.streams + "\\discs.bin", discs.bytes()) ||
                 !WriteFile(*options.streams + "\\entries.bin", entries.bytes()))) {
                std::fprintf(stderr, "cannot write the streams into %s\n", options.streams->c_str());
                return kExitCantCreate;
            }
        }
        break;
    }
    // The whole report in as few system writes as the output takes, ending in CR LF as the
    // runtime's text-mode output ended it: the runtime's stream writes it in pieces of 2 KB and
    // single characters, and under Wine each write asks the server about the handle.
    const std::string json = report.Json(options.drive, label) + "\r\n";
    WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), json);
    return status;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) != "register") {
        return std::nullopt;
    }
    Options options;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--yes") {
            options.questionAnswer = IDYES;
        } else if (option == "--no") {
            options.questionAnswer = IDNO;
        } else if (option == "--drive" && hasValue && std::strlen(argv[i + 1]) == 1) {
            options.drive = argv[++i][0];
        } else if (option == "--only" && hasValue) {
            options.only = argv[++i];
        } else if (option == "--record" && hasValue) {
            options.recordHex = argv[++i];
        } else if (option == "--streams" && hasValue) {
            options.streams = argv[++i];
        } else if (option == "--count-progress") {
            options.countProgress = true;
        } else if (option == "--repeat" && hasValue) {
            const char* text = argv[++i];
            const char* end = text + std::strlen(text);
            if (std::from_chars(text, end, options.repeat).ptr != end || options.repeat < 1) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace

}  // namespace wtk::win32test

int main(int argc, char** argv) {
    const std::optional<wtk::win32test::Options> options = wtk::win32test::ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: wtk_win32_host register --drive X [--only NAME] [--record HEX] [--yes | --no] "
                     "[--streams DIR] [--count-progress] [--repeat N]\n");
        return wtk::win32test::kExitUsage;
    }
    return wtk::win32test::Register(*options);
}
