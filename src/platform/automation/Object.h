#pragma once

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Ref.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qv::automation {

/// How a member is called: as a method, a property read, a property assignment (Let) or an
/// object assignment (Set). A read through a name (`x = obj.Name`) is Method | PropertyGet.
enum class InvokeKind : std::uint8_t {
    Method = 1,
    PropertyGet = 2,
    PropertyLet = 4,
    PropertySet = 8,
};
constexpr InvokeKind operator|(InvokeKind a, InvokeKind b) {
    return static_cast<InvokeKind>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}
constexpr bool HasKind(InvokeKind set, InvokeKind kind) {
    return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(kind)) != 0;
}
inline constexpr InvokeKind InvokeRead = InvokeKind::Method | InvokeKind::PropertyGet;

/// A member's number within its object; stable for the object's life, so callers may look a
/// name up once and call by number afterwards.
using DispId = std::int32_t;

class Object;
class Enumerator;

/// Calls one accessor of a member. For Let and Set the assigned value is the last argument.
using MemberThunk = Variant (*)(Object& self, std::span<Variant> args);

/// One row of a class's member table.
struct MemberInfo {
    std::u16string_view name;
    MemberThunk get = nullptr; // method call or property read
    MemberThunk let = nullptr;
    MemberThunk set = nullptr;
    std::int8_t getMinArgs = 0; // of `get`; a property read with no arguments called with some
    std::int8_t getMaxArgs = 0; // applies the default member of its result
    bool isDefault = false;
};

/// The member table of one class: its name as TypeName reports it and the members, looked up
/// by name without regard to case. Built once per class and never changed.
class ClassInfo {
public:
    ClassInfo(std::u16string_view name, std::initializer_list<MemberInfo> members);

    std::u16string_view Name() const noexcept { return mName; }
    std::span<const MemberInfo> Members() const noexcept { return mMembers; }
    std::optional<DispId> Find(std::u16string_view name) const;
    std::optional<DispId> DefaultMember() const noexcept { return mDefault; }

private:
    std::u16string mName;
    std::vector<MemberInfo> mMembers;
    std::unordered_map<std::u16string_view, DispId, NoCaseHash, NoCaseEqual> mIndex;
    std::optional<DispId> mDefault;
};

/// Yields the items of a For Each loop one by one.
class Enumerator : public RefCounted {
public:
    /// Sets `item` to the next item and returns true, or returns false at the end.
    virtual bool Next(Variant& item) = 0;
};

/// The objects the script engine treats apart from the others (its class instances, the
/// procedures GetRef returns), told apart by a tag instead of a dynamic_cast on the path of every
/// member call. Every other object is a Host object.
enum class ObjectKind : std::uint8_t { Host, ScriptInstance, ScriptProcedure };

/// The base of every object that scripts and the host reach by name. The library's own C++ code
/// calls the typed methods of the derived classes; Invoke serves late-bound callers.
class Object : public RefCounted {
public:
    Object() = default;
    explicit Object(ObjectKind kind) noexcept : mKind(kind) {}
    // A copy is an object of its own, which asks for its own table.
    Object(const Object& other) noexcept : RefCounted(other), mKind(other.mKind) {}
    Object& operator=(const Object& other) noexcept {
        if (this != &other) {
            RefCounted::operator=(other);
        }
        return *this;
    }

    /// The member table of the most derived class: the same table for the object's whole life.
    virtual const ClassInfo& GetClassInfo() const = 0;
    ObjectKind Kind() const noexcept { return mKind; }

    /// GetClassInfo, asked once per object: scripts read the table on every member call.
    const ClassInfo& Info() const {
        if (!mInfo) {
            mInfo = &GetClassInfo();
        }
        return *mInfo;
    }
    /// The name TypeName() reports.
    virtual std::u16string TypeName() const;

    /// The number of a member, or nullopt. Classes with members beyond their table (settings,
    /// script classes, dictionaries) override this and Invoke together.
    virtual std::optional<DispId> GetDispId(std::u16string_view name) const;
    /// Calls member `id` as `kind`. Raises 438 when the member has no accessor of that kind and
    /// 450 for a wrong argument count. A read of a property that takes no arguments, given
    /// arguments, applies the default member of its result (`db.Tables("Orders")`).
    virtual Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args);
    /// The default member, or nullopt.
    virtual std::optional<DispId> GetDefaultDispId() const;
    /// The enumerator of For Each; raises 438 for objects that are not collections.
    virtual Ref<Enumerator> NewEnum();

    /// Invoke by name; an unknown name raises 438.
    Variant InvokeByName(std::u16string_view name, InvokeKind kind, std::span<Variant> args);

