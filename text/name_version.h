// Splits a program title such as "Edytor v2.1" into its name and its version.
#pragma once

#include <string>
#include <string_view>

namespace wtk::text {

// Throws PluginError("Błąd przy rozdzielaniu nazwy") for an empty text, leaving both outputs
// untouched. The input is copied first, so it may alias name.
void SplitNameVersion(std::string_view text, std::string& name, std::string& version);

// The same split for a long run of titles, without copying what the rules leave as it stands: the
// name and version come back as views of the title, or of the splitter's own room where a rule
// changed them (a tag moved into the name, a version marker blanked). The views hold until the next
// Split; the title must not be a view of them. An empty title throws as SplitNameVersion does; when
// no room can be had, the notice of SplitNameVersion is shown and the title comes back whole as the
// name, with no version.
class NameVersionSplitter {
public:
    struct Parts {
        std::string_view name;
        std::string_view version;
    };
    Parts Split(std::string_view title);

private:
    std::string name_;
    std::string version_;
};

}  // namespace wtk::text
