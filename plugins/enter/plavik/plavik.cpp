// The Enter Extra library: the Enter disc logic under its own names, boxes without an owner.
#include "plugins/enter/enter_disc.h"

namespace wtk {

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin = enter_disc::EnterDiscPlugin<platform::BoxOwner::None>("Enter Extra");
    return plugin;
}

}  // namespace wtk
