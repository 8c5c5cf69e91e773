// The pages, styles and script of the web view, compiled into the program.
#pragma once

#include <string_view>

namespace wertowik::web {

struct EmbeddedFile {
    std::string_view name;  // its name under pages/
    std::string_view bytes;
};

// The file of that name, or nothing (an empty name) when there is none.
EmbeddedFile PageFile(std::string_view name);

}  // namespace wertowik::web
