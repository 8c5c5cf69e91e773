// What wertowik register prints and writes besides the catalogue: the summary of a registration,
// the line about what the catalogue did with the disc, the closing line of several discs, and the
// raw streams.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "host/catalogue/catalogue.h"
#include "host/modules/registration.h"

namespace wertowik {

// How many programs the summary names before it only counts the rest.
inline constexpr std::size_t kProgramsListed = 20;

// The two streams, each written whole before either takes its name: an error leaves neither half
// written, nor a new one beside an old one.
void WriteStreams(const std::filesystem::path& folder, std::string_view discs, std::string_view entries);

// The catalogue's word for what it did with the disc, as --json reports it.
const char* StatusName(StoreStatus status);

// "Registered by chip (result 0): CHIP CD, issue 5/2004, 21 programs" and the first programs.
void PrintSummary(const Outcome& outcome);

// One line about what the catalogue did with the disc: on standard output unless quiet, or on
// standard error when nothing was stored.
void PrintStored(const std::string& disc, const StoreOutcome& stored, const std::filesystem::path& file, bool claimed,
                 bool quiet);

// How a disc of a batch went, for the batch's closing line.
enum class Tally { Registered, AlreadyCatalogued, NotClaimed, Failed };

// "12 discs: 9 registered, 1 already catalogued, 1 not claimed, 1 failed", and the same for JSON.
class BatchSummary {
public:
    void Add(Tally tally) { ++counts_[static_cast<std::size_t>(tally)]; }
    std::string Line() const;
    nlohmann::json Json() const;

private:
    std::array<std::size_t, 4> counts_{};
};

}  // namespace wertowik
