// wertowik register: offers each disc to the libraries and stores what the one that claims it
// writes in the catalogue.
#include "host/cli/register_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "host/base/cp1250.h"
#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/terminal_text.h"
#include "host/catalogue/catalogue.h"
#include "host/cli/command.h"
#include "host/cli/register_output.h"
#include "host/discs/archive_disc.h"
#include "host/discs/disc_tree.h"
#include "host/modules/module_folder.h"
#include "host/modules/registration.h"
#include "host/modules/stream_decode.h"
#include "host/report/json_report.h"

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

std::string LabelFor(const RegisterOptions& options, DiscSource& source) {
    if (options.label) {
        return LabelToCp1250(*options.label);
    }
    const std::optional<std::string> stored = source.Label();
    return stored ? LabelToCp1250(*stored) : std::string();
}

// The discs a path given holds: one, or each image in an archive, and the archive's images that
// cannot be read.
std::vector<std::unique_ptr<DiscSource>> OpenGivenDiscs(const std::string& path, std::vector<UnreadMember>& unread) {
    std::error_code error;
    if (!fs::exists(path, error)) {
        throw HostError(kExitNoInput, Say("no disc folder or image {1}", path));
    }
    try {
        return OpenDiscs(path, unread);
    } catch (const DiscError& problem) {
        throw HostError(kExitDataError, problem.what());
    } catch (const HostError&) {
        throw;
    } catch (const std::exception& problem) {
        throw HostError(kExitNoInput, Say("cannot read the disc {1}: {2}", path, problem.what()));
    }
}

// An error that ends the whole call, not only one disc's part: no library or no catalogue to use.
class Unrecoverable : public HostError {
public:
    explicit Unrecoverable(const HostError& error) : HostError(error) {}
};

struct DiscRun {
    json report;
    // A disc reported alone: its entries and progress values, written into the report as it is
    // printed (WriteOutcomeReport).
    ByteBuffer entries;
    std::vector<int32_t> progress;
    int exitCode = kExitSoftware;
    Tally tally = Tally::Failed;
};

