#pragma once

#include "model/EntityList.h"
#include "model/table/QelTable.h"

#include "platform/automation/Object.h"

#include <string>

namespace qv {

/// The tables, views, custom views and reports of the project's database, in the order they were
/// added, keyed by name without regard to letter case and numbered 1 to Count by their TblSeq,
/// with a current table (curName, curSeq) that the generator selects before a page script runs.
/// Owned by its database (QelDatabase creates it on first use of tables); it alone makes tables.
///
/// Loaders add a table with Add(name) and, when that answers True, fetch it with Item(name) or
/// Find(name). Add answers False for "" and for a duplicate: a name a table bears exactly or in
/// another letter case (IsNameTaken), so that a second table whose name differs only in letter
/// case is skipped instead of failing the load.
class QelTables final : public EntityListOf<QelTable> {
public:
    QelTables();

    const automation::ClassInfo& GetClassInfo() const override;

    /// True when a table's TblName equals the index exactly (case-sensitive); a value that is
    /// not text never does.
    bool TableExist(const automation::Variant& Index) const { return Exists(Index); }

private:
    bool DeleteText(std::u16string Index) { return Delete(Index); }
};

} // namespace qv
