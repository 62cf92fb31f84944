#include "platform/vbscript/library/Dictionary.h"

#include "platform/vbscript/library/LibrarySupport.h"

#include "platform/automation/Memory.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>

namespace qv::vbscript {

using automation::Variant;
using automation::VarType;

namespace {

constexpr std::int32_t ElementNotFound = 32811;

[[noreturn]] void RaiseElementNotFound() {
    automation::Raise(ElementNotFound, u"", u"Element not found");
}

bool IsTextMode(std::int32_t mode) {
    return mode >= 1;
}

} // namespace

// An empty dictionary is charged its own block: a script that makes dictionaries without end
// meets the ceiling like one that fills a single one.
Dictionary::Dictionary() : mCharged(automation::HeapBlockSize(sizeof(Dictionary))) {
    automation::ChargeMemory(mCharged);
}

Dictionary::~Dictionary() {
    automation::RefundMemory(mCharged);
}

void Dictionary::Recharge() noexcept {
    automation::Recharge(mCharged, automation::HeapBlockSize(sizeof(Dictionary)) +
                                       automation::HeapBlockSize(mEntries.capacity() * sizeof(Entry)) +
                                       automation::HeapBlockSize(mSlots.capacity() * sizeof(std::uint32_t)));
}

const automation::ClassInfo& Dictionary::GetClassInfo() const {
    using automation::Method;
    static const automation::ClassInfo info = [] {
        automation::MemberInfo item =
            automation::Property<&Dictionary::GetItem, &Dictionary::LetItem>(u"Item");
        item.set = &automation::detail::Thunk<&Dictionary::SetItem>;
        automation::MemberInfo key{u"Key", nullptr, &automation::detail::Thunk<&Dictionary::LetKey>};
        return automation::ClassInfo(
            u"Dictionary", {
                               Method<&Dictionary::Add>(u"Add"),
                               Method<&Dictionary::Exists>(u"Exists"),
                               Method<&Dictionary::Items>(u"Items"),
                               Method<&Dictionary::Keys>(u"Keys"),
                               Method<&Dictionary::Remove>(u"Remove"),
                               Method<&Dictionary::RemoveAll>(u"RemoveAll"),
                               Method<&Dictionary::Count>(u"Count"),
                               automation::Default(item),
                               key,
                               automation::Property<&Dictionary::GetCompareMode, &Dictionary::LetCompareMode>(
                                   u"CompareMode"),
                               Method<&Dictionary::HashVal>(u"HashVal"),
                           });
    }();
    assert(info.Find(u"Exists") == ExistsMember && info.Find(u"Item") == ItemMember);
    return info;
}

Variant Dictionary::Invoke(automation::DispId id, automation::InvokeKind kind, std::span<Variant> args) {
    const bool isRead = !automation::HasKind(kind, automation::InvokeKind::PropertyLet) &&
                        !automation::HasKind(kind, automation::InvokeKind::PropertySet);
    if (id == ItemMember) {
        if (isRead && args.size() == 1) {
            return GetItem(args[0].Deref());
        }
        if (kind == automation::InvokeKind::PropertyLet && args.size() == 2) {
            LetItem(args[0].Deref(), args[1].Deref());
            return Variant();
        }
    } else if (id == ExistsMember && isRead && args.size() == 1) {
        return Variant(Exists(args[0].Deref()));
    }
    return Object::Invoke(id, kind, args);
}

automation::Ref<automation::Enumerator> Dictionary::NewEnum() {
    automation::CheckAllocation(mLiveCount, sizeof(Variant));
    std::vector<Variant> keys;
    keys.reserve(mLiveCount);
    for (const Entry& entry : mEntries) {
        if (entry.live) {
            keys.push_back(entry.key);
        }
    }
    return automation::MakeRef<library::ListEnumerator>(std::move(keys));
}

namespace {

/// Spreads the bits of a 64-bit value over the hash (the finaliser of SplitMix64).
std::size_t MixBits(std::uint64_t bits) noexcept {
    bits = (bits ^ (bits >> 30)) * 0xBF58476D1CE4E5B9ull;
    bits = (bits ^ (bits >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::size_t>(bits ^ (bits >> 31));
}

/// Binary equality, eight bytes at a time: keys are short, and a call to memcmp costs more than
/// comparing them here.
bool SameUnits(std::u16string_view a, std::u16string_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    const char16_t* left = a.data();
    const char16_t* right = b.data();
    std::size_t count = a.size();
    for (; count >= 4; count -= 4, left += 4, right += 4) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, left, sizeof x);
        std::memcpy(&y, right, sizeof y);
        if (x != y) {
            return false;
        }
    }
    for (; count > 0; --count, ++left, ++right) {
        if (*left != *right) {
            return false;
        }
    }
    return true;
}

} // namespace

std::size_t Dictionary::Hash(const Variant& source, const KeyView& key) const noexcept {
    switch (key.kind) {
    case KeyKind::Null:
        return 0;
    case KeyKind::Number:
        return MixBits(std::bit_cast<std::uint64_t>(key.number));
    case KeyKind::Text:
        // Kept in the string: the key of Exists is usually the key of the Item that follows.
        return source.StringHash(IsTextMode(mCompareMode));
    case KeyKind::Object:
        return MixBits(reinterpret_cast<std::uintptr_t>(key.object));
    }
    return 0;
}

bool Dictionary::Equal(const KeyView& a, const KeyView& b) const noexcept {
    if (a.kind != b.kind) {
        return false;
    }
    switch (a.kind) {
    case KeyKind::Null:
        return true;
    case KeyKind::Number:
        return a.number == b.number;
    case KeyKind::Text:
        if (IsTextMode(mCompareMode)) {
            return automation::EqualsNoCase(a.text, b.text);
        }
        return SameUnits(a.text, b.text);
    case KeyKind::Object:
        return a.object == b.object;
    }
    return false;
}

// Every number is one kind of key whatever its subtype; arrays, missing arguments and NaN are
// no keys (5).
Dictionary::KeyView Dictionary::MakeKey(const Variant& key) const {
    const Variant& value = key.Deref();
    if (value.IsArray()) {
        library::RaiseInvalidCall();
    }
    switch (value.Type()) {
    case VarType::Null:
        return {};
    case VarType::String:
        return {KeyKind::Text, 0, value.StringValue(), nullptr};
    case VarType::Object:
        return {KeyKind::Object, 0, {}, value.ObjectValue().Get()};
    case VarType::Error:
        library::RaiseInvalidCall();
    default: {
        double number = value.Type() == VarType::Date ? value.DateValue() : automation::ToDouble(value);
        if (std::isnan(number)) {
            library::RaiseInvalidCall();
        }
        return {KeyKind::Number, number == 0 ? 0.0 : number, {}, nullptr}; // -0 and 0 are one key
    }
    }
}

std::size_t Dictionary::SlotOf(const KeyView& key, std::size_t hash) const {
    if (mSlots.empty()) {
        return NotFound;
    }
    const std::size_t mask = mSlots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t content = mSlots[slot];
        if (content == EmptySlot) {
            return NotFound;
        }
        if (content == RemovedSlot) {
            continue;
        }
        const Entry& entry = mEntries[content - 1];
        if (entry.hash == hash && Equal(entry.identity, key)) {
            return slot;
        }
    }
}

