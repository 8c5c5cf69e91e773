// The Enter library: its boxes belong to the host's active window.
#include "enter_disc.h"

namespace wtk {

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin = enter_disc::EnterDiscPlugin<platform::BoxOwner::ActiveWindow>("Enter");
    return plugin;
}

}  // namespace wtk
