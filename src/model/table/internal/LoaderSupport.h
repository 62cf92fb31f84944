#pragma once

#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "model/CatalogFacts.h"

#include "platform/automation/Error.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ado {
class Fields;
}

namespace qv::loader {

// What the table, custom-view and database loaders share.

/// Adds a field for each column in result order and loads it from the column. A column whose
/// name an earlier column or a field already bears, exactly or in another letter case
/// (catalog::SelectColumns), is not added: its message goes to `duplicateMessage` and the result
/// is true.
bool AddAdoColumns(QelFields& fields, const ado::Fields& columns, std::u16string& duplicateMessage);

/// Adds a table of `name` for a full load and returns it with TblLoaded False and, unless
/// `type` is empty, that TblType; nullptr when the list refuses the name. A name that differs from a table
/// already added only in letter case cannot be held beside it: the table already there is marked (its
/// TblError names the clash, TblGen False) and the load goes on without the second one.
QelTable* AddLoadedTable(QelTables& tables, const std::u16string& name, std::u16string_view type);

/// The progress window's information line and bar during a load.
void ShowLoadStep(std::u16string_view text);
void ShowLoadProgress(std::int32_t processed, std::int32_t total);

/// An argument of a late-bound loader as text; Null reads as "", as it does when joined into a
/// text.
std::u16string ArgText(const automation::Variant& value);
/// A rowset value as text; Null and Empty give "".
std::u16string TextOf(const automation::Variant& value);

/// Raises "object required" for a loader member called late-bound: definitions, rowsets and
/// connections exist only inside the database loaders, so such a caller has none to pass.
[[noreturn]] void RaiseNoLoaderObject(std::u16string_view member);

} // namespace qv::loader
