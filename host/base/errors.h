// Exit codes of wertowik and the error that carries one to main.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace wertowik {

// Exit codes: 0 to 2 tell how a registration went, 64 and above are usage or host errors.
enum : int {
    kExitRegistered = 0,
    kExitNotClaimed = 1,
    kExitFailed = 2,
    kExitUsage = 64,
    kExitDataError = 65,    // bad input data: not a disc image, not a catalogue, no such disc
    kExitNoInput = 66,      // a file or folder that is not there
    kExitUnavailable = 69,  // a module of wertowik itself that is not installed
    kExitSoftware = 70,     // an internal fault, or a library that wrote malformed streams
    kExitCantCreate = 73,   // cannot create a file, or the catalogue has no free disc identifier
    kExitIoError = 74,
    kExitBusy = 75,          // the catalogue stayed locked by another process
    kExitNoPermission = 77,  // a read-only catalogue
};

// The exit code of a file that could not be written for the system's reason error: a full disk, a
// quota or the device failing is an I/O error (74), anything else keeps the file from being made (73).
int WriteFailureCode(int error);

// A usage or host error: one line for the user and the exit code.
class HostError : public std::runtime_error {
public:
    HostError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// Writes one line on standard error as "wertowik: LINE": every complaint of the program starts
// with its name. The line is written as given; a text from a disc or the user passes ForTerminal
// first.
void TellError(std::string_view line);

// Tells the exception being handled on standard error, as one "wertowik: " line, and gives the
// exit status it stands for: a HostError's own code, kExitSoftware for any other. Call it only
// inside a catch block.
int TellCurrentError();

}  // namespace wertowik
