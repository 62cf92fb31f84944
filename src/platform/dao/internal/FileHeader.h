#pragma once

#include "platform/dao/Constants.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv::dao::internal {

/// What the header page (page 0) of an Access file says about the file.
struct FileHeader {
    FileFormat format = FileFormat::Jet4;
    std::size_t pageSize = 4096;
    std::uint16_t codePage = 0;    // of Jet 3 text; 0 when the header gives none
    std::uint32_t databaseKey = 0; // non-zero when the pages are encoded or encrypted
    /// The database password kept in the header; "" when the file has none. Jet 3 and Jet 4
    /// keep it masked, not encrypted, so it can be compared here.
    std::u16string password;
};

/// Bytes of page 0 that DecodeFileHeader reads.
inline constexpr std::size_t HeaderBytes = 0x98;

/// Decodes the header page; nullopt when the bytes are not the header of an Access file.
/// The header's region from 0x18 is masked with a fixed RC4 key stream; this undoes it.
std::optional<FileHeader> DecodeFileHeader(std::span<const unsigned char> page);

/// Reads and checks the file at `nativePath` (`path` is the name errors give) before anyone
/// parses it: it must be a regular file of whole pages with an Access header and a table
/// definition where the catalogue's starts. Raises automation::Error (FileNotFound,
/// UnrecognizedFormat, CannotOpenDatabase) with a description naming the file.
FileHeader ReadFileHeader(const std::string& nativePath, std::u16string_view path);

/// Raises NotValidPassword when the file keeps a password and `password` differs from it
/// (the comparison is exact: database passwords are case-sensitive), and CannotOpenDatabase
/// for an encrypted .accdb file, whose password only decryption could prove. A password given
/// for a file without one is ignored, as the engine ignores it.
void CheckPassword(const FileHeader& header, std::u16string_view password, std::u16string_view path);

/// The version text DAO reports for a format ("3.0", "4.0", "12.0", ...).
std::u16string FormatVersion(FileFormat format);

/// The RC4 key stream of `key` (4 bytes, little-endian), `length` bytes long: the header mask
/// uses key 0x6B39DAC7, the pages of an encoded Jet 4 file the database key XOR the page number.
std::string Rc4KeyStream(std::uint32_t key, std::size_t length);

} // namespace qv::dao::internal
