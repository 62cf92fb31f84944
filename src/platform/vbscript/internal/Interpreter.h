#pragma once

#include "platform/vbscript/ScriptControl.h"
#include "platform/vbscript/internal/BuiltinRegistry.h"
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/internal/Program.h"
#include "platform/vbscript/internal/ScriptObjects.h"
#include "platform/vbscript/internal/ValueStack.h"

#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv::vbscript {

/// Deepest chain of script procedure calls; one more raises "Out of stack space" (28).
inline constexpr std::size_t MaxCallDepth = 2000;
/// Deepest nesting of interpreter loops (script code called back from host code, default
/// values of script objects, Eval inside them); they use the native stack, so the bound is low.
inline constexpr int MaxNativeDepth = 48;

/// A stack of fixed capacity whose elements never move, so that references to them stay good
/// and a push needs no test for room: the caller bounds the depth. Its members are named as a
/// vector's, whose place it takes.
template <class T> class BoundedStack {
public:
    explicit BoundedStack(std::size_t capacity)
        : mBegin(std::allocator<T>().allocate(capacity)), mEnd(mBegin), mCapacity(capacity) {}
    ~BoundedStack() {
        while (mEnd != mBegin) {
            pop_back();
        }
        std::allocator<T>().deallocate(mBegin, mCapacity);
    }
    BoundedStack(const BoundedStack&) = delete;
    BoundedStack& operator=(const BoundedStack&) = delete;

    template <class... Args> T& emplace_back(Args&&... args) {
        assert(size() < mCapacity && "deeper than the stack's capacity");
        T* element = std::construct_at(mEnd, std::forward<Args>(args)...);
        ++mEnd;
        return *element;
    }
    void pop_back() noexcept { std::destroy_at(--mEnd); }
    T& back() noexcept { return mEnd[-1]; }
    T& operator[](std::size_t index) noexcept { return mBegin[index]; }
    const T& operator[](std::size_t index) const noexcept { return mBegin[index]; }
    std::size_t size() const noexcept { return static_cast<std::size_t>(mEnd - mBegin); }
    bool empty() const noexcept { return mEnd == mBegin; }
    std::size_t capacity() const noexcept { return mCapacity; }
    T* begin() noexcept { return mBegin; }
    T* end() noexcept { return mEnd; }

private:
    T* mBegin;
    T* mEnd;
    std::size_t mCapacity;
};

/// Thrown when a run exceeds its time-out; unwinds every script frame.
class ScriptTimeout : public std::exception {
public:
    const char* what() const noexcept override { return "script execution timed out"; }
};

/// Where the last error happened, for the host's error record.
struct ErrorPlace {
    bool known = false;
    std::int32_t number = 0;
    std::u16string description;
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::u16string text;
};

/// The script engine: modules with their globals, named objects, the compiled code, and the one
/// loop that runs it. Calls from script to script push frames instead of recursing, so recursion
/// in scripts is bounded by MaxCallDepth, not by the native stack. Owned by ScriptControl.
class Interpreter {
public:
    Interpreter();
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // Modules and named objects -------------------------------------------------------------
    /// Drops modules (but a fresh Global), named objects, code and Err.
    void Reset();
    Module& AddModule(std::u16string_view name);
    Module* FindModule(std::u16string_view name);
    Module& GlobalModule() { return *mModules.front(); }
    std::vector<std::u16string> ModuleNames() const;
    void AddObject(std::u16string_view name, automation::Ref<automation::Object> object, bool addMembers);
    NameTable& Names() { return *mNames; }
    const BuiltinRegistry& Builtins() const { return mBuiltins; }