private:
    // The kind first: it fits in the padding after the count of RefCounted.
    ObjectKind mKind = ObjectKind::Host;
    mutable const ClassInfo* mInfo = nullptr;
};

/// Convenience for C++ callers: `CallByName(obj, u"Item", InvokeRead, {Variant(std::int32_t(1))})`.
Variant CallByName(Object& object, std::u16string_view name, InvokeKind kind, std::vector<Variant> args = {});

// ---------------------------------------------------------------------------------------------
// Member thunks: a member table row made from a C++ member function (const or not, noexcept or
// not). Arguments convert from Variant by the parameter type (bool, std::int16_t, std::int32_t,
// float, double, std::uint8_t, Currency, std::u16string, Variant, Ref<T> of an Object type);
// std::optional<T> marks an optional argument; `Variant&` receives a by-reference argument so
// that writes reach the caller. `const Variant&`, `const std::u16string&` and
// `std::u16string_view` read the argument in place when it already has that form (no copy), and
// otherwise a converted value that lives until the member returns. Results convert back to
// Variant; void gives Empty.

namespace detail {

template <class T> struct IsOptional : std::false_type {};
template <class T> struct IsOptional<std::optional<T>> : std::true_type {};
template <class T> struct IsRef : std::false_type {};
template <class T> struct IsRef<Ref<T>> : std::true_type {};

template <class T> T ArgAs(Variant& arg) {
    using Plain = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<T, Variant&> || std::is_same_v<T, const Variant&> ||
                  std::is_same_v<Plain, Variant>) {
        return arg.Deref();
    } else if constexpr (IsOptional<Plain>::value) {
        if (arg.IsMissing()) {
            return std::nullopt;
        }
        return ArgAs<typename Plain::value_type>(arg);
    } else if constexpr (std::is_same_v<Plain, bool>) {
        return ToBoolean(arg);
    } else if constexpr (std::is_same_v<Plain, std::int16_t>) {
        return ToInteger(arg);
    } else if constexpr (std::is_same_v<Plain, std::int32_t>) {
        return ToLong(arg);
    } else if constexpr (std::is_same_v<Plain, float>) {
        return ToSingle(arg);
    } else if constexpr (std::is_same_v<Plain, double>) {
        return ToDouble(arg);
    } else if constexpr (std::is_same_v<Plain, std::uint8_t>) {
        return ToByte(arg);
    } else if constexpr (std::is_same_v<Plain, Currency>) {
        return ToCurrency(arg);
    } else if constexpr (std::is_same_v<Plain, std::u16string>) {
        static_assert(!std::is_reference_v<T>, "a const std::u16string& parameter reads through ArgHolder");
        return ToString(arg);
    } else if constexpr (IsRef<Plain>::value) {
        const Variant& value = arg.Deref();
        if (!value.IsObject()) {
            Raise(ErrorNumber::ObjectRequired);
        }
        if (!value.ObjectValue()) {
            return Plain();
        }
        auto cast = DynamicRefCast<typename std::remove_reference_t<decltype(*std::declval<Plain>())>>(
            value.ObjectValue());
        if (!cast) {
            Raise(ErrorNumber::TypeMismatch);
        }
        return cast;
    } else {
        static_assert(sizeof(T) == 0, "no conversion from Variant to this parameter type");
    }
}

/// One argument converted for a parameter of type T, alive until the member returns. The
/// arguments of a call are converted left to right, so the first bad one raises.
template <class T> class ArgHolder {
public:
    explicit ArgHolder(Variant& arg) : mValue(ArgAs<T>(arg)) {}
    T Get() { return std::forward<T>(mValue); }

private:
    // A reference parameter (`Variant&`, `const Variant&`) keeps the reference.
    std::conditional_t<std::is_reference_v<T>, T, std::remove_cv_t<T>> mValue;
};

