#pragma once

#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// What the template engine asks of a hosted script engine: the page engine and the expression
/// engine of the apartment (TemplateState). An automation object, so that scripts may hold it
/// too. No member raises: failures are left in gProjErr.
class ScriptHost : public automation::Object {
public:
    /// Sets the engine up afresh with its named objects "PROJ", "DB", "Controls", "LANG",
    /// "MASTERDETAILS" and "CUSTOMSCRIPTS" (and its own "SCRPT") and loads its modules. The
    /// arguments are by reference: the engine may replace them and the caller takes them back.
    virtual void Initialize(automation::Variant& proj, automation::Variant& db, automation::Variant& controls,
                            automation::Variant& lang, automation::Variant& masterdetails,
                            automation::Variant& customscripts) = 0;
    /// Whether `sModule` (letter case ignored) is a system function open to a user override.
    virtual bool ModuleExist(std::u16string_view sModule) = 0;
    /// Whether `sModule` (letter case ignored) is a procedure of the user code.
    virtual bool UserModuleExist(std::u16string_view sModule) = 0;
    /// Runs the system function `module` and returns its result; `str` when it is none.
    virtual automation::Variant BuildCode(std::u16string_view module, const automation::Variant& str) = 0;
    /// Adds a page function "kqScriptEngine", selects the current objects by `bInitType` (through
    /// "LoadCurrent") and runs it within `lTimeout` milliseconds: the page text, or "" with the
    /// error in gProjErr.
    virtual std::u16string BuildNewCode(std::u16string_view str, std::int16_t bInitType,
                                        std::int32_t lTimeout) = 0;
    /// Whether the last BuildNewCode that left an error failed in the engine (a syntax or runtime
    /// error of the page's code, a time-out), rather than stopped by the template code itself
    /// through PROJ.ProjErr, which speaks of the project and the package, not of the page.
    virtual bool LastBuildFailedInEngine() const { return true; }
    /// Drops the engine's modules and named objects.
    virtual void Reset() = 0;
};

/// Whether template code has reported a failure. Template scripts stop a generation by setting
/// the project's error text (PROJ.ProjErr), and the engines leave their own failures there too:
/// asked right after a script has run, this is the one place below the public members that
/// reads that text.
bool ScriptReportedError() noexcept;

} // namespace qv
