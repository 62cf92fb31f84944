#pragma once

#include "platform/vbscript/internal/Builtins.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Argument handling shared by the runtime library's function families. Every runtime function
// receives its arguments as the caller passed them; these helpers apply the rules that all of
// them share: by-reference arguments are looked through, an object stands for its default value,
// an omitted optional argument takes its default, and Null raises 94 where a value is needed.
namespace qv::vbscript::library {

using automation::Variant;
using Args = std::span<Variant>;

/// True when argument `index` was passed: present, and not a skipped middle argument
/// (`FormatNumber(x, , , True)`).
bool IsGiven(Args args, std::size_t index) noexcept;

/// The value an argument stands for: a by-reference argument looked through and an object
/// replaced by its default value (Nothing raises 91, an object without one 438).
Variant ValueOf(const Variant& arg);
/// ValueOf of argument `index`, or Empty when it was not given.
Variant ValueOf(Args args, std::size_t index);

/// The values of all arguments, each object's default value read once, omitted arguments left
/// omitted. Functions that look at an argument more than once resolve first, so that a script's
/// default property runs once per call.
std::vector<Variant> ResolveAll(Args args);

/// ResolveAll only where it is needed: when no argument is an object, the arguments are used in
/// place (references are looked through by every reader), without copying them.
class ResolvedArgs {
public:
    explicit ResolvedArgs(Args args);
    ResolvedArgs(const ResolvedArgs&) = delete;
    ResolvedArgs& operator=(const ResolvedArgs&) = delete;
    operator Args() const noexcept { return mArgs; }

private:
    std::vector<Variant> mValues;
    Args mArgs;
};

/// The value of one argument, read in place: a by-reference argument looked through, an object
/// replaced by its default value (kept here), Empty when the argument was not given. Not
/// copyable: Get() may point into it.
class ArgValue {
public:
    // Inline: the library reads most of its arguments through here.
    ArgValue(Args args, std::size_t index) : mValue(&mHolder) {
        if (index < args.size()) {
            Read(args[index]);
        }
    }
    explicit ArgValue(const Variant& arg) : mValue(&mHolder) { Read(arg); }
    ArgValue(const ArgValue&) = delete;
    ArgValue& operator=(const ArgValue&) = delete;

    const Variant& Get() const noexcept { return *mValue; }
    bool IsNull() const noexcept { return mValue->IsNull(); }

private:
    void Read(const Variant& arg) {
        const Variant& value = arg.Deref();
        if (value.IsObject()) {
            ReadDefault(value);
        } else if (!value.IsMissing()) {
            mValue = &value;
        }
    }
    void ReadDefault(const Variant& object);

    Variant mHolder; // Empty, or an object's default value
    const Variant* mValue;
};

/// The text of one argument, viewed in place when it is a String already (Len, Mid and InStr run
/// on every line of a generated page), else its text form kept here; Null stays Null for the
/// caller to decide. Not copyable: the view may point into it.
class TextArg {
public:
    TextArg(Args args, std::size_t index) : mValue(args, index) { Read(); }
    explicit TextArg(const Variant& arg) : mValue(arg) { Read(); }
    TextArg(const TextArg&) = delete;
    TextArg& operator=(const TextArg&) = delete;

    bool IsNull() const noexcept { return mValue.IsNull(); }
    std::u16string_view View() const noexcept { return mView; }
    /// The argument itself when it is a String: a result equal to it can share its text.
    const Variant* StringVariant() const noexcept {
        return mValue.Get().IsString() ? &mValue.Get() : nullptr;
    }

private:
    void Read() {
        const Variant& value = mValue.Get();
        if (value.IsString()) {
            mView = value.StringValue();
        } else if (!value.IsNull()) {
            Convert(value);
        }
    }
    void Convert(const Variant& value);

