#include "platform/automation/Variant.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Object.h"

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

void StringBody::Recharge() noexcept {
    automation::Recharge(mCharged, ChargeOf(mText));
}

void Variant::Clear() noexcept {
    // The tags for arrays and references lie outside the enumeration, hence no switch.
    if (mType == VarType::String) {
        mString->ReleaseLeaf();
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

Variant::Variant(std::u16string value) : mType(VarType::String), mString(new StringBody(std::move(value))) {
    mString->AddRef();
}
Variant::Variant(std::u16string_view value) : Variant(std::u16string(value)) {}
Variant::Variant(const char16_t* value) : Variant(std::u16string(value)) {}

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
