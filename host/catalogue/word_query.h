// Texts people type, as queries of the catalogue's word indexes.
#pragma once

#include <string>
#include <string_view>

namespace wertowik {

// Letters and digits (any byte of a UTF-8 character beyond ASCII counts as one).
bool IsWordByte(unsigned char c);

// The words of the text as an FTS5 query: each word quoted (so that nothing in it is taken as
// query syntax; a word with punctuation inside becomes a phrase), all of them required. A word
// whose last part has three or more characters also matches as the start of a longer word;
// shorter ones match only whole words, since a one- or two-letter prefix reaches a large part of
// the index. Empty when the text holds no letter or digit.
std::string MatchExpression(std::string_view text);

// The words of the text as an FTS5 query of single whole terms, for an index that keeps no
// positions: each run of letters and digits of each word is a required word. (A prefix would make
// the index merge the rows of every word it begins before it could give the first one; the start of
// a name is found with a pattern.) Empty when the text holds no letter or digit.
std::string TermExpression(std::string_view text);

// Whether a text is a name pattern: it holds * or ?.
bool IsPattern(std::string_view text);

// What the word index can find of a name pattern such as "*.exe" or "setup*": every run of
// letters and digits that begins a word of the name (it stands at the start of the pattern or
// after a character that is no letter or digit) as a required word, or the start of one where a
// wildcard follows it. Empty when no run can be used: then every name must be looked at.
std::string PatternExpression(std::string_view pattern);

}  // namespace wertowik
