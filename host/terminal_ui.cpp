#include "terminal_ui.h"

#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>

#include "cp1250.h"

namespace wertowik {

namespace {

constexpr uint32_t kYesNo = 4;
constexpr int32_t kOk = 1, kYes = 6, kNo = 7;

// The box's lines: the libraries separate them with CR.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    lines.push_back(line);
    return lines;
}

void PrintFramed(const BoxRecord& box) {
    const std::string caption = box.caption ? Cp1250ToUtf8(*box.caption) : std::string("Błąd");
    std::ostringstream out;
    out << "┌─ " << caption << '\n';
    for (const std::string& line : Lines(box.text)) {
        out << "│ " << Cp1250ToUtf8(line) << '\n';
    }
    out << "└─" << ((box.flags & 0x0F) == kYesNo ? " [Tak/Nie]" : " [OK]") << '\n';
    std::cerr << out.str() << std::flush;
}

int32_t AskOnTerminal() {
    if (!isatty(STDIN_FILENO)) {
        return kNo;
    }
    for (;;) {
        std::cerr << "Tak czy nie? [t/n] " << std::flush;
        std::string reply;
        if (!std::getline(std::cin, reply)) {
            return kNo;
        }
        if (reply == "t" || reply == "T" || reply == "y" || reply == "Y" || reply == "tak") {
            return kYes;
        }
        if (reply == "n" || reply == "N" || reply == "nie" || reply == "no") {
            return kNo;
        }
    }
}

}  // namespace

int32_t TerminalInterface::ShowBox(const BoxRecord& box) {
    const bool question = (box.flags & 0x0F) == kYesNo;
    if (!quiet_ || question) {
        PrintFramed(box);
    }
    if (!question) {
        return kOk;
    }
    switch (answer_) {
        case QuestionAnswer::Yes: return kYes;
        case QuestionAnswer::No: return kNo;
        case QuestionAnswer::Ask: return AskOnTerminal();
    }
    return kNo;
}

void TerminalInterface::OpenFile(const OpenRecord& request) {
    if (!quiet_) {
        std::cerr << "open (" << Cp1250ToUtf8(request.verb) << "): " << Cp1250ToUtf8(request.file) << '\n';
    }
}

}  // namespace wertowik
