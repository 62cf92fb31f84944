#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct GenerationSettings;
struct OutputTally;

/// What the style sheet step needs of the project: the template-expression engine and the
/// project's text-file writer (which picks the encoding).
struct StyleSheetServices {
    /// The text a style-sheet template gives once its blocks are evaluated; a failure sets
    /// gProjErr.
    std::function<std::u16string(std::u16string_view text)> evaluate;
    /// The bytes the project's text-file writer writes for a page-like text.
    std::function<std::string(std::u16string_view text)> fileBytes;
};

/// Writes the project's style sheet "<ProjName>.css" (lower-cased with OutputNameLCase) from
/// the style-sheet template `cssTemplate` (the registry's "CssFile"; nothing without one) and
/// CssStyles, copies the style sheet CSS names and the logo HeaderLogo into the destination, each
/// through the overwrite decision (OtherOverwrite) unless it would come out the same, and counts
/// each in `tally` when given. In check-only mode returns 1 as soon as one output exists, else 0.
/// A write or copy that fails, or a style-sheet template whose code fails, gives nullopt with
/// gProjErr set ("Copying to file ... failed!" for a copy), as the copy controls report theirs.
std::optional<std::int16_t> CopyCssAndLogo(const GenerationSettings& settings,
                                           std::u16string_view cssTemplate,
                                           const StyleSheetServices& services, bool checkOnly,
                                           OutputTally* tally = nullptr);

} // namespace qv