std::size_t Dictionary::PositionOf(const KeyView& key, std::size_t hash) const {
    const std::size_t slot = SlotOf(key, hash);
    return slot == NotFound ? NotFound : mSlots[slot] - 1;
}

Dictionary::Entry& Dictionary::Insert(const Variant& key, std::size_t hash, Variant item) {
    // Entries and slots count against the memory ceiling: a loop that adds without end gets 7.
    const std::size_t capacity = mEntries.capacity();
    const std::size_t slotCapacity = mSlots.capacity();
    if (mEntries.size() == capacity) {
        automation::CheckAllocation(std::max<std::size_t>(capacity * 2, 16),
                                    sizeof(Entry) + 2 * sizeof(std::uint32_t));
    }
    Entry& entry = mEntries.emplace_back();
    entry.item = std::move(item);
    SetKey(entry, key, hash);
    ++mLiveCount;
    Place(mEntries.size() - 1);
    if (mEntries.capacity() != capacity || mSlots.capacity() != slotCapacity) {
        Recharge();
    }
    return entry;
}

void Dictionary::SetKey(Entry& entry, const Variant& key, std::size_t hash) {
    entry.key = key.Deref();
    // Viewed in the entry's own copy, which shares the caller's string but outlives it.
    entry.identity = MakeKey(entry.key);
    entry.hash = hash;
}

