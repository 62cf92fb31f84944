#include "model/CatalogFacts.h"

#include "core/Apartment.h"
#include "core/QelVars.h"
#include "core/VbText.h"

#include "platform/ado/Connection.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/Constants.h"
#include "platform/ado/DataSources.h"
#include "platform/ado/Errors.h"
#include "platform/ado/Field.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "platform/dao/Constants.h"
#include "platform/dao/Field.h"
#include "platform/dao/TableDef.h"
#include "platform/host/Host.h"
#include "platform/sql/AccessQueryAnalyzer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <span>

namespace qv::catalog {

using automation::Variant;

namespace {

namespace AdoType = ado::DataType;
namespace DaoType = dao::DataType;

constexpr std::u16string_view CrLf = u"\r\n";
constexpr std::u16string_view NoQuote = u"";
constexpr std::u16string_view TextQuote = u"'";
constexpr std::u16string_view DateQuote = u"#";

struct DaoMapping {
    std::int16_t daoType;
    ColumnType column;
};

// DAO type to ADO type, tried in this order. Binary stays unsupported and keeps its
// delimiters; a long binary column becomes ADO's long binary with none.
constexpr std::array<DaoMapping, 20> DaoMappings{{
    {DaoType::BigInt, {AdoType::BigInt, true, NoQuote}},
    {DaoType::Binary, {AdoType::Binary, false, std::nullopt}},
    {DaoType::Boolean, {AdoType::Boolean, true, NoQuote}},
    {DaoType::Byte, {AdoType::UnsignedTinyInt, true, NoQuote}},
    {DaoType::Char, {AdoType::Char, true, TextQuote}},
    {DaoType::Currency, {AdoType::Currency, true, NoQuote}},
    {DaoType::Date, {AdoType::DBTimeStamp, true, DateQuote}},
    {DaoType::Decimal, {AdoType::Numeric, true, NoQuote}},
    {DaoType::Double, {AdoType::Double, true, NoQuote}},
    {DaoType::Float, {AdoType::Double, true, NoQuote}},
    {DaoType::GUID, {AdoType::GUID, true, TextQuote}},
    {DaoType::Integer, {AdoType::SmallInt, true, NoQuote}},
    {DaoType::Long, {AdoType::Integer, true, NoQuote}},
    {DaoType::LongBinary, {AdoType::LongVarBinary, true, NoQuote}},
    {DaoType::Memo, {AdoType::LongVarWChar, true, TextQuote}},
    {DaoType::Numeric, {AdoType::Numeric, true, NoQuote}},
    {DaoType::Single, {AdoType::Single, true, NoQuote}},
    {DaoType::Text, {AdoType::VarWChar, true, TextQuote}},
    {DaoType::Time, {AdoType::DBTimeStamp, true, DateQuote}},
    {DaoType::TimeStamp, {AdoType::DBTimeStamp, true, DateQuote}},
}};

/// The type code a DAO column maps to when no row lists it (variable binary included).
constexpr std::int16_t UnmappedType = -1;

constexpr std::int32_t AdoNumericTypes[] = {
    AdoType::BigInt,           AdoType::Boolean,         AdoType::Currency,
    AdoType::Decimal,          AdoType::Double,          AdoType::Integer,
    AdoType::Numeric,          AdoType::Single,          AdoType::SmallInt,
    AdoType::TinyInt,          AdoType::UnsignedBigInt,  AdoType::UnsignedInt,
    AdoType::UnsignedSmallInt, AdoType::UnsignedTinyInt, 139, // adVarNumeric
};
constexpr std::int32_t AdoQuotedTypes[] = {
    AdoType::BSTR,        AdoType::Char,        AdoType::Date,          AdoType::DBDate,  AdoType::DBTime,
    AdoType::DBTimeStamp, AdoType::LongVarChar, AdoType::LongVarWChar,  AdoType::VarChar, AdoType::VarWChar,
    AdoType::WChar,       AdoType::GUID,        AdoType::LongVarBinary,
};
constexpr std::int32_t AdoDateTypes[] = {AdoType::Date, AdoType::DBDate, AdoType::DBTime,
                                         AdoType::DBTimeStamp};

bool IsIn(std::int32_t code, std::span<const std::int32_t> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

/// A rowset value as text; Null and Empty give "".
std::u16string TextOf(const Variant& value) {
    return value.IsNull() || value.IsEmpty() ? std::u16string() : automation::ToString(value);
}

/// A rowset flag; Null counts as False.
bool FlagOf(const Variant& value) {
    return !value.IsNull() && automation::ToBoolean(value);
}

/// The restrictions of a catalogue rowset for one table. The schema is that of the table being
/// read, so that a table of the same name in another schema lends it no keys.
std::array<Variant, 5> TableRestrictions(std::u16string_view schema, const Variant& table, bool forIndexes) {
    std::array<Variant, 5> restrictions;
    if (!schema.empty()) {
        restrictions[1] = Variant(schema);
    }
    restrictions[forIndexes ? 4 : 2] = table;
    return restrictions;
}

/// One part of a column reference without one pair of brackets around it.
std::u16string Unbracket(std::u16string part) {
    if (!part.empty() && part.front() == u'[') {
        part.erase(0, 1);
    }
    if (!part.empty() && part.back() == u']') {
        part.pop_back();
    }
    return part;
}

std::u16string Trimmed(std::u16string_view text) {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(u' ');
    return std::u16string(text.substr(first, last - first + 1));
}

} // namespace

ColumnType AdoColumnType(std::int32_t adoType, std::int16_t dbKind) {
    ColumnType column;
    column.type = static_cast<std::int16_t>(adoType);
    if (IsIn(adoType, AdoNumericTypes)) {
        column.supported = true;
        column.quote = NoQuote;
        return column;
    }
    if (IsIn(adoType, AdoQuotedTypes)) {
        column.supported = true;
        column.quote = IsIn(adoType, AdoDateTypes) && dbKind == DBTypeCode::Access ? DateQuote : TextQuote;
        return column;
    }
    // An unsupported type keeps its real code and whatever delimiters the field had.
    return column;
}

ColumnType DaoColumnType(std::int16_t daoType) {
    const auto row = std::find_if(DaoMappings.begin(), DaoMappings.end(),
                                  [&](const DaoMapping& mapping) { return mapping.daoType == daoType; });
    if (row == DaoMappings.end()) {
        return ColumnType{UnmappedType, false, std::nullopt};
    }
    return row->column;
}

std::int32_t DaoAttributesToAdo(const dao::Field& column) {
    std::int32_t attributes = 0;
    if ((column.attributes & dao::FieldAttribute::FixedField) != 0) {
        attributes += ado::FieldAttribute::Fixed;
    }
    if ((column.attributes & dao::FieldAttribute::AutoIncrField) == 0) {
        attributes += ado::FieldAttribute::Updatable;
    }
    if (!column.required) {
        attributes += ado::FieldAttribute::IsNullable;
    }
    return attributes;
}

bool IsAutoIncrement(const ado::Field& column) {
    const std::optional<Variant> autoIncrement = column.Property(u"ISAUTOINCREMENT");
    return autoIncrement && !autoIncrement->IsNull() && automation::ToBoolean(*autoIncrement);
}

bool SameColumnName(std::u16string_view a, std::u16string_view b) noexcept {
    return automation::EqualsNoCase(a, b);
}

ColumnSelection SelectColumns(const ado::Fields& columns) {
    ColumnSelection selection;
    for (const ado::Field& column : columns) {
        const bool taken =
            std::any_of(selection.accepted.begin(), selection.accepted.end(),
                        [&](const ado::Field* kept) { return SameColumnName(kept->Name(), column.Name()); });
        if (taken) {
            selection.duplicates.push_back(column.Name());
            continue;
        }
        selection.accepted.push_back(&column);
    }
    return selection;
}

std::u16string DuplicateColumnText(std::u16string_view column) {
    return State().gProductName + u": Duplicate Column Name - " + std::u16string(column) +
           u" found! ASP scripts may not be generated correctly! Please rename duplicated field names to "
           u"ensure "
           u"correct generation!";
}

ado::Recordset DescribeTableColumns(ado::Connection& cnn, std::u16string_view schema,
                                    std::u16string_view table) {
    const ModuleState& state = State();
    const bool ownQuotes = !state.gQuoteStart.empty() && !state.gQuoteEnd.empty();
    auto quote = [&](std::u16string_view identifier) {
        return ownQuotes ? QuoteNameA(identifier) : cnn.QuoteIdentifier(identifier);
    };
    std::u16string sql = u"SELECT * FROM ";
    if (!schema.empty()) {
        sql += quote(schema) + u".";
    }
    sql += quote(table) + u" WHERE 0=1";
    return ado::Recordset::DescribeTable(cnn, sql, TableRestrictions(schema, Variant(table), false));
}

ado::Recordset DescribeCustomView(ado::Connection& cnn, std::u16string_view sql) {
    return ado::Recordset::DescribeQuery(cnn, sql);
}

std::u16string ConnectionErrorText(const ado::Connection& cnn, const automation::Error& error,
                                   bool numbered) {
    const std::u16string& prefix = State().gMsgPrefix;
    std::u16string message;
    bool authenticationFailed = false;
    std::int64_t position = 0;
    for (const automation::Ref<ado::ErrorRecord>& record : cnn.Errors()->Records()) {
        ++position;
        if (numbered) {
            message += std::u16string(CrLf) + u"Error #" + NumberText(position) + u":";
        }
        message += std::u16string(CrLf) + u"   ADO Error   #" + NumberText(record->Number());
        message += std::u16string(CrLf) + u"   Description  " + record->Description();
        message += std::u16string(CrLf) + u"   Source       " + record->Source();
        authenticationFailed =
            authenticationFailed || record->Number() == ado::ErrorNumber::AuthenticationFailed;
    }
    if (authenticationFailed) {
        return prefix + u": Unable to connect to Data Source! User ID / Password not valid!";
    }
    if (!message.empty()) {
        return prefix + u": " + message;
    }
    return prefix + u": ADO Connection Error " + error.Description();
}

std::u16string TableReadErrorText(const ado::Connection& cnn, const automation::Error& error,
                                  std::u16string_view type, std::u16string_view table) {
    std::u16string text = ConnectionErrorText(cnn, error, /*numbered=*/true);
    const std::u16string head = State().gMsgPrefix + u": ";
    assert(text.starts_with(head));
    std::u16string which = u"Unable to read the " + std::u16string(type == u"VIEW" ? u"view" : u"table") +
                           u" \"" + std::u16string(table) + u"\"!";
    // The list of errors starts on a line of its own; a bare description follows on this one.
    if (!std::u16string_view(text).substr(head.size()).starts_with(CrLf)) {
        which += u" ";
    }
    text.insert(head.size(), which);
    // A connection that went is no fault of the object: nothing the user could do to it helps.
    if (cnn.Lost()) {
        return text + std::u16string(CrLf) + std::u16string(ConnectionLostText);
    }
    text += std::u16string(CrLf) +
            (type == u"VIEW"
                 ? u"Repair the view or drop it, or grant the right to read it."
                 : u"Grant the right to read the table, or try again once no other session holds it.");
    return text;
}

std::optional<UnreadObject> ObjectOfReadError(std::u16string_view text) {
    const std::u16string head = State().gMsgPrefix + u": Unable to read the ";
    if (!text.starts_with(head) || text.ends_with(ConnectionLostText)) {
        return std::nullopt;
    }
    text.remove_prefix(head.size());
    // The name is quoted on the first line and followed by "!", then the line's end or the
    // driver's description.
    const std::u16string_view line = text.substr(0, text.find(CrLf));
    for (const std::u16string_view word : {std::u16string_view(u"table"), std::u16string_view(u"view")}) {
        const std::u16string opening = std::u16string(word) + u" \"";
        if (!line.starts_with(opening)) {
            continue;
        }
        for (std::size_t end = line.find(u"\"!", opening.size()); end != std::u16string_view::npos;
             end = line.find(u"\"!", end + 1)) {
            if (end + 2 == line.size() || line[end + 2] == u' ') {
                return UnreadObject{std::u16string(word),
                                    std::u16string(line.substr(opening.size(), end - opening.size()))};
            }
        }
    }
    return std::nullopt;
}

namespace {

/// "table" or "view", as a message names an object of the tables rowset's type.
std::u16string_view ObjectWord(std::u16string_view type) {
    return type == u"VIEW" ? u"view" : u"table";
}

} // namespace

std::u16string UnneededTableText(std::u16string readError) {
    return std::move(readError) + std::u16string(CrLf) +
           u"It is left out and left as it is: the project does not load it.";
}

std::u16string CaseTwinText(std::u16string_view type, std::u16string_view table, std::u16string_view keptType,
                            std::u16string_view kept) {
    return State().gMsgPrefix + u": The " + std::u16string(ObjectWord(type)) + u" \"" +
           std::u16string(table) + u"\" is left out: its name differs only in letter case from the " +
           std::u16string(ObjectWord(keptType)) + u" \"" + std::u16string(kept) +
           u"\", which is kept, and a project cannot hold both. Rename one of them to have both.";
}

std::u16string TableNotInDatabaseText(std::u16string_view table) {
    return State().gMsgPrefix + u": Table " + std::u16string(table) +
           u" not found in the database! It was dropped or renamed since the project read it; a "
           u"synchronisation takes the change into the project.";
}

void ReportObjectsLeftOut(const std::vector<std::u16string>& texts) {
    if (texts.empty()) {
        return;
    }
    // One message however many there are: a database with many such objects would otherwise
    // hold the user at a message box for each.
    std::u16string message = texts.front();
    if (texts.size() > 1) {
        const std::u16string prefix = State().gMsgPrefix + u": ";
        message = prefix + NumberText(static_cast<std::int64_t>(texts.size())) +
                  u" tables and views of the database are left out:";
        for (std::u16string_view text : texts) {
            if (text.starts_with(prefix)) {
                text.remove_prefix(prefix.size());
            }
            message += std::u16string(CrLf) + std::u16string(CrLf) + std::u16string(text);
        }
    }
    CurrentHost().ShowMessage(
        {u"", std::move(message), host::MessageIcon::Information, host::MessageButtons::Ok});
}

DbmsInfo ReadDbmsInfo(const ado::Connection& cnn) {
    DbmsInfo info;
    info.adoVersion = ado::Connection::Version();
    info.dbmsName = cnn.Property(u"DBMS Name").value_or(u"");
    if (automation::ToLower(info.dbmsName).find(u"interbase") != std::u16string::npos) {
        info.dbmsName = u"Interbase Server";
    }
    info.dbmsVersion = cnn.Property(u"DBMS Version");
    info.oledbVersion = cnn.Property(u"OLE DB Version");
    info.providerName = cnn.Property(u"Provider Name");
    info.providerVersion = cnn.Property(u"Provider Version");
    return info;
}

SqlServerDataSource ReadSqlServerDataSource(std::u16string_view dataSource) {
    SqlServerDataSource source;
    if (const std::optional<std::u16string> database = ado::DataSourceValue(dataSource, u"Database")) {
        source.database = Variant(*database);
    }
    source.server = ado::DataSourceValue(dataSource, u"Server").value_or(u"");
    source.trusted = ado::DataSourceValue(dataSource, u"Trusted_Connection") == u"Yes";
    return source;
}

std::u16string SqlServerNativeText(const SqlServerDataSource& source, std::u16string_view user,
                                   std::u16string_view password) {
    ado::ConnectionString native;
    native.Set(u"Provider", u"SQLOLEDB");
    if (!source.trusted) {
        native.Set(u"User ID", user);
        native.Set(u"Password", password);
    }
    native.Set(u"Initial Catalog", TextOf(source.database));
    native.Set(u"Data Source", source.server);
    if (source.trusted) {
        native.Set(u"Integrated Security", u"SSPI");
    }
    return native.ToString();
}

void ReconnectToSqlServer(ado::Connection& cnn, std::u16string_view dataSource, std::u16string_view user,
                          std::u16string_view password, std::u16string_view fallback) {
    SqlServerDataSource source;
    try {
        source = ReadSqlServerDataSource(dataSource);
    } catch (const automation::Error&) {
        // Without the data source's settings the native connection fails and the data source
        // serves.
    }
    cnn.Close();
    try {
        cnn.Open(SqlServerNativeText(source, user, password));
    } catch (const automation::Error&) {
        // The data source itself is the way back.
    }
    if (cnn.State() != ado::ObjectState::Open) {
        try {
            cnn.Open(fallback);
        } catch (const automation::Error&) {
            // The reads that follow fail on the closed connection and say so.
        }
    }
}

std::optional<std::u16string> ChooseSchemaOwner(ado::Recordset& rs, std::u16string_view current,
                                                std::u16string_view user,
                                                std::vector<std::u16string>& owners) {
    ModuleState& state = State();
    owners.assign(1, std::u16string());
    const std::u16string target = current.empty() ? automation::ToUpper(user) : std::u16string(current);
    if (rs.Eof()) {
        return std::nullopt;
    }
    bool found = false;
    for (; !rs.Eof(); rs.MoveNext()) {
        if (TextOf(rs.Value(u"TABLE_TYPE")) != u"TABLE") {
            continue;
        }
        std::u16string schema = automation::ToUpper(TextOf(rs.Value(u"TABLE_SCHEMA")));
        found = found || schema == target;
        if (std::find(owners.begin(), owners.end(), schema) == owners.end()) {
            owners.push_back(std::move(schema));
        }
    }
    rs.MoveFirst();
    if (found) {
        return target;
    }

    host::SchemaQuestion question;
    question.title = state.gMsgPrefix;
    question.schemas.assign(owners.begin() + 1, owners.end());
    const host::SchemaAnswer answer = CurrentHost().ChooseSchema(question);
    if (!answer.schema || answer.schema->empty()) {
        automation::Raise(automation::ErrorNumber::InvalidProcedureCall, u"LoadDB",
                          std::u16string(NoSchemaChosenText));
    }
    return *answer.schema;
}

bool ReadsOneSchema(std::u16string_view dbmsName) {
    return automation::EqualsNoCase(dbmsName, u"PostgreSQL");
}

std::u16string SchemaToRead(ado::Connection& cnn, std::u16string_view named) {
    if (!named.empty()) {
        return std::u16string(named);
    }
    ado::Recordset current = ado::Recordset::Open(cnn, u"SELECT current_schema()");
    std::u16string schema = current.Eof() ? std::u16string() : TextOf(current.Value(0));
    if (schema.empty()) {
        automation::Raise(automation::ErrorNumber::InvalidProcedureCall, u"LoadDB",
                          u"The search path names no schema of the database! " +
                              std::u16string(NameTheSchemaText));
    }
    return schema;
}

std::vector<std::u16string> OtherSchemasWithTables(ado::Recordset& rs, std::u16string_view schema) {
    std::vector<std::u16string> others;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        const std::u16string type = TextOf(rs.Value(u"TABLE_TYPE"));
        std::u16string owner = TextOf(rs.Value(u"TABLE_SCHEMA"));
        if ((type == u"TABLE" || type == u"VIEW") && owner != schema &&
            std::find(others.begin(), others.end(), owner) == others.end()) {
            others.push_back(std::move(owner));
        }
    }
    rs.MoveFirst();
    return others;
}

std::vector<std::u16string> ReadPrimaryKeyColumns(ado::Connection& cnn, std::u16string_view schema,
                                                  std::u16string_view table) {
    std::vector<std::u16string> columns;
    ado::Recordset keys =
        cnn.OpenSchema(ado::Schema::PrimaryKeys, TableRestrictions(schema, Variant(table), false));
    for (; !keys.Eof(); keys.MoveNext()) {
        columns.push_back(TextOf(keys.Value(u"COLUMN_NAME")));
    }
    return columns;
}

ColumnFacts ReadColumnFacts(ado::Connection& cnn, std::u16string_view schema, std::u16string_view table) {
    ColumnFacts facts;
    ado::Recordset rows =
        cnn.OpenSchema(ado::Schema::Columns, TableRestrictions(schema, Variant(table), false));
    for (; !rows.Eof(); rows.MoveNext()) {
        const Variant& nullable = rows.Value(u"IS_NULLABLE");
        const Variant& type = rows.Value(u"DATA_TYPE");
        const bool required = !nullable.IsNull() && !automation::ToBoolean(nullable);
        const bool boolean = !type.IsNull() && automation::ToLong(type) == AdoType::Boolean;
        if (!required && !boolean) {
            continue;
        }
        std::u16string name = TextOf(rows.Value(u"COLUMN_NAME"));
        if (boolean) {
            facts.booleanColumns.push_back(name);
        }
        if (required) {
            facts.requiredColumns.push_back(std::move(name));
        }
    }
    return facts;
}

IndexFacts ReadIndexFacts(ado::Connection& cnn, std::u16string_view schema, std::u16string_view table,
                          std::int16_t dbKind) {
    std::optional<ado::Recordset> indexes;
    try {
        indexes = cnn.OpenSchema(ado::Schema::Indexes, TableRestrictions(schema, Variant(table), true));
    } catch (const automation::Error&) {
        if (dbKind != DBTypeCode::MySql) {
            throw;
        }
        indexes =
            cnn.OpenSchema(ado::Schema::Indexes, TableRestrictions(schema, Variant(QuoteNameB(table)), true));
    }

    // One row per index column, the rows of an index adjacent.
    const bool isAccess = dbKind == DBTypeCode::Access;
    IndexFacts facts;
    std::vector<std::u16string> indexColumns;
    std::u16string previousIndex;
    std::u16string columnName;
    bool unique = false;
    auto judgePrevious = [&] {
        if (indexColumns.size() == 1 && unique) {
            facts.uniqueColumns.push_back(columnName);
        }
    };
    for (; !indexes->Eof(); indexes->MoveNext()) {
        const Variant& indexName = indexes->Value(u"INDEX_NAME");
        if (indexName.IsNull()) {
            continue;
        }
        const std::u16string name = automation::ToString(indexName);
        if (name != previousIndex) {
            judgePrevious();
            indexColumns.clear();
            unique = false;
            previousIndex = name;
        }
        unique = FlagOf(indexes->Value(u"UNIQUE"));
        columnName = TextOf(indexes->Value(u"COLUMN_NAME"));
        if (!columnName.empty() &&
            std::find(indexColumns.begin(), indexColumns.end(), columnName) == indexColumns.end()) {
            indexColumns.push_back(columnName);
        }
        if (!isAccess) {
            continue;
        }
        const Variant& primary = indexes->Value(u"PRIMARY_KEY");
        if (primary.IsNull() ? name == u"PrimaryKey" : automation::ToBoolean(primary)) {
            facts.keyColumns.push_back(columnName);
        }
    }
    judgePrevious();
    return facts;
}

IndexFacts DaoIndexFacts(const dao::TableDef& definition) {
    IndexFacts facts;
    for (const dao::Index& index : definition.indexes) {
        if (index.name == u"PrimaryKey") {
            for (const dao::IndexField& column : index.fields) {
                facts.keyColumns.push_back(column.name);
            }
        }
        if (index.unique && index.fields.size() == 1) {
            facts.uniqueColumns.push_back(index.fields.front().name);
        }
    }
    return facts;
}

std::u16string SortedKeyList(const std::vector<std::u16string>& names) {
    std::u16string list;
    for (const std::u16string& name : names) {
        if (!list.empty()) {
            list += CrLf;
        }
        list += name;
    }
    return SortLines(list);
}

bool IsUserTable(const dao::TableDef& definition) {
    return !definition.IsSystem() && !definition.IsHidden() && definition.name != u"Switchboard Items";
}

std::u16string BracketedColumnName(std::u16string_view table, std::u16string_view column) {
    std::u16string_view columnPart = column;
    if (const std::size_t dot = column.find(u'.'); dot != std::u16string_view::npos) {
        const std::size_t next = column.find(u'.', dot + 1);
        columnPart = column.substr(dot + 1, next == std::u16string_view::npos ? std::u16string_view::npos
                                                                              : next - dot - 1);
    }
    return u"[" + Unbracket(Trimmed(table)) + u"].[" + Unbracket(Trimmed(columnPart)) + u"]";
}

ViewKey DeriveViewKey(std::u16string_view sql,
                      const std::function<std::u16string(const std::u16string&)>& keyOf,
                      const std::function<bool(const std::u16string&)>& hasColumn) {
    ViewKey result;
    sql::AccessQueryAnalyzer analyzer;
    analyzer.SetSql(std::u16string(sql));
    result.updatable = analyzer.IsUpdatable();
    if (!result.updatable) {
        return result;
    }
    // Only a single-column key can equal a column's name, so a compound key never reaches a view.
    auto adoptKey = [&](const std::u16string& key, bool fromJoin) {
        if (key.empty() || !hasColumn(key)) {
            return;
        }
        result.key = SortLines(key);
        result.fromJoin = fromJoin;
    };

    const std::int32_t joins = analyzer.JoinCount();
    if (joins == 0) {
        adoptKey(keyOf(analyzer.BaseTable()), false);
        return result;
    }
    if (joins != 1) {
        return result;
    }
    analyzer.FirstJoin();
    const std::u16string leftTable = analyzer.JoinLeftTable();
    const std::u16string rightTable = analyzer.JoinRightTable();
    const std::u16string leftColumn = analyzer.JoinLeftColumn();
    const std::u16string rightColumn = analyzer.JoinRightColumn();
    const std::u16string leftKey = keyOf(leftTable);
    const std::u16string rightKey = keyOf(rightTable);
    if (leftKey.empty() || rightKey.empty() || analyzer.JoinType() != u"INNER") {
        return result;
    }
    std::u16string key;
    // The order of the tests matters: a join on both keys takes the left one, as a join on the
    // right table's key does.
    // NOLINTBEGIN(bugprone-branch-clone)
    if (BracketedColumnName(leftTable, leftKey) == BracketedColumnName(leftTable, leftColumn) &&
        BracketedColumnName(rightTable, rightKey) == BracketedColumnName(rightTable, rightColumn)) {
        key = leftKey;
    } else if (leftColumn == leftKey) {
        key = rightKey;
    } else if (rightColumn == rightKey) {
        key = leftKey;
    }
    // NOLINTEND(bugprone-branch-clone)
    adoptKey(key, true);
    return result;
}

} // namespace qv::catalog
