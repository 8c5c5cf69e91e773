// The chip module as the fuzz targets drive it: loaded once, handed a disc held in memory, asked
// to register it on fresh streams. What must hold after every registration, whatever the disc:
// the result is 0 or 2; a failure shows exactly one box with the library's text and no icon,
// a success none; every search and file is closed again; progress starts at 0, never falls and
// never passes 100; both streams walk to their ends; every entry header carries the record's
// DiscId and a zero Reserved byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fake_host.h"
#include "host/modules/stream_decode.h"

namespace wtk::fuzz {

struct ChipRun {
    int result = -1;
    std::vector<test::ShownBox> boxes;
    std::vector<int32_t> progress;
    std::string discs, entries;
    wertowik::Decoded<wertowik::DecodedDisc> decodedDiscs;
    wertowik::Decoded<wertowik::DecodedEntry> decodedEntries;
};

// Loads the module; call from LLVMFuzzerInitialize, so that its coverage counts from the start.
void LoadChip();

// InitializePlugin('D'), then RegisterCD on empty streams, with the rules above checked.
ChipRun RegisterWithChip(test::FakeHost& host);

// Whether any of the entries' texts holds one of these bytes.
bool EntryTextsHold(const ChipRun& run, const std::string& bytes);

}  // namespace wtk::fuzz
