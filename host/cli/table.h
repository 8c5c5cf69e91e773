// Plain text tables for the terminal: columns sized to their widest cell (counted in characters,
// not bytes), long cells cut with an ellipsis.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wertowik {

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
    void AddRow(std::vector<std::string> cells);
    std::size_t rows() const { return rows_.size(); }
    // The header, a rule and the rows, each line ending in a line feed.
    std::string Render() const;

private:
    struct Column {
        std::string header;
        bool right = false;
        std::size_t limit = 0;  // 0: no limit
    };
    std::vector<Column> columns_;
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace wertowik