class RegisterRun {
public:
    explicit RegisterRun(const RegisterOptions& options) : options_(options) {
        if (options.only) {
            const auto& names = PluginNames();
            if (std::find(names.begin(), names.end(), *options.only) == names.end()) {
                throw HostError(kExitUsage, Say("unknown library {1}", *options.only));
            }
        }
        const char drive = options.drive;
        if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z'))) {
            throw HostError(kExitUsage, Tr("--drive takes a letter"));
        }
        if (options.catalogue && options.catalogue->empty()) {
            throw HostError(kExitUsage, Tr("--catalogue needs a file name"));
        }
        if (options.discs.empty()) {
            throw HostError(kExitUsage, Tr("register needs at least one disc folder or image"));
        }
        if (options.record) {
            given_ = ParseRecord(*options.record);
        }
        if (options.issue && (*options.issue < 0 || *options.issue > 255)) {
            throw HostError(kExitUsage, Tr("--issue takes a number from 0 to 255"));
        }
        if (options.year && (*options.year < 0 || *options.year > 65535)) {
            throw HostError(kExitUsage, Tr("--year takes a number from 0 to 65535"));
        }
    }

    // path: the disc as the user knows it; number: its place among the discs of this call, of
    // which there are several.
    DiscRun Register(const std::string& path, std::unique_ptr<DiscSource> source, std::size_t number, bool several) {
        DiscRun run;
        // Libraries and catalogue are taken up once the first disc could be read, so that a disc that
        // cannot be read leaves no new catalogue behind; and before any library is asked, so that a
        // catalogue that cannot take the disc stops the call before anyone answers a question for nothing.
        LoadLibraries();
        OpenCatalogue();
        const std::string label = LabelFor(options_, *source);
        const std::string location = source->Location();
        // Where a folder disc's folder lies, kept with it: the web view serves its files only while
        // its path leads to that very folder.
        const std::optional<std::filesystem::path> root = source->LocalFile({});
        const std::optional<FolderIdentity> folder = root ? IdentityOf(*root) : std::nullopt;
        const wtk::TDiscRecord record = RecordFor(label);
        // The files are walked only to be catalogued.
        std::optional<DiscTree> tree;
        if (catalogue_) {
            tree = WalkDisc(*source);
            if (!options_.quiet) {
                for (const std::string& problem : tree->problems) {
                    TellError(ForTerminal(path) + ": " + ForTerminal(problem));
                }
            }
        }

        Drive mounted(options_.drive, std::move(source), label);
        const bool bar = !options_.quiet && ::isatty(STDERR_FILENO);
        TerminalInterface ui(options_.answer, options_.quiet, bar);
        fs::path shown(path);
        if (shown.filename().empty()) {
            shown = shown.parent_path();  // "discs/enter/"
        }
        ui.SetProgressTitle(shown.filename().string());
        Session session(&mounted, ui);
        session.LimitWholeFiles(options_.maxFileSize);
        std::vector<PluginModule*> order;
        for (auto& module : modules_) {
            order.push_back(module.get());
        }
        // Only the JSON report shows the progress values. Where no more than the summary shows
        // is done with them, the entries are only counted as they come.
        const bool summaryOnly = !catalogue_ && !options_.json && !options_.streams;
        Outcome outcome = OfferDisc(order, session, mounted.letter(), label, record, &ui, options_.json,
                                    summaryOnly ? std::optional<std::size_t>(kProgramsListed) : std::nullopt);
        // A file too large to be read whole was not read: the library could not do its work.
        if (!session.refusedFiles().empty()) {
            const Session::RefusedFile& refused = session.refusedFiles().front();
            throw HostError(kExitDataError, Say("{1} is {2} bytes, more than the {3} a file read whole may have "
                                                "(--max-file-size); nothing was registered",
                                                Cp1250ToUtf8(refused.path), refused.size, options_.maxFileSize));
        }
        // What a library read from a file that shrank under it is not the disc: nothing of it is kept.
        if (!session.changedFiles().empty()) {
            throw HostError(kExitIoError, Say("the disc changed while it was read ({1} was cut short); nothing was "
                                              "registered",
                                              Cp1250ToUtf8(session.changedFiles().front())));
        }

        if (options_.streams && outcome.registered) {
            const fs::path folder = several ? *options_.streams / std::to_string(number + 1) : *options_.streams;
            std::error_code error;
            fs::create_directories(folder, error);
            if (error) {
                throw HostError(error.value() == ENOSPC || error.value() == EDQUOT ? kExitIoError : kExitCantCreate,
                                Say("cannot make {1}: {2}", folder.string(), error.message()));
            }
            WriteStreams(folder, outcome.registered->discStream.view(), outcome.registered->entryStream.view());
        }

        // The report holds every entry as JSON: made only when it is printed.
        if (options_.json) {
            run.report = OutcomeJson(outcome, several ? Entries::Within : Entries::Later);
            run.report["disc"] = path;
            run.report["catalogue"] = nullptr;
        }
        if (!outcome.registered) {
            run.exitCode = kExitNotClaimed;
            run.tally = Tally::NotClaimed;
        } else {
            const bool failed = outcome.registered->result == wtk::rrFailed;
            run.exitCode = failed ? kExitFailed : kExitRegistered;
            run.tally = failed ? Tally::Failed : Tally::Registered;
        }
        if (label.empty() && run.exitCode != kExitRegistered && !options_.quiet) {
            TellError(
                Say("{1} has no volume label, by which some libraries know their discs; give it with --label "
                    "TEXT",
                    ForTerminal(path)));
        }
        if (several && !options_.json && !options_.quiet) {
            std::cout << "== " << ForTerminal(path) << '\n';
        }
        if (!options_.json && !options_.quiet) {
            PrintSummary(outcome);
        }
        if (catalogue_) {
            json stored = Store(path, location, folder, record, label, *tree, outcome, ui, run);
            if (options_.json) {
                run.report["catalogue"] = std::move(stored);
            }
        }
        if (options_.json && !several && outcome.registered) {
            run.entries = std::move(outcome.registered->entryStream);
            run.progress = std::move(outcome.registered->progress);
        }
        return run;
    }

