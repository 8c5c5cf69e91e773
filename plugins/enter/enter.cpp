// The Enter library: its boxes belong to the host's active window.
#include "enter_disc.h"

namespace wtk {

namespace {

void RegisterDisc(Registration& registration) {
    enter_disc::RegisterEnterDisc(registration, platform::BoxOwner::ActiveWindow);
}

}  // namespace

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin{
        "Enter",
        "Enter",
        enter_disc::kInfoText,
        platform::BoxOwner::ActiveWindow,
        enter_disc::kRecognitionFailure,
        enter_disc::kRegistrationFailure,
        &enter_disc::RecogniseEnterDisc,
        &RegisterDisc,
        rrNoEntries,
    };
    return plugin;
}

}  // namespace wtk
