#pragma once

#include "platform/dao/Database.h"

#include <optional>
#include <string>
#include <string_view>

namespace qv::dao::internal {

/// The contents of a database as bytes, to carry them out of the reader process.
std::string EncodeContents(const Database::Contents& contents);

/// The contents back from EncodeContents' bytes; nullopt when the bytes are not a whole
/// encoding (the reader died while writing them).
std::optional<Database::Contents> DecodeContents(std::string_view bytes);

} // namespace qv::dao::internal
