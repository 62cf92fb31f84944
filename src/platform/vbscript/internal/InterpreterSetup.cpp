#include "platform/vbscript/internal/Interpreter.h"

#include "platform/vbscript/internal/CompileError.h"
#include "platform/vbscript/internal/Compiler.h"
#include "platform/vbscript/internal/Parser.h"
#include "platform/vbscript/library/LibrarySupport.h"

#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <optional>
#include <utility>

// The engine's modules, named objects and entry points: everything around the loop.

namespace qv::vbscript {

using automation::EqualsNoCase;
using automation::MakeRef;
using automation::Raise;
using automation::Ref;
using automation::SafeArray;
using automation::Variant;
namespace ErrorNumber = automation::ErrorNumber;

namespace {

// A compile error becomes a run-time error of the caller; `place`, when given, records where it
// stands in the text.
[[noreturn]] void RaiseCompileError(const CompileError& error, const SourceText& source, ErrorPlace* place) {
    if (place) {
        auto [line, column] = source.LineColumn(error.Offset());
        *place = ErrorPlace{true, error.Number(), std::u16string(error.Description()),
                            line, column,         std::u16string(source.LineText(error.Offset()))};
    }
    Raise(error.Number(), std::u16string(CompileErrorSource), std::u16string(error.Description()));
}

// Parses a text; one that a script runs (Execute, ExecuteGlobal, Eval: no place recorded) reports
// any fault of its syntax as a plain syntax error, as the language does. What the compiler
// finds after parsing (a name redefined, ...) keeps its own number.
template <typename Parse> auto ParseRunText(bool recordPlace, Parse parse) {
    try {
        return parse();
    } catch (const CompileError& error) {
        namespace N = CompileErrorNumber;
        if (recordPlace || error.Number() <= N::OutOfMemory || error.Number() > N::DefaultOnlyOnGet) {
            throw;
        }
        throw CompileError(N::SyntaxError, error.Offset());
    }
}

} // namespace

Interpreter::Interpreter()
    : mNames(MakeRef<NameTable>()), mErr(MakeRef<ErrObject>()), mLink(MakeRef<EngineLink>(this)),
      mMemoryCeiling(automation::DefaultMemoryCeiling()) {
    mModules.push_back(std::make_unique<Module>(u"Global"));
}

Interpreter::~Interpreter() {
    ReleaseScriptValues();
    // Script objects that outlive the engine must not queue work for it.
    mLink->Detach();
    mPendingTerminates.clear();
    mTerminateNext = 0;
    mTerminateResume = 0;
    ReleaseLocks(0);
    // What the scripts made and only cycles still hold goes with the engine, after what the
    // modules hold, so that its memory leaves the thread's account; so does what instances the
    // host keeps hold, once the host lets them go.
    mModules.clear();
    ReleaseOrphans(*mLink->Tracked());
}

void Interpreter::Reset() {
    if (IsRunning()) {
        // Dropping the code under a running script would pull the floor from under it.
        Raise(ErrorNumber::InvalidProcedureCall);
    }
    // Whatever a Class_Terminate throws out of the release (a host's own exception), the reset
    // completes, so that nothing is left for the engine's end.
    struct Complete {
        Interpreter& self;
        ~Complete() {
            self.mLink->Detach();
            self.mPendingTerminates.clear();
            self.mTerminateNext = 0;
            self.mTerminateResume = 0;
            self.mNamedIndex.clear();
            self.mNamedObjects.clear();
            self.mModules.clear();
            ReleaseOrphans(*self.mLink->Tracked());
            self.mModules.push_back(std::make_unique<Module>(u"Global"));
            self.mLink = MakeRef<EngineLink>(&self);
            self.mErr->Clear();
            self.mRuntimeState = RuntimeState{};
            self.mPlace = ErrorPlace{};
            ++self.mEpoch;
        }
    };
    // A teardown the time-out stopped is the run's failure: it is raised once the reset is
    // complete, with the place where it stopped.
    ErrorPlace stoppedAt;
    {
        Complete complete{*this};
        if (ReleaseScriptValues()) {
            return;
        }
        stoppedAt = mPlace;
    }
    mPlace = std::move(stoppedAt);
    throw ScriptTimeout();
}

Module& Interpreter::AddModule(std::u16string_view name) {
    if (Module* existing = FindModule(name)) {
        return *existing;
    }
    mModules.push_back(std::make_unique<Module>(std::u16string(name)));
    return *mModules.back();
}

Module* Interpreter::FindModule(std::u16string_view name) {
    for (const auto& module : mModules) {
        if (EqualsNoCase(module->Name(), name)) {
            return module.get();
        }
    }
    return nullptr;
}

std::vector<std::u16string> Interpreter::ModuleNames() const {
    std::vector<std::u16string> names;
    for (const auto& module : mModules) {
        names.push_back(module->Name());
    }
    return names;
}

void Interpreter::AddObject(std::u16string_view name, Ref<automation::Object> object, bool addMembers) {
    NameId id = mNames->Intern(name);
    if (mNamedIndex.contains(id)) {
        Raise(ErrorNumber::DuplicateKey);
    }
    NamedObject& named = mNamedObjects.emplace_back();
    named.name = id;
    named.value = object ? Variant(std::move(object)) : Variant::Nothing();
    named.addMembers = addMembers && named.value.ObjectValue();
    mNamedIndex.emplace(id, &named);
    ++mEpoch;
}

// A name not defined in its module: a global of the Global module, a named object, a member of
// a named object added with its members, or a library function. Remembered until something is
// added that could change the answer.
Resolution Interpreter::Resolve(Module& module, std::uint32_t slotIndex) {
    GlobalSlot& slot = module.Slot(slotIndex);
    Resolution resolution;
    if (slot.kind != SlotKind::Unset) {
        resolution.kind = Resolution::Kind::Slot;
        resolution.slot = &slot;
        return resolution;
    }
    if (slot.fallbackEpoch == mEpoch) {
        return slot.fallback;
    }
    Module& global = GlobalModule();
    if (&module != &global) {
        if (GlobalSlot* defined = global.Defined(slot.name)) {
            resolution.kind = Resolution::Kind::Slot;
            resolution.slot = defined;
        }
    }
    if (resolution.kind == Resolution::Kind::None) {
        if (auto it = mNamedIndex.find(slot.name); it != mNamedIndex.end()) {
            resolution.kind = Resolution::Kind::NamedObject;
            resolution.object = it->second;
        }
    }
    const std::u16string& spelling = mNames->Spelling(slot.name);
    if (resolution.kind == Resolution::Kind::None) {
        for (NamedObject& named : mNamedObjects) {
            if (!named.addMembers) {
                continue;
            }
            if (std::optional<automation::DispId> id = named.value.ObjectValue()->GetDispId(spelling)) {
                resolution.kind = Resolution::Kind::NamedMember;
                resolution.object = &named;
                resolution.dispId = *id;
                break;
            }
        }
    }
    if (resolution.kind == Resolution::Kind::None) {
        if (std::optional<std::uint32_t> builtin = mBuiltins.FindFunction(spelling)) {
            resolution.kind = Resolution::Kind::Builtin;
            resolution.builtin = *builtin;
        }
    }
    slot.fallback = resolution;
    slot.fallbackEpoch = mEpoch;
    return resolution;
}

void Interpreter::DefineGlobal(Module& module, GlobalSlot& slot) {
    slot.kind = SlotKind::Variable;
    slot.value = Variant();
    if (&module == &GlobalModule()) {
        ++mEpoch;
    }
}

// Makes a compiled chunk's names visible. A procedure defined again replaces the earlier one
// (the newest page function is the one that runs) but keeps its place in the procedure list.
void Interpreter::Install(Module& module, CompiledChunk& chunk) {
    for (const Ref<ScriptClass>& cls : chunk.classes) {
        GlobalSlot& slot = module.Slot(module.SlotFor(cls->name));
        slot.kind = SlotKind::Class;
        slot.scriptClass = cls;
        RetireIfRunning(slot.procedure);
        slot.procedure = nullptr;
        slot.value = Variant();
    }
    for (const Ref<Procedure>& procedure : chunk.procedures) {
        GlobalSlot& slot = module.Slot(module.SlotFor(procedure->name));
        module.ListProcedure(slot);
        slot.kind = SlotKind::Procedure;
        RetireIfRunning(slot.procedure);
        slot.procedure = procedure;
        slot.scriptClass = nullptr;
        slot.value = Variant();
    }
    for (const CompiledChunk::Variable& variable : chunk.variables) {
        GlobalSlot& slot = module.Slot(variable.slot);
        if (slot.kind == SlotKind::Variable) {
            continue; // declared again by a later chunk: keeps its value
        }
        slot.kind = SlotKind::Variable;
        RetireIfRunning(slot.procedure);
        slot.procedure = nullptr;
        slot.scriptClass = nullptr;
        if (!variable.isArray) {
            slot.value = Variant();
            continue;
        }
        std::vector<SafeArray::Bound> bounds;
        for (std::int32_t upper : variable.bounds) {
            bounds.push_back(automation::SafeArray::ZeroBased(upper));
        }
        slot.value = Variant(MakeRef<SafeArray>(automation::VarType::Variant, std::move(bounds),
                                                /*isFixed=*/!variable.bounds.empty()));
    }
    for (auto& [index, value] : chunk.constants) {
        GlobalSlot& slot = module.Slot(index);
        slot.kind = SlotKind::Constant;
        slot.value = value;
        RetireIfRunning(slot.procedure);
        slot.procedure = nullptr;
        slot.scriptClass = nullptr;
    }
    ++mEpoch;
}

CompiledChunk Interpreter::CompileText(Module& module, std::u16string_view text, const CodeBlock* outer,
                                       bool recordPlace) {
    auto source = MakeRef<SourceText>(text);
    if (!recordPlace) {
        source->MarkRunByScript();
    }
    try {
        library::ResultMeter treeCharge;
        Program program = ParseRunText(recordPlace, [&] {
            Parser parser(source->Text(), &treeCharge);
            return parser.ParseProgram();
        });
        Compiler compiler(CompileTarget{*mNames, mBuiltins, module, GlobalModule()}, source);
        return outer ? compiler.CompileExecute(program, OuterScope{outer}) : compiler.CompileChunk(program);
    } catch (const CompileError& error) {
        if (!recordPlace) {
            mRunTextLine = source->LineColumn(error.Offset()).first;
        }
        RaiseCompileError(error, *source, recordPlace ? &mPlace : nullptr);
    }
}

Ref<CodeBlock> Interpreter::CompileEvalText(Module& module, std::u16string_view text, const CodeBlock* outer,
                                            bool recordPlace) {
    auto source = MakeRef<SourceText>(text);
    if (!recordPlace) {
        source->MarkRunByScript();
    }
    try {
        library::ResultMeter treeCharge;
        ExprPtr expr = ParseRunText(recordPlace, [&] {
            Parser parser(source->Text(), &treeCharge);
            return parser.ParseStandaloneExpression();
        });
        Compiler compiler(CompileTarget{*mNames, mBuiltins, module, GlobalModule()}, source);
        OuterScope scope{outer};
        return compiler.CompileEval(*expr, outer ? &scope : nullptr);
    } catch (const CompileError& error) {
        RaiseCompileError(error, *source, recordPlace ? &mPlace : nullptr);
    }
}

// Every run the host starts comes through here: the outermost one sets the time-out's deadline
// and lets Class_Terminate of objects released outside any run go first.
Variant Interpreter::Enter(Ref<CodeBlock> code, const Procedure* procedure, std::span<Variant> args,
                           Ref<ClassInstance> me, bool clockStarted) {
    bool outermost = mNativeDepth == 0;
    std::optional<automation::MemoryCeilingScope> ceiling;
    if (outermost) {
        ceiling.emplace(mMemoryCeiling);
        if (!clockStarted) {
            StartRunClock();
        }
        DrainTerminates();
        mPlace = ErrorPlace{};
    }
    // Procedures replaced while they ran go once nothing runs; the time the run leaves is kept
    // for the terminators of the teardown.
    struct EndRun {
        Interpreter& self;
        bool outermost;
        ~EndRun() {
            if (outermost) {
                self.mRetired.clear();
                self.mTimeLeft.reset();
                if (self.mTimeoutMs > 0) {
                    self.mTimeLeft = std::max(self.mDeadline - std::chrono::steady_clock::now(),
                                              std::chrono::steady_clock::duration::zero());
                }
            }
        }
    } endRun{*this, outermost};
    Variant result = RunLevel(procedure, std::move(code), std::move(me), args);
    if (outermost) {
        DrainTerminates();
    }
    return result;
}

void Interpreter::DrainTerminates() {
    while (Ref<ClassInstance>* next = NextTerminate()) {
        // No terminator starts past the deadline, as in the loop.
        if (mTimeoutMs > 0) {
            CheckDeadline();
        }
        Ref<ClassInstance> instance = *next;
        // Those released with it wait until it is over; what it releases itself runs inside it.
        struct Resume {
            Interpreter& self;
            std::uint32_t outer;
            ~Resume() {
                const std::uint32_t resume = std::exchange(self.mTerminateResume, outer);
                self.ResumeTerminates(resume);
            }
        } goOn{*this, TakeTerminate()};
        try {
            RunLevel(instance->Class().terminate.Get(), nullptr, instance, {});
        } catch (const automation::Error&) {
            // Errors of Class_Terminate go nowhere, as in the language.
            mPlace = ErrorPlace{};
        }
    }
}

void Interpreter::SetMemoryCeiling(std::size_t bytes) {
    mMemoryCeiling = bytes == 0 ? automation::DefaultMemoryCeiling() : bytes;
}

void Interpreter::StartRunClock() {
    mTimeoutTicks = 0;
    mWorkUnits = 0;
    if (mTimeoutMs > 0) {
        mDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(mTimeoutMs);
    }
}

// As the language does when its engine closes: objects the scripts still hold are released and
// their Class_Terminate runs. A terminator may store objects again, so this goes round a few
// times; what survives that is dropped without it. Terminators run under the ceiling and in the
// time the last run left, not a time-out of their own: a terminator that loops must not double
// the time a run may take. Their errors go nowhere; false when the time-out stopped them.
bool Interpreter::ReleaseScriptValues() {
    if (IsRunning()) {
        return true;
    }
    constexpr int MaxRounds = 4;
    bool clockSet = false;
    for (int round = 0; round < MaxRounds; ++round) {
        std::vector<Variant> released;
        for (const auto& module : mModules) {
            for (std::uint32_t index = 0; index < module->SlotCount(); ++index) {
                GlobalSlot& slot = module->Slot(index);
                if (slot.kind == SlotKind::Variable && (slot.value.IsObject() || slot.value.IsArray())) {
                    released.push_back(std::exchange(slot.value, Variant()));
                }
            }
        }
        released.clear();
        if (mPendingTerminates.empty()) {
            return true;
        }
        automation::MemoryCeilingScope ceiling(mMemoryCeiling);
        if (!clockSet) {
            // What the host did between the run and now is not the scripts' time. No run under
            // the time-out in force: the teardown has a time-out of its own.
            StartRunClock();
            if (mTimeoutMs > 0 && mTimeLeft) {
                mDeadline = std::chrono::steady_clock::now() + *mTimeLeft;
            }
            clockSet = true;
        }
        try {
            DrainTerminates();
        } catch (const ScriptTimeout&) {
            // Out of time: the rest go without Class_Terminate. Dropping one may queue the next
            // (a chain of objects), so the queue is emptied by moving it out, round by round, never
            // cleared in place.
            while (!mPendingTerminates.empty()) {
                std::vector<Ref<ClassInstance>> dropped;
                dropped.swap(mPendingTerminates);
                mTerminateNext = 0;
                mTerminateResume = 0;
            }
            return false;
        }
    }
    return true;
}

// Text added again (a page's script, once per page) reuses its compiled chunk while every
// module-level name the compiler looked up still finds the same; its procedures are defined again
// and its statements run again, as after a fresh compile.
void Interpreter::AddCode(Module& module, std::u16string_view text) {
    // Compiled and installed under the engine's ceiling and within the run's time-out, as the text
    // a running script builds is under its run's: a file of millions of lines took seconds to
    // compile before the clock started.
    std::optional<automation::MemoryCeilingScope> ceiling;
    if (mNativeDepth == 0) {
        ceiling.emplace(mMemoryCeiling);
        StartRunClock();
    }
    const CompiledChunk* recent = module.RecentChunk(text);
    CompiledChunk chunk;
    if (recent && std::ranges::all_of(recent->lookups, &NameLookup::StillHolds)) {
        chunk = *recent;
    } else {
        const ClockWatch watch(*this);
        chunk = CompileText(module, text, nullptr, /*recordPlace=*/true);
        module.RememberChunk(text, chunk);
    }
    Install(module, chunk);
    Enter(chunk.topLevel, nullptr, {}, nullptr, /*clockStarted=*/true);
}

void Interpreter::ExecuteStatement(Module& module, std::u16string_view text) {
    AddCode(module, text);
}

Variant Interpreter::Eval(Module& module, std::u16string_view expression) {
    std::optional<automation::MemoryCeilingScope> ceiling;
    if (mNativeDepth == 0) {
        ceiling.emplace(mMemoryCeiling);
        StartRunClock();
    }
    Ref<CodeBlock> code;
    {
        const ClockWatch watch(*this);
        code = CompileEvalText(module, expression, nullptr, /*recordPlace=*/true);
    }
    return Enter(code, nullptr, {}, nullptr, /*clockStarted=*/true);
}

Ref<Procedure> Interpreter::FindProcedure(Module& module, std::u16string_view name) {
    std::optional<NameId> id = mNames->Find(name);
    if (!id) {
        return nullptr;
    }
    GlobalSlot* slot = module.Defined(*id);
    if ((!slot || slot->kind != SlotKind::Procedure) && &module != &GlobalModule()) {
        slot = GlobalModule().Defined(*id);
    }
    if (!slot || slot->kind != SlotKind::Procedure) {
        return nullptr;
    }
    return slot->procedure;
}

Variant Interpreter::Run(Module& module, std::u16string_view name, std::span<Variant> args) {
    Ref<Procedure> procedure = FindProcedure(module, name);
    if (!procedure) {
        mPlace = ErrorPlace{};
        Raise(ErrorNumber::SubOrFunctionNotDefined);
    }
    return Enter(procedure->code, procedure.Get(), args, nullptr);
}

std::vector<std::u16string> Interpreter::ProcedureNames(Module& module) {
    std::vector<std::u16string> names;
    for (NameId id : module.ProcedureOrder()) {
        GlobalSlot* slot = module.Defined(id);
        if (slot && slot->kind == SlotKind::Procedure) {
            names.push_back(slot->procedure->code->name);
        }
    }
    return names;
}

} // namespace qv::vbscript
