// Plain text tables for the terminal: columns sized to their widest cell (counted in characters,
// not bytes), long cells cut with an ellipsis.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wertowik {

// The width of the terminal standard output goes to, else $COLUMNS; 0 when neither tells (output
// to a file or a pipe is not cut).
std::size_t TerminalColumns();

// Characters in a UTF-8 text.
std::size_t DisplayWidth(std::string_view utf8);
// At most width characters: a longer text keeps width - 1 of them and an ellipsis. Line breaks
// and tabs become spaces, other control characters are shown as ForTerminal shows them.
std::string FitCell(std::string_view utf8, std::size_t width);

class TextTable {
public:
    explicit TextTable(std::vector<std::string> headers);
    void AlignRight(std::size_t column);
    void LimitWidth(std::size_t column, std::size_t width);
    // A column whose cells are cut (with "…") when the table is wider than the terminal; the
    // columns are cut in the order they were marked, each to no less than kNarrowest characters.
    void Shrinkable(std::size_t column);
    void AddRow(std::vector<std::string> cells);
    std::size_t rows() const { return rows_.size(); }
    // The header, a rule and the rows, each line ending in a line feed; no wider than width
    // characters where the shrinkable columns allow it (0: as wide as the cells).
    std::string Render(std::size_t width = 0) const;

    static constexpr std::size_t kNarrowest = 8;

private:
    struct Column {
        std::string header;
        bool right = false;
        std::size_t limit = 0;  // 0: no limit
    };
    std::vector<Column> columns_;
    std::vector<std::size_t> shrinkable_;
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace wertowik
