#include "model/EntityList.h"

#include "core/QelVars.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <cassert>
#include <cmath>
#include <limits>

namespace qv {

using automation::Variant;
using automation::VarType;

std::optional<std::int32_t> PositionIndex(const Variant& index) {
    const VarType type = index.Type();
    if (type == VarType::Integer || type == VarType::Long || type == VarType::Byte) {
        return automation::ToLong(index);
    }
    if (type != VarType::Single && type != VarType::Double) {
        return std::nullopt;
    }
    const double value = automation::ToDouble(index);
    if (!std::isfinite(value) || value <= std::numeric_limits<std::int32_t>::min() - 0.5 ||
        value >= std::numeric_limits<std::int32_t>::max() + 0.5) {
        return std::nullopt;
    }
    return automation::ToLong(index); // rounds half to even, as the runtime does
}

EntityList::EntityList(const EntityListShape& shape) : mShape(shape) {}

std::optional<std::u16string> EntityList::NameOf(const SettingsEntity& entity) const {
    // A name made unreadable through the bag (deleted, or a value that is no text) names nothing.
    try {
        return entity.GetSetting<SettingType::String>(mShape.nameSetting);
    } catch (const automation::Error&) {
        return std::nullopt;
    }
}

std::optional<std::int16_t> EntityList::SeqOf(const SettingsEntity& entity) const {
    try {
        return entity.GetSetting<SettingType::Integer>(mShape.seqSetting);
    } catch (const automation::Error&) {
        return std::nullopt;
    }
}

void EntityList::Watch(SettingsEntity& entity, bool watched) const {
    entity.WatchSetting(mShape.nameSetting, watched ? mNameWatch : automation::Ref<SettingWatch>());
    entity.WatchSetting(mShape.seqSetting, watched ? mSeqWatch : automation::Ref<SettingWatch>());
}

const EntityList::NameIndexMap& EntityList::NameIndex() const {
    if (mIndexRevision == mNameWatch->revision) {
        return mPositionsByName;
    }
    mPositionsByName.clear();
    for (std::int32_t position = 1; position <= Count(); ++position) {
        SettingsEntity& entity = *mItems.At(position);
        // Watched again: the name setting may have been deleted from the bag and added anew.
        Watch(entity, true);
        // A name made unreadable through the bag (deleted, or a value that is no text) names
        // nothing.
        if (std::optional<std::u16string> name = NameOf(entity)) {
            mPositionsByName[std::move(*name)].push_back(position);
        }
    }
    mIndexRevision = mNameWatch->revision;
    return mPositionsByName;
}

const EntityList::SeqIndexMap& EntityList::SeqIndex() const {
    if (mSeqIndexRevision == mSeqWatch->revision) {
        return mPositionBySeq;
    }
    mPositionBySeq.clear();
    for (std::int32_t position = 1; position <= Count(); ++position) {
        SettingsEntity& entity = *mItems.At(position);
        // Watched again: the setting may have been deleted from the bag and added anew.
        Watch(entity, true);
        if (std::optional<std::int16_t> seq = SeqOf(entity)) {
            // The first in list order keeps the number.
            mPositionBySeq.try_emplace(*seq, position);
        }
    }
    mSeqIndexRevision = mSeqWatch->revision;
    return mPositionBySeq;
}

std::optional<std::int32_t> EntityList::PositionOf(std::u16string_view name) const {
    const NameIndexMap& index = NameIndex();
    const auto found = index.find(name);
    if (found == index.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second.front();
}

SettingsEntity* EntityList::FindEntity(std::u16string_view name) const {
    std::optional<std::int32_t> position = PositionOf(name);
    return position ? mItems.At(*position) : nullptr;
}

bool EntityList::Exists(const Variant& Index) const {
    const Variant& index = Index.Deref();
    return index.IsString() && PositionOf(index.StringValue()).has_value();
}

bool EntityList::IsNameTaken(std::u16string_view name) const {
    return PositionOf(name).has_value() || mItems.PositionOf(name) != NoPosition;
}

void EntityList::MakeCurrent(const SettingsEntity& entity) {
    if (std::optional<std::u16string> name = NameOf(entity)) {
        mCurName = std::move(*name);
    }
    if (std::optional<std::int16_t> seq = SeqOf(entity)) {
        mCurSeq = *seq;
    }
}

bool EntityList::Add(std::u16string Name) {
    // A name taken in another letter case would be refused by the key with 457 after the entity
    // had been made; refusing it here as a duplicate lets a load go on past it.
    if (Name.empty() || IsNameTaken(Name)) {
        return false;
    }
    if (Count() >= MaxCount) {
        automation::Raise(automation::ErrorNumber::Overflow);
    }
    automation::Ref<SettingsEntity> entity = mShape.create();
    entity->SetSettingValue(mShape.nameSetting, Variant(Name));
    mItems.Add(entity, Name);
    assert(Count() <= MaxCount && mItems.At(Count()) == entity.Get());
    const auto seq = static_cast<std::int16_t>(Count());
    entity->SetSettingValue(mShape.seqSetting, Variant(seq));
    // The new entity is last in list order: an index that was valid stays so with its entry.
    if (mIndexRevision == mNameWatch->revision) {
        mPositionsByName[Name].push_back(Count());
    }
    if (mSeqIndexRevision == mSeqWatch->revision) {
        mPositionBySeq.try_emplace(seq, Count());
    }
    Watch(*entity, true);
    mCurName = std::move(Name);
    mCurSeq = seq;
    return true;
}

bool EntityList::Change(std::u16string OldName, std::u16string NewName) {
    if (OldName.empty() || NewName.empty()) {
        return false;
    }
    std::optional<std::int32_t> position = PositionOf(OldName);
    if (!position) {
        return false;
    }
    // Re-key the entity that bears the name, under whatever key it was stored: its name may have
    // been changed through its bag since.
    mItems.ChangeKey(mItems.Collection().Key(*position), NewName);
    SettingsEntity& entity = *mItems.At(*position);
    entity.SetSettingValue(mShape.varSetting, Variant(ToIdentifier(NewName, mShape.varPrefix)));
    const std::int16_t seq = entity.GetSetting<SettingType::Integer>(mShape.seqSetting);
    mCurName = std::move(NewName);
    mCurSeq = seq;
    return true;
}

void EntityList::RemoveAt(std::int32_t position) {
    assert(position >= 1 && position <= Count());
    SettingsEntity& removed = *mItems.At(position);
    if (std::optional<std::int16_t> gap = SeqOf(removed)) {
        for (std::int32_t other = 1; other <= Count(); ++other) {
            SettingsEntity& entity = *mItems.At(other);
            std::optional<std::int16_t> seq = SeqOf(entity);
            if (seq && *seq >= *gap && *seq > std::numeric_limits<std::int16_t>::min()) {
                entity.SetSettingValue(mShape.seqSetting, Variant(static_cast<std::int16_t>(*seq - 1)));
            }
        }
    }
    // By position, not by key: the entity found by its name is the one removed, even when its
    // name has been changed through its bag and no longer matches its key.
    Watch(removed, false);
    mItems.RemoveAt(position);
    // The positions after it move up: the indexes are built again when next needed.
    mIndexRevision.reset();
    mSeqIndexRevision.reset();
}

bool EntityList::Delete(std::u16string_view Index) {
    if (Index.empty()) {
        return false;
    }
    std::optional<std::int32_t> position = PositionOf(Index);
    if (!position) {
        return false;
    }
    RemoveAt(*position);
    return true;
}

bool EntityList::DeleteMember(const Variant& Index) {
    const Variant& index = Index.Deref();
    return index.IsString() && Delete(index.StringValue());
}

bool EntityList::Remove(const SettingsEntity& entity) {
    for (std::int32_t position = 1; position <= Count(); ++position) {
        if (mItems.At(position) == &entity) {
            RemoveAt(position);
            return true;
        }
    }
    return false;
}

SettingsEntity* EntityList::ItemEntity(const Variant& Index) {
    const Variant& index = Index.Deref();
    SettingsEntity* entity = nullptr;
    if (index.IsString()) {
        entity = FindEntity(index.StringValue());
    } else if (std::optional<std::int32_t> position = PositionIndex(index)) {
        entity = mItems.At(*position);
    }
    if (entity != nullptr) {
        MakeCurrent(*entity);
    }
    return entity;
}

SettingsEntity* EntityList::SeqEntity(std::int16_t Index) const {
    const SeqIndexMap& index = SeqIndex();
    const auto found = index.find(Index);
    return found == index.end() ? nullptr : mItems.At(found->second);
}

std::vector<SettingsEntity*> EntityList::SeqEntities() const {
    std::vector<SettingsEntity*> entities(static_cast<std::size_t>(Count()), nullptr);
    for (std::int32_t position = 1; position <= Count(); ++position) {
        SettingsEntity* entity = mItems.At(position);
        const std::optional<std::int16_t> seq = SeqOf(*entity);
        if (!seq || *seq < 1 || *seq > Count()) {
            continue;
        }
        // The first in list order keeps the number, as SeqEntity finds it.
        SettingsEntity*& slot = entities[static_cast<std::size_t>(*seq - 1)];
        if (slot == nullptr) {
            slot = entity;
        }
    }
    return entities;
}

void EntityList::SetItem(const Variant& Index) {
    const Variant& index = Index.Deref();
    if (!index.IsString()) {
        return;
    }
    if (SettingsEntity* entity = FindEntity(index.StringValue())) {
        MakeCurrent(*entity);
    }
}

void EntityList::SetSeq(std::int16_t Index) {
    if (SettingsEntity* entity = SeqEntity(Index)) {
        MakeCurrent(*entity);
    }
}

} // namespace qv
