// The PC World Komputer library: answers the whole contract and claims no disc.
#include "contract/exports.h"
#include "contract/plugin.h"

namespace wtk {

namespace {

// Set by Cancel; nothing reads it.
bool CancelRequested = false;

TRegisterAnswer Recognise() { return raNotMine; }

}  // namespace

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin{
        "VEXLO[nie obsługiwane]",
        "VEXLO",
        "Wtyczka do programu Wertowik\rObsługuje płyty magazynu PC World Komputer",
        platform::BoxOwner::None,
        FailureBox{},
        FailureBox{"Wystąpił błąd. Proszę skontaktować się z autorem.", platform::mbOk},
        &Recognise,
        nullptr,
        rrNoEntries,
    };
    return plugin;
}

}  // namespace wtk

extern "C" WTK_EXPORT void Cancel(void) { wtk::CancelRequested = true; }
