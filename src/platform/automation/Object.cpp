#include "platform/automation/Object.h"

#include <cassert>
#include <vector>

namespace qv::automation {

ClassInfo::ClassInfo(std::u16string_view name, std::initializer_list<MemberInfo> members)
    : mName(name), mMembers(members) {
    mIndex.reserve(mMembers.size());
    for (std::size_t index = 0; index < mMembers.size(); ++index) {
        const MemberInfo& member = mMembers[index];
        [[maybe_unused]] const bool isNew = mIndex.emplace(member.name, static_cast<DispId>(index)).second;
        assert(isNew && "two members of one class differ only in letter case");
        if (member.isDefault) {
            assert(!mDefault && "a class has one default member");
            mDefault = static_cast<DispId>(index);
        }
    }
}

std::optional<DispId> ClassInfo::Find(std::u16string_view name) const {
    auto it = mIndex.find(name);
    if (it == mIndex.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::u16string Object::TypeName() const {
    return std::u16string(GetClassInfo().Name());
}

std::optional<DispId> Object::GetDispId(std::u16string_view name) const {
    return Info().Find(name);
}

std::optional<DispId> Object::GetDefaultDispId() const {
    return Info().DefaultMember();
}

Ref<Enumerator> Object::NewEnum() {
    Raise(ErrorNumber::ObjectDoesNotSupport);
}

namespace {

/// Calls the default member of the object `value` holds. Nothing raises 91, an object without a
/// default member 438.
Variant InvokeDefault(const Variant& value, InvokeKind kind, std::span<Variant> args) {
    assert(value.IsObject());
    if (!value.ObjectValue()) {
        Raise(ErrorNumber::ObjectVariableNotSet);
    }
    Object& target = *value.ObjectValue();
    const std::optional<DispId> id = target.GetDefaultDispId();
    if (!id) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    return target.Invoke(*id, kind, args);
}

/// Reads a value returned by a property that takes no arguments, indexed by `args`: the default
/// member of an object (`db.Tables("Orders")`) or an element of an array.
Variant IndexResult(const Variant& result, std::span<Variant> args) {
    const Variant& value = result.Deref();
    if (value.IsArray()) {
        std::vector<std::int32_t> subscripts;
        subscripts.reserve(args.size());
        for (Variant& arg : args) {
            subscripts.push_back(ToLong(arg));
        }
        return value.ArrayValue()->At(subscripts);
    }
    if (!value.IsObject()) {
        Raise(ErrorNumber::WrongArgumentCount);
    }
    return InvokeDefault(value, InvokeRead, args);
}

/// An assignment with index arguments to a property that takes none: `obj.Items(1) = x` assigns
/// through the default member of the object the property returns.
Variant AssignThroughDefault(Object& self, const MemberInfo& member, InvokeKind kind,
                             std::span<Variant> args) {
    if (!member.get || member.getMaxArgs != 0 || args.size() < 2) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    const Variant result = member.get(self, {});
    if (!result.IsObject()) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    return InvokeDefault(result.Deref(), kind, args);
}

} // namespace

Variant Object::Invoke(DispId id, InvokeKind kind, std::span<Variant> args) {
    const std::span<const MemberInfo> members = Info().Members();
    if (id < 0 || static_cast<std::size_t>(id) >= members.size()) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    const MemberInfo& member = members[static_cast<std::size_t>(id)];
    if (HasKind(kind, InvokeKind::PropertyLet)) {
        if (member.let) {
            return member.let(*this, args);
        }
        return AssignThroughDefault(*this, member, InvokeKind::PropertyLet, args);
    }
    if (HasKind(kind, InvokeKind::PropertySet)) {
        if (member.set) {
            return member.set(*this, args);
        }
        return AssignThroughDefault(*this, member, InvokeKind::PropertySet, args);
    }
    if (!member.get) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    if (member.getMaxArgs == 0 && !args.empty()) {
        return IndexResult(member.get(*this, {}), args);
    }
    return member.get(*this, args);
}

Variant Object::InvokeByName(std::u16string_view name, InvokeKind kind, std::span<Variant> args) {
    const std::optional<DispId> id = GetDispId(name);
    if (!id) {
        Raise(ErrorNumber::ObjectDoesNotSupport);
    }
    return Invoke(*id, kind, args);
}

Variant CallByName(Object& object, std::u16string_view name, InvokeKind kind, std::vector<Variant> args) {
    return object.InvokeByName(name, kind, args);
}

Variant DefaultValue(const Variant& value) {
    // A default member may itself return an object (a collection's item with a default
    // property); follow the chain, but not forever.
    constexpr int MaxDepth = 16;
    Variant current = value.Deref();
    for (int depth = 0; depth < MaxDepth; ++depth) {
        if (!current.IsObject()) {
            return current;
        }
        Variant next = InvokeDefault(current, InvokeRead, {});
        if (next.IsByRef()) {
            current = next.Deref();
        } else {
            current = std::move(next);
        }
    }
    Raise(ErrorNumber::ObjectDoesNotSupport);
}

} // namespace qv::automation
