// wertowik decode: the records of two raw streams, as a library wrote them.
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "host/base/terminal_text.h"
#include "host/cli/command.h"
#include "host/discs/local_file.h"
#include "host/report/json_report.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string ReadFile(const fs::path& file) { return *ReadLocalFile(file); }

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

CommandRun SetUp(CLI::App& command, CommonOptions&) {
    struct State {
        fs::path discStream, entryStream;
        bool json = false;
    };
    auto state = std::make_shared<State>();
    command.add_option("DISCSTREAM", state->discStream, "The disc stream (discs.bin)")->required()->type_name("FILE");
    command.add_option("ENTRYSTREAM", state->entryStream, "The entry stream (entries.bin)")
        ->required()
        ->type_name("FILE");
    command.footer("Examples:\n  wertowik decode out/discs.bin out/entries.bin");
    command.add_flag("--json", state->json, "Print one JSON object");
    return [state] { return RunDecode(state->discStream, state->entryStream, state->json); };
}

}  // namespace

const Command kDecodeCommand{"decode", "Print the records of two raw streams", SetUp};

}  // namespace wertowik
