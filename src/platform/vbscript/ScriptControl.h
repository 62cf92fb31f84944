#pragma once

#include "platform/automation/Object.h"
#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::vbscript {

class Interpreter;
class ScriptControl;

/// The error number and text of an expired time-out. It is not a runtime error: On Error
/// Resume Next cannot catch it.
inline constexpr std::int32_t TimeoutErrorNumber = static_cast<std::int32_t>(0x80040190u);
inline constexpr std::u16string_view TimeoutErrorText = u"Script execution timed out";

/// The last error of a script control: what failed, in which line and column (both 1-based) of
/// the code it was given, and the text of that line. Number 0 means no error.
struct ScriptError {
    std::int32_t number = 0;
    std::u16string description;
    std::u16string source; // "VBScript compilation error", "VBScript runtime error" or a host's
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::u16string text;

    bool IsSet() const noexcept { return number != 0; }
};

/// A code module of a script control, by name. Cheap to copy; valid until the control is reset.
class ScriptModule {
public:
    const std::u16string& Name() const noexcept { return mName; }
    /// Compiles the code into the module and runs its top-level statements at once.
    void AddCode(std::u16string_view code) const;
    /// Runs a procedure of the module by name and returns its value (Empty for a Sub).
    automation::Variant Run(std::u16string_view procedure, std::span<automation::Variant> args = {}) const;
    /// The names of the module's procedures, in the order they were first defined.
    std::vector<std::u16string> ProcedureNames() const;
    automation::Variant Eval(std::u16string_view expression) const;
    void ExecuteStatement(std::u16string_view statement) const;

private:
    friend class ScriptControl;
    ScriptModule(ScriptControl& control, std::u16string name) : mControl(&control), mName(std::move(name)) {}
    ScriptControl* mControl;
    std::u16string mName;
};

/// The script control: a VBScript engine with named objects, code modules, procedures run by
/// name, the last error and a time-out. The module "Global" always exists; other modules see
/// its names, and every module sees the named objects. A failing call records Error() and raises
/// an automation::Error carrying the engine's number, source and description.
class ScriptControl {
public:
    static constexpr std::u16string_view GlobalModuleName = u"Global";

    ScriptControl();
    ~ScriptControl();
    ScriptControl(const ScriptControl&) = delete;
    ScriptControl& operator=(const ScriptControl&) = delete;

    /// "VBScript", the only language there is; setting another raises 5.
    const std::u16string& Language() const noexcept { return mLanguage; }
    void SetLanguage(std::u16string_view language);

    /// Drops modules (a fresh "Global" remains), named objects, globals and code, and the error.
    /// Objects the scripts still hold are released first and their Class_Terminate runs, as it
    /// also does when the control is destroyed. A host whose objects throw exceptions of their
    /// own (not automation::Error) resets before it destroys the control. The terminators run in
    /// what the last run left of its time-out; when it stops them the reset is still complete
    /// and then raises the time-out's error.
    void Reset();

    /// Makes `object` visible to every module as `name`; with `addMembers` its members are
    /// globals as well. A name added twice raises 457.
    void AddObject(std::u16string_view name, automation::Ref<automation::Object> object,
                   bool addMembers = false);

    /// Adds a module, or returns the one of that name (names ignore letter case).
    ScriptModule AddModule(std::u16string_view name);
    /// The module of that name; raises 9 when there is none.
    ScriptModule Module(std::u16string_view name);
    bool HasModule(std::u16string_view name) const;
    std::vector<std::u16string> ModuleNames() const;

    void AddCode(std::u16string_view module, std::u16string_view code);
    automation::Variant Run(std::u16string_view module, std::u16string_view procedure,
                            std::span<automation::Variant> args = {});
    std::vector<std::u16string> ProcedureNames(std::u16string_view module) const;
    /// The value of an expression in the module's scope.
    automation::Variant Eval(std::u16string_view module, std::u16string_view expression);
    /// Runs statements in the module's scope (procedures they define stay).
    void ExecuteStatement(std::u16string_view module, std::u16string_view statement);

    /// The last error; cleared by the next successful call of AddCode, Run, Eval or
    /// ExecuteStatement.
    const ScriptError& Error() const noexcept { return mError; }
    void ClearError() noexcept { mError = ScriptError{}; }

    /// Milliseconds a call may run; 0 or less means no limit. An expired time-out stops the
    /// script whatever its On Error says.
    std::int32_t Timeout() const noexcept { return mTimeout; }
    void SetTimeout(std::int32_t milliseconds);

    /// Bytes the scripts may hold while the control runs them (what their strings and arrays
    /// charge, and every heap block taken meanwhile); beyond it a script gets error 7 "Out of
    /// memory" instead of exhausting the host. Defaults to
    /// automation::DefaultMemoryCeiling(); 0 restores the default.
    std::size_t MemoryCeiling() const noexcept;
    void SetMemoryCeiling(std::size_t bytes);

private:
    template <class Call> auto Guarded(Call&& call) -> decltype(call());

    std::unique_ptr<Interpreter> mInterpreter;
    std::u16string mLanguage = u"VBScript";
    std::int32_t mTimeout = 0;
    ScriptError mError;
};

} // namespace qv::vbscript
