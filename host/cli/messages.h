// The host's own messages in the user's language, through gettext (text domain "wertowik"): Polish
// when the locale is Polish, English otherwise.
#pragma once

#include <string>

namespace wertowik {

// Reads the locale of messages from the environment and finds the catalogues of messages: in
// share/locale beside the program's folder once installed, in locale/ of the build tree.
void SetUpMessages();

// The message in the user's language (the text itself when it has no translation).
const char* Tr(const char* message);

}  // namespace wertowik
