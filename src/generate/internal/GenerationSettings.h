#pragma once

#include <string>

namespace qv {

class QoProperties;

/// The project settings the output steps of a generation run read (names, folders, overwrite
/// switches, style sheet and logo, upload and audit folders). The driver fills it from the
/// project's settings bag once per run; tests fill it directly.
struct GenerationSettings {
    std::u16string Destination;
    std::u16string AppRootFolder;
    std::u16string OutputNameType;
    std::u16string OutputNameExt;
    bool OutputNameLCase = false;
    bool OtherOverwrite = false;
    bool PromptOnOverwrite = false;
    std::u16string ProjName;
    std::u16string CssStyles;
    std::u16string CSS;
    std::u16string HeaderLogo;
    std::u16string UploadPath;
    std::u16string AuditTrailPath;
    /// The registry's backup preference ("BackupFile"): replaced files and folders first get a
    /// ".bak" copy.
    bool backupFile = false;

    /// The settings of the same names in `properties`; a missing or Empty one gives "" or False.
    static GenerationSettings FromProperties(const QoProperties& properties, bool backupFile);
};

} // namespace qv
