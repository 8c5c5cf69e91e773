// Offering a disc to the libraries in order, and registering it with the first that claims it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "contract/records.h"
#include "host/modules/byte_buffer.h"
#include "host/modules/entry_tally.h"
#include "host/modules/plugin_module.h"
#include "host/modules/session.h"

namespace wertowik {

struct Offer {
    std::string plugin;
    int answer = 1;
    std::vector<BoxRecord> boxes;
};

struct Registered {
    std::string plugin;
    int result = 2;
    std::vector<int32_t> progress;
    std::vector<BoxRecord> boxes;
    std::vector<OpenRecord> opened;
    ByteBuffer discStream;   // the bytes the library appended
    ByteBuffer entryStream;  // empty when only tallied
    std::optional<EntryTally> tally;
};

struct Outcome {
    char drive = 'D';
    std::string label;  // Windows-1250
    std::vector<Offer> offers;
    std::optional<Registered> registered;
};

// Shown the registration's progress as the library reports it, each time the value changes.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void Show(int32_t percent) = 0;
    // The registration is over.
    virtual void Finish() = 0;
};

// Offers the disc to each module: InitializePlugin with the drive letter, then CanYouRegister;
// the first that answers 0 or 2 registers it with fresh empty streams. The progress values are
// kept in the outcome unless keepProgress is false (a long import reports one per line). Given a
// tallyListing, the entries are only tallied, listing that many, and not kept: a large import
// then needs no memory for its entries.
Outcome OfferDisc(const std::vector<PluginModule*>& modules, Session& session, char drive, const std::string& label,
                  const wtk::TDiscRecord& record, ProgressDisplay* display = nullptr, bool keepProgress = true,
                  std::optional<std::size_t> tallyListing = std::nullopt);

// Calls one module's RegisterCD on the given streams, collecting progress (unless keepProgress is
// false), boxes and opened files.
Registered RegisterWith(PluginModule& module, Session& session, HostStream** discStream, HostStream** entryStream,
                        const wtk::TDiscRecord& record, ProgressDisplay* display = nullptr, bool keepProgress = true);

// The record the host hands over by default: the given identifier, the first 14 label bytes.
wtk::TDiscRecord DefaultRecord(uint16_t discId, const std::string& label);

}  // namespace wertowik
