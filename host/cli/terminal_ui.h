// Message boxes on the terminal: framed text on standard error, questions answered by
// --yes / --no, or asked when standard input is a terminal (No when it is not). Also the
// registration's progress bar, and pages handed to the system's viewer.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "host/modules/registration.h"
#include "host/modules/session.h"

namespace wertowik {

enum class QuestionAnswer { Ask, Yes, No };

class TerminalInterface final : public UserInterface, public ProgressDisplay {
public:
    // progressBar: draw the progress on standard error (meant for when it is a terminal).
    TerminalInterface(QuestionAnswer answer, bool quiet, bool progressBar = false)
        : answer_(answer), quiet_(quiet), progressBar_(progressBar) {}
    int32_t ShowBox(const BoxRecord& box) override;
    void OpenFile(const OpenRecord& request, Drive* drive) override;

    // What the bar says after the percentage.
    void SetProgressTitle(std::string_view title);
    void Show(int32_t percent) override;
    void Finish() override;

private:
    void DrawBar();
    void ClearBar();

    QuestionAnswer answer_;
    bool quiet_;
    bool progressBar_;
    std::string title_;
    int32_t percent_ = -1;
    bool barShown_ = false;
    std::chrono::steady_clock::time_point drawnAt_{};
};

}  // namespace wertowik