private:
    void LoadLibraries() {
        if (!modules_.empty()) {
            return;
        }
        try {
            modules_ = LoadModules(options_.plugins, options_.only);
        } catch (const HostError& problem) {
            throw Unrecoverable(problem);
        }
    }

    void OpenCatalogue() {
        if (options_.noCatalogue || catalogue_) {
            return;
        }
        try {
            catalogue_.emplace(Catalogue::Open(options_.catalogue ? *options_.catalogue : DefaultCataloguePath(),
                                               Catalogue::Access::Write));
        } catch (const HostError& problem) {
            throw Unrecoverable(problem);
        }
    }

    // The record handed to the library: --record's, else the default one. Its DiscId is the one
    // the disc is stored under: --record's when the catalogue has no disc of that identifier (or
    // there is no catalogue), else the catalogue's next free one; without --record, the next free
    // one (1 without a catalogue).
    // --issue and --year go into the record (libraries that take them from the disc replace them).
    wtk::TDiscRecord RecordFor(const std::string& label) {
        wtk::TDiscRecord record = given_ ? *given_ : DefaultRecord(catalogue_ ? catalogue_->NextFreeId() : 1, label);
        if (given_ && catalogue_ && (record.DiscId == 0 || catalogue_->Disc(record.DiscId))) {
            record.DiscId = catalogue_->NextFreeId();  // said once it is stored: another process may take it first
        }
        if (options_.issue) {
            record.Issue = static_cast<uint8_t>(*options_.issue);
        }
        if (options_.year) {
            record.Year = static_cast<uint16_t>(*options_.year);
        }
        return record;
    }

    // Stores what the library registered, or, when none claimed the disc, the disc with its label
    // and files (unless --claimed-only).
    json Store(const std::string& path, const std::string& location, const std::optional<FolderIdentity>& folder,
               const wtk::TDiscRecord& record, const std::string& label, const DiscTree& tree, const Outcome& outcome,
               TerminalInterface& ui, DiscRun& run) {
        json report{{"file", catalogue_->file().string()}};
        if (!outcome.registered && options_.claimedOnly) {
            report["stored"] = false;
            report["status"] = "not-claimed";
            report["discId"] = nullptr;
            report["reason"] = "no library claimed the disc";
            return report;
        }
        Submission submission{"", location, kNotClaimed, record.DiscId, {}, {}, label, &tree, folder};
        if (outcome.registered) {
            const Registered& r = *outcome.registered;
            submission.plugin = r.plugin;
            submission.result = r.result;
            submission.discStream = r.discStream.view();
            submission.entryStream = r.entryStream.view();
        }
        ui.SetProgressTitle(Tr("storing in the catalogue"));
        const StoreOutcome stored =
            catalogue_->Store(submission, options_.again, [&ui](int32_t percent) { ui.Show(percent); });
        ui.Finish();
        if (stored.status == StoreStatus::Stored) {
            NoteCatalogueChanged();
            if (given_ && stored.discId != given_->DiscId && !options_.quiet) {
                TellError(Say(given_->DiscId == 0
                                  ? N_("the catalogue gave the disc identifier {1} (--record's {2} is no identifier)")
                                  : N_("the catalogue gave the disc identifier {1} (--record's {2} is taken)"),
                              stored.discId, given_->DiscId));
            }
        }
        PrintStored(path, stored, catalogue_->file(), outcome.registered.has_value(), options_.quiet || options_.json);
        if (stored.status == StoreStatus::Malformed) {
            run.exitCode = kExitSoftware;
            run.tally = Tally::Failed;
        }
        if (stored.status == StoreStatus::Duplicate && run.tally == Tally::Registered) {
            run.tally = Tally::AlreadyCatalogued;
        }
        report["stored"] = stored.status == StoreStatus::Stored;
        report["status"] = outcome.registered || stored.status != StoreStatus::Stored ? StatusName(stored.status)
                                                                                      : "stored-not-claimed";
        report["discId"] = stored.status == StoreStatus::Stored || stored.status == StoreStatus::Duplicate
                               ? json(stored.discId)
                               : json(nullptr);
        report["programs"] = stored.programs;
        report["files"] = stored.files;
        report["reason"] = stored.reason.empty() ? json(nullptr) : json(stored.reason);
        return report;
    }

    const RegisterOptions& options_;
    std::optional<wtk::TDiscRecord> given_;
    std::vector<std::unique_ptr<PluginModule>> modules_;
    std::optional<Catalogue> catalogue_;
};