    // Running ------------------------------------------------------------------------------
    /// Compiles `text` into the module and runs its top-level statements. Raises
    /// automation::Error for compile and runtime errors (LastPlace() tells where).
    void AddCode(Module& module, std::u16string_view text);
    /// Runs a procedure of the module (or of Global) by name.
    automation::Variant Run(Module& module, std::u16string_view name, std::span<automation::Variant> args);
    automation::Variant Eval(Module& module, std::u16string_view expression);
    void ExecuteStatement(Module& module, std::u16string_view text);
    std::vector<std::u16string> ProcedureNames(Module& module);
    /// Milliseconds per run from the host; 0 or less: none.
    void SetTimeout(std::int32_t milliseconds) { mTimeoutMs = milliseconds; }
    std::int32_t Timeout() const { return mTimeoutMs; }
    /// Bytes the apartment may hold while this engine runs (see
    /// automation/Memory.h); 0 restores the default.
    void SetMemoryCeiling(std::size_t bytes);
    std::size_t MemoryCeiling() const { return mMemoryCeiling; }
    const ErrorPlace& LastPlace() const { return mPlace; }
    /// True while script code runs.
    bool IsRunning() const { return mNativeDepth > 0; }
    /// Raises the time-out when the run has one and it has passed (CheckRunDeadline).
    void CheckRunDeadline() {
        if (mTimeoutMs > 0) {
            CheckDeadline();
        }
    }
    /// Whether runs have a time-out, and whether the current one's has passed (RunHasDeadline,
    /// RunDeadlinePassed), for code that cannot raise where it stands.
    bool HasDeadline() const noexcept { return mTimeoutMs > 0; }
    bool DeadlinePassed() const noexcept {
        return mTimeoutMs > 0 && std::chrono::steady_clock::now() >= mDeadline;
    }

    // Called by script objects ------------------------------------------------------------------
    automation::Variant InvokeInstance(ClassInstance& instance, std::uint32_t member,
                                       automation::InvokeKind kind, std::span<automation::Variant> args);
    automation::Variant CallProcedure(const Procedure& procedure, ClassInstance* me,
                                      std::span<automation::Variant> args);
    void QueueTerminate(automation::Ref<ClassInstance> instance);

private:
    enum class ReturnMode : std::uint8_t {
        Push,      // the caller's expression wants the result
        Discard,   // a call statement, a Property Let, Class_Initialize
        Boundary,  // the frame a native caller waits for
        Terminate, // Class_Terminate: its errors are dropped
    };

    /// The code a frame runs: a plain pointer that reads like the Ref it stands for. A call of a
    /// module's procedure counts no reference: the module's slot holds the procedure, and
    /// Install keeps one it replaces while a frame still runs it (mRetired). Every other frame
    /// holds its code in Frame::held.
    struct CodeView {
        CodeBlock* block = nullptr;

        CodeBlock* Get() const noexcept { return block; }
        CodeBlock* operator->() const noexcept { return block; }
        CodeBlock& operator*() const noexcept { return *block; }
    };

    /// One running procedure or chunk. Its locals (the parameters, the result, the rest) and
    /// its operand stack lie in mStack; the frame only points at them.
    struct Frame {
        Frame(CodeBlock& code, automation::Ref<CodeBlock> held, automation::Variant* locals,
              automation::Variant* callerTop, automation::Variant* outer, automation::Ref<ClassInstance> me,
              std::uint32_t callerSegment, ReturnMode mode) noexcept
            : code{&code}, held(std::move(held)), locals(locals), callerTop(callerTop), outer(outer),
              me(std::move(me)), callerSegment(callerSegment), mode(mode) {}

        CodeView code;
        automation::Ref<CodeBlock> held; // null for a module procedure's call (see CodeView)
        automation::Variant* locals = nullptr;
        automation::Variant* callerTop = nullptr; // the caller's stack top once this frame is gone
        automation::Variant* outer = nullptr;
        automation::Ref<ClassInstance> me;
        std::uint32_t pc = 0;
        std::uint32_t callerSegment = 0;
        ReturnMode mode = ReturnMode::Push;
        bool resumeNext = false;
        std::uint32_t outerTerminateResume = 0; // of a Class_Terminate frame: mTerminateResume before it

        automation::Variant* StackBase() const noexcept { return locals + code->LocalCount(); }
    };

