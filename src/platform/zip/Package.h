#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::zip {

// Template and extension packages are zip archives. Extraction trusts nothing in them: the
// whole archive and every entry name are checked before anything is written, every file is
// written beside its target and renamed over it only once all of them are written, and a
// damaged or hostile package leaves the destination as it was. Failures raise
// qv::automation::Error naming the package: 53 for a missing package, 52 for an entry that is
// refused, 75 for a damaged package or one beyond the limits.

/// One member of a package, as the archive lists it: the name with "/" (or the "\" some
/// Windows tools write) between its levels, and the uncompressed size it declares.
struct PackageEntry {
    std::u16string name;
    std::uint64_t size = 0;
    bool isFolder = false;
};

/// Bounds that keep a small package from unpacking into a huge one.
struct ExtractLimits {
    std::uint64_t maxTotalBytes = std::uint64_t(1) << 30; ///< sum of the files' sizes
    std::uint64_t maxEntries = 20000;
};

/// The entries of a package in archive order. Raises when the package is missing or damaged.
std::vector<PackageEntry> ListPackage(std::u16string_view package);

/// Extracts every member of `package` into `destination` (created when missing) with the
/// package's own folder structure: files replace existing ones of the same name, folders are
/// created, and nothing else in `destination` is touched. Refused, before anything is written:
/// entries whose name climbs out ("..", an absolute path, a drive letter, "\" in their place),
/// links and other special files, device names (CON, NUL, COM1, ...), encrypted entries, a
/// name that is both a file and a folder, and packages beyond `limits`. A damaged entry found
/// while unpacking removes everything written so far.
void ExtractPackage(std::u16string_view package, std::u16string_view destination,
                    const ExtractLimits& limits = {});

} // namespace qv::zip
