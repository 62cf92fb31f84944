#include "platform/dao/internal/SchemaReader.h"

#include "platform/dao/internal/Errors.h"
#include "platform/dao/internal/LibMdb.h"
#include "platform/dao/internal/QueryDesign.h"
#include "platform/dao/internal/QueryFields.h"

#include "platform/system/CodePage.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <map>
#include <optional>

namespace qv::dao::internal {

namespace {

using automation::CompareNoCase;
using automation::EqualsNoCase;
using automation::FromUtf8;

// Text columns of the catalogue can be long (a query's criteria are memo values).
constexpr std::size_t BindSize = 1 << 18;

// Object types of the catalogue (MSysObjects.Type).
namespace ObjectType {
constexpr std::int32_t Table = 1;
constexpr std::int32_t OdbcLinkedTable = 4;
constexpr std::int32_t Query = 5;
constexpr std::int32_t LinkedTable = 6;
} // namespace ObjectType

// Bits of MSysObjects.Flags.
namespace ObjectFlag {
constexpr std::int32_t System = static_cast<std::int32_t>(0x80000002u);
constexpr std::int32_t Hidden = 0x8;
} // namespace ObjectFlag

// libmdb's column types where they differ from DAO's.
constexpr int MdbNumeric = 0x10;
constexpr int MdbComplex = 0x12;
constexpr int MdbIndexPrimary = 1;
constexpr int MdbIndexForeign = 2;

std::optional<std::int64_t> ParseInteger(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::int32_t ToInt32(const std::optional<std::string>& text) {
    if (!text) {
        return 0;
    }
    const auto value = ParseInteger(*text);
    return value ? static_cast<std::int32_t>(static_cast<std::uint32_t>(*value)) : 0;
}

std::u16string ToText(const std::optional<std::string>& text) {
    return text ? FromUtf8(*text) : std::u16string();
}

// Tells libmdb which character sets to convert from and to. The variables are read when a
// file is opened; the reader runs in a process of its own, so nobody else sees them.
void ConfigureCharsets(const FileHeader& header) {
    ::setenv("MDBICONV", "UTF-8", 1);
    if (header.format == FileFormat::Jet3) {
        const int codePage = system::IsSupportedCodePage(header.codePage) ? header.codePage : 1252;
        ::setenv("MDB_JET3_CHARSET", ("CP" + std::to_string(codePage)).c_str(), 1);
    }
}

MdbCatalogEntry* FindEntry(MdbHandle* mdb, int objectType, const std::string& name) {
    if (!mdb->catalog) {
        return nullptr;
    }
    for (guint index = 0; index < mdb->catalog->len; ++index) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, index));
        if (entry->object_type == objectType && name == entry->object_name) {
            return entry;
        }
    }
    return nullptr;
}

// Reads the rows of a catalogue table, the named columns as text (libmdb's rendering).
class RowScanner {
public:
    RowScanner(MdbCatalogEntry* entry, std::initializer_list<const char*> columns, std::u16string_view path)
        : mTable(entry ? mdb_read_table(entry) : nullptr) {
        if (!mTable || !mdb_read_columns(mTable.Get())) {
            RaiseFileError(ErrorNumber::CannotOpenDatabase, path,
                           u"the file is damaged (the catalogue table " +
                               FromUtf8(entry ? entry->object_name : "") + u" cannot be read)");
        }
        mBuffers.resize(columns.size());
        mLengths.resize(columns.size(), 0);
        mBound.resize(columns.size(), false);
        std::size_t index = 0;
        for (const char* column : columns) {
            mBuffers[index].assign(BindSize, '\0');
            mBound[index] = mdb_bind_column_by_name(mTable.Get(), const_cast<gchar*>(column),
                                                    mBuffers[index].data(), &mLengths[index]) > 0;
            ++index;
        }
        mdb_rewind_table(mTable.Get());
    }

    bool Next() {
        std::fill(mLengths.begin(), mLengths.end(), 0);
        return mdb_fetch_row(mTable.Get()) != 0;
    }

