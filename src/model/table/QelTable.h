#pragma once

#include "model/field/QelFields.h"

#include "core/Settings.h"
#include "core/SettingsEntity.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::ado {
class Connection;
class Recordset;
} // namespace qv::ado
namespace qv::dao {
struct QueryDef;
struct TableDef;
} // namespace qv::dao

namespace qv {

/// One table of the project: a database table ("TABLE"), a view ("VIEW"), a custom view defined
/// by the user's SQL ("CUSTOMVIEW") or a report over another table ("REPORT"), as TblType says.
/// It holds its 70 settings in its bag and its fields in a QelFields. Only the table list
/// (QelTables) makes tables; the list owns them, and a table owns its field list. At
/// construction the settings marked for the registry take the user's defaults from the table
/// key (gRegKeyTable).
class QelTable final : public SettingsEntity {
public:
    enum class Setting : std::uint16_t {
#define QV_SETTING QV_SETTING_ENUMERATOR
#include "model/table/TableSettings.def"
    };

#define QV_SETTING QV_SETTING_ACCESSORS
#include "model/table/TableSettings.def"

    QelTable();
    ~QelTable() override;

    /// The table's settings table.
    static const SettingsTable& Settings();
    const automation::ClassInfo& GetClassInfo() const override;

    /// The table's fields: created empty on first use, the same list on every later call.
    const automation::Ref<QelFields>& Fields() const;

    /// An alias of TblName. The keyed collection sets it when the table list renames a table;
    /// writing it does not re-key the table in its list (only QelTables.Change does).
    std::u16string Key() const;
    void SetKey(std::u16string key);

    /// Derives the table's default page settings from its name and TblType: caption, identifier,
    /// page switches, SQL, updatability, search type, and TblSecurity from gSecDefault. Resets
    /// those settings and no others, at every run.
    void LoadTableDefault();

    // --- Loading from a database (defined with the table loaders) ---

    /// Loads an Access table from its definition: fields, primary key and unique indexes.
    void LoadTbl_DAO(const dao::TableDef& DAOtd, bool bLoadAll);
    /// Loads an Access query as a view: its fields, no keys.
    void LoadView_DAO(const dao::QueryDef& DAOqd, bool bLoadAll);
    /// Loads a table or view from the current row of the tables schema rowset `rs` of `cnn`.
    void Load_ADO(ado::Connection& cnn, const ado::Recordset& rs, bool bLoadAll);
    /// Makes the table a custom view of the SQL text and loads the columns it returns. False
    /// when the statement did not open; TblCustomError then says why.
    bool Load_ADOCustomView(ado::Connection& cnn, std::u16string_view sTableName, std::u16string_view sSQL);
    /// Asks the SQL analyser where each field of the custom view comes from.
    void ParseCustomSql();

private:
    // The loaders as late-bound callers reach them; the arguments hold the platform objects.
    void LoadTbl_DAOMember(automation::Variant& DAOtd, automation::Variant& bLoadAll);
    void LoadView_DAOMember(automation::Variant& DAOqd, automation::Variant& bLoadAll);
    void Load_ADOMember(automation::Variant& cnn, automation::Variant& rs, automation::Variant& bLoadAll);
    void Load_ADOCustomViewMember(automation::Variant& cnn, automation::Variant& sTableName,
                                  automation::Variant& sSQL);

    /// Derives the defaults after a load, unless a load of the one table (bLoadAll False) meets
    /// a table that has them already: reloading a table the user unloaded brings back its
    /// fields, never undoes the caption and page settings the user gave it.
    void DeriveDefaultsAfterLoad(bool bLoadAll);

    mutable automation::Ref<QelFields> mFields; ///< created on first use
    bool mHasDefaults = false;                  ///< LoadTableDefault has run
};

} // namespace qv
