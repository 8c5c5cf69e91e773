#include "host/catalogue/word_query.h"

#include <algorithm>

#include "host/base/text_fold.h"
#include "host/catalogue/catalogue.h"

namespace wertowik {

bool IsWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
}

namespace {

// Characters in the last run of letters and digits of a word: what a trailing * would extend.
std::size_t LastTokenLength(std::string_view word) {
    std::size_t length = 0;
    for (char c : word) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (!IsWordByte(byte)) {
            length = 0;
        } else if ((byte & 0xC0) != 0x80) {
            ++length;
        }
    }
    return length;
}

void AppendQuoted(std::string& expression, std::string_view word, bool prefix) {
    if (!expression.empty()) {
        expression += ' ';
    }
    expression += '"';
    for (char c : word) {
        expression += c;
        if (c == '"') {
            expression += '"';
        }
    }
    expression += prefix ? "\"*" : "\"";
}

}  // namespace

std::string MatchExpression(std::string_view text) {
    constexpr std::size_t kShortestPrefix = 3;
    const std::string folded = FoldStrokes(text);
    std::string expression;
    std::size_t at = 0;
    while (at < folded.size()) {
        const std::size_t start = folded.find_first_not_of(" \t\r\n", at);
        if (start == std::string::npos) {
            break;
        }
        std::size_t end = folded.find_first_of(" \t\r\n", start);
        if (end == std::string::npos) {
            end = folded.size();
        }
        const std::string_view word = std::string_view(folded).substr(start, end - start);
        at = end;
        if (std::none_of(word.begin(), word.end(), [](char c) { return IsWordByte(static_cast<unsigned char>(c)); })) {
            continue;
        }
        AppendQuoted(expression, word, LastTokenLength(word) >= kShortestPrefix);
    }
    return expression;
}

namespace {

// Calls run(start, end) for each run of letters and digits of the folded text.
template <typename Run>
void ForEachRun(const std::string& folded, Run run) {
    std::size_t at = 0;
    while (at < folded.size()) {
        if (!IsWordByte(static_cast<unsigned char>(folded[at]))) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < folded.size() && IsWordByte(static_cast<unsigned char>(folded[end]))) {
            ++end;
        }
        run(at, end);
        at = end;
    }
}

bool IsWildcard(char c) { return c == '*' || c == '?'; }

}  // namespace

std::string TermExpression(std::string_view text) {
    const std::string folded = FoldStrokes(text);
    std::string expression;
    ForEachRun(folded, [&](std::size_t start, std::size_t end) {
        AppendQuoted(expression, std::string_view(folded).substr(start, end - start), false);
    });
    return expression;
}

bool IsPattern(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

std::string PatternExpression(std::string_view pattern) {
    const std::string folded = FoldStrokes(pattern);
    std::string expression;
    ForEachRun(folded, [&](std::size_t start, std::size_t end) {
        if (start == 0 || !IsWildcard(folded[start - 1])) {
            const bool endsWord = end == folded.size() || !IsWildcard(folded[end]);
            AppendQuoted(expression, std::string_view(folded).substr(start, end - start), !endsWord);
        }
    });
    return expression;
}

}  // namespace wertowik
