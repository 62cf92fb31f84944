#include "platform/registry/Key.h"

#include <cstddef>
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
    auto found = mSubkeyIndex.find(name);
    return found != mSubkeyIndex.end() ? mSubkeys[found->second].get() : nullptr;
}

Key& Key::CreateSubkey(std::u16string_view name) {
    if (Key* existing = FindSubkey(name)) {
        return *existing;
    }
    mSubkeys.push_back(std::make_unique<Key>(std::u16string(name)));
    mSubkeyIndex.emplace(std::u16string(name), mSubkeys.size() - 1);
    return *mSubkeys.back();
}

bool Key::DeleteSubkey(std::u16string_view name) {
    auto found = mSubkeyIndex.find(name);
    if (found == mSubkeyIndex.end()) {
        return false;
    }
    const std::size_t position = found->second;
    mSubkeyIndex.erase(found);
    mSubkeys.erase(mSubkeys.begin() + static_cast<std::ptrdiff_t>(position));
    CloseGap(mSubkeyIndex, position);
    return true;
}

const Value* Key::FindValue(std::u16string_view name) const noexcept {
    auto found = mValueIndex.find(name);
    return found != mValueIndex.end() ? &mValues[found->second].value : nullptr;
}

void Key::SetValue(std::u16string_view name, Value value) {
    if (auto found = mValueIndex.find(name); found != mValueIndex.end()) {
        mValues[found->second].value = std::move(value);
        return;
    }
    mValues.push_back(NamedValue{std::u16string(name), std::move(value)});
    mValueIndex.emplace(std::u16string(name), mValues.size() - 1);
}

bool Key::DeleteValue(std::u16string_view name) {
    auto found = mValueIndex.find(name);
    if (found == mValueIndex.end()) {
        return false;
    }
    const std::size_t position = found->second;
    mValueIndex.erase(found);
    mValues.erase(mValues.begin() + static_cast<std::ptrdiff_t>(position));
    CloseGap(mValueIndex, position);
    return true;
}

void Key::CloseGap(NameIndex& index, std::size_t removed) noexcept {
    for (auto& [name, position] : index) {
        if (position > removed) {
            --position;
        }
    }
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
