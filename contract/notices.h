// A box shown from inside a routine that goes on afterwards, for the shared text routines, which
// know nothing of how a library reaches the user.
#pragma once

namespace wtk {

// A modal box with the system's default caption, no owner window, an OK button and the
// exclamation icon. Never throws.
void ShowExclamationNotice(const char* text) noexcept;

}  // namespace wtk
