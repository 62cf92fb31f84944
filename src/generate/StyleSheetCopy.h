#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qv {

struct GenerationSettings;

/// What the style sheet step needs of the project: the template-expression engine and the
/// project's text-file writer (which picks the encoding).
struct StyleSheetServices {
    /// The text a style-sheet template gives once its blocks are evaluated; a failure sets
    /// gProjErr.
    std::function<std::u16string(std::u16string_view text)> evaluate;
    /// Writes a page-like text file, replacing it.
    std::function<void(std::u16string_view path, std::u16string_view text)> writeText;
};

/// Writes the project's style sheet "<ProjName>.css" (lower-cased with OutputNameLCase) from
/// the style-sheet template `cssTemplate` (the registry's "CssFile"; nothing without one) and
/// CssStyles, copies the style sheet CSS names and the logo HeaderLogo into the destination, each
/// through the overwrite decision (OtherOverwrite). In check-only mode returns 1 as soon as one
/// output exists, else 0. A write or copy that fails returns 1 with gProjErr set ("Copying to
/// file ... failed!"), as the copy controls report theirs.
std::int16_t CopyCssAndLogo(const GenerationSettings& settings, std::u16string_view cssTemplate,
                            const StyleSheetServices& services, bool checkOnly);

} // namespace qv
