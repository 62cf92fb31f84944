#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace qv {

/// Upgrades a project file written by an older version of the library. Registered per
/// apartment by a host that has one; without it, nothing is converted and the original file
/// is read as it is.
class ProjectFileConverter {
public:
    virtual ~ProjectFileConverter() = default;

    /// The path of the converted file for `projFile`, given the page language and the
    /// library's own version; "" or a path that does not parse means "no conversion".
    virtual std::u16string ConvertProject(std::u16string_view projFile, std::u16string_view language,
                                          std::u16string_view version) = 0;
};

/// Registers the apartment's converter (nullptr goes back to converting nothing).
void RegisterProjectFileConverter(std::unique_ptr<ProjectFileConverter> converter);
/// The apartment's converter: the registered one, or one that converts nothing.
ProjectFileConverter& CurrentProjectFileConverter();

} // namespace qv