void Dictionary::Place(std::size_t position) {
    // The table never fills, so every probe meets an Empty slot.
    if ((mUsedSlots + 1) * 4 > mSlots.size() * 3) {
        Reindex();
        return;
    }
    const std::size_t mask = mSlots.size() - 1;
    std::size_t slot = mEntries[position].hash & mask;
    while (mSlots[slot] != EmptySlot && mSlots[slot] != RemovedSlot) {
        slot = (slot + 1) & mask;
    }
    if (mSlots[slot] == EmptySlot) {
        ++mUsedSlots;
    }
    mSlots[slot] = static_cast<std::uint32_t>(position + 1);
}

void Dictionary::Reindex() {
    // At most half full afterwards, so that growing stays rare.
    std::size_t capacity = 16;
    while (capacity < mLiveCount * 2) {
        capacity *= 2;
    }
    mSlots.assign(capacity, EmptySlot);
    mUsedSlots = 0;
    const std::size_t mask = capacity - 1;
    for (std::size_t position = 0; position < mEntries.size(); ++position) {
        if (!mEntries[position].live) {
            continue;
        }
        std::size_t slot = mEntries[position].hash & mask;
        while (mSlots[slot] != EmptySlot) {
            slot = (slot + 1) & mask;
        }
        mSlots[slot] = static_cast<std::uint32_t>(position + 1);
        ++mUsedSlots;
    }
}

// Removal leaves a dead entry so that positions stay valid; once the dead outnumber the live,
// the entries are packed and re-indexed.
void Dictionary::Compact() {
    std::size_t dead = mEntries.size() - mLiveCount;
    if (dead < 16 || dead < mLiveCount) {
        return;
    }
    // The live entries move to new storage while the old one is still held.
    automation::CheckAllocation(mLiveCount, sizeof(Entry));
    std::vector<Entry> live;
    live.reserve(mLiveCount);
    for (Entry& entry : mEntries) {
        if (entry.live) {
            live.push_back(std::move(entry));
        }
    }
    mEntries = std::move(live);
    Reindex();
    Recharge();
}

void Dictionary::Add(const Variant& key, Variant item) {
    const KeyView identity = MakeKey(key);
    const std::size_t hash = Hash(key, identity);
    if (SlotOf(identity, hash) != NotFound) {
        automation::Raise(automation::ErrorNumber::DuplicateKey);
    }
    Insert(key, hash, std::move(item));
}

bool Dictionary::Exists(const Variant& key) const {
    const KeyView identity = MakeKey(key);
    return SlotOf(identity, Hash(key, identity)) != NotFound;
}

Variant Dictionary::Items() const {
    automation::CheckAllocation(mLiveCount, sizeof(Variant));
    std::vector<Variant> items;
    items.reserve(mLiveCount);
    for (const Entry& entry : mEntries) {
        if (entry.live) {
            items.push_back(entry.item);
        }
    }
    return Variant(automation::MakeArray(std::move(items)));
}

Variant Dictionary::Keys() const {
    automation::CheckAllocation(mLiveCount, sizeof(Variant));
    std::vector<Variant> keys;
    keys.reserve(mLiveCount);
    for (const Entry& entry : mEntries) {
        if (entry.live) {
            keys.push_back(entry.key);
        }
    }
    return Variant(automation::MakeArray(std::move(keys)));
}