    /// An array whose element went by reference to a call: locked until the call is over, so that
    /// nothing can move the element meanwhile.
    struct ElementLock {
        automation::Ref<automation::SafeArray> array; // null when the argument was no element
        std::size_t frame = 0;                        // index of the frame that made the call
    };

    // The loop (Interpreter.cpp)
    automation::Variant RunLevel(const Procedure* procedure, automation::Ref<CodeBlock> chunk,
                                 automation::Ref<ClassInstance> me, std::span<automation::Variant> args);
    bool Loop(std::size_t boundary, automation::Variant& result);
    bool HandleError(const automation::Error& error, std::size_t boundary);
    void ForgetUnpreparedLoop(Frame& frame, std::uint32_t statementEnd);
    void RecordPlace(const automation::Error& error);
    /// A frame that holds the procedure's code itself: calls of class members, procedure
    /// references and calls from the host.
    void PushProcedureFrame(const Procedure& procedure, ClassInstance* me, automation::Variant* args,
                            std::size_t argc, bool argsOnStack, automation::Variant* callerTop,
                            ReturnMode mode) {
        PushFrame(*procedure.code, procedure.code, me, args, argc, argsOnStack, callerTop, mode);
    }
    void PushFrame(CodeBlock& code, automation::Ref<CodeBlock> held, ClassInstance* me,
                   automation::Variant* args, std::size_t argc, bool argsOnStack,
                   automation::Variant* callerTop, ReturnMode mode);
    static void UnbindByValArguments(const CodeBlock& code, automation::Variant* args);
    /// Keeps a procedure that is being replaced alive while a frame still runs its code.
    void RetireIfRunning(const automation::Ref<Procedure>& procedure);
    void PushChunkFrame(automation::Ref<CodeBlock> code, automation::Variant* outer,
                        automation::Ref<ClassInstance> me, ReturnMode mode);
    /// Releases the top frame's locals and operand stack and gives the caller its stack back.
    void PopFrame() {
        Frame& frame = mFrames.back();
        assert((mElementLocks.empty() || mElementLocks.back().frame < mFrames.size() - 1) &&
               "a call left an array locked");
        mStack.DropTo(frame.locals);
        mStack.Restore(frame.callerTop, frame.callerSegment);
        mFrames.pop_back();
    }
    /// PopFrame of a Class_Terminate frame: the queue goes on with those released with its object.
    void PopTerminateFrame() {
        const std::uint32_t resume = std::exchange(mTerminateResume, mFrames.back().outerTerminateResume);
        PopFrame();
        ResumeTerminates(resume);
    }
    void ReleaseLocks(std::size_t keep);
    /// Checked on backward jumps and calls; cheap while no time-out is set, and the clock is
    /// read only every 64th time.
    void CheckTimeout() {
        if (mTimeoutMs > 0 && (++mTimeoutTicks & 63) == 0) {
            CheckDeadline();
        }
    }
    void CheckDeadline();
    /// Work in proportion to the size of what an operation read or made (characters, elements):
    /// once enough of it has added up since the last look, the clock is read. A statement of slow
    /// library calls, or of huge concatenations, then stops at the time-out inside the statement.
    void NoteWork(std::size_t units) {
        if (mTimeoutMs > 0) {
            mWorkUnits += units;
            if (mWorkUnits >= WorkPerClockRead) {
                mWorkUnits = 0;
                CheckDeadline();
            }
        }
    }
    /// NoteWork for a call's result and the `popCount` values under the stack's top it took.
    void NoteCallWork(const automation::Variant& result, std::size_t popCount);
    automation::SafeArray& WritableArray(automation::Variant& array);
    /// Starts the next Class_Terminate the queue holds from mTerminateNext on, unless the call
    /// depth is at its bound: it then waits, queued, until a frame returns.
    void StartTerminate();
    /// The queue goes on at `next`, or at its end when what lay there is gone.
    void ResumeTerminates(std::uint32_t next) noexcept {
        mTerminateNext = std::min(next, static_cast<std::uint32_t>(mPendingTerminates.size()));
        mTerminatePending = !mPendingTerminates.empty();
    }
    /// The first entry from mTerminateNext on that is not yet taken, or null when there is none;
    /// then the taken entries at the end of the queue, above mTerminateResume, are dropped.
    automation::Ref<ClassInstance>* NextTerminate() noexcept;
    /// Takes the entry NextTerminate found, for a terminator that starts now: the queue goes on
    /// with what it releases, and the rest waits until it is over. Gives mTerminateResume before it.
    std::uint32_t TakeTerminate() noexcept;