// The name a disc of an archive that holds several is reported by: the archive's path, "!/" and
// the member's.
std::string MemberName(const std::string& path, const DiscSource& source, bool ofSeveral) {
    const std::string location = source.Location();
    const std::size_t member = location.find("!/");
    return ofSeveral && member != std::string::npos ? path + location.substr(member) : path;
}

}  // namespace

int RunRegister(const RegisterOptions& options) {
    RegisterRun run(options);
    std::vector<std::unique_ptr<DiscSource>> first;
    std::vector<UnreadMember> firstUnread;
    if (options.discs.size() == 1) {
        first = OpenGivenDiscs(options.discs[0], firstUnread);
        if (first.size() == 1 && firstUnread.empty()) {
            DiscRun one = run.Register(options.discs[0], std::move(first[0]), 0, false);
            if (options.json) {
                WriteOutcomeReport(std::cout, one.report, one.entries.view(), one.progress);
            }
            return one.exitCode;
        }
    }
    // Several discs: each is reported, a disc that cannot be read does not stop the others, and
    // one line (with --json, one object: "discs", an object per disc in the order given, an
    // archive's images in its order, and "summary") closes the batch.
    json reports = json::array();
    BatchSummary summary;
    int worst = kExitRegistered;
    std::size_t number = 0;
    // A disc that could not be read (or taken from its archive): said, reported, counted as failed.
    const auto fail = [&](const std::string& name, const std::string& reason, int code) {
        TellError(ForTerminal(reason));
        reports.push_back({{"disc", name}, {"error", reason}, {"exitCode", code}});
        summary.Add(Tally::Failed);
        worst = std::max(worst, code);
    };
    for (std::size_t i = 0; i < options.discs.size(); ++i) {
        const std::string& path = options.discs[i];
        try {
            const bool opened = i == 0 && (!first.empty() || !firstUnread.empty());
            std::vector<UnreadMember> unread = opened ? std::move(firstUnread) : std::vector<UnreadMember>{};
            std::vector<std::unique_ptr<DiscSource>> sources = opened ? std::move(first) : OpenGivenDiscs(path, unread);
            const bool ofSeveral = sources.size() + unread.size() > 1;
            // The archive's unread images among its discs, in the archive's order.
            std::size_t place = 0;
            auto nextUnread = unread.begin();
            const auto failUnreadUpTo = [&](std::size_t upTo) {
                for (; nextUnread != unread.end() && nextUnread->place <= upTo; ++nextUnread) {
                    ++number;
                    fail(path + "!/" + nextUnread->member, nextUnread->reason, nextUnread->code);
                }
            };
            for (auto& source : sources) {
                failUnreadUpTo(place++);
                const std::string name = MemberName(path, *source, ofSeveral);
                try {
                    DiscRun one = run.Register(name, std::move(source), number++, true);
                    reports.push_back(std::move(one.report));
                    summary.Add(one.tally);
                    worst = std::max(worst, one.exitCode);
                } catch (const Unrecoverable&) {
                    throw;
                } catch (const HostError& problem) {
                    fail(name, problem.what(), problem.code());
                }
            }
            failUnreadUpTo(sources.size());
        } catch (const Unrecoverable&) {
            throw;
        } catch (const HostError& problem) {
            ++number;
            fail(path, problem.what(), problem.code());
        }
    }
    if (options.json) {
        std::cout << JsonText(json{{"discs", std::move(reports)}, {"summary", summary.Json()}}, 2) << '\n';
    } else if (!options.quiet) {
        std::cout << summary.Line() << '\n';
    }
    return worst;
}

}  // namespace wertowik