    /// The value of the index'th column; nullopt for Null, "" and unbound columns.
    std::optional<std::string> Value(std::size_t index) const {
        if (!mBound[index] || mLengths[index] <= 0) {
            return std::nullopt;
        }
        const std::vector<char>& buffer = mBuffers[index];
        const auto length = std::min<std::size_t>(static_cast<std::size_t>(mLengths[index]), buffer.size());
        return std::string(buffer.data(), strnlen(buffer.data(), length));
    }

private:
    LibMdbTable mTable;
    std::vector<std::vector<char>> mBuffers;
    std::vector<int> mLengths;
    std::vector<bool> mBound;
};

// One row of the catalogue.
struct CatalogObject {
    std::int32_t id = 0;
    std::string name; // UTF-8, as libmdb names its catalogue entries
    std::int32_t type = 0;
    std::int32_t flags = 0;
    std::u16string connect;
    std::u16string database;
    std::u16string foreignName;
};

std::vector<CatalogObject> ReadCatalog(MdbHandle* mdb, std::u16string_view path) {
    RowScanner rows(FindEntry(mdb, MDB_TABLE, "MSysObjects"),
                    {"Id", "Name", "Type", "Flags", "Connect", "Database", "ForeignName"}, path);
    std::vector<CatalogObject> objects;
    while (rows.Next()) {
        CatalogObject object;
        object.id = ToInt32(rows.Value(0));
        object.name = rows.Value(1).value_or(std::string());
        object.type = ToInt32(rows.Value(2));
        object.flags = ToInt32(rows.Value(3));
        object.connect = ToText(rows.Value(4));
        object.database = ToText(rows.Value(5));
        object.foreignName = ToText(rows.Value(6));
        objects.push_back(std::move(object));
    }
    return objects;
}

// A column of an enforced relationship: the foreign-key index on the referencing table is
// named after the relationship.
struct RelationshipColumn {
    std::u16string relationship;
    std::u16string table;
    std::u16string column;
    std::int32_t position = 0;
};

std::vector<RelationshipColumn> ReadRelationships(MdbHandle* mdb, std::u16string_view path) {
    MdbCatalogEntry* entry = FindEntry(mdb, MDB_TABLE, "MSysRelationships");
    if (!entry) {
        return {};
    }
    RowScanner rows(entry, {"szRelationship", "szObject", "szColumn", "icolumn"}, path);
    std::vector<RelationshipColumn> columns;
    while (rows.Next()) {
        columns.push_back(RelationshipColumn{ToText(rows.Value(0)), ToText(rows.Value(1)),
                                             ToText(rows.Value(2)), ToInt32(rows.Value(3))});
    }
    std::stable_sort(
        columns.begin(), columns.end(),
        [](const RelationshipColumn& a, const RelationshipColumn& b) { return a.position < b.position; });
    return columns;
}

void CollectProperty(gpointer key, gpointer value, gpointer userData) {
    auto* properties = static_cast<std::vector<Property>*>(userData);
    properties->push_back(Property{FromUtf8(static_cast<const char*>(key)),
                                   value ? FromUtf8(static_cast<const char*>(value)) : std::u16string()});
}

std::vector<Property> PropertiesOf(const MdbProperties* props) {
    std::vector<Property> properties;
    if (props && props->hash) {
        g_hash_table_foreach(props->hash, CollectProperty, &properties);
    }
    // The hash gives no order; sorting keeps the result the same from one read to the next.
    std::sort(properties.begin(), properties.end(),
              [](const Property& a, const Property& b) { return CompareNoCase(a.name, b.name) < 0; });
    return properties;
}

