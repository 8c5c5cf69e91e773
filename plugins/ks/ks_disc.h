// Komputer Świat cover discs: one catalogue entry per HTML program page of the disc's page folder.
// Shared by the Ekspert and the Twój Niezbędnik libraries, which differ only in what PageImport holds.
#pragma once

#include <span>
#include <string_view>

#include "contract/plugin.h"
#include "text/page_fields.h"

namespace wtk::ks_disc {

extern const FailureBox kRecognitionFailure;
extern const FailureBox kRegistrationFailure;

struct PageImport {
    // Begins the disc name; the issue and year digits of the label follow it.
    std::string_view discNamePrefix;
    // Lower-case names of the pages of the folder that describe no program; they are passed over.
    std::span<const std::string_view> nonProgramPages;
    // How the program pages are laid out.
    text::PageLayout layout;
};

// Writes the disc record and one entry for every program page, reporting progress per page.
void RegisterKsDisc(Registration& registration, const PageImport& import);

// A library for Komputer Świat discs: name is both the plug-in and the disc name; the disc test and
// the import are the library's own.
PluginDescriptor KsDiscPlugin(const char* name, const char* infoText, TRegisterAnswer (*recognise)(),
                              void (*registerDisc)(Registration&));

}  // namespace wtk::ks_disc
