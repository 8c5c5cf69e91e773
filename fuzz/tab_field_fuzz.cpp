// GetTabField on any line. What must hold: no field holds a TAB; the fields of a line, joined
// with TABs again, are the line (the first 256 fields, as far as the line has them); a field
// beyond the line's last TAB is empty; the fields cut in one walk are the same fields.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "text/tab_field.h"

namespace {
using wtk::fuzz::Require;
// Field numbers the libraries ask for run from 0 to 255.
constexpr int kFieldNumbers = 256;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view line = wtk::fuzz::AsText(data, size);
    const int tabs = static_cast<int>(std::count(line.begin(), line.end(), '\t'));
    const int fields = std::min(tabs + 1, kFieldNumbers);

    const wtk::text::TabFields<kFieldNumbers> cut(line);
    std::string joined;
    for (int n = 0; n < fields; ++n) {
        const std::string_view field = wtk::text::GetTabField(line, n);
        Require(field.find('\t') == std::string_view::npos, "a field holds no TAB");
        Require(cut.Field(static_cast<std::size_t>(n)) == field, "one walk cuts the same field");
        if (n > 0) joined += '\t';
        joined += field;
    }
    if (tabs + 1 <= kFieldNumbers) {
        Require(joined == line, "the fields joined with TABs are the line");
        Require(wtk::text::GetTabField(line, tabs + 1).empty(), "a field beyond the last TAB is empty");
    } else {
        Require(line.starts_with(joined + '\t'), "the fields joined with TABs begin the line");
    }
    return 0;
}