// The properties the entry's designer block keeps for the object itself (unnamed) or for one
// of its columns (named after it).
const MdbProperties* EntryProperties(const MdbCatalogEntry* entry, const char* name) {
    if (!entry || !entry->props) {
        return nullptr;
    }
    for (guint index = 0; index < entry->props->len; ++index) {
        const auto* props = static_cast<const MdbProperties*>(g_ptr_array_index(entry->props, index));
        const bool unnamed = !props->name || !props->name[0];
        if ((name == nullptr && unnamed) || (name && !unnamed && std::string_view(props->name) == name)) {
            return props;
        }
    }
    return nullptr;
}

std::vector<ColumnProperties> ColumnPropertiesOf(const MdbCatalogEntry* entry) {
    std::vector<ColumnProperties> columns;
    if (!entry || !entry->props) {
        return columns;
    }
    for (guint index = 0; index < entry->props->len; ++index) {
        const auto* props = static_cast<const MdbProperties*>(g_ptr_array_index(entry->props, index));
        if (props->name && props->name[0]) {
            columns.push_back(ColumnProperties{FromUtf8(props->name), PropertiesOf(props)});
        }
    }
    return columns;
}

bool IsTrueText(std::u16string_view text) {
    return EqualsNoCase(text, u"yes") || EqualsNoCase(text, u"true") || text == u"1" || text == u"-1";
}

std::int16_t DaoTypeOf(int mdbType) {
    if (mdbType >= DataType::Boolean && mdbType <= DataType::Memo) {
        return static_cast<std::int16_t>(mdbType); // the same numbers up to Memo
    }
    switch (mdbType) {
    case DataType::GUID:
        return DataType::GUID;
    case MdbNumeric:
        return DataType::Decimal;
    case MdbComplex:
    default:
        return DataType::Unsupported;
    }
}

Field FieldOf(const MdbColumn* column, std::size_t ordinal, const FileHeader& header,
              const std::u16string& table, const MdbCatalogEntry* entry) {
    Field field;
    field.name = FromUtf8(column->name);
    field.type = DaoTypeOf(column->col_type);
    field.ordinalPosition = static_cast<std::int16_t>(ordinal);
    field.sourceTable = table;
    field.sourceField = field.name;
    switch (field.type) {
    case DataType::Text:
        // Jet 4 and later store text as UCS-2 and give the size in bytes.
        field.size = header.format == FileFormat::Jet3 ? column->col_size : column->col_size / 2;
        break;
    case DataType::Binary:
    case DataType::Unsupported:
        field.size = column->col_size;
        break;
    default:
        field.size = DefaultSizeOf(field.type);
        break;
    }
    field.attributes = column->is_fixed ? FieldAttribute::FixedField : FieldAttribute::VariableField;
    // libmdb's auto-number flags are meaningful only for the types that can be auto numbers.
    if (column->is_long_auto && field.type == DataType::Long) {
        field.attributes |= FieldAttribute::AutoIncrField;
    }
    const MdbProperties* props = column->props ? column->props : EntryProperties(entry, column->name);
    field.properties = PropertiesOf(props);
    if (auto required = FindProperty(field.properties, u"Required")) {
        field.required = IsTrueText(*required);
    }
    if (auto allowZeroLength = FindProperty(field.properties, u"AllowZeroLength")) {
        field.allowZeroLength = IsTrueText(*allowZeroLength);
    }
    if (auto defaultValue = FindProperty(field.properties, u"DefaultValue")) {
        field.defaultValue = *defaultValue;
    } else if (column->is_uuid_auto && field.type == DataType::GUID) {
        field.defaultValue = u"GenGUID()"; // how the engine shows a replication ID's default
    }
    return field;
}

