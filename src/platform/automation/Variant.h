#pragma once

#include "platform/automation/Ref.h"

#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::automation {

class Object;
class SafeArray;

/// The VB subtypes, numbered as VarType() reports them.
enum class VarType : std::uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2, // 16-bit
    Long = 3,    // 32-bit
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9, // Nothing is an Object holding no reference
    Error = 10,
    Boolean = 11,
    Variant = 12, // only as an array's element type
    Byte = 17,
};

/// Added to the element type by VarType() for arrays.
inline constexpr std::uint16_t VarTypeArrayFlag = 0x2000;

/// The error code a missing optional argument carries (DISP_E_PARAMNOTFOUND).
inline constexpr std::int32_t ParamNotFound = static_cast<std::int32_t>(0x80020004u);

/// A fixed-point number with four decimal places, held scaled by 10,000 as VB's Currency is.
class Currency {
public:
    static constexpr std::int64_t Scale = 10000;
    constexpr Currency() = default;
    static constexpr Currency FromScaled(std::int64_t scaled) {
        Currency c;
        c.mScaled = scaled;
        return c;
    }
    constexpr std::int64_t Scaled() const { return mScaled; }
    double ToDouble() const { return static_cast<double>(mScaled) / Scale; }
    constexpr bool operator==(const Currency&) const = default;

private:
    std::int64_t mScaled = 0;
};

/// The body of a String variant. Shared between copies; changed in place only while unique, so
/// `s = s & piece` on a string nobody else holds appends without copying.
/// Each body charges the apartment's memory account for its text (Memory.h).
/// Scripts make and drop a short string on nearly every line (Mid, Replace, "k" & i): a body
/// whose last reference goes is kept, with its buffer, as a spare of the thread's for the next
/// string, so that a short-lived string costs no allocation.
class StringBody final : public RefCounted {
public:
    /// Raises 7 when the text takes the account past its ceiling.
    explicit StringBody(std::u16string text);
    ~StringBody() override;
    StringBody(const StringBody&) = delete;
    StringBody& operator=(const StringBody&) = delete;

    /// A body for new text, not yet referenced: a spare one (its text empty, its buffer kept)
    /// when the thread has one, else a new one.
    static StringBody* Acquire();
    /// Charges the text written into an acquired body (raises 7 past the ceiling).
    void Charge();
    /// Gives back a body acquired but not used.
    void Discard() noexcept;
    /// Drops one reference; the last one makes the body a spare or deletes it.
    void ReleaseText() noexcept {
        if (DropReference()) {
            Retire();
        }
    }

    /// Brings the charge in line with the text after it grew in place.
    void Recharge() noexcept;

    /// The hashes of the text (HashText, HashNoCase), computed once: a dictionary key is often
    /// looked up several times (Exists, then Item). Whoever changes the text in place calls
    /// TextChanged.
    std::size_t Hash(bool ignoreCase) const noexcept;
    void TextChanged() noexcept { mHashed = 0; }

    std::u16string mText;

private:
    StringBody() = default;
    void Retire() noexcept;

    std::size_t mCharged = 0;
    mutable std::size_t mHash = 0;
    mutable std::size_t mHashNoCase = 0;
    mutable std::uint8_t mHashed = 0; // bit 0: mHash, bit 1: mHashNoCase
};

/// A VB value. Copying is cheap: strings and arrays are shared and copied on write, objects are
/// reference-counted. A by-reference variant points at another variant (a ByRef argument); every
/// accessor looks through it.
class Variant {
public:
    Variant() noexcept : mType(VarType::Empty), mCurrency(0) {}
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;
    ~Variant();

    // Typed constructors pick the VB subtype from the C++ type.
    Variant(std::int16_t value) noexcept;
    Variant(std::int32_t value) noexcept;
    Variant(float value) noexcept;
    Variant(double value) noexcept;
    Variant(bool value) noexcept;
    Variant(std::uint8_t value) noexcept;
    Variant(Currency value) noexcept;
    Variant(std::u16string value);
    Variant(std::u16string_view value);
    Variant(const char16_t* value);
    Variant(Ref<Object> object) noexcept;
    Variant(Ref<SafeArray> array) noexcept;
    // An int literal is a Long; wider or unsigned integers must say which subtype they become.
    Variant(long) = delete;
    Variant(long long) = delete;
    Variant(unsigned) = delete;
    Variant(unsigned long) = delete;
    Variant(const char*) = delete;

    static Variant Null() noexcept;
    static Variant Nothing() noexcept;
    static Variant FromDate(double serial) noexcept;
    static Variant FromError(std::int32_t code) noexcept;
    /// The value a missing optional argument has: Error ParamNotFound.
    static Variant Missing() noexcept { return FromError(ParamNotFound); }
    /// A variant that refers to `target`; reads and writes go through to it.
    static Variant ByRef(Variant& target) noexcept;

