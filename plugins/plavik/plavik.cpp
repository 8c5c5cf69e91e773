// The Enter Extra library: the Enter disc logic under its own names, boxes without an owner.
#include "plugins/enter/enter_disc.h"

namespace wtk {

namespace {

void RegisterDisc(Registration& registration) {
    enter_disc::RegisterEnterDisc(registration, platform::BoxOwner::None);
}

}  // namespace

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin{
        "Enter Extra",
        "Enter Extra",
        enter_disc::kInfoText,
        platform::BoxOwner::None,
        enter_disc::kRecognitionFailure,
        enter_disc::kRegistrationFailure,
        &enter_disc::RecogniseEnterDisc,
        &RegisterDisc,
        rrNoEntries,
    };
    return plugin;
}

}  // namespace wtk