std::vector<Index> IndexesOf(MdbTableDef* table, const std::vector<Field>& fields,
                             const std::vector<RelationshipColumn>& relationships,
                             const std::u16string& tableName) {
    std::vector<Index> indexes;
    if (!table->indices) {
        return indexes;
    }
    for (guint position = 0; position < table->indices->len; ++position) {
        const auto* mdbIndex = static_cast<const MdbIndex*>(g_ptr_array_index(table->indices, position));
        Index index;
        index.name = FromUtf8(mdbIndex->name);
        index.primary = mdbIndex->index_type == MdbIndexPrimary;
        index.foreign = mdbIndex->index_type == MdbIndexForeign;
        index.unique = index.primary || (mdbIndex->flags & MDB_IDX_UNIQUE) != 0;
        index.ignoreNulls = (mdbIndex->flags & MDB_IDX_IGNORENULLS) != 0;
        index.required = index.primary || (mdbIndex->flags & MDB_IDX_REQUIRED) != 0;
        if (index.foreign) {
            // A foreign-key index shares its keys with another index; the relationship names
            // its columns. The referenced table's half of a relationship is no index of its own.
            for (const RelationshipColumn& column : relationships) {
                if (column.relationship == index.name && EqualsNoCase(column.table, tableName)) {
                    index.fields.push_back(IndexField{column.column, false});
                }
            }
            if (index.fields.empty()) {
                continue;
            }
            indexes.push_back(std::move(index));
            continue;
        }
        const unsigned keyCount = std::min<unsigned>(mdbIndex->num_keys, MDB_MAX_IDX_COLS);
        for (unsigned key = 0; key < keyCount; ++key) {
            const int column = mdbIndex->key_col_num[key]; // 1-based, in column order
            if (column < 1 || static_cast<std::size_t>(column) > fields.size()) {
                continue;
            }
            index.fields.push_back(IndexField{fields[static_cast<std::size_t>(column) - 1].name,
                                              mdbIndex->key_col_order[key] == MDB_DESC});
        }
        indexes.push_back(std::move(index));
    }
    return indexes;
}

TableDef ReadTableDef(MdbHandle* mdb, const CatalogObject& object, const FileHeader& header,
                      const std::vector<RelationshipColumn>& relationships, std::u16string_view path) {
    TableDef table;
    table.name = FromUtf8(object.name);
    if (object.flags & ObjectFlag::System) {
        table.attributes |= TableAttribute::SystemObject;
    }
    if (object.flags & ObjectFlag::Hidden) {
        table.attributes |= TableAttribute::HiddenObject;
    }
    if (object.type == ObjectType::LinkedTable) {
        table.attributes |= TableAttribute::AttachedTable;
        std::u16string connect = object.connect;
        while (!connect.empty() && connect.back() == u';') {
            connect.pop_back();
        }
        table.connect = connect + u";DATABASE=" + object.database;
        table.sourceTableName = object.foreignName;
        return table;
    }
    if (object.type == ObjectType::OdbcLinkedTable) {
        table.attributes |= TableAttribute::AttachedODBC;
        table.connect = object.connect;
        table.sourceTableName = object.foreignName;
        return table;
    }
    MdbCatalogEntry* entry = FindEntry(mdb, MDB_TABLE, object.name);
    LibMdbTable definition(entry ? mdb_read_table(entry) : nullptr);
    if (!definition || !mdb_read_columns(definition.Get())) {
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path,
                       u"the file is damaged (the definition of table " + table.name + u" cannot be read)");
    }
    // Its result says nothing (it is null for tables with indexes too); the indexes are in the table.
    mdb_read_indices(definition.Get());
    table.properties = PropertiesOf(definition->props ? definition->props : EntryProperties(entry, nullptr));
    if (definition->columns) {
        for (guint position = 0; position < definition->columns->len; ++position) {
            const auto* column =
                static_cast<const MdbColumn*>(g_ptr_array_index(definition->columns, position));
            table.fields.push_back(FieldOf(column, position, header, table.name, entry));
        }
    }
    table.indexes = IndexesOf(definition.Get(), table.fields, relationships, table.name);
    return table;
}