    automation::Variant& Variable(Frame& frame, const Instruction& instruction);
    automation::Variant* GlobalVariable(Frame& frame, const Instruction& instruction, Resolution& resolution,
                                        bool create);
    void CallName(Frame& frame, const Instruction& instruction);
    void CallResolvedName(Frame& frame, const Instruction& instruction);
    void PushElementRef(Frame& frame, const Instruction& instruction);
    const automation::Variant* ConvertedElement(const automation::Variant& holder,
                                                std::span<automation::Variant> args);
    automation::Variant* WritableElement(automation::Variant& holder, std::span<automation::Variant> args);
    bool ReadElement(const automation::Variant& array, std::size_t argc, std::size_t popCount);
    bool WriteElement(automation::Variant& array, std::size_t argc);
    void CallValue(automation::Variant& value, automation::Variant* args, std::size_t argc, bool statement,
                   std::size_t popCount);
    void CallObjectDefault(automation::Object& object, automation::Variant* args, std::size_t argc,
                           bool statement, std::size_t popCount);
    void CallMember(Frame& frame, const Instruction& instruction);
    void StoreMember(Frame& frame, const Instruction& instruction);
    void StoreName(Frame& frame, const Instruction& instruction);
    void StoreIndexed(Frame& frame, const Instruction& instruction);
    void StoreInto(automation::Variant& target, std::span<automation::Variant> args,
                   automation::Variant value, bool isSet);
    void StoreObjectDefault(automation::Object& object, std::span<automation::Variant> args,
                            automation::Variant value, bool isSet);
    /// The object as an instance whose members this loop runs itself, or a procedure reference
    /// it calls itself: one this engine made since its last reset. Null for anything else, which
    /// answers through Invoke.
    ClassInstance* OwnInstance(automation::Object& object) const noexcept {
        ClassInstance* instance = AsInstance(object);
        return instance && instance->BelongsTo(*mLink) ? instance : nullptr;
    }
    ProcedureRef* OwnProcedure(automation::Object& object) const noexcept {
        auto* procedure = object.Kind() == automation::ObjectKind::ScriptProcedure
                              ? static_cast<ProcedureRef*>(&object)
                              : nullptr;
        return procedure && procedure->BelongsTo(*mLink) ? procedure : nullptr;
    }
    void CallInstanceMember(ClassInstance& instance, std::uint32_t member, automation::Variant* args,
                            std::size_t argc, bool statement, std::size_t popCount);
    void CallBuiltin(Frame& frame, const Instruction& instruction);
    void CallIntrinsic(Intrinsic intrinsic, Frame& frame, std::span<automation::Variant> args,
                       bool statement);
    void PushValueResult(automation::Variant&& value, bool statement, std::size_t popCount);
    void Binary(const Instruction& instruction);
    void ForPrepare(Frame& frame, const Instruction& instruction);
    bool ForNext(Frame& frame, const Instruction& instruction);
    void NewInstance(Frame& frame, const Instruction& instruction);
    void Append(Frame& frame, const Instruction& instruction);
    void ReDim(Frame& frame, const Instruction& instruction);
    void Erase(Frame& frame, const Instruction& instruction);
    void ForEachStart(Frame& frame, const Instruction& instruction);
    automation::Ref<Procedure> FindProcedure(Module& module, std::u16string_view name);

