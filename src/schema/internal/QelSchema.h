#pragma once

#include "schema/internal/SchemaRecords.h"

#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv::ado {
class Connection;
class Fields;
} // namespace qv::ado

namespace qv {

class QelDatabase;

/// Reads the live schema of a database (an Access file, an ODBC data source or a connection
/// string) into plain records, without touching any project model: the check and the
/// synchronisation compare the project's tables and fields with them. Creatable; whoever
/// creates it owns it. It reads the catalogue through the same shared rules as the table
/// model's loaders (model/CatalogFacts.h), so that a model just loaded and the records of the
/// same database agree.
///
/// One successful LoadDB per reader: a caller that needs a fresh reading creates a new one.
/// Failures go to the error text (gProjErr), never raise, and leave no records behind.
class QelSchema final : public automation::Object {
public:
    QelSchema();

    const automation::ClassInfo& GetClassInfo() const override;

    /// The number of tables and views read; 0 before a successful load.
    std::int16_t tblcnt() const noexcept { return mSchemaDB.DBTblCnt; }
    /// Table record `i` (0 is the empty record 0). Raises 9 outside 0 to the array's upper bound,
    /// and for every index before a table was read.
    const QoSchemaTable& Table(std::int16_t i) const;
    /// A copy of table record `i` for late-bound callers; raises as Table does.
    automation::Ref<QoSchemaTableRecord> Tbl(std::int16_t i) const;

    /// Reads the whole schema. `sDBType` is "ACCESS" (the file `sPhyPath`), "ODBC" (the data
    /// source `sDBName` with `sUID` and `sPwd`) or "CONNECTIONSTRING" (`sConnStr`; the caller's
    /// `sDBName` then becomes "DB"); `sSchema` is the Oracle owner chosen before ("" to choose).
    /// True on success, with the error text ""; false with the reason in the error text, and no
    /// records, when the schema could not be read whole: an Access file without a path, an
    /// unknown type, a connection or file that does not open, a table, column, key or index
    /// rowset that fails (the driver's errors), a schema prompt left without a choice, or a
    /// second call on a reader that has read its schema (whose records then stay).
    bool LoadDB(automation::Variant& sDBName, const automation::Variant& sDBType,
                const automation::Variant& sPath, const automation::Variant& sPhyPath,
                const automation::Variant& bDBUseServerMapPath, const automation::Variant& sUID,
                const automation::Variant& sPwd, const automation::Variant& sConnStr,
                const automation::Variant& sSchema);
    /// LoadDB with the connection settings of a project's database, reading what the project
    /// needs of it. A table or view whose name differs only in letter case from another is left
    /// out, the one the project holds under its exact name kept (else the first in the
    /// catalogue's order). A table or view that cannot be read ends the reading only when the
    /// project loads it (under its name in any letter case); any other is kept as a record of its
    /// name and type alone (TblUnread). Either kind left out is named to the user, one
    /// information message each.
    bool LoadDB(const QelDatabase& database);

    /// Reads the columns of the custom view `sTableName` over `sSQL` through the connection
    /// `sConnStr` into table record 1, the only record afterwards (tblcnt 1). The statement is
    /// described, never run; text that is not one query is refused. 0 read (error text ""),
    /// 1 not read (the error text says why), 3 the connection failed (its errors).
    std::int16_t LoadADOCustomView(const automation::Variant& sConnStr, const automation::Variant& sTableName,
                                   const automation::Variant& sSQL);

    /// What the last load recorded of the connection and the database.
    const QoSchemaDB& SchemaDB() const noexcept { return mSchemaDB; }
    /// The Oracle owner whose tables were read; "" for other databases.
    const std::u16string& SchemaChoice() const noexcept { return mSchemaChoice; }
    /// What the last load left out, one text each (catalog::UnneededTableText, CaseTwinText).
    const std::vector<std::u16string>& ObjectsLeftOut() const noexcept { return mObjectsLeftOut; }

private:
    /// How a reading of the schema ended.
    enum class ReadOutcome : std::uint8_t {
        Read,
        NotOpened, ///< the connection did not open; no reason given
        Failed,    ///< the reason says why
    };
    struct Reading {
        ReadOutcome outcome = ReadOutcome::Read;
        std::u16string reason; ///< the error text of Failed
    };
    static Reading Failure(std::u16string reason) { return {ReadOutcome::Failed, std::move(reason)}; }

