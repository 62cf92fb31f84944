#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::dao::internal {

/// Raises the engine's error `number` (see ErrorNumber) about the database file `path`, with
/// the engine's own wording and, where it helps, the reason found ("" for none).
[[noreturn]] void RaiseFileError(std::int32_t number, std::u16string_view path,
                                 std::u16string_view reason = {});

} // namespace qv::dao::internal