// The design rows of every query, by object id, in the order the catalogue keeps them within
// each attribute.
std::map<std::int32_t, std::vector<QueryRow>> ReadQueryRows(MdbHandle* mdb, std::u16string_view path) {
    std::map<std::int32_t, std::vector<QueryRow>> designs;
    MdbCatalogEntry* entry = FindEntry(mdb, MDB_TABLE, "MSysQueries");
    if (!entry) {
        return designs;
    }
    RowScanner rows(entry, {"ObjectId", "Attribute", "Name1", "Name2", "Expression", "Flag"}, path);
    while (rows.Next()) {
        QueryRow row;
        row.attribute = static_cast<std::uint8_t>(ToInt32(rows.Value(1)));
        row.name1 = ToText(rows.Value(2));
        row.name2 = ToText(rows.Value(3));
        row.expression = ToText(rows.Value(4));
        row.flag = static_cast<std::int16_t>(ToInt32(rows.Value(5)));
        designs[ToInt32(rows.Value(0))].push_back(std::move(row));
    }
    for (auto& [id, design] : designs) {
        std::stable_sort(design.begin(), design.end(),
                         [](const QueryRow& a, const QueryRow& b) { return a.attribute < b.attribute; });
    }
    return designs;
}

template <typename Definition> void SortByName(std::vector<Definition>& definitions) {
    std::stable_sort(definitions.begin(), definitions.end(), [](const Definition& a, const Definition& b) {
        return CompareNoCase(a.name, b.name) < 0;
    });
}

} // namespace

Database::Contents ReadSchema(const std::string& nativePath, std::u16string_view path,
                              const FileHeader& header) {
    ConfigureCharsets(header);
    LibMdbHandle mdb(mdb_open(nativePath.c_str(), MDB_NOFLAGS));
    if (!mdb) {
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path, u"the database engine cannot read it");
    }
    mdb_set_bind_size(mdb.Get(), BindSize);
    if (!mdb_read_catalog(mdb.Get(), MDB_ANY)) {
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path,
                       u"the file is damaged (the catalogue cannot be read)");
    }
    const std::vector<CatalogObject> objects = ReadCatalog(mdb.Get(), path);
    const std::vector<RelationshipColumn> relationships = ReadRelationships(mdb.Get(), path);

    Database::Contents contents;
    contents.format = header.format;
    for (const CatalogObject& object : objects) {
        if (object.type == ObjectType::Table || object.type == ObjectType::LinkedTable ||
            object.type == ObjectType::OdbcLinkedTable) {
            contents.tableDefs.push_back(ReadTableDef(mdb.Get(), object, header, relationships, path));
        }
    }
    SortByName(contents.tableDefs);

    auto designs = ReadQueryRows(mdb.Get(), path);
    std::vector<PendingQuery> pending;
    std::vector<QueryDef> queries;
    for (const CatalogObject& object : objects) {
        if (object.type != ObjectType::Query) {
            continue;
        }
        const std::vector<QueryRow>& rows = designs[object.id];
        const MdbCatalogEntry* entry = FindEntry(mdb.Get(), MDB_QUERY, object.name);
        PendingQuery query;
        query.name = FromUtf8(object.name);
        query.design = BuildQueryDesign(QueryTypeOf(rows, object.flags), rows);
        query.columnProperties = ColumnPropertiesOf(entry);

        QueryDef definition;
        definition.name = query.name;
        definition.type = query.design.type;
        definition.hidden = (object.flags & ObjectFlag::Hidden) != 0;
        definition.system = (object.flags & ObjectFlag::System) != 0;
        definition.sql = query.design.sql;
        definition.parameters = query.design.parameters;
        definition.properties = PropertiesOf(EntryProperties(entry, nullptr));
        queries.push_back(std::move(definition));
        pending.push_back(std::move(query));
    }
    std::vector<ResolvedQuery> resolved = QueryResolver(contents.tableDefs, pending).ResolveAll();
    for (std::size_t index = 0; index < queries.size(); ++index) {
        queries[index].fields = std::move(resolved[index].fields);
        for (Parameter& parameter : resolved[index].impliedParameters) {
            queries[index].parameters.push_back(std::move(parameter));
        }
    }
    SortByName(queries);
    contents.queryDefs = std::move(queries);
    return contents;
}

} // namespace qv::dao::internal