    /// The loaders, which leave the error text alone.
    Reading LoadADOSchema(std::u16string_view sDBType, std::u16string_view sDBName, std::u16string_view sUID,
                          std::u16string_view sPwd, std::u16string_view sConnStr,
                          std::u16string_view sSchema);
    Reading LoadAccessSchema(std::u16string_view sPath, std::u16string_view sPhyPath,
                             bool bDBUseServerMapPath, std::u16string_view sUID, std::u16string_view sPwd);
    /// What a reading through a connection carries from one of its stages to the next.
    struct AdoRead;
    // The stages of LoadADOSchema. The connection's errors are raised and end the reading; a
    // refused schema choice gives its reason, and so does a table that fails to read, named.
    bool ConnectForSchema(AdoRead& read);
    void RecordAdoDatabase(AdoRead& read);
    std::optional<std::u16string> ChooseReadSchema(AdoRead& read);
    std::optional<std::u16string> WalkAdoSchemaTables(AdoRead& read);
    /// What a reading of an Access file carries from one of its stages to the next.
    struct AccessRead;
    // The stages of LoadAccessSchema after the file opened; they raise what the file raises.
    void RecordAccessDatabase(const AccessRead& read, std::u16string_view sPath, std::u16string_view sPhyPath,
                              bool bDBUseServerMapPath, std::u16string_view sUID, std::u16string_view sPwd);
    void WalkAccessTables(AccessRead& read);
    void WalkAccessViews(AccessRead& read);
    /// Whether the current row of the tables rowset is a table or view the reading takes.
    bool Qualifies(const AdoRead& read) const;
    /// Whether a failure to read the table or view `name` ends the reading (see LoadDB).
    bool Needs(std::u16string_view name) const;
    /// Picks, of the qualifying names that differ only in letter case, the one the reading keeps
    /// (see LoadDB) and records the others as left out.
    void ChooseAmongCaseTwins(AdoRead& read);
    /// Reads one table or view of a connection, its keys, required columns and unique indexes
    /// into a new record. Raises what the driver raises: a record without what a failed rowset
    /// would have given is no reading of the table.
    void ReadAdoTable(ado::Connection& cnn, const std::u16string& schema, const std::u16string& name,
                      const std::u16string& type, std::int16_t kind);
    /// Appends a fresh record for a table named `name`; null when a table of that name in
    /// another letter case was read already (the model cannot hold both: the first one stays,
    /// marked as not completely read).
    QoSchemaTable* AddTable(const std::u16string& name, const std::u16string& type);
    /// Fills the columns of a record from a described result, by the shared duplicate rule.
    static void ReadAdoColumns(QoSchemaTable& table, const ado::Fields& columns, std::int16_t kind);
    /// An argument as text; Null reads as "", as it does when joined into a text.
    static std::u16string ArgText(const automation::Variant& value);
    /// Drops whatever a failed load had read.
    void ClearTables() noexcept;

    /// LoadDB as late-bound callers reach it: the overload set has no single address.
    bool LoadDBMember(automation::Variant& sDBName, const automation::Variant& sDBType,
                      const automation::Variant& sPath, const automation::Variant& sPhyPath,
                      const automation::Variant& bDBUseServerMapPath, const automation::Variant& sUID,
                      const automation::Variant& sPwd, const automation::Variant& sConnStr,
                      const automation::Variant& sSchema);

    QoSchemaDB mSchemaDB;
    std::int16_t mLoaded = 0;
    std::u16string mDBMSNameUpper;
    std::u16string mSchemaChoice;
    std::vector<std::u16string> mOwners; ///< the owners offered by the schema prompt; element 0 ""
    /// The tables and views of the project the reading is for, by exact name, each with whether
    /// its fields are loaded; unset for a reading without a project, which needs every table.
    std::optional<std::unordered_map<std::u16string, bool>> mProjectTables;
    std::vector<std::u16string> mObjectsLeftOut;
};

} // namespace qv
