#include "host/report/table.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "host/base/terminal_text.h"

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
    std::replace_if(
        spaced.begin(), spaced.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
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

void TextTable::Shrinkable(std::size_t column) {
    columns_.at(column);
    shrinkable_.push_back(column);
}

std::size_t TerminalColumns() {
    winsize size{};
    if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    const char* columns = std::getenv("COLUMNS");
    if (columns != nullptr) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(columns, &end, 10);
        if (end != columns && *end == '\0' && value > 0 && value < 100000) {
            return value;
        }
    }
    return 0;
}

void TextTable::AddRow(std::vector<std::string> cells) {
    cells.resize(columns_.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i] = FitCell(cells[i], columns_[i].limit != 0 ? columns_[i].limit : std::string::npos);
    }
    rows_.push_back(std::move(cells));
}

std::string TextTable::Render(std::size_t width) const {
    std::vector<std::size_t> widths;
    for (const Column& column : columns_) {
        widths.push_back(DisplayWidth(column.header));
    }
    for (const auto& row : rows_) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
        }
    }
    // Too wide for the terminal: the shrinkable columns give up characters, in their order.
    std::size_t total = columns_.empty() ? 0 : 2 * (columns_.size() - 1);
    for (const std::size_t w : widths) {
        total += w;
    }
    std::vector<bool> cut(columns_.size(), false);
    for (const std::size_t column : shrinkable_) {
        if (width == 0 || total <= width) {
            break;
        }
        const std::size_t narrowest = std::max(kNarrowest, DisplayWidth(columns_[column].header));
        if (widths[column] <= narrowest) {
            continue;
        }
        const std::size_t spare = std::min(widths[column] - narrowest, total - width);
        widths[column] -= spare;
        total -= spare;
        cut[column] = true;
    }
    std::string out;
    auto line = [&](const std::vector<std::string>& given) {
        std::vector<std::string> cells = given;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (cut[i]) {
                cells[i] = FitCell(cells[i], widths[i]);
            }
        }
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
