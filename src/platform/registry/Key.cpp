#include "platform/registry/Key.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <utility>

namespace qv::registry {

namespace {

// The components of a "\"-separated key path, without empty ones.
template <typename Visit> bool ForEachComponent(std::u16string_view path, Visit&& visit) {
    while (!path.empty()) {
        std::size_t separator = path.find(u'\\');
        std::u16string_view component = path.substr(0, separator);
        if (!component.empty() && !visit(component)) {
            return false;
        }
        if (separator == std::u16string_view::npos) {
            break;
        }
        path.remove_prefix(separator + 1);
    }
    return true;
}

} // namespace

Key* Key::FindSubkey(std::u16string_view name) noexcept {
    return const_cast<Key*>(std::as_const(*this).FindSubkey(name));
}

const Key* Key::FindSubkey(std::u16string_view name) const noexcept {
    auto found = std::ranges::find_if(mSubkeys, [name](const std::unique_ptr<Key>& key) {
        return automation::EqualsNoCase(key->mName, name);
    });
    return found != mSubkeys.end() ? found->get() : nullptr;
}

Key& Key::CreateSubkey(std::u16string_view name) {
    if (Key* existing = FindSubkey(name)) {
        return *existing;
    }
    mSubkeys.push_back(std::make_unique<Key>(std::u16string(name)));
    return *mSubkeys.back();
}

bool Key::DeleteSubkey(std::u16string_view name) {
    return std::erase_if(mSubkeys, [name](const std::unique_ptr<Key>& key) {
               return automation::EqualsNoCase(key->mName, name);
           }) > 0;
}

const Value* Key::FindValue(std::u16string_view name) const noexcept {
    auto found = std::ranges::find_if(
        mValues, [name](const NamedValue& entry) { return automation::EqualsNoCase(entry.name, name); });
    return found != mValues.end() ? &found->value : nullptr;
}

void Key::SetValue(std::u16string_view name, Value value) {
    auto found = std::ranges::find_if(
        mValues, [name](const NamedValue& entry) { return automation::EqualsNoCase(entry.name, name); });
    if (found != mValues.end()) {
        found->value = std::move(value);
        return;
    }
    mValues.push_back(NamedValue{std::u16string(name), std::move(value)});
}

bool Key::DeleteValue(std::u16string_view name) {
    return std::erase_if(mValues, [name](const NamedValue& entry) {
               return automation::EqualsNoCase(entry.name, name);
           }) > 0;
}

Key* Key::FindPath(std::u16string_view path) noexcept {
    return const_cast<Key*>(std::as_const(*this).FindPath(path));
}

const Key* Key::FindPath(std::u16string_view path) const noexcept {
    const Key* key = this;
    ForEachComponent(path, [&key](std::u16string_view name) {
        key = key->FindSubkey(name);
        return key != nullptr;
    });
    return key;
}

Key& Key::CreatePath(std::u16string_view path) {
    Key* key = this;
    ForEachComponent(path, [&key](std::u16string_view name) {
        key = &key->CreateSubkey(name);
        return true;
    });
    return *key;
}

} // namespace qv::registry