    ArgValue mValue;
    std::u16string mConverted;
    std::u16string_view mView;
};

/// The text of an argument that must not be Null (94), viewed in place where it can be.
class RequiredTextArg : public TextArg {
public:
    RequiredTextArg(Args args, std::size_t index);
};

/// Raises 94 (Invalid use of Null) when `value` is Null.
void RequireNotNull(const Variant& value);

/// A numeric argument as CLng converts it (banker's rounding, 6 on overflow, 13 for text that is
/// no number), or `fallback` when it was not given. Null raises 94.
std::int32_t LongArg(Args args, std::size_t index, std::int32_t fallback);
/// A Boolean argument as CBool converts it, or `fallback` when it was not given. Null raises 94.
bool BoolArg(Args args, std::size_t index, bool fallback);

/// A comparison-mode argument: vbBinaryCompare (0) or vbTextCompare (1), binary when it was not
/// given. Null raises 94; any other number raises 5.
automation::CompareMode CompareArg(Args args, std::size_t index);

/// The text form of a value that is known not to be Null (CStr).
std::u16string Text(const Variant& value);

/// Raises 5 (Invalid procedure call or argument).
[[noreturn]] void RaiseInvalidCall();

/// Folds letter case unit by unit for text comparison; the length never changes, so positions
/// found in the folded text are positions in the original.
std::u16string FoldCase(std::u16string_view text);

/// The 0-based position of `needle` in `haystack` at or after `from`, comparing binary or
/// ignoring case; npos when absent.
std::size_t FindText(std::u16string_view haystack, std::u16string_view needle, std::size_t from,
                     automation::CompareMode mode);

/// The one-dimensional array an argument must hold (Split/Join/Filter): 13 when it is no
/// array, 5 when it has more than one dimension.
const automation::SafeArray& OneDimensionalArray(const Variant& value);

/// The value an object stands for when the runtime inspects it (VarType, IsNumeric, IsDate):
/// its default property when it has one that takes no arguments; nullopt for other objects,
/// Nothing and values that are no objects.
std::optional<Variant> InspectableDefault(const Variant& value);

/// The bookkeeping of a library call that builds a result in proportion to its input (the
/// matches of a global search, the parts of Split, the text of Join), so that the call stops as
/// script code would rather than running on: what the result holds is charged to the apartment's
/// memory account as it grows, before it is taken (7 past the ceiling), and every so many steps
/// the run's time-out is checked. The meter gives its charge back when it goes; the finished
/// result then counts for itself as any value does. A small call never reaches the clock.
/// Compiling text a script runs (Execute, ExecuteGlobal, Eval) keeps the same books for its
/// tokens and its syntax tree.
class ResultMeter {
public:
    ResultMeter() = default;
    ResultMeter(const ResultMeter&) = delete;
    ResultMeter& operator=(const ResultMeter&) = delete;

    /// One step of the work: a match, a part, an element.
    void Step() {
        if ((++mSteps & (StepsPerCheck - 1)) == 0) {
            CheckRunDeadline();
        }
    }
    /// `units` of text copied within a step: a step may copy as much as the whole input (a
    /// replacement that repeats the text after each match), so such copies count on their own
    /// and the clock is read once enough of them have added up.
    void Copied(std::size_t units) {
        mCopied += units;
        if (mCopied >= UnitsPerCheck) {
            mCopied = 0;
            CheckRunDeadline();
        }
    }
    /// Charges `bytes` more that the result holds; raises 7 past the ceiling.
    void Charge(std::size_t bytes) { mCharged.Add(bytes); }
    /// Makes room for one more item in `list`, charging for the larger storage first. While it
    /// moves, the old storage and the new are both held: both must fit.
    template <class T> void MakeRoom(std::vector<T>& list) {
        if (list.size() < list.capacity()) {
            return;
        }
        const std::size_t grown = list.capacity() < 16 ? 16 : list.capacity() * 2;
        automation::CheckAllocation(grown, sizeof(T));
        Charge((grown - list.capacity()) * sizeof(T));
        list.reserve(grown);
    }

private:
    // A power of two; each step does far more than an instruction of the loop, which reads the
    // clock every 64th backward jump.
    static constexpr std::uint32_t StepsPerCheck = 64;
    // Some milliseconds of copying.
    static constexpr std::size_t UnitsPerCheck = std::size_t{1} << 22;

    automation::HeldCharge mCharged;
    std::uint32_t mSteps = 0;
    std::size_t mCopied = 0;
};

/// What a String element that a library call makes costs besides its slot: a short text lives in
/// its body, which does not charge for itself (Variant.h), so the builder counts the body.
std::size_t StringElementCharge(std::u16string_view text) noexcept;

/// For Each over a list of items fixed when the loop starts; the list counts against the memory
/// ceiling while the loop holds it.
class ListEnumerator final : public automation::Enumerator {
public:
    explicit ListEnumerator(std::vector<Variant> items);
    ~ListEnumerator() override;
    ListEnumerator(const ListEnumerator&) = delete;
    ListEnumerator& operator=(const ListEnumerator&) = delete;
    bool Next(Variant& item) override;

private:
    std::vector<Variant> mItems;
    std::size_t mNext = 0;
    std::size_t mCharged;
};

/// The wall-clock time of the local time zone, as Date, Time, Now and Timer read it.
struct LocalTime {
    int year, month, day, hour, minute, second;
    double secondFraction; // 0 <= fraction < 1
};
LocalTime CurrentLocalTime();

} // namespace qv::vbscript::library
