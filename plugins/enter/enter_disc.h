// Enter cover discs: recognised by the volume label alone, registered without a program list,
// with an offer to open the disc's own contents page. Shared by the Enter and Enter Extra libraries.
#pragma once

#include "contract/plugin.h"

namespace wtk::enter_disc {

extern const char kInfoText[];
extern const FailureBox kRecognitionFailure;
extern const FailureBox kRegistrationFailure;

// raDiscOnly for a disc labelled exactly "enter", raNotMine otherwise.
TRegisterAnswer RecogniseEnterDisc();

// Writes the disc record named "Enter" and offers to open the contents page; boxes go to owner.
void RegisterEnterDisc(Registration& registration, platform::BoxOwner owner);

template <platform::BoxOwner Owner>
void RegisterEnterDiscOwnedBy(Registration& registration) {
    RegisterEnterDisc(registration, Owner);
}

// A library for Enter discs under the given plug-in and disc name, its boxes going to Owner.
template <platform::BoxOwner Owner>
PluginDescriptor EnterDiscPlugin(const char* name) {
    return PluginDescriptor{
        name,
        name,
        kInfoText,
        Owner,
        kRecognitionFailure,
        kRegistrationFailure,
        &RecogniseEnterDisc,
        &RegisterEnterDiscOwnedBy<Owner>,
        rrNoEntries,
    };
}

}  // namespace wtk::enter_disc
