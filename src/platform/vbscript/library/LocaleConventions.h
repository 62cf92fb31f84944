#pragma once

#include "platform/automation/Locale.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::vbscript::library {

using automation::LocaleConventions;

/// The conventions of the automation layer's current locale.
const LocaleConventions& CurrentConventions() noexcept;

/// The short date ("M/d/yyyy") and long time ("h:mm:ss tt") patterns of a locale, as the
/// automation layer writes dates.
std::u16string ShortDatePattern(const automation::LocaleInfo& locale);
std::u16string LongTimePattern(const automation::LocaleInfo& locale);

} // namespace qv::vbscript::library
