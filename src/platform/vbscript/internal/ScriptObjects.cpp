#include "platform/vbscript/internal/ScriptObjects.h"

#include "platform/vbscript/internal/Interpreter.h"

#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"

#include <cstdint>
#include <utility>

namespace qv::vbscript {

using automation::ClassInfo;
using automation::DispId;
using automation::InvokeKind;
using automation::MakeRef;
using automation::Ref;
using automation::Variant;

namespace {

// Script objects answer by name through their own tables, not a static one.
const ClassInfo& EmptyClassInfo() {
    static const ClassInfo info(u"Object", {});
    return info;
}

Variant NewField(const FieldInfo& field) {
    if (!field.isArray) {
        return Variant();
    }
    std::vector<automation::SafeArray::Bound> bounds;
    for (std::int32_t upper : field.bounds) {
        bounds.push_back(automation::SafeArray::ZeroBased(upper));
    }
    return Variant(MakeRef<automation::SafeArray>(automation::VarType::Variant, std::move(bounds),
                                                  /*isFixed=*/!field.bounds.empty()));
}

} // namespace

ClassInstance::ClassInstance(Ref<ScriptClass> cls, Ref<EngineLink> link)
    : Object(automation::ObjectKind::ScriptInstance), mClass(std::move(cls)), mLink(std::move(link)) {
    mFields.reserve(mClass->fields.size());
    for (const FieldInfo& field : mClass->fields) {
        mFields.push_back(NewField(field));
    }
    // Instances count against the memory ceiling, so that a script building objects without
    // end gets 7 instead of exhausting the host: their own block and that of their fields. Charged
    // last, so that a field that fails (an array past the ceiling) leaves no charge behind.
    const std::size_t charge = automation::HeapBlockSize(sizeof(ClassInstance)) +
                               automation::HeapBlockSize(mClass->fields.size() * sizeof(Variant));
    automation::ChargeMemory(charge);
    mCharged = charge;
    mPlace.Join(mLink->Tracked(), *this);
}

ClassInstance::ClassInstance(TwinTag, ClassInstance& original) noexcept
    : Object(automation::ObjectKind::ScriptInstance), mClass(original.mClass), mLink(original.mLink),
      mFields(std::move(original.mFields)), mTerminated(true), mCharged(std::exchange(original.mCharged, 0)) {
    // Class_Terminate may store Me where a cycle keeps it.
    mPlace.Join(mLink->Tracked(), *this);
}

ClassInstance::~ClassInstance() {
    // The count reached zero inside some unrelated operation; Class_Terminate runs later, at a
    // point where the interpreter may run code, on a twin that takes over the fields.
    Interpreter* interpreter = mLink->Get();
    if (!mTerminated && mClass->terminate && interpreter) {
        interpreter->QueueTerminate(MakeRef<ClassInstance>(TwinTag{}, *this));
    }
    automation::RefundMemory(mCharged);
}

void ClassInstance::ReleaseFields() noexcept {
    for (Variant& field : mFields) {
        field = Variant();
    }
}

const ClassInfo& ClassInstance::GetClassInfo() const {
    return EmptyClassInfo();
}

std::u16string ClassInstance::TypeName() const {
    return mClass->displayName;
}

std::optional<DispId> ClassInstance::GetDispId(std::u16string_view name) const {
    std::optional<NameId> id = mClass->names->Find(name);
    if (!id) {
        return std::nullopt;
    }
    auto it = mClass->memberIndex.find(*id);
    if (it == mClass->memberIndex.end() || !mClass->members[it->second].isPublic) {
        return std::nullopt;
    }
    return static_cast<DispId>(it->second);
}

Variant ClassInstance::Invoke(DispId id, InvokeKind kind, std::span<Variant> args) {
    Interpreter* interpreter = mLink->Get();
    if (!interpreter || id < 0 || static_cast<std::size_t>(id) >= mClass->members.size()) {
        automation::Raise(automation::ErrorNumber::ObjectDoesNotSupport);
    }
    return interpreter->InvokeInstance(*this, static_cast<std::uint32_t>(id), kind, args);
}

std::optional<DispId> ClassInstance::GetDefaultDispId() const {
    if (mClass->defaultMember < 0) {
        return std::nullopt;
    }
    return mClass->defaultMember;
}

ProcedureRef::ProcedureRef(Ref<Procedure> procedure, Ref<EngineLink> link)
    : Object(automation::ObjectKind::ScriptProcedure), mProcedure(std::move(procedure)),
      mLink(std::move(link)) {
    // Charged like any object a script makes, so that GetRef in a loop that keeps what it gets
    // meets the ceiling.
    automation::ChargeMemory(automation::HeapBlockSize(sizeof(ProcedureRef)));
}

ProcedureRef::~ProcedureRef() {
    automation::RefundMemory(automation::HeapBlockSize(sizeof(ProcedureRef)));
}

const ClassInfo& ProcedureRef::GetClassInfo() const {
    return EmptyClassInfo();
}

std::optional<DispId> ProcedureRef::GetDispId(std::u16string_view) const {
    return std::nullopt;
}

Variant ProcedureRef::Invoke(DispId id, InvokeKind kind, std::span<Variant> args) {
    Interpreter* interpreter = mLink->Get();
    if (!interpreter || id != 0 || automation::HasKind(kind, InvokeKind::PropertyLet) ||
        automation::HasKind(kind, InvokeKind::PropertySet)) {
        automation::Raise(automation::ErrorNumber::ObjectDoesNotSupport);
    }
    return interpreter->CallProcedure(*mProcedure, nullptr, args);
}

const ClassInfo& ErrObject::GetClassInfo() const {
    static const ClassInfo info(
        u"ErrObject",
        {
            automation::Default(automation::Property<&ErrObject::Number, &ErrObject::SetNumber>(u"Number")),
            automation::Property<&ErrObject::Description, &ErrObject::SetDescription>(u"Description"),
            automation::Property<&ErrObject::Source, &ErrObject::SetSource>(u"Source"),
            automation::Property<&ErrObject::HelpFile, &ErrObject::SetHelpFile>(u"HelpFile"),
            automation::Property<&ErrObject::HelpContext, &ErrObject::SetHelpContext>(u"HelpContext"),
            automation::Method<&ErrObject::Raise>(u"Raise"),
            automation::Method<&ErrObject::Clear>(u"Clear"),
        });
    return info;
}

void ErrObject::Clear() {
    mNumber = 0;
    mDescription.clear();
    mSource.clear();
    mHelpFile.clear();
    mHelpContext = 0;
}

namespace {

// Windows error codes that have a runtime error of their own.
struct WindowsError {
    std::uint16_t code;
    std::int32_t number;
};
constexpr WindowsError WindowsErrors[] = {
    {0x0002, automation::ErrorNumber::FileNotFound},
    {0x0003, automation::ErrorNumber::PathNotFound},
    {0x0005, automation::ErrorNumber::PermissionDenied},
    {0x0008, automation::ErrorNumber::OutOfMemory},
    {0x000E, automation::ErrorNumber::OutOfMemory},
    {0x0013, automation::ErrorNumber::PermissionDenied},
    {0x0020, automation::ErrorNumber::PermissionDenied},
    {0x0021, automation::ErrorNumber::PermissionDenied},
    {0x0026, automation::ErrorNumber::InputPastEndOfFile},
    {0x0027, automation::ErrorNumber::DiskFull},
    {0x0050, automation::ErrorNumber::FileAlreadyExists},
    {0x0057, automation::ErrorNumber::InvalidProcedureCall},
    {0x0070, automation::ErrorNumber::DiskFull},
    {0x007B, automation::ErrorNumber::BadFileNameOrNumber},
    {0x00B7, automation::ErrorNumber::FileAlreadyExists},
};

// The error number that an HRESULT of the script runtime's own family (0x800A....) or of the
// Windows family (0x8007....) stands for; any other number is itself.
std::int32_t NumberOfResult(std::int32_t number) {
    const auto bits = static_cast<std::uint32_t>(number);
    const auto code = static_cast<std::uint16_t>(bits & 0xFFFFU);
    if ((bits & 0xFFFF0000U) == 0x800A0000U && code != 0) {
        return code;
    }
    if ((bits & 0xFFFF0000U) == 0x80070000U) {
        for (const WindowsError& known : WindowsErrors) {
            if (known.code == code) {
                return known.number;
            }
        }
    }
    return number;
}

} // namespace

void ErrObject::Raise(std::int32_t number, std::optional<std::u16string> source,
                      std::optional<std::u16string> description, std::optional<std::u16string> helpFile,
                      std::optional<std::int32_t> helpContext) {
    number = NumberOfResult(number);
    // Err.Raise 0 is not an error to raise.
    if (number == 0) {
        automation::Raise(automation::ErrorNumber::InvalidProcedureCall);
    }
    // What the call leaves out comes from what Err holds until it is cleared: re-raising a
    // caught error by its number keeps its text.
    std::u16string keptSource = mSource.empty() ? std::u16string(RuntimeErrorSource) : mSource;
    automation::Error error(number, source ? std::move(*source) : std::move(keptSource),
                            description ? std::move(*description) : mDescription);
    std::u16string keptHelpFile = helpFile ? std::move(*helpFile) : mHelpFile;
    std::int32_t keptHelpContext = helpContext ? *helpContext : mHelpContext;
    Set(error);
    mHelpFile = std::move(keptHelpFile);
    mHelpContext = keptHelpContext;
    mRaised = true;
    throw error;
}

void ErrObject::Set(const automation::Error& error) {
    // The error Raise threw comes back here where it is caught, and keeps its help.
    const bool raisedHere = std::exchange(mRaised, false) && error.Number() == mNumber &&
                            error.Description() == mDescription && error.Source() == mSource;
    mNumber = error.Number();
    mDescription = error.Description();
    mSource = error.Source().empty() ? std::u16string(RuntimeErrorSource) : error.Source();
    // The engine's undefined-variable error names the variable for the host's report; Err holds
    // the bare text.
    constexpr std::u16string_view undefinedPrefix = u"Variable is undefined: '";
    if (!raisedHere && mNumber == automation::ErrorNumber::VariableUndefined &&
        mDescription.starts_with(undefinedPrefix)) {
        mDescription = automation::StandardErrorText(mNumber);
    }
    if (!raisedHere) {
        mHelpFile.clear();
        mHelpContext = 0;
    }
}

const ClassInfo& EnumeratorHolder::GetClassInfo() const {
    return EmptyClassInfo();
}

ArrayEnumerator::ArrayEnumerator(Ref<automation::SafeArray> array) : mArray(std::move(array)) {
    // Locked while walked: the loop body's element writes land in this array, and ReDim of it
    // fails with 10 as the language has it.
    mArray->Lock();
    // An array never dimensioned (Dim a(), or after Erase) has nothing to walk.
    if (mArray->Dimensions() == 0) {
        mIndex = mArray->ElementCount();
    }
}

ArrayEnumerator::~ArrayEnumerator() {
    mArray->Unlock();
}

bool ArrayEnumerator::Next(Variant& item) {
    const std::vector<Variant>& elements = mArray->Elements();
    if (mIndex >= elements.size()) {
        return false;
    }
    item = elements[mIndex++];
    return true;
}

} // namespace qv::vbscript
