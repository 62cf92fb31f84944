#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

struct GenerationSettings;
struct OutputTally;

/// What the database copy reads of the project's database.
struct DatabaseFileInfo {
    std::u16string DBType;    ///< "ACCESS" copies DBPhyPath
    std::u16string DBPath;    ///< the database's folder relative to the application root
    std::u16string DBPhyPath; ///< the Access file
    std::u16string DBConnstr; ///< a SQL Server Express string names its file by AttachDbFilename
};

/// Creates the site's upload and audit-trail folders and copies the project's database file
/// (an Access file, or a SQL Server Express file with its log) into the site, asking where the
/// target folder is missing or the target exists and differs (a target that already holds the
/// same bytes, log file included, is left alone and not asked about). In check-only mode returns
/// 1 when the target exists, else 0. A failed copy gives nullopt with gProjErr set; a Cancel
/// ends the run (error -1). The copy is counted in `tally` when given, and so is a site folder
/// that a file stands in the place of: that is shown, counted as failed and left as it is.
std::optional<std::int16_t> CopyDatabase(const GenerationSettings& settings, const DatabaseFileInfo& database,
                                         bool checkOnly, OutputTally* tally = nullptr);

} // namespace qv
