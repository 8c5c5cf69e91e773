// Text from a disc, a catalogue or the file system on its way to a terminal. A disc's names and
// descriptions are not to be trusted: an escape sequence in them would let the disc set the
// window title, write the clipboard, erase lines or answer into the shell's input. Every such text
// passes ForTerminal before it is printed; JSON keeps the exact text, with the same characters
// written as \u escapes (JsonText).
#pragma once

#include <string>
#include <string_view>

namespace wertowik {

// Whether a code point steers the terminal or shows nothing: C0 and C1 controls, DEL, the line and
// paragraph separators, the marks and overrides of writing direction, zero-width characters, the
// byte order mark, interlinear annotation, tags, and the noncharacters U+FFFE and U+FFFF.
bool IsNonPrinting(char32_t code);

// The text with every such character made visible, so that it prints as one line of the letters
// it holds: \n, \r and \t for those three, \xHH for the other C0 controls, DEL and every byte that
// is not part of well-formed UTF-8, \uHHHH (or \UHHHHHHHH) for the other code points. The rest of
// the text, backslashes included, is kept as it is.
std::string ForTerminal(std::string_view text);

// A JSON text with the non-printing characters that JSON leaves raw (DEL, C1 controls, the
// others above) written as \u escapes: the same value, safe to show on a terminal. Such a
// character can stand only inside a string of valid JSON, where an escape means the same.
std::string EscapeNonPrintingInJson(std::string_view json);

}  // namespace wertowik
