// The catalogue's discs, programs and files as the command line's tables show them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/catalogue/catalogue.h"
#include "host/report/table.h"

namespace wertowik {

// The widest a disc's or program's name and a description are shown.
inline constexpr std::size_t kNameWidth = 40;
inline constexpr std::size_t kDescriptionWidth = 60;

// How a disc is named beside its number: its name and issue, or its label when no library named it.
std::string DiscTitle(const std::string& name, int issue, int year, const std::string& label);
std::string DiscTitle(const DiscRow& disc);
// The library that claimed the disc, "-" for none.
std::string LibraryText(const DiscRow& disc);
// "5/2004".
std::string IssueText(int issue, int year);
// A time as the disc records it, in UTC: "2004-05-17 12:30"; empty for none.
std::string TimeText(const std::optional<int64_t>& seconds);
// "DHS" with "-" for each attribute a file lacks: folder, hidden, system.
std::string AttributeText(const FileRow& file);

// The table programs are listed in, with a column of their disc first when withDisc.
TextTable ProgramTable(bool withDisc);
std::vector<std::string> ProgramCells(const ProgramRow& program);

}  // namespace wertowik
