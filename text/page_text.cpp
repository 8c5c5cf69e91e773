#include "page_text.h"

namespace wtk::text {

namespace {

std::string_view UpToNul(std::string_view bytes) {
    const std::size_t nul = bytes.find('\0');
    return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
}

// Calls emit(line) for each line of the text, breaking at CR LF, CR or LF.
template <typename Emit>
void ForEachLine(std::string_view text, Emit emit) {
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            emit(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) {
        emit(text.substr(start));
    }
}

}  // namespace

std::vector<std::string> SplitTextLines(std::string_view bytes) {
    std::vector<std::string> lines;
    ForEachLine(UpToNul(bytes), [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

std::string PageText(std::string_view bytes) {
    const std::string_view text = UpToNul(bytes);
    std::string page;
    page.reserve(text.size() + text.size() / 16 + 2);
    ForEachLine(text, [&](std::string_view line) {
        page.append(line);
        page.append("\r\n");
    });
    return page;
}

}  // namespace wtk::text
