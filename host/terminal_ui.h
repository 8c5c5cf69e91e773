// Message boxes on the terminal: framed text on standard error, questions answered by
// --yes / --no, or asked when standard input is a terminal (No when it is not).
#pragma once

#include "session.h"

namespace wertowik {

enum class QuestionAnswer { Ask, Yes, No };

class TerminalInterface final : public UserInterface {
public:
    TerminalInterface(QuestionAnswer answer, bool quiet) : answer_(answer), quiet_(quiet) {}
    int32_t ShowBox(const BoxRecord& box) override;
    void OpenFile(const OpenRecord& request) override;

private:
    QuestionAnswer answer_;
    bool quiet_;
};

}  // namespace wertowik
