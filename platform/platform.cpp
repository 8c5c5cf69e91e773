#include "platform.h"

#include "text/page_text.h"

namespace wtk::platform {

std::vector<std::string> Platform::ReadTextLines(const std::string& path) {
    return text::SplitTextLines(ReadWholeFile(path)->View());
}

}  // namespace wtk::platform
