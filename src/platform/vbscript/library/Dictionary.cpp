#include "platform/vbscript/library/Dictionary.h"

#include "platform/vbscript/library/LibrarySupport.h"

#include "platform/automation/Text.h"

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

Dictionary::Dictionary() : mIndex(0, KeyHash{false}, KeyEqual{false}) {}

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

std::size_t Dictionary::KeyHash::operator()(const KeyView& key) const noexcept {
    switch (key.kind) {
    case KeyKind::Null:
        return 0;
    case KeyKind::Number:
        return std::hash<double>()(key.number);
    case KeyKind::Text:
        return isText ? automation::HashNoCase(key.text) : std::hash<std::u16string_view>()(key.text);
    case KeyKind::Object:
        return std::hash<const void*>()(key.object);
    }
    return 0;
}

bool Dictionary::KeyEqual::operator()(const KeyView& a, const KeyView& b) const noexcept {
    if (a.kind != b.kind) {
        return false;
    }
    switch (a.kind) {
    case KeyKind::Null:
        return true;
    case KeyKind::Number:
        return a.number == b.number;
    case KeyKind::Text:
        return isText ? automation::EqualsNoCase(a.text, b.text) : a.text == b.text;
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

Dictionary::Entry& Dictionary::Insert(const Variant& key, const KeyView& identity, Variant item) {
    mEntries.push_back(Entry{key.Deref(), std::move(item)});
    mIndex.emplace(StoredKey(identity), mEntries.size() - 1);
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
        mIndex.emplace(StoredKey(MakeKey(mEntries[i].key)), i);
    }
}

void Dictionary::Add(const Variant& key, Variant item) {
    const KeyView identity = MakeKey(key);
    if (mIndex.contains(identity)) {
        automation::Raise(automation::ErrorNumber::DuplicateKey);
    }
    Insert(key, identity, std::move(item));
}

bool Dictionary::Exists(const Variant& key) const {
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

void Dictionary::Remove(const Variant& key) {
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

Variant Dictionary::GetItem(const Variant& key) {
    const KeyView identity = MakeKey(key);
    auto it = mIndex.find(identity);
    if (it != mIndex.end()) {
        return mEntries[it->second].item;
    }
    Insert(key, identity, Variant());
    return Variant();
}

void Dictionary::LetItem(const Variant& key, Variant item) {
    const KeyView identity = MakeKey(key);
    auto it = mIndex.find(identity);
    if (it != mIndex.end()) {
        mEntries[it->second].item = std::move(item);
        return;
    }
    Insert(key, identity, std::move(item));
}

void Dictionary::SetItem(const Variant& key, Variant item) {
    if (!item.IsObject()) {
        automation::Raise(automation::ErrorNumber::ObjectRequired);
    }
    LetItem(key, std::move(item));
}

void Dictionary::LetKey(const Variant& key, const Variant& newKey) {
    auto it = mIndex.find(MakeKey(key));
    if (it == mIndex.end()) {
        RaiseElementNotFound();
    }
    const KeyView renamed = MakeKey(newKey);
    if (mIndex.contains(renamed)) {
        automation::Raise(automation::ErrorNumber::DuplicateKey);
    }
    std::size_t position = it->second;
    mIndex.erase(it);
    mEntries[position].key = newKey.Deref();
    mIndex.emplace(StoredKey(renamed), position);
}

void Dictionary::LetCompareMode(std::int32_t mode) {
    if (!mIndex.empty()) {
        library::RaiseInvalidCall();
    }
    mCompareMode = mode;
    // The index hashes and compares text by the mode; it is empty, so it is simply remade.
    const bool isText = IsTextMode(mode);
    mIndex = Index(0, KeyHash{isText}, KeyEqual{isText});
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
    auto it = mIndex.find(MakeKey(key));
    if (it == mIndex.end()) {
        return std::nullopt;
    }
    return mEntries[it->second].item;
}

} // namespace qv::vbscript
