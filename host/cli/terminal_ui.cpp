#include "host/cli/terminal_ui.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>

#include "host/base/cp1250.h"
#include "host/base/terminal_text.h"
#include "host/modules/viewer.h"

namespace wertowik {

namespace {

constexpr uint32_t kYesNo = 4;
constexpr int32_t kOk = 1, kYes = 6, kNo = 7;
constexpr int kBarWidth = 30;
// The bar is redrawn at most this often, however often the library reports.
constexpr std::chrono::milliseconds kRedrawEvery{100};

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
    const std::string caption = box.caption ? ForTerminal(Cp1250ToUtf8(*box.caption)) : std::string("Błąd");
    std::ostringstream out;
    out << "┌─ " << caption << '\n';
    for (const std::string& line : Lines(box.text)) {
        out << "│ " << ForTerminal(Cp1250ToUtf8(line)) << '\n';
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
    // Quiet: only a question that is really asked is shown.
    if (!quiet_ || (question && answer_ == QuestionAnswer::Ask)) {
        ClearBar();
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

void TerminalInterface::OpenFile(const OpenRecord& request, Drive* drive) {
    ClearBar();
    const std::string said = OpenWithViewer(request, drive);
    if (!quiet_) {
        std::cerr << ForTerminal(said) << '\n';
    }
}

void TerminalInterface::SetProgressTitle(std::string_view title) { title_ = ForTerminal(title); }

void TerminalInterface::Show(int32_t percent) {
    // Called for every report, perhaps a million times: only a changed percentage costs more than
    // a comparison, and only a redraw that is due costs a write.
    if (!progressBar_ || quiet_ || percent == percent_) {
        return;
    }
    percent_ = percent;
    const auto now = std::chrono::steady_clock::now();
    if (barShown_ && percent < 100 && now - drawnAt_ < kRedrawEvery) {
        return;
    }
    drawnAt_ = now;
    DrawBar();
}

void TerminalInterface::Finish() {
    ClearBar();
    percent_ = -1;
}

void TerminalInterface::DrawBar() {
    const int32_t shown = std::clamp<int32_t>(percent_, 0, 100);
    const int filled = shown * kBarWidth / 100;
    std::string bar = "\r[";
    for (int i = 0; i < kBarWidth; ++i) {
        bar += i < filled ? "#" : ".";
    }
    bar += "] " + std::to_string(shown) + "% " + title_ + "\x1b[K";
    std::cerr << bar << std::flush;
    barShown_ = true;
}

void TerminalInterface::ClearBar() {
    if (barShown_) {
        std::cerr << "\r\x1b[K" << std::flush;
        barShown_ = false;
    }
}

}  // namespace wertowik
