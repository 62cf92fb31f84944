#pragma once

#include <string>
#include <string_view>

namespace qv::system {

/// The SHA-256 digest of `bytes` as 64 lower-case hexadecimal digits: a name for a file's
/// contents that two different contents never share in practice, also when one of them was
/// made to look like the other.
std::string Sha256Hex(std::string_view bytes);

} // namespace qv::system
