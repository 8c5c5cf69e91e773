#include "host/base/errors.h"

#include <cerrno>
#include <iostream>

#include "host/base/terminal_text.h"

namespace wertowik {

int WriteFailureCode(int error) {
    return error == ENOSPC || error == EDQUOT || error == EIO || error == EFBIG ? kExitIoError : kExitCantCreate;
}

void TellError(std::string_view line) { std::cerr << "wertowik: " << line << '\n'; }

int TellCurrentError() {
    try {
        throw;
    } catch (const HostError& problem) {
        // Messages name paths and texts of the disc: shown on one line, nothing in them steering the terminal.
        TellError(ForTerminal(problem.what()));
        return problem.code();
    } catch (const std::exception& problem) {
        TellError(ForTerminal(problem.what()));
        return kExitSoftware;
    }
}

}  // namespace wertowik
