#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class ProjectServices;
class QelControl;

/// Turns templates into the page function "kqScriptEngine": literal text goes into an array of
/// string pieces, expressions and phrases are appended to the output variable, script blocks are
/// copied, and the function returns the output. The project object owns one, holding the
/// conversion state between calls, and forwards its members MergeControlTemplate,
/// ConvertTemplateToScript, CombineInputFiles and EvalScriptCode here.
class TemplateConversion {
public:
    explicit TemplateConversion(ProjectServices& services) : mServices(services) {}

    /// Merges the control's template files with its sessions (those whose condition holds),
    /// converts them and writes the page function to `outputFile`. A missing input file or a
    /// block error sets gProjErr and raises the generation error; on a block error the file
    /// holds the failing text and the message instead.
    void MergeControlTemplate(QelControl& control, std::u16string_view outputFile);
    /// Appends the script pieces of a template text to the conversion state. False, adding
    /// nothing, when the text does not parse (the parser's message is in gProjErr).
    bool ConvertTemplateToScript(std::u16string_view text);
    /// The path of one file holding the text of the ","-separated files of the list (names
    /// trimmed), found in the extension's folder or, without one, the template folder. A list
    /// of one name gives that file's path, which the caller checks; for a longer list a missing
    /// file sets gProjErr and raises the generation error.
    std::u16string CombineInputFiles(std::u16string_view fileList, std::u16string_view extensionName);
    /// Converts a template text and runs it on the expression engine (created for the call when
    /// there is none) after selecting the objects of `initType`: the text it produces. Never
    /// raises: a block error returns the input, a script error "" with gProjErr set.
    std::u16string EvalScriptCode(std::u16string_view text, std::int16_t initType);

    /// Empties the conversion state.
    void ResetState();
    /// The page function of the state so far.
    std::u16string FunctionText();

private:
    void FlushPendingOutput();
    /// The output expression of an "=" or "~" block: wrapped in the user's override function
    /// when the page engine has one and the system code does not wrap it already, otherwise one
    /// operand of the output chain (ConcatenationOperand).
    std::u16string Expression(const std::u16string& name) const;
    /// Writes the failing text and gProjErr to the output file, prefixes gProjErr with the
    /// template path and raises the generation error.
    [[noreturn]] void FailConversion(std::u16string_view templatePath, std::u16string_view outputFile,
                                     std::u16string_view failingText);
    [[noreturn]] void RaiseGenerationError();
    void StepSessionProgress();

    ProjectServices& mServices;
    std::int32_t mArrayCount = 0;
    std::u16string mArrayLines;
    std::u16string mPendingOutput; ///< pieces each beginning with " & ", not yet assigned
    std::u16string mBody;
};

} // namespace qv
