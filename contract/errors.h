// The one error type that travels inside a plug-in; the export frames catch it (and anything else).
#pragma once

#include <stdexcept>
#include <string>

namespace wtk {

class PluginError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace wtk
