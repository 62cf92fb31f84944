// The array functions of the runtime library (Split, Join and Filter are string functions;
// IsArray is an inspection function).
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/library/LibrarySupport.h"

namespace qv::vbscript {

namespace {

using automation::Variant;
using library::Args;

// Array(arglist): a zero-based Variant array holding copies of the values.
Variant Array(Args args, RuntimeState&) {
    std::vector<Variant> elements;
    elements.reserve(args.size());
    for (Variant& arg : args) {
        elements.push_back(arg.Deref());
    }
    return Variant(automation::MakeArray(std::move(elements)));
}

// LBound/UBound(array[, dimension]): anything but an array (Empty and Null included) raises 13,
// a dimension the array does not have raises 9.
const automation::SafeArray& BoundsOf(Args args, std::size_t& dimension) {
    const Variant& value = args[0].Deref();
    if (!value.IsArray()) {
        automation::Raise(automation::ErrorNumber::TypeMismatch);
    }
    const automation::SafeArray& array = *value.ArrayValue();
    std::int32_t requested = library::LongArg(args, 1, 1);
    if (requested < 1 || static_cast<std::size_t>(requested) > array.Dimensions()) {
        automation::Raise(automation::ErrorNumber::SubscriptOutOfRange);
    }
    dimension = static_cast<std::size_t>(requested);
    return array;
}

Variant LBound(Args args, RuntimeState&) {
    std::size_t dimension = 1;
    const automation::SafeArray& array = BoundsOf(args, dimension);
    return Variant(array.LowerBound(dimension));
}

Variant UBound(Args args, RuntimeState&) {
    std::size_t dimension = 1;
    const automation::SafeArray& array = BoundsOf(args, dimension);
    return Variant(array.UpperBound(dimension));
}

constexpr BuiltinInfo Table[] = {
    {u"Array", 0, -1, &Array},
    {u"LBound", 1, 2, &LBound},
    {u"UBound", 1, 2, &UBound},
};

} // namespace

std::span<const BuiltinInfo> ArrayFunctions() {
    return Table;
}

} // namespace qv::vbscript