    /// The subtype, looking through a reference; arrays report their element type plus
    /// VarTypeArrayFlag through VarTypeCode(). Type() of an array is VarType(VarTypeArrayFlag),
    /// a value outside the enumeration: test IsArray() before switching over Type().
    VarType Type() const noexcept;
    std::uint16_t VarTypeCode() const noexcept;

    bool IsEmpty() const noexcept { return Type() == VarType::Empty; }
    bool IsNull() const noexcept { return Type() == VarType::Null; }
    bool IsString() const noexcept { return Type() == VarType::String; }
    bool IsObject() const noexcept { return Type() == VarType::Object; }
    bool IsNothing() const noexcept;
    bool IsArray() const noexcept;
    bool IsNumeric() const noexcept; // Integer, Long, Single, Double, Currency, Byte
    bool IsMissing() const noexcept;
    bool IsByRef() const noexcept { return mType == ByRefTag; }
    /// The subtype of this variant itself, not of what a reference points at; a reference and an
    /// array give values outside the enumeration. For the script engine's inline cases, which
    /// take plain numbers only and leave everything else to the general rules.
    VarType OwnType() const noexcept { return mType; }
    /// The value of this variant itself when OwnType() is Integer or Long, or Double.
    std::int32_t OwnWholeValue() const noexcept {
        assert(mType == VarType::Integer || mType == VarType::Long);
        return mLong;
    }
    double OwnDoubleValue() const noexcept {
        assert(mType == VarType::Double);
        return mDouble;
    }

    /// The variant a reference points at, or this one.
    Variant& Deref() noexcept;
    const Variant& Deref() const noexcept;

    // Raw values without conversion; the subtype must match (asserted). Use the conversion
    // functions of Conversion.h to convert.
    std::int16_t IntegerValue() const noexcept;
    std::int32_t LongValue() const noexcept;
    float SingleValue() const noexcept;
    double DoubleValue() const noexcept;
    Currency CurrencyValue() const noexcept;
    double DateValue() const noexcept;
    bool BooleanValue() const noexcept;
    std::uint8_t ByteValue() const noexcept;
    std::int32_t ErrorValue() const noexcept;
    const std::u16string& StringValue() const noexcept;
    /// StringBody::Hash of a String's text.
    std::size_t StringHash(bool ignoreCase) const noexcept;
    const Ref<Object>& ObjectValue() const noexcept;
    const Ref<SafeArray>& ArrayValue() const noexcept;
    /// The array for writing: unshared first if another variant holds it too (unless it is
    /// locked). Raises 13 when this is not an array.
    SafeArray& MutableArray();

    /// Appends to a String variant in place when its body is not shared; otherwise (or when this
    /// is not a String) becomes the concatenation of its text form and `piece`.
    void AppendString(std::u16string_view piece);

    /// Builds the text of a new String in place, in a spare body when the thread has one, instead
    /// of in a std::u16string that the String then takes over: `TextBuilder text; fill
    /// text.Text(); return text.Finish();`.
    class TextBuilder {
    public:
        TextBuilder() : mBody(StringBody::Acquire()) {}
        ~TextBuilder() {
            if (mBody) {
                mBody->Discard();
            }
        }
        TextBuilder(const TextBuilder&) = delete;
        TextBuilder& operator=(const TextBuilder&) = delete;

        std::u16string& Text() noexcept { return mBody->mText; }
        /// The String; raises 7 when its text takes the account past the ceiling.
        Variant Finish();

    private:
        StringBody* mBody;
    };

private:
    static constexpr VarType ByRefTag = static_cast<VarType>(0x4000);
    static constexpr VarType ArrayTag = static_cast<VarType>(0x2000);

    void Clear() noexcept;
    void CopyFrom(const Variant& other);
    /// Whether the payload is a counted pointer the destructor must release.
    bool HoldsCount() const noexcept {
        return mType == VarType::String || mType == VarType::Object || mType == ArrayTag;
    }

    VarType mType;
    union {
        std::int16_t mInteger;
        std::int32_t mLong;
        float mSingle;
        double mDouble;
        std::int64_t mCurrency;
        double mDate;
        bool mBoolean;
        std::uint8_t mByte;
        std::int32_t mError;
        StringBody* mString;
        Object* mObject;
        SafeArray* mArray;
        Variant* mRef;
    };
};

// The moves, the scalar constructors and the accessors are defined here so that the script
// engine's inner loop inlines them; counting and releasing stay in Variant.cpp. Every
// constructor zeroes the eight payload bytes first, so moves may copy all of them.

