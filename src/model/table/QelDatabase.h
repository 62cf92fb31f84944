#pragma once

#include "model/table/QelTables.h"

#include "core/Settings.h"
#include "core/SettingsEntity.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ado {
class Recordset;
}

namespace qv {

class QelTable;

/// The one database of a project: how it is reached, what the loaders learned of it (the DBMS
/// information, read-only to late-bound callers and written through the bag), the security
/// settings of the generated site, and its tables (`tables`), 31 settings in all. Owned by the
/// project's database list (QelDatabases). At construction MaxUploadSize takes the user's
/// default from the database key (gRegKeyDatabase).
///
/// Releasing the last reference unloads the tables under the progress window and empties
/// gSecDefault. Tables, and through them fields, are owned downwards only, so the release frees
/// the whole model of the database.
class QelDatabase final : public SettingsEntity {
public:
    enum class Setting : std::uint16_t {
#define QV_SETTING QV_SETTING_ENUMERATOR
#include "model/table/DatabaseSettings.def"
    };

#define QV_SETTING QV_SETTING_ACCESSORS
#define QV_SETTING_CUSTOM QV_SETTING_GETTER
#include "model/table/DatabaseSettings.def"

    QelDatabase();
    ~QelDatabase() override;

    /// The database's settings table.
    static const SettingsTable& Settings();
    const automation::ClassInfo& GetClassInfo() const override;

    /// The database's tables: created empty on first use, the same list on every later call.
    const automation::Ref<QelTables>& tables() const;

    /// An alias of DBName. Renaming does not re-key the database in its list.
    std::u16string Key() const;
    void SetKey(std::u16string key);

    /// Stores the security given to newly loaded tables and copies it into gSecDefault, which
    /// the table defaults read. A write through the bag does not touch gSecDefault.
    void SetSecDefault(std::u16string_view value);

    // --- Loading (defined with the database loaders). Every argument is left unchanged. ---

    /// Loads a database reached through ADO: an ODBC data source `DBName` when `DBType` is
    /// "ODBC", else the connection string `sConnStr`. A full load when `sTableName` is "", else
    /// that one table. 0 loaded, 1 not connected (no error text), 3 after an error (gProjErr).
    std::int16_t LoadADODB(const automation::Variant& DBType, const automation::Variant& DBName,
                           const automation::Variant& UID, const automation::Variant& pwd,
                           const automation::Variant& sConnStr, const automation::Variant& sTableName,
                           const automation::Variant& sSchema);
    /// Adds and loads the custom view `sTableName` over `sSQL` through its own connection.
    /// 0 loaded; 1 not connected, name refused or load failed (the table is removed again);
    /// 3 after an error (gProjErr).
    std::int16_t LoadADOCustomView(const automation::Variant& sConnStr, const automation::Variant& sTableName,
                                   const automation::Variant& sSQL);

    /// How adding a custom view through its own connection ended.
    enum class CustomViewLoad : std::uint8_t {
        Loaded,
        NotConnected,     ///< the connection did not open; no reason given
        NameRefused,      ///< the table list refused the name; no reason given
        NotDescribed,     ///< the statement did not open; the view was removed again
        ConnectionFailed, ///< the connection raised
    };
    struct CustomViewResult {
        CustomViewLoad outcome = CustomViewLoad::Loaded;
        std::u16string reason; ///< the error text of NotDescribed and ConnectionFailed
    };
    /// LoadADOCustomView for callers inside the library: the outcome and its reason, with the
    /// error text left alone.
    CustomViewResult LoadCustomView(std::u16string_view connectionString, std::u16string_view name,
                                    std::u16string_view sql);
    /// Loads an Access database through DAO: a full load when `sTableName` is "", else that
    /// one table or view. 0 loaded (or nothing to open), 1 after an error (gProjErr).
    std::int16_t LoadDAODB(const automation::Variant& DBPath, const automation::Variant& DBPhyPath,
                           const automation::Variant& DBUseServerMapPath, const automation::Variant& UID,
                           const automation::Variant& pwd, const automation::Variant& sTableName);

private:
    /// Tests reach the loaders' private helpers through it.
    friend class DatabaseLoaderProbe;

    void SecDefaultLet(std::u16string value);
    /// Removes every table, one information line and percentage each, between opening and
    /// closing the progress window.
    void UnloadTables() noexcept;

    /// What a load through a connection carries from one of its stages to the next.
    struct AdoLoad;
    // The stages of LoadADODB. A stage that refuses the load gives the error text it ends with;
    // errors of the connection are raised.
    bool ConnectAdo(AdoLoad& load);
    void RecordAdoProperties(AdoLoad& load);
    std::optional<std::u16string> ChooseAdoSchema(AdoLoad& load);
    std::optional<std::u16string> WalkAdoTables(AdoLoad& load);
    /// What a load of an Access file carries from one of its stages to the next.
    struct DaoLoad;
    // The stages of LoadDAODB after the file opened; they raise what the file raises.
    void RecordDaoProperties(const DaoLoad& load, const automation::Variant& DBPath,
                             const automation::Variant& DBUseServerMapPath, const automation::Variant& UID,
                             const automation::Variant& pwd);
    void WalkDaoTables(DaoLoad& load);
    void WalkDaoViews(DaoLoad& load);

    // Helpers of the loaders (defined with them).
    void ChooseOracleSchema(ado::Recordset& rs, const automation::Variant& UID);
    void ReadSqlServerDsn(const automation::Variant& dsn);
    void ReadOracleDsn(const automation::Variant& dsn);
    /// The native connection to the SQL Server that the data source read by ReadSqlServerDsn
    /// describes: integrated security when it trusts the connection, else the user's login.
    std::u16string SqlServerNativeText(std::u16string_view user, std::u16string_view password) const;
    /// The native Oracle connection string, stored for the generated site, for the server read
    /// by ReadOracleDsn.
    std::u16string OracleNativeText(std::u16string_view user, std::u16string_view password) const;
    void DeriveViewKey(QelTable& view, const automation::Variant& sql);
    automation::Variant QualifyColumnName(const automation::Variant& tableName,
                                          const automation::Variant& column) const;
    static bool IsInArray(const automation::Variant& array, const automation::Variant& value);

    mutable automation::Ref<QelTables> mTables; ///< created on first use

    // What the loaders keep between the steps of a load and from one load to the next.
    automation::Variant mOracleSchema{std::u16string()}; ///< the chosen schema; "" until a full Oracle load
    std::vector<std::u16string> mSchemaCandidates;       ///< element 0 is always ""
    automation::Variant mDsnDatabase;
    std::u16string mDsnServer;
    bool mDsnTrusted = false;
    std::u16string mDsnOracleServer;
};

} // namespace qv
