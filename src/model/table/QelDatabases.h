#pragma once

#include "model/table/QelDatabase.h"

#include "core/TypedCollection.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>

namespace qv {

/// The project's databases: one at most, keyed by the name it was added under (letter case
/// ignored), with the current database's name and position. The project object owns it; the
/// list owns the database.
class QelDatabases final : public automation::Object {
public:
    QelDatabases() = default;

    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<automation::Enumerator> NewEnum() override { return mItems.NewEnum(); }

    /// The name of the current database; "" before the first Add.
    std::u16string curName() const { return mCurName; }
    /// The position of the current database, as text: "0" before the first Add, then "1".
    std::u16string curSeq() const;

    /// On an empty list: empties gProjErr, makes a database named `Name`, adds it under that key
    /// ("" adds it without a key) and makes it current. Otherwise only sets gProjErr to
    /// "support 1 db only!".
    void Add(std::u16string Name);
    std::int32_t Count() const { return mItems.Count(); }
    /// Removes the database at a position or under a key; the collection's error for an index
    /// it does not hold (9 for a position, "Key not found." for a key). The cursor stays.
    void Delete(const automation::Variant& Index);
    /// The database at a position or under a key (letter case ignored); sets curName to its
    /// DBName. Raises the collection's error for an index it does not hold, never answering
    /// Nothing.
    automation::Ref<QelDatabase> Item(const automation::Variant& Index);

private:
    automation::Ref<automation::Object> NewEnumMember() { return automation::Ref<automation::Object>(this); }

    TypedCollection<QelDatabase> mItems;
    std::u16string mCurName;
    std::int16_t mCurSeq = 0;
};

} // namespace qv