// A copy writes type and payload once: the script engine copies a value on every read of a
// variable.
inline Variant::Variant(const Variant& other) {
    if (other.HoldsCount()) {
        mType = VarType::Empty;
        CopyFrom(other);
        return;
    }
    mType = other.mType;
    std::memcpy(&mCurrency, &other.mCurrency, sizeof mCurrency);
}

inline Variant& Variant::operator=(const Variant& other) {
    // Copy before releasing: `other` may live inside what this variant holds (an element of its
    // array, a property of its object).
    Variant copy(other);
    return *this = std::move(copy);
}

inline Variant::Variant(Variant&& other) noexcept : mType(other.mType) {
    std::memcpy(&mCurrency, &other.mCurrency, sizeof mCurrency);
    other.mType = VarType::Empty;
}

inline Variant& Variant::operator=(Variant&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    // Take the payload before releasing ours: `other` may live inside what this variant holds.
    const VarType type = other.mType;
    std::int64_t payload;
    std::memcpy(&payload, &other.mCurrency, sizeof payload);
    other.mType = VarType::Empty;
    if (HoldsCount()) {
        Clear();
    }
    mType = type;
    std::memcpy(&mCurrency, &payload, sizeof payload);
    return *this;
}

inline Variant::~Variant() {
    if (HoldsCount()) {
        Clear();
    }
}

// An Integer's payload holds its value widened to a Long as well, so that OwnWholeValue reads
// both subtypes the same way.
inline Variant::Variant(std::int16_t value) noexcept : Variant() {
    static_assert(std::endian::native == std::endian::little, "mInteger overlays mLong's low half");
    mType = VarType::Integer;
    mLong = value;
}
inline Variant::Variant(std::int32_t value) noexcept : Variant() {
    mType = VarType::Long;
    mLong = value;
}
inline Variant::Variant(float value) noexcept : Variant() {
    mType = VarType::Single;
    mSingle = value;
}
inline Variant::Variant(double value) noexcept : mType(VarType::Double), mDouble(value) {}
inline Variant::Variant(bool value) noexcept : Variant() {
    mType = VarType::Boolean;
    mBoolean = value;
}
inline Variant::Variant(std::uint8_t value) noexcept : Variant() {
    mType = VarType::Byte;
    mByte = value;
}
inline Variant::Variant(Currency value) noexcept : mType(VarType::Currency), mCurrency(value.Scaled()) {}

inline Variant& Variant::Deref() noexcept {
    return mType == ByRefTag ? *mRef : *this;
}
inline const Variant& Variant::Deref() const noexcept {
    return mType == ByRefTag ? *mRef : *this;
}
inline VarType Variant::Type() const noexcept {
    return Deref().mType;
}
inline bool Variant::IsArray() const noexcept {
    return Deref().mType == ArrayTag;
}
inline bool Variant::IsMissing() const noexcept {
    const Variant& value = Deref();
    return value.mType == VarType::Error && value.mError == ParamNotFound;
}

inline std::int16_t Variant::IntegerValue() const noexcept {
    assert(Type() == VarType::Integer);
    return Deref().mInteger;
}
inline std::int32_t Variant::LongValue() const noexcept {
    assert(Type() == VarType::Long);
    return Deref().mLong;
}
inline float Variant::SingleValue() const noexcept {
    assert(Type() == VarType::Single);
    return Deref().mSingle;
}
inline double Variant::DoubleValue() const noexcept {
    assert(Type() == VarType::Double);
    return Deref().mDouble;
}
inline Currency Variant::CurrencyValue() const noexcept {
    assert(Type() == VarType::Currency);
    return Currency::FromScaled(Deref().mCurrency);
}
inline double Variant::DateValue() const noexcept {
    assert(Type() == VarType::Date);
    return Deref().mDate;
}
inline bool Variant::BooleanValue() const noexcept {
    assert(Type() == VarType::Boolean);
    return Deref().mBoolean;
}
inline std::uint8_t Variant::ByteValue() const noexcept {
    assert(Type() == VarType::Byte);
    return Deref().mByte;
}
inline std::int32_t Variant::ErrorValue() const noexcept {
    assert(Type() == VarType::Error);
    return Deref().mError;
}
inline const std::u16string& Variant::StringValue() const noexcept {
    assert(Type() == VarType::String);
    return Deref().mString->mText;
}
inline std::size_t Variant::StringHash(bool ignoreCase) const noexcept {
    assert(Type() == VarType::String);
    return Deref().mString->Hash(ignoreCase);
}
inline const Ref<Object>& Variant::ObjectValue() const noexcept {
    assert(Type() == VarType::Object);
    // Ref<Object> has the layout of one Object pointer; the variant owns one count, so the
    // reference is viewed in place instead of being copied.
    static_assert(sizeof(Ref<Object>) == sizeof(void*));
    return *reinterpret_cast<const Ref<Object>*>(&Deref().mObject);
}
inline const Ref<SafeArray>& Variant::ArrayValue() const noexcept {
    assert(IsArray());
    static_assert(sizeof(Ref<SafeArray>) == sizeof(void*));
    return *reinterpret_cast<const Ref<SafeArray>*>(&Deref().mArray);
}
inline Variant Variant::ByRef(Variant& target) noexcept {
    // Chains collapse here, so that Deref is a single step.
    Variant value;
    value.mType = ByRefTag;
    value.mRef = &target.Deref();
    return value;
}

