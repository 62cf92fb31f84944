#include "platform/vbscript/library/LibrarySupport.h"

#include "platform/vbscript/library/TextSearch.h"

#include "platform/automation/Text.h"

#include <ctime>

namespace qv::vbscript::library {

using automation::CompareMode;

bool IsGiven(Args args, std::size_t index) noexcept {
    return index < args.size() && !args[index].Deref().IsMissing();
}

Variant ValueOf(const Variant& arg) {
    const Variant& value = arg.Deref();
    if (value.IsObject()) {
        return automation::DefaultValue(value);
    }
    return value;
}

Variant ValueOf(Args args, std::size_t index) {
    if (!IsGiven(args, index)) {
        return Variant();
    }
    return ValueOf(args[index]);
}

std::vector<Variant> ResolveAll(Args args) {
    std::vector<Variant> values;
    values.reserve(args.size());
    for (const Variant& arg : args) {
        values.push_back(arg.Deref().IsMissing() ? Variant::Missing() : ValueOf(arg));
    }
    return values;
}

ResolvedArgs::ResolvedArgs(Args args) : mArgs(args) {
    for (const Variant& arg : args) {
        if (arg.IsObject()) {
            mValues = ResolveAll(args);
            mArgs = mValues;
            return;
        }
    }
}

void ArgValue::ReadDefault(const Variant& object) {
    mHolder = automation::DefaultValue(object);
    mValue = &mHolder;
}

void TextArg::Convert(const Variant& value) {
    automation::AppendTextForm(mConverted, value);
    mView = mConverted;
}

RequiredTextArg::RequiredTextArg(Args args, std::size_t index) : TextArg(args, index) {
    if (IsNull()) {
        automation::Raise(automation::ErrorNumber::InvalidUseOfNull);
    }
}

void RequireNotNull(const Variant& value) {
    if (value.IsNull()) {
        automation::Raise(automation::ErrorNumber::InvalidUseOfNull);
    }
}

std::int32_t LongArg(Args args, std::size_t index, std::int32_t fallback) {
    // A Long or an Integer, as scripts mostly pass, needs no conversion.
    if (index < args.size()) {
        const Variant& value = args[index].Deref();
        if (value.Type() == automation::VarType::Long) {
            return value.LongValue();
        }
        if (value.Type() == automation::VarType::Integer) {
            return value.IntegerValue();
        }
    }
    if (!IsGiven(args, index)) {
        return fallback;
    }
    const ArgValue value(args[index]);
    RequireNotNull(value.Get());
    return automation::ToLong(value.Get());
}

bool BoolArg(Args args, std::size_t index, bool fallback) {
    if (!IsGiven(args, index)) {
        return fallback;
    }
    const ArgValue value(args[index]);
    RequireNotNull(value.Get());
    return automation::ToBoolean(value.Get());
}

CompareMode CompareArg(Args args, std::size_t index) {
    switch (LongArg(args, index, 0)) {
    case 0:
        return CompareMode::Binary;
    case 1:
        return CompareMode::Text;
    default:
        RaiseInvalidCall();
    }
}

std::u16string Text(const Variant& value) {
    if (value.IsString()) {
        return value.StringValue();
    }
    return automation::ToString(value);
}

void RaiseInvalidCall() {
    automation::Raise(automation::ErrorNumber::InvalidProcedureCall);
}

std::u16string FoldCase(std::u16string_view text) {
    // A copy as long as the text, which may be most of what the ceiling allows.
    automation::CheckAllocation(text.size(), sizeof(char16_t));
    return automation::ToUpper(text);
}

std::size_t FindText(std::u16string_view haystack, std::u16string_view needle, std::size_t from,
                     CompareMode mode) {
    if (mode == CompareMode::Binary) {
        return TextSearch(needle).Find(haystack, from);
    }
    const std::u16string foldedNeedle = FoldCase(needle);
    return TextSearch(foldedNeedle).Find(FoldCase(haystack), from);
}

const automation::SafeArray& OneDimensionalArray(const Variant& value) {
    const Variant& plain = value.Deref();
    if (!plain.IsArray()) {
        automation::Raise(automation::ErrorNumber::TypeMismatch);
    }
    const automation::SafeArray& array = *plain.ArrayValue();
    if (array.Dimensions() != 1) {
        RaiseInvalidCall();
    }
    return array;
}

std::optional<Variant> InspectableDefault(const Variant& value) {
    const Variant& plain = value.Deref();
    if (!plain.IsObject() || plain.IsNothing()) {
        return std::nullopt;
    }
    automation::Object& object = *plain.ObjectValue();
    std::optional<automation::DispId> id = object.GetDefaultDispId();
    if (!id) {
        return std::nullopt;
    }
    std::span<const automation::MemberInfo> members = object.GetClassInfo().Members();
    auto index = static_cast<std::size_t>(*id);
    if (index < members.size() && (members[index].get == nullptr || members[index].getMinArgs > 0)) {
        return std::nullopt;
    }
    return automation::DefaultValue(plain);
}

std::size_t StringElementCharge(std::u16string_view text) noexcept {
    return text.size() <= std::u16string().capacity() ? sizeof(automation::StringBody) : 0;
}

ListEnumerator::ListEnumerator(std::vector<Variant> items)
    : mItems(std::move(items)), mCharged(mItems.capacity() * sizeof(Variant)) {
    // The items are made already; the caller checked that they fit.
    automation::ChargeMemoryUnchecked(mCharged);
}

ListEnumerator::~ListEnumerator() {
    automation::RefundMemory(mCharged);
}

bool ListEnumerator::Next(Variant& item) {
    if (mNext >= mItems.size()) {
        return false;
    }
    item = mItems[mNext++];
    return true;
}

LocalTime CurrentLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return LocalTime{local.tm_year + 1900,
                     local.tm_mon + 1,
                     local.tm_mday,
                     local.tm_hour,
                     local.tm_min,
                     local.tm_sec,
                     static_cast<double>(now.tv_nsec) / 1e9};
}

} // namespace qv::vbscript::library
