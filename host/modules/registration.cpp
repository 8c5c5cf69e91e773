#include "host/modules/registration.h"

#include <algorithm>
#include <cstring>

#include "host/modules/memory_stream.h"

namespace wertowik {

namespace {

// The progress callback has no context of its own: calls run one at a time on this thread.
struct ProgressTarget {
    std::vector<int32_t>* values = nullptr;
    ProgressDisplay* display = nullptr;
    // The value the display was last shown: a long import reports the same one for many lines,
    // and only a change is passed on.
    int32_t shown = -1;
};
thread_local ProgressTarget g_progress;

// Kept out of line, so that the callback, called for every line of a long import, saves no
// registers for the vector's growth.
[[gnu::noinline]] void KeepValue(std::vector<int32_t>& values, int32_t percent) { values.push_back(percent); }

// Called from library code, which no exception may reach: a value that cannot be kept is dropped.
void WTK_STDCALL CollectProgress(int32_t percent) {
    try {
        if (g_progress.values != nullptr) {
            KeepValue(*g_progress.values, percent);
        }
        if (g_progress.display != nullptr && percent != g_progress.shown) {
            g_progress.shown = percent;
            g_progress.display->Show(percent);
        }
    } catch (const std::exception&) {
    }
}

// Points the collector at a vector (and a display) for the length of one call.
class ProgressScope {
public:
    ProgressScope(std::vector<int32_t>* into, ProgressDisplay* display) : previous_(g_progress) {
        g_progress = ProgressTarget{into, display, -1};
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    ~ProgressScope() {
        if (g_progress.display != nullptr) {
            g_progress.display->Finish();
        }
        g_progress = previous_;
    }

private:
    ProgressTarget previous_;
};

class RecordingScope {
public:
    RecordingScope(Session& session, std::vector<BoxRecord>* boxes, std::vector<OpenRecord>* opened)
        : session_(session) {
        session_.RecordInto(boxes, opened);
    }
    RecordingScope(const RecordingScope&) = delete;
    RecordingScope& operator=(const RecordingScope&) = delete;
    ~RecordingScope() { session_.RecordInto(nullptr, nullptr); }

private:
    Session& session_;
};

}  // namespace

wtk::TDiscRecord DefaultRecord(uint16_t discId, const std::string& label) {
    wtk::TDiscRecord record{};
    record.DiscId = discId;
    const std::size_t length = std::min<std::size_t>(label.size(), 14);
    record.Label[0] = static_cast<uint8_t>(length);
    std::memcpy(record.Label + 1, label.data(), length);
    return record;
}

Registered RegisterWith(PluginModule& module, Session& session, HostStream** discStream, HostStream** entryStream,
                        const wtk::TDiscRecord& record, ProgressDisplay* display, bool keepProgress) {
    Registered registered;
    registered.plugin = module.name();
    ProgressScope progress(keepProgress ? &registered.progress : nullptr, display);
    RecordingScope recording(session, &registered.boxes, &registered.opened);
    registered.result = module.registerCD(discStream, entryStream, record, &CollectProgress);
    return registered;
}

Outcome OfferDisc(const std::vector<PluginModule*>& modules, Session& session, char drive, const std::string& label,
                  const wtk::TDiscRecord& record, ProgressDisplay* display, bool keepProgress,
                  std::optional<std::size_t> tallyListing) {
    Outcome outcome;
    outcome.drive = drive;
    outcome.label = label;
    for (PluginModule* module : modules) {
        module->attachHost(session.services());
        Offer offer;
        offer.plugin = module->name();
        {
            RecordingScope recording(session, &offer.boxes, nullptr);
            if (module->initializePlugin != nullptr) {
                module->initializePlugin(drive);
            }
            offer.answer = module->canYouRegister();
        }
        const bool claimed = offer.answer == wtk::raFull || offer.answer == wtk::raDiscOnly;
        outcome.offers.push_back(std::move(offer));
        if (claimed) {
            MemoryStream discs, entries;
            std::optional<EntryTally> tally;
            if (tallyListing) {
                entries.TallyInto(&tally.emplace(*tallyListing));
            }
            Registered registered =
                RegisterWith(*module, session, discs.variable(), entries.variable(), record, display, keepProgress);
            registered.discStream = discs.TakeBytes();
            registered.entryStream = entries.TakeBytes();
            registered.tally = std::move(tally);
            outcome.registered = std::move(registered);
            break;
        }
    }
    return outcome;
}

}  // namespace wertowik
