#pragma once

#include "generate/internal/RunStop.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qv {

class QelCache;

/// What the cache says of a file of the run.
enum class CacheVerdict {
    Missing,     ///< the file does not exist
    Same,        ///< recorded with the same modification time and size
    Changed,     ///< recorded with another modification time or size
    NotRecorded, ///< not in the cache
};

/// The cache's verdict on the file's modification time and size under the group and key.
CacheVerdict CheckFileCache(QelCache& cache, std::u16string_view group, std::u16string_view key,
                            std::u16string_view file);

/// Records the file's modification time and size in the cache under the group and key.
void RecordFileInCache(QelCache& cache, std::u16string_view group, std::u16string_view key,
                       std::u16string_view file);

/// An extension of the project and the package it comes from.
struct ExtensionPackage {
    std::u16string name;
    std::u16string package;
};

/// What the package step did.
struct PreparedPackages {
    bool templateExtracted = false;
    /// The user chose to keep a changed template's old extraction: its cache entry must stay
    /// unrecorded so that the next run asks again.
    bool templateKept = false;
    bool extensionsChanged = false;
};

/// Extracts the template package into the template folder and each extension's package into
/// its folder under the extensions folder where the cache says they changed, asking the host
/// whether to keep a changed template's old extraction. A package the cache finds unchanged
/// whose work folder is gone or empty is extracted again. A missing package stops the run; a
/// damaged or hostile one raises.
std::variant<PreparedPackages, RunStop> PreparePackages(QelCache& cache, std::u16string_view templatePackage,
                                                        const std::vector<ExtensionPackage>& extensions);

/// Records the packages the run used: the template (unless the user kept an old extraction) and
/// every extension.
void RecordPackages(QelCache& cache, std::u16string_view templatePackage,
                    const std::vector<ExtensionPackage>& extensions, const PreparedPackages& prepared);

} // namespace qv