    // Names and modules (InterpreterSetup.cpp)
    Resolution Resolve(Module& module, std::uint32_t slotIndex);
    void Install(Module& module, CompiledChunk& chunk);
    automation::Ref<CodeBlock> CompileEvalText(Module& module, std::u16string_view text,
                                               const CodeBlock* outer, bool recordPlace = false);
    CompiledChunk CompileText(Module& module, std::u16string_view text, const CodeBlock* outer,
                              bool recordPlace = false);
    /// `clockStarted`: the host's call started the run's clock already, before it compiled the code.
    automation::Variant Enter(automation::Ref<CodeBlock> code, const Procedure* procedure,
                              std::span<automation::Variant> args, automation::Ref<ClassInstance> me,
                              bool clockStarted = false);
    void DrainTerminates();
    /// Sets the time-out's deadline for a run the host starts.
    void StartRunClock();
    /// While it lives, the looks at the time-out of the compiler and the library
    /// (CheckRunDeadline) read this engine's: the host's call compiles under the run's clock.
    class ClockWatch {
    public:
        explicit ClockWatch(Interpreter& engine) noexcept;
        ~ClockWatch();
        ClockWatch(const ClockWatch&) = delete;
        ClockWatch& operator=(const ClockWatch&) = delete;

    private:
        Interpreter* mOuter;
    };
    /// Empties the variables of every module while Class_Terminate can still run, and runs it
    /// for the objects that go: the end of the scripts, before Reset or the engine's end. False
    /// when the time-out stopped the terminators.
    bool ReleaseScriptValues();
    void DefineGlobal(Module& module, GlobalSlot& slot);

    automation::Ref<NameTable> mNames;
    BuiltinRegistry mBuiltins;
    RuntimeState mRuntimeState;
    std::vector<std::unique_ptr<Module>> mModules;
    std::deque<NamedObject> mNamedObjects;
    std::unordered_map<NameId, NamedObject*> mNamedIndex;
    std::uint64_t mEpoch = 1;
    automation::Ref<ErrObject> mErr;
    automation::Ref<EngineLink> mLink;

    ValueStack mStack;
    // Reserved once for MaxCallDepth: handlers keep a reference to their frame while they push
    // another.
    BoundedStack<Frame> mFrames{MaxCallDepth + 4};
    // Procedures replaced while a frame ran them; dropped when the outermost run is over.
    std::vector<automation::Ref<Procedure>> mRetired;
    std::vector<ElementLock> mElementLocks;
    // Objects whose Class_Terminate is due, in the order they were released; a started one leaves
    // a null entry. Each terminator runs to its end before the next of those released with it
    // starts, as if each had run when its object went: while one runs, the queue goes on from
    // mTerminateNext with the entries queued after it started (what it releases itself), and
    // goes on after its own entry (mTerminateResume) once it is over. The entries below
    // mTerminateResume stay where they are, for the running terminators' places.
    std::vector<automation::Ref<ClassInstance>> mPendingTerminates;
    std::uint32_t mTerminateNext = 0;
    std::uint32_t mTerminateResume = 0;
    bool mTerminatePending = false; // set when one may start: the loop's cheap test
    int mNativeDepth = 0;
    std::int32_t mTimeoutMs = 0;
    std::size_t mMemoryCeiling;
    std::chrono::steady_clock::time_point mDeadline;
    // What the last run the host started left of its time-out; none when it ran without one.
    std::optional<std::chrono::steady_clock::duration> mTimeLeft;
    std::uint32_t mTimeoutTicks = 0;
    // Characters and elements that calls went through since the clock was last read (NoteWork):
    // a million of them take at most some milliseconds.
    static constexpr std::size_t WorkPerClockRead = std::size_t{1} << 20;
    std::size_t mWorkUnits = 0;
    ErrorPlace mPlace;
    // The line, inside a text a statement ran, of the compile error being raised; 0 for none.
    std::int32_t mRunTextLine = 0;
};

} // namespace qv::vbscript
