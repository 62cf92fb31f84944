#pragma once

#include "platform/vbscript/internal/Program.h"
#include "platform/vbscript/internal/TrackedObjects.h"

#include "platform/automation/Object.h"
#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv::vbscript {

class Interpreter;

/// The engine as objects that outlive it see it: null once the engine is reset or destroyed, so
/// that a script object the host still holds fails cleanly instead of running freed code.
class EngineLink final : public automation::RefCounted {
public:
    explicit EngineLink(Interpreter* interpreter)
        : mInterpreter(interpreter), mTracked(automation::MakeRef<TrackedList>()) {}
    Interpreter* Get() const noexcept { return mInterpreter; }
    void Detach() noexcept { mInterpreter = nullptr; }
    /// The objects the engine's scripts made that can hold others.
    const automation::Ref<TrackedList>& Tracked() const noexcept { return mTracked; }

private:
    Interpreter* mInterpreter;
    automation::Ref<TrackedList> mTracked;
};

/// An instance of a script class. Scripts reach its members directly through the interpreter;
/// the host and the conversions reach its public members through Invoke, which runs them in a
/// nested interpreter loop.
class ClassInstance final : public automation::Object {
    struct TwinTag {};

public:
    ClassInstance(automation::Ref<ScriptClass> cls, automation::Ref<EngineLink> link);
    /// The twin that runs Class_Terminate for `original`: it takes over the fields and their
    /// charge, so that making it in a destructor can never fail on the memory ceiling.
    ClassInstance(TwinTag, ClassInstance& original) noexcept;
    ~ClassInstance() override;

    const ScriptClass& Class() const noexcept { return *mClass; }
    automation::Variant& Field(std::int32_t index) { return mFields[static_cast<std::size_t>(index)]; }
    std::span<const automation::Variant> Fields() const noexcept { return mFields; }
    /// Empties every field: how the engine's end frees what its instances hold, whoever keeps them.
    void ReleaseFields() noexcept;
    /// Whether the engine of `link` made it: only that engine's loop runs its members itself. An
    /// instance of another engine, or of the same one before a reset (whose code is gone), answers
    /// through Invoke.
    bool BelongsTo(const EngineLink& link) const noexcept { return mLink.Get() == &link; }
    /// Class_Terminate has run (or must not run) for this instance.
    void MarkTerminated() noexcept { mTerminated = true; }

    const automation::ClassInfo& GetClassInfo() const override;
    std::u16string TypeName() const override;
    std::optional<automation::DispId> GetDispId(std::u16string_view name) const override;
    automation::Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;
    std::optional<automation::DispId> GetDefaultDispId() const override;

private:
    automation::Ref<ScriptClass> mClass;
    automation::Ref<EngineLink> mLink;
    std::vector<automation::Variant> mFields;
    bool mTerminated = false;
    std::size_t mCharged = 0; // bytes on the apartment's memory account
    TrackedPlace mPlace;      // in the list of its engine's objects
};

/// The object as a script class instance, or null: by its kind, without a dynamic_cast.
inline ClassInstance* AsInstance(automation::Object& object) noexcept {
    return object.Kind() == automation::ObjectKind::ScriptInstance ? static_cast<ClassInstance*>(&object)
                                                                   : nullptr;
}

/// What GetRef returns: calling its default member calls the procedure.
class ProcedureRef final : public automation::Object {
public:
    /// Raises 7 when the object does not fit under the memory ceiling.
    ProcedureRef(automation::Ref<Procedure> procedure, automation::Ref<EngineLink> link);
    ~ProcedureRef() override;
    ProcedureRef(const ProcedureRef&) = delete;
    ProcedureRef& operator=(const ProcedureRef&) = delete;

    const Procedure& Target() const noexcept { return *mProcedure; }
    /// As for ClassInstance::BelongsTo.
    bool BelongsTo(const EngineLink& link) const noexcept { return mLink.Get() == &link; }

    const automation::ClassInfo& GetClassInfo() const override;
    std::u16string TypeName() const override { return u"Object"; }
    std::optional<automation::DispId> GetDispId(std::u16string_view name) const override;
    automation::Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;
    std::optional<automation::DispId> GetDefaultDispId() const override { return 0; }

private:
    automation::Ref<Procedure> mProcedure;
    automation::Ref<EngineLink> mLink;
};

/// The Err object of one engine.
class ErrObject final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    std::int32_t Number() const { return mNumber; }
    void SetNumber(std::int32_t number) { mNumber = number; }
    std::u16string Description() const { return mDescription; }
    void SetDescription(std::u16string text) { mDescription = std::move(text); }
    std::u16string Source() const { return mSource; }
    void SetSource(std::u16string text) { mSource = std::move(text); }
    std::u16string HelpFile() const { return mHelpFile; }
    void SetHelpFile(std::u16string text) { mHelpFile = std::move(text); }
    std::int32_t HelpContext() const { return mHelpContext; }
    void SetHelpContext(std::int32_t context) { mHelpContext = context; }
    void Clear();
    /// Err.Raise: fills the object and raises the error. An HRESULT of the runtime's or the
    /// Windows family raises the error number it stands for; what is left out is kept from
    /// what the object holds.
    void Raise(std::int32_t number, std::optional<std::u16string> source,
               std::optional<std::u16string> description, std::optional<std::u16string> helpFile,
               std::optional<std::int32_t> helpContext);
    /// Records a caught error.
    void Set(const automation::Error& error);

private:
    std::int32_t mNumber = 0;
    std::u16string mDescription;
    std::u16string mSource;
    std::u16string mHelpFile;
    std::int32_t mHelpContext = 0;
    bool mRaised = false; // Raise threw the error that Err holds, and it is not yet caught
};

/// Holds a For Each enumerator in a hidden local.
class EnumeratorHolder final : public automation::Object {
public:
    explicit EnumeratorHolder(automation::Ref<automation::Enumerator> enumerator)
        : mEnumerator(std::move(enumerator)) {}
    const automation::ClassInfo& GetClassInfo() const override;
    bool Next(automation::Variant& item) { return mEnumerator->Next(item); }

private:
    automation::Ref<automation::Enumerator> mEnumerator;
};

/// Walks an array's elements in storage order, holding the array locked meanwhile.
class ArrayEnumerator final : public automation::Enumerator {
public:
    explicit ArrayEnumerator(automation::Ref<automation::SafeArray> array);
    ~ArrayEnumerator() override;
    ArrayEnumerator(const ArrayEnumerator&) = delete;
    ArrayEnumerator& operator=(const ArrayEnumerator&) = delete;
    bool Next(automation::Variant& item) override;

private:
    automation::Ref<automation::SafeArray> mArray;
    std::size_t mIndex = 0;
};

/// The source the runtime puts on errors it raises itself.
inline constexpr std::u16string_view RuntimeErrorSource = u"VBScript runtime error";
inline constexpr std::u16string_view CompileErrorSource = u"VBScript compilation error";

} // namespace qv::vbscript
