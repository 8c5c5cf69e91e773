// Splits a program title such as "Edytor v2.1" into its name and its version.
#pragma once

#include <string>
#include <string_view>

namespace wtk::text {

// Throws PluginError("Błąd przy rozdzielaniu nazwy") for an empty text, leaving both outputs
// untouched. The input is copied first, so it may alias name.
void SplitNameVersion(std::string_view text, std::string& name, std::string& version);

}  // namespace wtk::text
