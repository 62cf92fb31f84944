#pragma once

#include "platform/automation/Error.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ado {
class Connection;
class Field;
class Fields;
class Recordset;
} // namespace qv::ado
namespace qv::dao {
struct Field;
struct TableDef;
} // namespace qv::dao

namespace qv::catalog {

// What a database's catalogue says of its tables and columns, read one way for everyone who
// reads it: the table model's loaders and the schema reader that the check and the
// synchronisation compare the model with. Two readers with rules of their own would report
// differences that are not there.

/// A column's type as the model records it: an ADO type code, whether pages can be generated
/// for it, and the delimiters of its literal values (nullopt: whatever the field had before).
struct ColumnType {
    std::int16_t type = 0;
    bool supported = false;
    std::optional<std::u16string_view> quote;
};

/// The type of a column described through ADO; `dbKind` is the DBTypeCode of the database,
/// whose dates Access delimits with "#".
ColumnType AdoColumnType(std::int32_t adoType, std::int16_t dbKind);
/// The type of an Access column, mapped from its DAO code; -1 and unsupported for a code
/// without mapping.
ColumnType DaoColumnType(std::int16_t daoType);
/// The ADO attribute bits of an Access column: fixed size, updatable unless auto-increment,
/// nullable unless required.
std::int32_t DaoAttributesToAdo(const dao::Field& column);
/// Whether a described column counts as auto-increment: a driver that cannot tell (no
/// property, or Null) does not make it one.
bool IsAutoIncrement(const ado::Field& column);

/// Two column names name the same column when they differ at most in letter case: the model
/// keys its fields so, and a table or view may not hold both.
bool SameColumnName(std::u16string_view a, std::u16string_view b) noexcept;

/// The columns of a result that a table or view keeps, in result order: a column whose name
/// an earlier one already bears (SameColumnName) is left out, and named in `duplicates`.
struct ColumnSelection {
    std::vector<const ado::Field*> accepted;
    std::vector<std::u16string> duplicates;
};
ColumnSelection SelectColumns(const ado::Fields& columns);

/// The error text of a table or view with a column left out as a duplicate.
std::u16string DuplicateColumnText(std::u16string_view column);

/// The columns of a table or view of `schema` ("" for none), from the description of a query
/// that would return no row: it is prepared, never run. Names are quoted with the database
/// kind's quotes, or with the driver's identifier quote when the kind has none (blanks, letter
/// case and quote characters survive either way). Raises what the driver raises.
ado::Recordset DescribeTableColumns(ado::Connection& cnn, std::u16string_view schema,
                                    std::u16string_view table);

/// The columns of a custom view's statement, described and never run: text that is not one
/// query (a stored DELETE or UPDATE) is refused like a statement that does not prepare.
ado::Recordset DescribeCustomView(ado::Connection& cnn, std::u16string_view sql);

/// The error text of a connection that failed: each error of the connection's list with its
/// number, description and source (with an "Error #" line before each when `numbered`), behind
/// the message prefix. A failed authentication has a text of its own; an error the list does not
/// hold is reported by its description.
std::u16string ConnectionErrorText(const ado::Connection& cnn, const automation::Error& error, bool numbered);
/// The last line of a reading's error text when the connection to the server was lost during it.
inline constexpr std::u16string_view ConnectionLostText =
    u"The connection to the database was lost; nothing more could be read. Try again once the database "
    u"can be reached.";
/// The error text of a table or view (`type` as the tables rowset gives it) whose columns, key or
/// indexes could not be read: which one it is, then the connection's errors as
/// ConnectionErrorText numbers them, and on a last line what the user can do about it, or
/// ConnectionLostText when the connection was lost (ado::Connection::Lost), which ends any reading.
std::u16string TableReadErrorText(const ado::Connection& cnn, const automation::Error& error,
                                  std::u16string_view type, std::u16string_view table);

/// A table or view that a reading could not read, as its error text names it.
struct UnreadObject {
    std::u16string word; ///< "table" or "view"
    std::u16string name;
};
/// The object a reading's error text (TableReadErrorText) names; nullopt for any other text, and
/// for a connection lost during the reading, which is no failure of the object.
std::optional<UnreadObject> ObjectOfReadError(std::u16string_view text);

/// What a reading says of a table or view that it could not read but did not need (the caller
/// loads only other tables): `readError` (TableReadErrorText), then that the object was left
/// out and left as it is.
std::u16string UnneededTableText(std::u16string readError);
/// What a reading says of a table or view it left out because its name differs only in letter
/// case from one it kept (`keptType`, `kept`): a project keys its tables without regard to case.
std::u16string CaseTwinText(std::u16string_view type, std::u16string_view table, std::u16string_view keptType,
                            std::u16string_view kept);
/// The error text of a single table or view asked for that the database no longer holds.
std::u16string TableNotInDatabaseText(std::u16string_view table);
/// Tells the user of each object a reading of the database left out (UnneededTableText,
/// CaseTwinText), in one information message.
void ReportObjectsLeftOut(const std::vector<std::u16string>& texts);

/// What an open connection tells of its database. A property the driver does not offer is
/// nullopt.
struct DbmsInfo {
    std::u16string adoVersion;
    std::u16string dbmsName; ///< "" when unknown; every Interbase is "Interbase Server"
    std::optional<std::u16string> dbmsVersion;
    std::optional<std::u16string> oledbVersion;
    std::optional<std::u16string> providerName;
    std::optional<std::u16string> providerVersion;
};
DbmsInfo ReadDbmsInfo(const ado::Connection& cnn);

/// The SQL Server that an ODBC data source describes, read from the data source's settings.
struct SqlServerDataSource {
    automation::Variant database; ///< Empty when the data source names none
    std::u16string server;
    bool trusted = false;
};
SqlServerDataSource ReadSqlServerDataSource(std::u16string_view dataSource);
/// The native connection to that server: integrated security when the data source trusts the
/// connection, else the user's login. Values are quoted where they need it.
std::u16string SqlServerNativeText(const SqlServerDataSource& source, std::u16string_view user,
                                   std::u16string_view password);
/// Reaches a SQL Server read through a data source directly, as the data source describes it;
/// the data source's own connection `fallback` stays the way back when that fails.
void ReconnectToSqlServer(ado::Connection& cnn, std::u16string_view dataSource, std::u16string_view user,
                          std::u16string_view password, std::u16string_view fallback);

/// The message of a schema prompt left without a choice.
inline constexpr std::u16string_view NoSchemaChosenText =
    u"No schema chosen! Please choose a schema to proceed!";

/// The owner whose tables an Oracle load reads, from a tables rowset: `current` when given,
/// else the user's own (upper-cased) schema when it owns a table, else the owner the user picks
/// from the owners of tables (upper-cased, each once, in order of appearance) through the host's
/// schema prompt. `owners` receives that list behind an empty element 0 (gSchemaList); the
/// owner returned is the prompt's answer (gSchemaChoice). nullopt for an empty
/// rowset. The rowset is left on its first row. A prompt left without a choice raises
/// NoSchemaChosenText: the load must not read the tables of an earlier choice, or of none.
std::optional<std::u16string> ChooseSchemaOwner(ado::Recordset& rs, std::u16string_view current,
                                                std::u16string_view user,
                                                std::vector<std::u16string>& owners);

/// Whether a reading of this DBMS takes the tables of one schema only. PostgreSQL lists the
/// tables of every schema, and two of one name would become one table of the project.
bool ReadsOneSchema(std::u16string_view dbmsName);

/// How a load that could not choose the schema on its own ends its message: the caller names
/// the schema the way its user gives it.
inline constexpr std::u16string_view NameTheSchemaText = u"Please name the schema to load.";

/// The schema whose tables a reading of such a database takes: `named` when given, else the
/// first schema of the connection's search path (the one unqualified names reach). Raises when
/// the search path names no schema of the database, and what the driver raises.
std::u16string SchemaToRead(ado::Connection& cnn, std::u16string_view named);

/// The schemas other than `schema` that hold a table or view of a tables rowset, each once in
/// order of appearance. The rowset is left on its first row.
std::vector<std::u16string> OtherSchemasWithTables(ado::Recordset& rs, std::u16string_view schema);

/// The columns of a table's primary key, in the driver's order. Raises what the driver raises.
std::vector<std::u16string> ReadPrimaryKeyColumns(ado::Connection& cnn, std::u16string_view schema,
                                                  std::u16string_view table);
/// What the catalogue's column listing of a table tells beyond the description of its result,
/// read in one call: the columns that do not take Null, and those the catalogue calls Boolean.
/// MariaDB's and MySQL's BOOLEAN describes itself as a TINYINT in a result, so the loaders take
/// the catalogue's word for such a column.
struct ColumnFacts {
    std::vector<std::u16string> requiredColumns;
    std::vector<std::u16string> booleanColumns;
};
/// Reads the column listing of a table once. Raises what the driver raises.
ColumnFacts ReadColumnFacts(ado::Connection& cnn, std::u16string_view schema, std::u16string_view table);

/// What the index rowset of a table tells: the columns that alone make up a unique index, and
/// (read for Access only) the columns of the primary key.
struct IndexFacts {
    std::vector<std::u16string> uniqueColumns;
    std::vector<std::u16string> keyColumns;
};
/// Reads the index rowset of a table; `dbKind` is the database's DBTypeCode. MySQL is asked a
/// second time with the name quoted when it refuses the plain name. Raises what the driver raises.
IndexFacts ReadIndexFacts(ado::Connection& cnn, std::u16string_view schema, std::u16string_view table,
                          std::int16_t dbKind);

/// The same of an Access table, from its definition: the key is the index Access names
/// "PrimaryKey" (exactly: another letter case is an ordinary index).
IndexFacts DaoIndexFacts(const dao::TableDef& definition);

/// The names as one CRLF-joined list, sorted as SortLines sorts it ("" for none).
std::u16string SortedKeyList(const std::vector<std::u16string>& names);

/// An Access table that a load takes: neither a system nor a hidden table, and not the
/// switchboard's own table (exact name: another letter case is a table of the user's).
bool IsUserTable(const dao::TableDef& definition);

/// "[table].[column]" from a table text and a column reference ("Orders.[ID]" gives the part
/// after the first "."), each part trimmed and without one pair of brackets.
std::u16string BracketedColumnName(std::u16string_view table, std::u16string_view column);

/// The key an Access view inherits from its tables, from its SQL: from its one table, or for one
/// INNER join of two keyed tables, from the table the join does not reach by its key. The key
/// passes on only when it is a single column that the view holds.
struct ViewKey {
    bool updatable = false;
    std::u16string key;    ///< "" when the view has none
    bool fromJoin = false; ///< the key came through a join
};
/// `keyOf` gives the TblKey of a table read so far ("" for none or an unknown table);
/// `hasColumn` whether the view has a column of that exact name.
ViewKey DeriveViewKey(std::u16string_view sql,
                      const std::function<std::u16string(const std::u16string&)>& keyOf,
                      const std::function<bool(const std::u16string&)>& hasColumn);

} // namespace qv::catalog
