#include "host/cli/table.h"

#include <algorithm>

#include "host/terminal_text.h"

namespace wertowik {

namespace {

bool StartsCharacter(unsigned char c) { return (c & 0xC0) != 0x80; }

}  // namespace

std::size_t DisplayWidth(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return StartsCharacter(static_cast<unsigned char>(c)); }));
}

std::string FitCell(std::string_view utf8, std::size_t width) {
    std::string spaced(utf8);
    std::replace_if(spaced.begin(), spaced.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
    const std::string flat = ForTerminal(spaced);
    if (DisplayWidth(flat) <= width) {
        return flat;
    }
    if (width == 0) {
        return std::string();
    }
    std::size_t kept = 0, at = 0;
    while (at < flat.size()) {
        if (StartsCharacter(static_cast<unsigned char>(flat[at]))) {
            if (kept == width - 1) {
                break;
            }
            ++kept;
        }
        ++at;
    }
    return flat.substr(0, at) + "\xE2\x80\xA6";
}

TextTable::TextTable(std::vector<std::string> headers) {
    for (std::string& header : headers) {
        columns_.push_back(Column{std::move(header)});
    }
}

void TextTable::AlignRight(std::size_t column) { columns_.at(column).right = true; }

void TextTable::LimitWidth(std::size_t column, std::size_t width) { columns_.at(column).limit = width; }

void TextTable::AddRow(std::vector<std::string> cells) {
    cells.resize(columns_.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i] = FitCell(cells[i], columns_[i].limit != 0 ? columns_[i].limit : std::string::npos);
    }
    rows_.push_back(std::move(cells));
}

std::string TextTable::Render() const {
    std::vector<std::size_t> widths;
    for (const Column& column : columns_) {
        widths.push_back(DisplayWidth(column.header));
    }
    for (const auto& row : rows_) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
        }
    }
    std::string out;
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::string padding(widths[i] - DisplayWidth(cells[i]), ' ');
            if (i > 0) {
                text += "  ";
            }
            text += columns_[i].right ? padding + cells[i] : cells[i] + (i + 1 < cells.size() ? padding : "");
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        out += text + '\n';
    };
    std::vector<std::string> headers, rules;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        headers.push_back(columns_[i].header);
        std::string rule;
        for (std::size_t k = 0; k < widths[i]; ++k) {
            rule += "\xE2\x94\x80";  // ─
        }
        rules.push_back(rule);
    }
    line(headers);
    line(rules);
    for (const auto& row : rows_) {
        line(row);
    }
    return out;
}

}  // namespace wertowik
