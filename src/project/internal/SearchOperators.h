#pragma once

#include <cstdint>
#include <string>

namespace qv {

/// The search operators a field of the ADO data type `ftype` offers, joined by CRLF with none
/// at the end: "=" and "<>" for Booleans; the comparisons, BETWEEN, LIKE, NOT LIKE and STARTS
/// WITH for text; the comparisons and BETWEEN for every other type.
std::u16string GetSearchOperators(std::int32_t ftype);

/// The project's FldSrchOprs: "USER SELECT", CRLF, then GetSearchOperators(ftype).
std::u16string FldSrchOprs(std::int32_t ftype);

} // namespace qv
