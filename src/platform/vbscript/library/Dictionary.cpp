#include "platform/vbscript/library/Dictionary.h"

#include "platform/vbscript/library/LibrarySupport.h"

#include <bit>
#include <cmath>
#include <functional>

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
    return info;
}

automation::Ref<automation::Enumerator> Dictionary::NewEnum() {
    std::vector<Variant> keys;
    keys.reserve(mIndex.size());
    for (const Entry& entry : mEntries) {
        if (entry.live) {
            keys.push_back(entry.key);
        }
    }
    return automation::MakeRef<library::ListEnumerator>(std::move(keys));
}

std::size_t Dictionary::KeyHash::operator()(const KeyData& key) const noexcept {
    return std::hash<KeyData>()(key);
}

// Every number is one kind of key whatever its subtype; arrays, missing arguments and NaN are
// no keys (5).
Dictionary::KeyData Dictionary::MakeKey(const Variant& key) const {
    const Variant& value = key.Deref();
    if (value.IsArray()) {
        library::RaiseInvalidCall();
    }
    switch (value.Type()) {
    case VarType::Null:
        return std::monostate{};
    case VarType::String:
        return IsTextMode(mCompareMode) ? library::FoldCase(value.StringValue()) : value.StringValue();
    case VarType::Object:
        return static_cast<const void*>(value.ObjectValue().Get());
    case VarType::Error:
        library::RaiseInvalidCall();
    default: {
        double number = value.Type() == VarType::Date ? value.DateValue() : automation::ToDouble(value);
        if (std::isnan(number)) {
            library::RaiseInvalidCall();
        }
        return number == 0 ? 0.0 : number; // -0 and 0 are one key
    }
    }
}

Dictionary::Entry& Dictionary::Insert(const Variant& key, Variant item) {
    KeyData data = MakeKey(key);
    mEntries.push_back(Entry{key.Deref(), std::move(item)});
    mIndex.emplace(std::move(data), mEntries.size() - 1);
    return mEntries.back();
}

// Removal leaves a dead entry so that indexes stay valid; once the dead outnumber the live, the
// entries are packed and re-indexed.
void Dictionary::Compact() {
    std::size_t dead = mEntries.size() - mIndex.size();
    if (dead < 16 || dead < mIndex.size()) {
        return;
    }
    std::vector<Entry> live;
    live.reserve(mIndex.size());
    for (Entry& entry : mEntries) {
        if (entry.live) {
            live.push_back(std::move(entry));
        }
    }
    mEntries = std::move(live);
    mIndex.clear();
    for (std::size_t i = 0; i < mEntries.size(); ++i) {
        mIndex.emplace(MakeKey(mEntries[i].key), i);
    }
}

void Dictionary::Add(Variant key, Variant item) {
    if (mIndex.contains(MakeKey(key))) {
        automation::Raise(automation::ErrorNumber::DuplicateKey);
    }
    Insert(key, std::move(item));
}

bool Dictionary::Exists(Variant key) const {
    return mIndex.contains(MakeKey(key));
}

Variant Dictionary::Items() const {
    std::vector<Variant> items;
    items.reserve(mIndex.size());
    for (const Entry& entry : mEntries) {
        if (entry.live) {
            items.push_back(entry.item);
        }
    }
    return Variant(automation::MakeArray(std::move(items)));
}

Variant Dictionary::Keys() const {
    std::vector<Variant> keys;
    keys.reserve(mIndex.size());
    for (const Entry& entry : mEntries) {
        if (entry.live) {
            keys.push_back(entry.key);
        }
    }
    return Variant(automation::MakeArray(std::move(keys)));
}

void Dictionary::Remove(Variant key) {
    auto it = mIndex.find(MakeKey(key));
    if (it == mIndex.end()) {
        RaiseElementNotFound();
    }
    Entry& entry = mEntries[it->second];
    entry.live = false;
    entry.key = Variant();
    entry.item = Variant();
    mIndex.erase(it);
    Compact();
}

void Dictionary::RemoveAll() {
    mEntries.clear();
    mIndex.clear();
}

Variant Dictionary::GetItem(Variant key) {
    auto it = mIndex.find(MakeKey(key));
    if (it != mIndex.end()) {
        return mEntries[it->second].item;
    }
    Insert(key, Variant());
    return Variant();
}

void Dictionary::LetItem(Variant key, Variant item) {
    auto it = mIndex.find(MakeKey(key));
    if (it != mIndex.end()) {
        mEntries[it->second].item = std::move(item);
        return;
    }
    Insert(key, std::move(item));
}

void Dictionary::SetItem(Variant key, Variant item) {
    if (!item.IsObject()) {
        automation::Raise(automation::ErrorNumber::ObjectRequired);
    }
    LetItem(std::move(key), std::move(item));
}

void Dictionary::LetKey(Variant key, Variant newKey) {
    auto it = mIndex.find(MakeKey(key));
    if (it == mIndex.end()) {
        RaiseElementNotFound();
    }
    KeyData renamed = MakeKey(newKey);
    if (mIndex.contains(renamed)) {
        automation::Raise(automation::ErrorNumber::DuplicateKey);
    }
    std::size_t position = it->second;
    mIndex.erase(it);
    mEntries[position].key = newKey.Deref();
    mIndex.emplace(std::move(renamed), position);
}

void Dictionary::LetCompareMode(std::int32_t mode) {
    if (!mIndex.empty()) {
        library::RaiseInvalidCall();
    }
    mCompareMode = mode;
}

// The hash of the runtime's own table of 1201 buckets: a shift-and-add over the (lower-cased in
// text mode) units of a string, the bits of the Single of a number, the address of an object.
std::int32_t Dictionary::HashVal(Variant key) const {
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
        std::uint32_t hash = 0;
        std::u16string text =
            IsTextMode(mCompareMode) ? automation::ToLower(value.StringValue()) : value.StringValue();
        for (char16_t c : text) {
            hash += (hash << 4) + c;
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
    auto it = mIndex.find(MakeKey(key));
    if (it == mIndex.end()) {
        return std::nullopt;
    }
    return mEntries[it->second].item;
}

} // namespace qv::vbscript
