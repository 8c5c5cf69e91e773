// The licence kind of a program page.
#pragma once

#include <string_view>

#include "contract/records.h"

namespace wtk::text {

// Maps one licence word (compared whole, after lower-casing A to Z) to its code.
TLicenceKind ClassifyLicence(std::string_view word);

// Finds the word after "licencja_text>" on a page text and classifies it.
TLicenceKind ExtractLicenceKind(std::string_view page);

}  // namespace wtk::text