/// Text parameters: the argument's own string when it is a String, else its text form kept here.
class TextArgHolder {
public:
    explicit TextArgHolder(Variant& arg) {
        const Variant& value = arg.Deref();
        if (value.IsString()) {
            mText = &value.StringValue();
            return;
        }
        mConverted = ToString(value);
        mText = &mConverted;
    }
    TextArgHolder(const TextArgHolder&) = delete;
    TextArgHolder& operator=(const TextArgHolder&) = delete;

protected:
    const std::u16string* mText;
    std::u16string mConverted;
};
template <> class ArgHolder<const std::u16string&> : public TextArgHolder {
public:
    using TextArgHolder::TextArgHolder;
    const std::u16string& Get() const { return *mText; }
};
template <> class ArgHolder<std::u16string_view> : public TextArgHolder {
public:
    using TextArgHolder::TextArgHolder;
    std::u16string_view Get() const { return *mText; }
};
template <> class ArgHolder<std::optional<std::u16string_view>> {
public:
    explicit ArgHolder(Variant& arg) {
        if (!arg.IsMissing()) {
            mText.emplace(arg);
        }
    }
    std::optional<std::u16string_view> Get() const {
        if (!mText) {
            return std::nullopt;
        }
        return mText->Get();
    }

private:
    std::optional<ArgHolder<std::u16string_view>> mText;
};

template <class T> Variant ResultAsVariant(T&& value) {
    using Plain = std::remove_cvref_t<T>;
    if constexpr (IsRef<Plain>::value) {
        return Variant(Ref<Object>(std::forward<T>(value)));
    } else {
        return Variant(std::forward<T>(value));
    }
}

template <class T> constexpr bool IsOptionalParam = IsOptional<std::remove_cvref_t<T>>::value;

/// What a thunk needs of a member function: its class, result and parameters.
template <class C, class R, class... A> struct MethodShape {
    using Class = C;
    using Result = R;
    static constexpr int maxArgs = sizeof...(A);
    static constexpr int minArgs = (0 + ... + (IsOptionalParam<A> ? 0 : 1));
    /// Converts the arguments one by one, in order, so that the first bad one raises; each
    /// converted value lives in this recursion until the member returns.
    template <std::size_t Index = 0, class Method, class... Held>
    static R Call(C& self, std::span<Variant> args, Method method, Held&... held) {
        if constexpr (Index == sizeof...(A)) {
            return (self.*method)(held.Get()...);
        } else {
            using Param = std::tuple_element_t<Index, std::tuple<A...>>;
            if (Index < args.size()) {
                ArgHolder<Param> holder(args[Index]);
                return Call<Index + 1>(self, args, method, held..., holder);
            }
            Variant missing = Variant::Missing();
            ArgHolder<Param> holder(missing);
            return Call<Index + 1>(self, args, method, held..., holder);
        }
    }
};

template <class Signature> struct MethodTraits;
template <class C, class R, class... A> struct MethodTraits<R (C::*)(A...)> : MethodShape<C, R, A...> {};
template <class C, class R, class... A>
struct MethodTraits<R (C::*)(A...) const> : MethodShape<C, R, A...> {};
template <class C, class R, class... A>
struct MethodTraits<R (C::*)(A...) noexcept> : MethodShape<C, R, A...> {};
template <class C, class R, class... A>
struct MethodTraits<R (C::*)(A...) const noexcept> : MethodShape<C, R, A...> {};

template <auto Method> Variant Thunk(Object& self, std::span<Variant> args) {
    using Traits = MethodTraits<decltype(Method)>;
    using C = typename Traits::Class;
    if (static_cast<int>(args.size()) < Traits::minArgs || static_cast<int>(args.size()) > Traits::maxArgs) {
        Raise(ErrorNumber::WrongArgumentCount);
    }
    auto& typed = static_cast<C&>(self);
    if constexpr (std::is_void_v<typename Traits::Result>) {
        Traits::Call(typed, args, Method);
        return Variant();
    } else {
        return ResultAsVariant(Traits::Call(typed, args, Method));
    }
}

} // namespace detail

/// A method, or a read-only property.
template <auto Getter> MemberInfo Method(std::u16string_view name) {
    using Traits = detail::MethodTraits<decltype(Getter)>;
    return MemberInfo{name, &detail::Thunk<Getter>, nullptr, nullptr, Traits::minArgs, Traits::maxArgs,
                      false};
}
/// A property with a Let accessor (the setter takes the value as its last parameter).
template <auto Getter, auto Letter> MemberInfo Property(std::u16string_view name) {
    MemberInfo info = Method<Getter>(name);
    info.let = &detail::Thunk<Letter>;
    return info;
}
/// A property holding an object, with a Set accessor.
template <auto Getter, auto Setter> MemberInfo ObjectProperty(std::u16string_view name) {
    MemberInfo info = Method<Getter>(name);
    info.set = &detail::Thunk<Setter>;
    return info;
}
/// Marks a row as the default member.
inline MemberInfo Default(MemberInfo info) {
    info.isDefault = true;
    return info;
}

} // namespace qv::automation
