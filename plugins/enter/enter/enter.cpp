// The Enter library: its boxes belong to the host's active window.
#include "plugins/enter/enter_disc.h"

namespace wtk {

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin = enter_disc::EnterDiscPlugin<platform::BoxOwner::ActiveWindow>("Enter");
    return plugin;
}

}  // namespace wtk
