#pragma once

#include "template/ResourceList.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// The file cache of one template: which file states the generation run extracted or built
/// from, by group and key, kept in "cache.xml" in the template's temp work folder. Created once
/// per run (which makes the folders and reads the file), consulted and updated during the run,
/// written at its end. At most 32,767 entries; group and key compare ignoring letter case.
class QelCache final : public automation::Object {
public:
    /// Works out and creates the work folders below the documents folder and reads the cache
    /// file when there is one. A folder that cannot be created raises.
    QelCache();

    const automation::ClassInfo& GetClassInfo() const override;

    /// Records the state of a file: updates the entry of the group and key (which keep their
    /// first letter case) or appends one. False only when the cache is full.
    bool AddCache(const automation::Variant& sGroup, const automation::Variant& sKey,
                  const automation::Variant& dt, const automation::Variant& size);
    bool DeleteCache(const automation::Variant& sGroup, const automation::Variant& sKey);
    /// True when at least one entry of the group was removed.
    bool DeleteCacheGroup(const automation::Variant& sGroup);
    /// Removes every entry; True.
    bool DeleteAllCache();
    /// 2: no entry; 0: the entry holds the same timestamp (to the second) and size; 1: changed.
    std::int16_t CheckCache(const automation::Variant& sGroup, const automation::Variant& sKey,
                            const automation::Variant& dt, const automation::Variant& size);
    /// The entry's timestamp text, or the date 0:00:00 of day zero when there is no entry.
    automation::Variant GetCacheDate(const automation::Variant& sGroup, const automation::Variant& sKey);
    /// True when the keys of the group's entries and the CRLF-separated items of `sList` are the
    /// same set (letter case ignored).
    bool MatchCacheGroup(const automation::Variant& sGroup, const automation::Variant& sList);
    /// Writes the whole cache to the cache file, replacing it.
    void WriteCacheFile();

    const std::u16string& CacheFile() const { return mCacheFile; }
    std::int32_t Count() const { return mEntries.Count(); }

private:
    struct Entry {
        std::u16string group;
        std::u16string key;
        std::u16string dateTime;
        std::u16string size;
    };

    /// The 1-based position of the entry of the group and key, or 0.
    std::int32_t Find(std::u16string_view group, std::u16string_view key) const;
    void ReadCacheFile();

    std::u16string mCacheFile;
    ResourceList<Entry> mEntries;
};

} // namespace qv
