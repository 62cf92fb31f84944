#include "platform/automation/Variant.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <array>
#include <cassert>
#include <cstring>
#include <utility>

namespace qv::automation {

namespace {

/// The most units a text holds without a buffer of its own.
const std::size_t InlineTextCapacity = std::u16string().capacity();

// A short text lives inside its body and is not charged: one variable holds one string, and the
// places that hold many (array elements, dictionary entries, object fields) charge for each.
// That keeps the account off the path of the many short strings a script makes.
std::size_t ChargeOf(const std::u16string& text) noexcept {
    const std::size_t capacity = text.capacity();
    return capacity <= InlineTextCapacity ? 0 : sizeof(StringBody) + capacity * sizeof(char16_t);
}

// Spare bodies of the thread: few, and of short texts only, so that they hold little memory. An
// apartment is one thread and this layer sits below the per-apartment context object, so the
// spares are a thread_local (as the memory account is). It is trivially destructible, so that a
// string released late in the thread's exit, after the spares were freed, still finds it; it
// then deletes its body.
constexpr std::size_t MaxSpareBodies = 32;
constexpr std::size_t MaxSpareCapacity = 64;
struct SpareBodies {
    std::array<StringBody*, MaxSpareBodies> bodies{};
    std::size_t count = 0;
    bool armed = false;  // the cleanup below is registered
    bool closed = false; // the thread is ending: retired bodies are deleted
};
constinit thread_local SpareBodies tSpares;

// Deletes the spares when the thread ends; registered by the first body that becomes a spare.
struct SpareCleanup {
    void Arm() noexcept { tSpares.armed = true; }
    ~SpareCleanup() {
        SpareBodies& spares = tSpares;
        spares.closed = true;
        while (spares.count > 0) {
            delete spares.bodies[--spares.count];
        }
    }
};
thread_local SpareCleanup tSpareCleanup;

} // namespace

StringBody::StringBody(std::u16string text) : mText(std::move(text)), mCharged(ChargeOf(mText)) {
    if (mCharged != 0) {
        ChargeMemory(mCharged);
    }
}

StringBody::~StringBody() {
    if (mCharged != 0) {
        RefundMemory(mCharged);
    }
}

StringBody* StringBody::Acquire() {
    SpareBodies& spares = tSpares;
    if (spares.count > 0) {
        return spares.bodies[--spares.count];
    }
    return new StringBody();
}

std::size_t StringBody::Hash(bool ignoreCase) const noexcept {
    if (ignoreCase) {
        if ((mHashed & 2) == 0) {
            mHashNoCase = HashNoCase(mText);
            mHashed |= 2;
        }
        return mHashNoCase;
    }
    if ((mHashed & 1) == 0) {
        mHash = HashText(mText);
        mHashed |= 1;
    }
    return mHash;
}

void StringBody::Charge() {
    assert(mCharged == 0 && RefCount() == 0);
    mHashed = 0;
    // A text much shorter than the buffer a spare brought gives the buffer back, so that a
    // string that lives on (an element of a large array) holds about what its text needs.
    if (mText.capacity() > InlineTextCapacity && mText.capacity() > 2 * mText.size()) {
        mText.shrink_to_fit();
    }
    const std::size_t charge = ChargeOf(mText);
    if (charge != 0) {
        ChargeMemory(charge);
        mCharged = charge;
    }
}

void StringBody::Discard() noexcept {
    assert(RefCount() == 0);
    Retire();
}

void StringBody::Retire() noexcept {
    SpareBodies& spares = tSpares;
    if (spares.count == MaxSpareBodies || spares.closed || mText.capacity() > MaxSpareCapacity) {
        delete this;
        return;
    }
    if (!spares.armed) {
        tSpareCleanup.Arm();
    }
    if (mCharged != 0) {
        RefundMemory(mCharged);
        mCharged = 0;
    }
    mText.clear();
    mHashed = 0;
    spares.bodies[spares.count++] = this;
}

void StringBody::Recharge() noexcept {
    automation::Recharge(mCharged, ChargeOf(mText));
}

void Variant::Clear() noexcept {
    // The tags for arrays and references lie outside the enumeration, hence no switch.
    if (mType == VarType::String) {
        mString->ReleaseText();
    } else if (mType == VarType::Object) {
        if (mObject) {
            mObject->Release();
        }
    } else if (mType == ArrayTag) {
        mArray->Release();
    }
    mType = VarType::Empty;
    mCurrency = 0;
}

void Variant::CopyFrom(const Variant& other) {
    assert(mType == VarType::Empty);
    if (other.mType == VarType::String) {
        other.mString->AddRef();
    } else if (other.mType == VarType::Object) {
        if (other.mObject) {
            other.mObject->AddRef();
        }
    } else if (other.mType == ArrayTag) {
        other.mArray->AddRef();
    }
    mType = other.mType;
    std::memcpy(&mCurrency, &other.mCurrency, sizeof mCurrency);
}

Variant::Variant(std::u16string value) : Variant() {
    TextBuilder builder;
    builder.Text() = std::move(value);
    *this = builder.Finish();
}
Variant::Variant(std::u16string_view value) : Variant() {
    TextBuilder builder;
    // A long text is checked against the memory ceiling before it is copied, not only charged
    // once it is: a part of a string may be nearly all of it.
    if (value.size() > builder.Text().capacity()) {
        CheckAllocation(value.size(), sizeof(char16_t));
    }
    // A builder's text starts empty: append sets it, cheaper than the general path of assign.
    builder.Text().append(value);
    *this = builder.Finish();
}
Variant::Variant(const char16_t* value) : Variant(std::u16string_view(value)) {}

Variant Variant::TextBuilder::Finish() {
    mBody->Charge();
    Variant value;
    value.mType = VarType::String;
    value.mString = std::exchange(mBody, nullptr);
    value.mString->AddRef();
    return value;
}

Variant::Variant(Ref<Object> object) noexcept : mType(VarType::Object), mObject(object.Detach()) {}

Variant::Variant(Ref<SafeArray> array) noexcept : mType(ArrayTag), mArray(array.Detach()) {
    // A null array reference has no VB form; it reads as Empty.
    if (!mArray) {
        mType = VarType::Empty;
    }
}

Variant Variant::Null() noexcept {
    Variant value;
    value.mType = VarType::Null;
    return value;
}

Variant Variant::Nothing() noexcept {
    Variant value;
    value.mType = VarType::Object;
    value.mObject = nullptr;
    return value;
}

Variant Variant::FromDate(double serial) noexcept {
    Variant value;
    value.mType = VarType::Date;
    value.mDate = serial;
    return value;
}

Variant Variant::FromError(std::int32_t code) noexcept {
    Variant value;
    value.mType = VarType::Error;
    value.mError = code;
    return value;
}

std::uint16_t Variant::VarTypeCode() const noexcept {
    const Variant& value = Deref();
    if (value.mType == ArrayTag) {
        return static_cast<std::uint16_t>(VarTypeArrayFlag |
                                          static_cast<std::uint16_t>(value.mArray->ElementType()));
    }
    return static_cast<std::uint16_t>(value.mType);
}

bool Variant::IsNothing() const noexcept {
    const Variant& value = Deref();
    return value.mType == VarType::Object && value.mObject == nullptr;
}

bool Variant::IsNumeric() const noexcept {
    const VarType type = Type();
    return type == VarType::Integer || type == VarType::Long || type == VarType::Single ||
           type == VarType::Double || type == VarType::Currency || type == VarType::Byte;
}

SafeArray& Variant::MutableArray() {
    Variant& value = Deref();
    if (value.mType != ArrayTag) {
        Raise(ErrorNumber::TypeMismatch);
    }
    // VB arrays are values: `b = a` shares the storage until one side writes. A locked array is
    // being walked by For Each, which sees the changes the loop body makes to its elements, so
    // it is written in place even though the loop holds a second reference.
    if (!value.mArray->IsUnique() && !value.mArray->IsLocked()) {
        SafeArray* copy = new SafeArray(*value.mArray);
        copy->AddRef();
        value.mArray->Release();
        value.mArray = copy;
    }
    return *value.mArray;
}

void Variant::AppendString(std::u16string_view piece) {
    Variant& value = Deref();
    if (value.mType == VarType::String && value.mString->IsUnique()) {
        // The hot path of page building: std::u16string grows geometrically, so a loop of
        // appends is linear overall.
        std::u16string& text = value.mString->mText;
        value.mString->TextChanged();
        if (text.size() + piece.size() <= text.capacity()) {
            text.append(piece);
            return;
        }
        AppendChecked(text, piece);
        value.mString->Recharge();
        return;
    }
    std::u16string text;
    if (value.mType != VarType::Null) {
        AppendTextForm(text, value);
    }
    AppendChecked(text, piece);
    value = Variant(std::move(text));
}

} // namespace qv::automation
