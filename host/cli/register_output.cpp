#include "host/cli/register_output.h"

#include <unistd.h>

#include <iostream>

#include "host/base/cp1250.h"
#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/pending_file.h"
#include "host/base/terminal_text.h"
#include "host/modules/entry_tally.h"
#include "host/modules/stream_decode.h"

namespace wertowik {

namespace fs = std::filesystem;
using nlohmann::json;

void WriteStreams(const fs::path& folder, std::string_view discs, std::string_view entries) {
    PendingFile discFile(folder / "discs.bin"), entryFile(folder / "entries.bin");
    discFile.Write(discs);
    entryFile.Write(entries);
    discFile.Close();
    entryFile.Close();
    discFile.Commit();
    try {
        entryFile.Commit();
    } catch (const HostError&) {
        ::unlink((folder / "discs.bin").c_str());  // no disc stream without its entries
        throw;
    }
}

const char* StatusName(StoreStatus status) {
    switch (status) {
        case StoreStatus::Stored: return "stored";
        case StoreStatus::Duplicate: return "duplicate";
        case StoreStatus::Failed: return "failed";
        case StoreStatus::NoRecord: return "no-record";
        case StoreStatus::Malformed: return "malformed";
    }
    return "failed";
}

void PrintSummary(const Outcome& outcome) {
    if (!outcome.registered) {
        std::cout << Tr("No library claimed the disc.") << '\n';
        return;
    }
    const Registered& r = *outcome.registered;
    EntryTally counted(kProgramsListed);
    if (!r.tally) {
        counted.Take(r.entryStream.data(), r.entryStream.size());
    }
    const EntryTally& tally = r.tally ? *r.tally : counted;
    const std::size_t programs = tally.entries();
    std::string listed;
    for (const auto& [name, version] : tally.listed()) {
        listed += "  " + ForTerminal(Cp1250ToUtf8(name));
        if (!version.empty()) {
            listed += " " + ForTerminal(Cp1250ToUtf8(version));
        }
        listed += '\n';
    }
    std::cout << Say("Registered by {1} (result {2})", ForTerminal(r.plugin), r.result);
    for (const auto& disc : DecodeDiscStream(r.discStream).records) {
        std::cout << Say(": {1}, issue {2}/{3}", ForTerminal(Cp1250ToUtf8(disc.name)), int{disc.record.Issue},
                         int{disc.record.Year});
    }
    std::cout << SayCount(", {1} program", ", {1} programs", programs) << '\n' << listed;
    if (programs > kProgramsListed) {
        std::cout << "  " << Say("... and {1} more", programs - kProgramsListed) << '\n';
    }
}

void PrintStored(const std::string& disc, const StoreOutcome& stored, const fs::path& file, bool claimed, bool quiet) {
    switch (stored.status) {
        case StoreStatus::Stored:
            if (!quiet) {
                std::cout << Say("Catalogued as disc {1} ({2}{3}) in {4}", stored.discId,
                                 claimed ? SayCount("{1} program, ", "{1} programs, ", stored.programs)
                                         : std::string(Tr("no library, ")),
                                 SayCount("{1} file or folder", "{1} files and folders", stored.files),
                                 ForTerminal(file.string()))
                          << '\n';
            }
            return;
        case StoreStatus::Duplicate:
            if (!quiet) {
                std::cout << Say("Already catalogued as disc {1}; not stored again (--again stores it anyway)",
                                 stored.discId)
                          << '\n';
            }
            return;
        default:
            TellError(Say("{1}: {2}; nothing stored in the catalogue", ForTerminal(disc), ForTerminal(stored.reason)));
    }
}

std::string BatchSummary::Line() const {
    std::size_t total = 0;
    for (const std::size_t count : counts_) {
        total += count;
    }
    return SayCount("{1} disc: {2} registered, {3} already catalogued, {4} not claimed, {5} failed",
                    "{1} discs: {2} registered, {3} already catalogued, {4} not claimed, {5} failed", total, counts_[0],
                    counts_[1], counts_[2], counts_[3]);
}

json BatchSummary::Json() const {
    return json{{"registered", counts_[0]},
                {"alreadyCatalogued", counts_[1]},
                {"notClaimed", counts_[2]},
                {"failed", counts_[3]}};
}

}  // namespace wertowik
