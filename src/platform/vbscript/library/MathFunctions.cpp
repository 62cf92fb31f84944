// The mathematical functions of the runtime library, and the random-number generator whose
// sequence scripts rely on: the same seed gives the same numbers as the runtime it replaces.
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/library/LibrarySupport.h"

#include <bit>
#include <cmath>

namespace qv::vbscript {

namespace {

using automation::Variant;
using library::Args;
using library::RaiseInvalidCall;
using library::RequireNotNull;
using library::ValueOf;

double NumberArg(Args args) {
    Variant value = ValueOf(args, 0);
    RequireNotNull(value);
    return automation::ToDouble(value);
}

Variant Atn(Args args, RuntimeState&) {
    return Variant(std::atan(NumberArg(args)));
}
Variant Cos(Args args, RuntimeState&) {
    return Variant(std::cos(NumberArg(args)));
}
Variant Sin(Args args, RuntimeState&) {
    return Variant(std::sin(NumberArg(args)));
}
Variant Tan(Args args, RuntimeState&) {
    return Variant(std::tan(NumberArg(args)));
}

Variant Exp(Args args, RuntimeState&) {
    double result = std::exp(NumberArg(args));
    if (std::isinf(result)) {
        automation::Raise(automation::ErrorNumber::Overflow);
    }
    return Variant(result);
}

Variant Log(Args args, RuntimeState&) {
    double x = NumberArg(args);
    if (x <= 0) {
        RaiseInvalidCall();
    }
    return Variant(std::log(x));
}

Variant Sqr(Args args, RuntimeState&) {
    double x = NumberArg(args);
    if (x < 0) {
        RaiseInvalidCall();
    }
    return Variant(std::sqrt(x));
}

// The generator is a 24-bit linear congruential sequence. Rnd(0) repeats the last number;
// a negative argument reseeds from the bits of its Single value, so Rnd(-1) always gives the
// same number; no argument or a positive one advances.
constexpr std::uint32_t SeedMask = 0xFFFFFF;

Variant Rnd(Args args, RuntimeState& state) {
    float number = 1.0f;
    if (library::IsGiven(args, 0)) {
        Variant value = ValueOf(args, 0);
        RequireNotNull(value);
        number = automation::ToSingle(value);
    }
    if (number < 0) {
        std::uint32_t bits = std::bit_cast<std::uint32_t>(number);
        state.rndSeed = (bits + (bits >> 24)) & SeedMask;
    }
    if (number != 0) {
        state.rndSeed = (state.rndSeed * 0xFD43FDu + 0xC39EC3u) & SeedMask;
    }
    state.lastRnd = static_cast<float>(state.rndSeed) / 16777216.0f;
    return Variant(state.lastRnd);
}

double SecondsSinceMidnight() {
    library::LocalTime now = library::CurrentLocalTime();
    return now.hour * 3600.0 + now.minute * 60.0 + now.second + now.secondFraction;
}

// Randomize mixes the high word of the number's Double bits into the middle 16 bits of the seed
// and keeps the rest, so Randomize with one number repeats a sequence only after Rnd(-1).
Variant Randomize(Args args, RuntimeState& state) {
    double number = 0;
    if (library::IsGiven(args, 0)) {
        Variant value = ValueOf(args, 0);
        RequireNotNull(value);
        number = automation::ToDouble(value);
    } else {
        number = static_cast<float>(SecondsSinceMidnight());
    }
    std::uint32_t high = static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(number) >> 32);
    std::uint32_t mixed = ((high & 0xFFFF) ^ (high >> 16)) << 8;
    state.rndSeed = (state.rndSeed & 0xFF0000FFu) | (mixed & 0x00FFFF00u);
    return Variant();
}

// Seconds since midnight as a Single, to the hundredth.
Variant Timer(Args, RuntimeState&) {
    return Variant(static_cast<float>(std::floor(SecondsSinceMidnight() * 100.0) / 100.0));
}

constexpr BuiltinInfo Table[] = {
    {u"Atn", 1, 1, &Atn},     {u"Cos", 1, 1, &Cos}, {u"Sin", 1, 1, &Sin},
    {u"Tan", 1, 1, &Tan},     {u"Exp", 1, 1, &Exp}, {u"Log", 1, 1, &Log},
    {u"Sqr", 1, 1, &Sqr},     {u"Rnd", 0, 1, &Rnd}, {u"Randomize", 0, 1, &Randomize},
    {u"Timer", 0, 0, &Timer},
};

} // namespace

std::span<const BuiltinInfo> MathFunctions() {
    return Table;
}

} // namespace qv::vbscript