/// A VB array: any number of dimensions, each with a lower bound and a count, elements stored
/// with the first subscript varying fastest (a(0,0), a(1,0), a(0,1), ...), which is also the
/// For Each order. Fixed arrays (Dim a(3)) refuse ReDim; arrays being walked by For Each are
/// locked, and MutableArray() writes a locked array in place even while it is shared.
class SafeArray final : public RefCounted {
public:
    struct Bound {
        std::int32_t lower = 0;
        std::int32_t count = 0;
    };
    /// The bound of a(upper) in Dim and ReDim: lower bound 0, upper + 1 elements. An upper bound
    /// below -1 raises 9; 2147483647 would need more elements than a Long counts and raises 7.
    static Bound ZeroBased(std::int32_t upper) {
        if (upper < -1 || upper == INT32_MAX) {
            RaiseBadUpperBound(upper);
        }
        return {0, upper + 1};
    }

    /// Raises 7 when the array does not fit under the apartment's memory ceiling (Memory.h).
    SafeArray(VarType elementType, std::vector<Bound> bounds, bool isFixed = false);
    SafeArray(const SafeArray& other);
    SafeArray& operator=(const SafeArray&) = delete;
    ~SafeArray() override;

    VarType ElementType() const noexcept { return mElementType; }
    std::size_t Dimensions() const noexcept { return mBounds.size(); }
    const std::vector<Bound>& Bounds() const noexcept { return mBounds; }
    std::int32_t LowerBound(std::size_t dimension) const; // 1-based dimension; raises 9
    std::int32_t UpperBound(std::size_t dimension) const;
    std::size_t ElementCount() const noexcept { return mElements.size(); }
    bool IsFixed() const noexcept { return mIsFixed; }
    bool IsLocked() const noexcept { return mLocks > 0; }
    void Lock() noexcept { ++mLocks; }
    void Unlock() noexcept { --mLocks; }

    /// The element at the subscripts; raises 9 when a subscript is out of range or their count
    /// differs from the dimensions.
    Variant& At(std::span<const std::int32_t> subscripts);
    const Variant& At(std::span<const std::int32_t> subscripts) const;
    /// Elements in storage order (For Each order). Keep their number; Redim changes it.
    std::vector<Variant>& Elements() noexcept { return mElements; }
    const std::vector<Variant>& Elements() const noexcept { return mElements; }

    /// ReDim [Preserve]: raises 10 for a fixed or locked array; with preserve only the last
    /// dimension may change (else 9).
    void Redim(std::vector<Bound> bounds, bool preserve);
    /// The same, copying the bounds into the storage the array already has, so that a
    /// ReDim Preserve in a loop allocates nothing but the elements it adds.
    void Redim(std::span<const Bound> bounds, bool preserve);
    /// ReDim Preserve a(upper) of a dynamic Variant list with lower bound 0, the way scripts grow
    /// a list one element at a time. Returns false, changing nothing, for any other array or
    /// bound; Redim then does the work or raises.
    bool ResizeList(std::int32_t upper);

private:
    friend Ref<SafeArray> MakeArray(std::vector<Variant> elements);
    [[noreturn]] static void RaiseBadUpperBound(std::int32_t upper);
    /// Brings the memory charge in line with the storage of the array and its elements.
    void Recharge() noexcept;
    /// What an array of so many elements and bounds takes, its own block included.
    static std::size_t Footprint(std::size_t elementCount, std::size_t boundCount) noexcept;

    VarType mElementType;
    std::vector<Bound> mBounds;
    std::vector<Variant> mElements;
    bool mIsFixed;
    int mLocks = 0;
    std::size_t mCharged = 0;
};

/// A one-dimensional Variant array with lower bound 0, as Array() and Split() make.
Ref<SafeArray> MakeArray(std::vector<Variant> elements);

} // namespace qv::automation
