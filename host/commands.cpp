#include "commands.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "cp1250.h"
#include "json_report.h"
#include "plugin_module.h"
#include "registration.h"
#include "stream_decode.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw HostError(kExitNoInput, "cannot read " + file.string());
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw HostError(kExitCantCreate, "cannot write " + file.string());
    }
}

// The libraries to offer the disc to, in order; one that cannot be loaded is reported and skipped.
std::vector<std::unique_ptr<PluginModule>> LoadModules(const fs::path& folder, const std::optional<std::string>& only) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw HostError(kExitNoInput, "no plug-in folder " + folder.string());
    }
    std::vector<std::unique_ptr<PluginModule>> modules;
    for (const std::string& name : PluginNames()) {
        if (only && *only != name) {
            continue;
        }
        try {
            modules.push_back(PluginModule::Load(name, folder / (name + ".so")));
        } catch (const std::exception& problem) {
            std::cerr << "wertowik: " << problem.what() << " (skipped)\n";
        }
    }
    return modules;
}

std::string LabelFor(const RegisterOptions& options, DiscSource& source) {
    if (options.label) {
        return NameToCp1250(*options.label);
    }
    const std::optional<std::string> stored = source.Label();
    return stored ? NameToCp1250(*stored) : std::string();
}

void PrintSummary(const Outcome& outcome) {
    if (!outcome.registered) {
        std::cout << "No library claimed the disc.\n";
        return;
    }
    const Registered& r = *outcome.registered;
    const auto discs = DecodeDiscStream(r.discStream);
    const auto entries = DecodeEntryStream(r.entryStream);
    std::cout << "Registered by " << r.plugin << " (result " << r.result << ")";
    for (const auto& disc : discs.records) {
        std::cout << ": " << Cp1250ToUtf8(disc.name) << ", issue " << int{disc.record.Issue} << "/"
                  << disc.record.Year;
    }
    std::cout << ", " << entries.records.size() << " programs\n";
    for (const auto& entry : entries.records) {
        std::cout << "  " << Cp1250ToUtf8(entry.name);
        if (!entry.version.empty()) {
            std::cout << " " << Cp1250ToUtf8(entry.version);
        }
        std::cout << '\n';
    }
}

}  // namespace

wtk::TDiscRecord ParseRecord(const std::string& hex) {
    wtk::TDiscRecord record{};
    if (hex.size() != 2 * sizeof record) {
        throw HostError(kExitUsage, "--record takes 50 hex digits, not " + std::to_string(hex.size()) + " characters");
    }
    unsigned char bytes[sizeof record];
    for (std::size_t i = 0; i < sizeof record; ++i) {
        const int high = HexValue(hex[2 * i]), low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            throw HostError(kExitUsage, "--record takes 50 hex digits");
        }
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    std::memcpy(&record, bytes, sizeof record);
    return record;
}

int RunRegister(const RegisterOptions& options) {
    if (options.only) {
        const auto& names = PluginNames();
        if (std::find(names.begin(), names.end(), *options.only) == names.end()) {
            throw HostError(kExitUsage, "unknown library " + *options.only);
        }
    }
    const char drive = options.drive;
    if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z'))) {
        throw HostError(kExitUsage, "--drive takes a letter");
    }
    std::optional<wtk::TDiscRecord> given;
    if (options.record) {
        given = ParseRecord(*options.record);
    }
    std::error_code error;
    if (!fs::is_directory(options.disc, error)) {
        throw HostError(kExitNoInput, "no disc folder " + options.disc);
    }
    std::unique_ptr<DiscSource> source = OpenFolderDisc(options.disc);
    const std::string label = LabelFor(options, *source);
    auto modules = LoadModules(options.plugins, options.only);
    if (modules.empty()) {
        throw HostError(kExitNoInput, "no library could be loaded from " + options.plugins.string());
    }

    Drive mounted(drive, std::move(source), label);
    TerminalInterface ui(options.answer, options.quiet);
    Session session(&mounted, ui);
    const wtk::TDiscRecord record = given ? *given : DefaultRecord(1, label);
    std::vector<PluginModule*> order;
    for (auto& module : modules) {
        order.push_back(module.get());
    }
    const Outcome outcome = OfferDisc(order, session, mounted.letter(), label, record);

    if (options.streams && outcome.registered) {
        fs::create_directories(*options.streams, error);
        WriteFile(*options.streams / "discs.bin", outcome.registered->discStream);
        WriteFile(*options.streams / "entries.bin", outcome.registered->entryStream);
    }
    if (options.json) {
        std::cout << OutcomeJson(outcome).dump(2) << '\n';
    } else if (!options.quiet) {
        PrintSummary(outcome);
    }
    if (!outcome.registered) {
        return kExitNotClaimed;
    }
    return outcome.registered->result == wtk::rrFailed ? kExitFailed : kExitRegistered;
}

int RunDecode(const fs::path& discStream, const fs::path& entryStream, bool asJson) {
    const std::string discs = ReadFile(discStream);
    const std::string entries = ReadFile(entryStream);
    const json decoded = StreamsJson(discs, entries);
    if (asJson) {
        std::cout << decoded.dump(2) << '\n';
        return 0;
    }
    for (const auto& disc : decoded["discs"]) {
        std::cout << "disc " << disc["discId"] << " issue " << disc["issue"] << " year " << disc["year"] << " name "
                  << disc["name"].get<std::string>() << " label " << disc["label"].get<std::string>() << '\n';
    }
    if (!decoded["discsTruncatedAt"].is_null()) {
        std::cout << "disc stream ends inside a record at byte " << decoded["discsTruncatedAt"] << '\n';
    }
    for (const auto& entry : decoded["entries"]) {
        std::cout << "entry " << entry["discId"] << " licence " << entry["licence"] << " name "
                  << entry["name"].get<std::string>() << " version " << entry["version"].get<std::string>()
                  << " description " << entry["description"].get<std::string>() << '\n';
    }
    if (!decoded["entriesTruncatedAt"].is_null()) {
        std::cout << "entry stream ends inside a record at byte " << decoded["entriesTruncatedAt"] << '\n';
    }
    return 0;
}

int RunPlugins(const fs::path& folder, bool asJson) {
    auto modules = LoadModules(folder, std::nullopt);
    json list = json::array();
    for (const auto& module : modules) {
        list.push_back({
            {"plugin", module->name()},
            {"file", module->file().string()},
            {"pluginName", Cp1250ToUtf8(module->pluginName())},
            {"cdName", Cp1250ToUtf8(module->cdName())},
            {"exports", module->Exports()},
        });
    }
    if (asJson) {
        std::cout << list.dump(2) << '\n';
        return 0;
    }
    for (const auto& item : list) {
        std::cout << item["plugin"].get<std::string>() << "\t" << item["pluginName"].get<std::string>() << "\t"
                  << item["cdName"].get<std::string>() << "\t" << item["file"].get<std::string>() << '\n';
    }
    return 0;
}

}  // namespace wertowik
