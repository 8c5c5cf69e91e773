// Handing a file that a library asked to open (Enter's contents page) to the system's viewer.
//
// The viewer is `xdg-open`, started only when standard error is a terminal, so that scripts and
// tests never start one. WERTOWIK_OPEN_COMMAND names another program to start instead (also
// without a terminal), and WERTOWIK_NO_OPEN=1 opens nothing at all. A file on an image is first
// copied to a private temporary folder, which is left for the viewer to read.
#pragma once

#include <string>

#include "host/discs/drive.h"
#include "host/modules/session.h"

namespace wertowik {

// Opens the file if it may and returns one line that says what happened.
std::string OpenWithViewer(const OpenRecord& request, Drive* drive);

// Opens a web address in the browser (xdg-open, or WERTOWIK_OPEN_COMMAND) unless WERTOWIK_NO_OPEN
// is set, without waiting for it; returns one line that says what happened.
std::string OpenAddress(const std::string& url);

}  // namespace wertowik
