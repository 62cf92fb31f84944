#include "platform/vbscript/ScriptControl.h"

#include "platform/vbscript/internal/Interpreter.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <new>

namespace qv::vbscript {

using automation::Raise;
using automation::Variant;
namespace ErrorNumber = automation::ErrorNumber;

void ScriptModule::AddCode(std::u16string_view code) const {
    mControl->AddCode(mName, code);
}

Variant ScriptModule::Run(std::u16string_view procedure, std::span<Variant> args) const {
    return mControl->Run(mName, procedure, args);
}

std::vector<std::u16string> ScriptModule::ProcedureNames() const {
    return mControl->ProcedureNames(mName);
}

Variant ScriptModule::Eval(std::u16string_view expression) const {
    return mControl->Eval(mName, expression);
}

void ScriptModule::ExecuteStatement(std::u16string_view statement) const {
    mControl->ExecuteStatement(mName, statement);
}

ScriptControl::ScriptControl() : mInterpreter(std::make_unique<Interpreter>()) {}

ScriptControl::~ScriptControl() = default;

// Runs one operation of the control: success clears the error record, a failure fills it from
// the engine (where it happened) and raises it again for the caller.
template <class Call> auto ScriptControl::Guarded(Call&& call) -> decltype(call()) {
    try {
        if constexpr (std::is_void_v<decltype(call())>) {
            call();
            mError = ScriptError{};
        } else {
            auto result = call();
            mError = ScriptError{};
            return result;
        }
    } catch (const automation::Error& error) {
        const ErrorPlace& place = mInterpreter->LastPlace();
        mError = ScriptError{};
        mError.number = error.Number();
        mError.description = error.Description();
        mError.source = error.Source().empty() ? std::u16string(RuntimeErrorSource) : error.Source();
        if (place.known && place.number == error.Number()) {
            // The place may say more: the line inside a text that Execute ran.
            mError.description = place.description;
            mError.line = place.line;
            mError.column = place.column;
            mError.text = place.text;
        }
        throw;
    } catch (const ScriptTimeout&) {
        const ErrorPlace& place = mInterpreter->LastPlace();
        mError = ScriptError{};
        mError.number = TimeoutErrorNumber;
        mError.description = std::u16string(TimeoutErrorText);
        mError.source = std::u16string(RuntimeErrorSource);
        if (place.known && place.number == TimeoutErrorNumber) {
            mError.line = place.line;
            mError.column = place.column;
            mError.text = place.text;
        }
        Raise(mError.number, mError.source, mError.description);
    } catch (const std::bad_alloc&) {
        // Compiling or installing code ran out of memory: an error like any other.
        mError = ScriptError{};
        mError.number = ErrorNumber::OutOfMemory;
        mError.source = std::u16string(RuntimeErrorSource);
        mError.description = automation::Error(ErrorNumber::OutOfMemory).Description();
        Raise(mError.number, mError.source, mError.description);
    }
}

void ScriptControl::SetLanguage(std::u16string_view language) {
    if (!automation::EqualsNoCase(language, u"VBScript")) {
        Raise(ErrorNumber::InvalidProcedureCall);
    }
    mLanguage = u"VBScript";
}

void ScriptControl::Reset() {
    // Class_Terminate of what the scripts still hold runs here; the time-out stopping it is an
    // error of the reset.
    Guarded([&] { mInterpreter->Reset(); });
}

void ScriptControl::AddObject(std::u16string_view name, automation::Ref<automation::Object> object,
                              bool addMembers) {
    mInterpreter->AddObject(name, std::move(object), addMembers);
}

ScriptModule ScriptControl::AddModule(std::u16string_view name) {
    return ScriptModule(*this, mInterpreter->AddModule(name).Name());
}

ScriptModule ScriptControl::Module(std::u16string_view name) {
    vbscript::Module* module = mInterpreter->FindModule(name);
    if (!module) {
        Raise(ErrorNumber::SubscriptOutOfRange);
    }
    return ScriptModule(*this, module->Name());
}

bool ScriptControl::HasModule(std::u16string_view name) const {
    return mInterpreter->FindModule(name) != nullptr;
}

std::vector<std::u16string> ScriptControl::ModuleNames() const {
    return mInterpreter->ModuleNames();
}

void ScriptControl::AddCode(std::u16string_view module, std::u16string_view code) {
    Guarded([&] {
        vbscript::Module* target = mInterpreter->FindModule(module);
        if (!target) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
        mInterpreter->AddCode(*target, code);
    });
}

Variant ScriptControl::Run(std::u16string_view module, std::u16string_view procedure,
                           std::span<Variant> args) {
    return Guarded([&] {
        vbscript::Module* target = mInterpreter->FindModule(module);
        if (!target) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
        return mInterpreter->Run(*target, procedure, args);
    });
}

std::vector<std::u16string> ScriptControl::ProcedureNames(std::u16string_view module) const {
    vbscript::Module* target = mInterpreter->FindModule(module);
    if (!target) {
        Raise(ErrorNumber::SubscriptOutOfRange);
    }
    return mInterpreter->ProcedureNames(*target);
}

Variant ScriptControl::Eval(std::u16string_view module, std::u16string_view expression) {
    return Guarded([&] {
        vbscript::Module* target = mInterpreter->FindModule(module);
        if (!target) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
        return mInterpreter->Eval(*target, expression);
    });
}

void ScriptControl::ExecuteStatement(std::u16string_view module, std::u16string_view statement) {
    Guarded([&] {
        vbscript::Module* target = mInterpreter->FindModule(module);
        if (!target) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
        mInterpreter->ExecuteStatement(*target, statement);
    });
}

std::size_t ScriptControl::MemoryCeiling() const noexcept {
    return mInterpreter->MemoryCeiling();
}

void ScriptControl::SetMemoryCeiling(std::size_t bytes) {
    mInterpreter->SetMemoryCeiling(bytes);
}

void ScriptControl::SetTimeout(std::int32_t milliseconds) {
    mTimeout = milliseconds;
    mInterpreter->SetTimeout(milliseconds);
}

} // namespace qv::vbscript
