#include "host/cli/commands.h"
#include "host/base/messages.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>

#include "host/base/cp1250.h"
#include "host/base/errors.h"
#include "host/cli/json_report.h"
#include "host/discs/local_file.h"
#include "host/modules/plugin_module.h"
#include "host/modules/registration.h"
#include "host/modules/stream_decode.h"
#include "host/base/terminal_text.h"

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

std::string ReadFile(const fs::path& file) { return *ReadLocalFile(file); }

bool catalogueChanged = false;

}  // namespace

void NoteCatalogueChanged() { catalogueChanged = true; }
bool CatalogueChanged() { return catalogueChanged; }

std::vector<std::unique_ptr<PluginModule>> LoadModules(const fs::path& folder, const std::optional<std::string>& only) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw HostError(kExitNoInput, Say("no plug-in folder {1}", folder.string()));
    }
    std::vector<std::unique_ptr<PluginModule>> modules;
    std::vector<std::string> skipped;
    for (const std::string& name : PluginNames()) {
        if (only && *only != name) {
            continue;
        }
        try {
            modules.push_back(PluginModule::Load(name, folder / (name + ".so")));
        } catch (const std::exception& problem) {
            skipped.emplace_back(problem.what());
        }
    }
    // With nothing loaded the run cannot go on: one line says why, naming the first library's
    // trouble. Libraries missing beside others that loaded are each worth a warning.
    if (modules.empty()) {
        throw HostError(kExitNoInput, skipped.empty() ? Say("no library could be loaded from {1}", folder.string())
                                                      : Say("no library could be loaded from {1} ({2})",
                                                            folder.string(), skipped.front()));
    }
    for (const std::string& problem : skipped) {
        TellError(Say("{1} (skipped)", ForTerminal(problem)));
    }
    return modules;
}

wtk::TDiscRecord ParseRecord(const std::string& hex) {
    wtk::TDiscRecord record{};
    if (hex.size() != 2 * sizeof record) {
        throw HostError(kExitUsage, Say("--record takes 50 hex digits, not {1} characters", hex.size()));
    }
    unsigned char bytes[sizeof record];
    for (std::size_t i = 0; i < sizeof record; ++i) {
        const int high = HexValue(hex[2 * i]), low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            throw HostError(kExitUsage, Tr("--record takes 50 hex digits"));
        }
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    std::memcpy(&record, bytes, sizeof record);
    return record;
}

uint16_t ParseDiscId(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(text) < 1 || std::stoi(text) > 65535) {
        throw HostError(kExitUsage, Say("a disc identifier is a number from 1 to 65535, not \"{1}\"", text));
    }
    return static_cast<uint16_t>(std::stoi(text));
}

std::string RecordHex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 0x0F];
    }
    return hex;
}

int RunDecode(const fs::path& discStream, const fs::path& entryStream, bool asJson) {
    const std::string discs = ReadFile(discStream);
    const std::string entries = ReadFile(entryStream);
    const json decoded = StreamsJson(discs, entries);
    if (asJson) {
        std::cout << JsonText(decoded, 2) << '\n';
        return 0;
    }
    for (const auto& disc : decoded["discs"]) {
        std::cout << "disc " << disc["discId"] << " issue " << disc["issue"] << " year " << disc["year"] << " name "
                  << ForTerminal(disc["name"].get<std::string>()) << " label "
                  << ForTerminal(disc["label"].get<std::string>()) << '\n';
    }
    if (!decoded["discsTruncatedAt"].is_null()) {
        std::cout << "disc stream ends inside a record at byte " << decoded["discsTruncatedAt"] << '\n';
    }
    for (const auto& entry : decoded["entries"]) {
        std::cout << "entry " << entry["discId"] << " licence " << entry["licence"] << " name "
                  << ForTerminal(entry["name"].get<std::string>()) << " version "
                  << ForTerminal(entry["version"].get<std::string>()) << " description "
                  << ForTerminal(entry["description"].get<std::string>()) << '\n';
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
        std::cout << JsonText(list, 2) << '\n';
        return 0;
    }
    for (const auto& item : list) {
        std::cout << ForTerminal(item["plugin"].get<std::string>()) << "\t"
                  << ForTerminal(item["pluginName"].get<std::string>()) << "\t"
                  << ForTerminal(item["cdName"].get<std::string>()) << "\t"
                  << ForTerminal(item["file"].get<std::string>()) << '\n';
    }
    return 0;
}

}  // namespace wertowik