void Dictionary::Remove(const Variant& key) {
    const KeyView identity = MakeKey(key);
    const std::size_t slot = SlotOf(identity, Hash(key, identity));
    if (slot == NotFound) {
        RaiseElementNotFound();
    }
    Entry& entry = mEntries[mSlots[slot] - 1];
    entry.live = false;
    entry.key = Variant();
    entry.item = Variant();
    entry.identity = KeyView();
    mSlots[slot] = RemovedSlot;
    --mLiveCount;
    Compact();
}

void Dictionary::RemoveAll() {
    mEntries.clear();
    mSlots.clear();
    mUsedSlots = 0;
    mLiveCount = 0;
}

Variant Dictionary::GetItem(const Variant& key) {
    const KeyView identity = MakeKey(key);
    const std::size_t hash = Hash(key, identity);
    const std::size_t position = PositionOf(identity, hash);
    if (position != NotFound) {
        return mEntries[position].item;
    }
    Insert(key, hash, Variant());
    return Variant();
}

void Dictionary::LetItem(const Variant& key, Variant item) {
    const KeyView identity = MakeKey(key);
    const std::size_t hash = Hash(key, identity);
    const std::size_t position = PositionOf(identity, hash);
    if (position != NotFound) {
        mEntries[position].item = std::move(item);
        return;
    }
    Insert(key, hash, std::move(item));
}

void Dictionary::SetItem(const Variant& key, Variant item) {
    if (!item.IsObject()) {
        automation::Raise(automation::ErrorNumber::ObjectRequired);
    }
    LetItem(key, std::move(item));
}

void Dictionary::LetKey(const Variant& key, const Variant& newKey) {
    const KeyView identity = MakeKey(key);
    const std::size_t slot = SlotOf(identity, Hash(key, identity));
    if (slot == NotFound) {
        RaiseElementNotFound();
    }
    const KeyView renamed = MakeKey(newKey);
    const std::size_t renamedHash = Hash(newKey, renamed);
    if (SlotOf(renamed, renamedHash) != NotFound) {
        automation::Raise(automation::ErrorNumber::DuplicateKey);
    }
    const std::size_t position = mSlots[slot] - 1;
    mSlots[slot] = RemovedSlot;
    SetKey(mEntries[position], newKey, renamedHash);
    Place(position);
}

void Dictionary::LetCompareMode(std::int32_t mode) {
    if (mLiveCount != 0) {
        library::RaiseInvalidCall();
    }
    // Hashes of text depend on the mode; with no keys there is nothing to rehash.
    mCompareMode = mode;
}

// The hash of the runtime's own table of 1201 buckets: a shift-and-add over the (lower-cased in
// text mode) units of a string, the bits of the Single of a number, the address of an object.
std::int32_t Dictionary::HashVal(const Variant& key) const {
    constexpr std::uint32_t Buckets = 1201;
    const Variant& value = key.Deref();
    if (value.IsArray()) {
        library::RaiseInvalidCall();
    }
    switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null:
        return 0;
    case VarType::String: {
        const bool isText = IsTextMode(mCompareMode);
        std::uint32_t hash = 0;
        for (char16_t c : value.StringValue()) {
            hash += (hash << 4) + (isText ? automation::LowerChar(c) : c);
        }
        return static_cast<std::int32_t>(hash % Buckets);
    }
    case VarType::Object:
        return static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(value.ObjectValue().Get()) %
                                         Buckets);
    case VarType::Error:
        library::RaiseInvalidCall();
    default: {
        double number = value.Type() == VarType::Date ? value.DateValue() : automation::ToDouble(value);
        if (std::isnan(number)) {
            library::RaiseInvalidCall();
        }
        if (std::isinf(number)) {
            return 0;
        }
        return static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(static_cast<float>(number)) % Buckets);
    }
    }
}

std::optional<Variant> Dictionary::Find(const Variant& key) const {
    const KeyView identity = MakeKey(key);
    const std::size_t position = PositionOf(identity, Hash(key, identity));
    if (position == NotFound) {
        return std::nullopt;
    }
    return mEntries[position].item;
}

} // namespace qv::vbscript
