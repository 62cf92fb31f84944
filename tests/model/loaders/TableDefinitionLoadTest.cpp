// Loading one Access table or query from its definition: keys and unique indexes from the
// definition's indexes, and the names-only form of the dynamic mode. The definitions are built
// here, so that every index shape is reached, which the sample files do not all hold.

#include "model/LoadSettings.h"
#include "model/loaders/LoaderFixture.h"

#include "core/Apartment.h"

#include "platform/dao/Constants.h"
#include "platform/dao/QueryDef.h"
#include "platform/dao/TableDef.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::Ref;

dao::Field Column(std::u16string_view name) {
    dao::Field field;
    field.name = name;
    field.type = dao::DataType::Long;
    field.size = 4;
    return field;
}

dao::Index IndexOf(std::u16string_view name, bool unique,
                   std::initializer_list<std::u16string_view> columns) {
    dao::Index index;
    index.name = name;
    index.unique = unique;
    for (std::u16string_view column : columns) {
        index.fields.push_back(dao::IndexField{std::u16string(column)});
    }
    return index;
}

/// A table "Items" with the columns A, B and C and the given indexes.
dao::TableDef Items(std::vector<dao::Index> indexes) {
    dao::TableDef definition;
    definition.name = u"Items";
    for (std::u16string_view name : {u"A", u"B", u"C"}) {
        definition.fields.push_back(Column(name));
    }
    definition.indexes = std::move(indexes);
    return definition;
}

/// The columns of a table marked as primary key and as unique, as "AB" and "C".
std::pair<std::u16string, std::u16string> Marks(const QelTable& table) {
    std::u16string primary;
    std::u16string unique;
    for (const QelField& field : *table.Fields()) {
        if (field.FldIsPrimaryKey()) {
            primary += field.FldName();
        }
        if (field.FldUniqueIdx()) {
            unique += field.FldName();
        }
    }
    return {primary, unique};
}

class TableDefinitionLoadTest : public test::ModelTest {};

TEST_F(TableDefinitionLoadTest, KeysAndUniqueColumnsComeFromTheIndexes) {
    struct Case {
        const char* name;
        std::vector<dao::Index> indexes;
        std::u16string_view key;
        std::u16string_view primary;
        std::u16string_view unique;
    };
    const Case cases[] = {
        // Listed in key order, kept sorted; neither column is unique by itself.
        {"two-column key", {IndexOf(u"PrimaryKey", true, {u"B", u"A"})}, u"A\r\nB", u"AB", u""},
        {"one-column key", {IndexOf(u"PrimaryKey", true, {u"B"})}, u"B", u"B", u"B"},
        {"unique index", {IndexOf(u"ByC", true, {u"C"})}, u"", u"", u"C"},
        {"unique over two columns", {IndexOf(u"ByBC", true, {u"B", u"C"})}, u"", u"", u""},
        {"plain index", {IndexOf(u"ByA", false, {u"A"})}, u"", u"", u""},
        // Only Access's own name for the key's index makes a key.
        {"key name in another case", {IndexOf(u"primarykey", true, {u"A"})}, u"", u"", u"A"},
        {"key and unique index",
         {IndexOf(u"PrimaryKey", true, {u"A", u"B"}), IndexOf(u"ByC", true, {u"C"})},
         u"A\r\nB",
         u"AB",
         u"C"},
        // An index column the table does not have marks nothing and fails nothing.
        {"index over a missing column", {IndexOf(u"PrimaryKey", true, {u"Z"})}, u"Z", u"", u""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const Ref<QelTable> table = automation::MakeRef<QelTable>();
        table->LoadTbl_DAO(Items(row.indexes), true);
        EXPECT_EQ(table->TblName(), u"Items");
        EXPECT_EQ(table->TblType(), u"TABLE");
        EXPECT_EQ(table->Fields()->Count(), 3);
        EXPECT_EQ(table->TblKey(), row.key);
        EXPECT_EQ(Marks(*table), std::make_pair(std::u16string(row.primary), std::u16string(row.unique)));
        EXPECT_TRUE(table->TblGen());
        EXPECT_TRUE(table->TblLoaded());
        EXPECT_TRUE(table->TblAdd()) << "the table's defaults are derived";
    }
}

TEST_F(TableDefinitionLoadTest, TheDynamicModeLoadsNamesFirstAndTablesWhenAskedFor) {
    CurrentLoadSettings().dynamicLoadDB = true;
    dao::QueryDef query;
    query.name = u"Items Qry";
    query.sql = u"SELECT A FROM Items;";
    query.fields.push_back(Column(u"A"));

    const Ref<QelTable> table = automation::MakeRef<QelTable>();
    const Ref<QelTable> view = automation::MakeRef<QelTable>();
    table->LoadTbl_DAO(Items({IndexOf(u"PrimaryKey", true, {u"A"})}), true);
    view->LoadView_DAO(query, true);
    for (const QelTable* loaded : {table.Get(), view.Get()}) {
        SCOPED_TRACE(test::Utf8(loaded->TblName()));
        EXPECT_FALSE(loaded->TblGen());
        EXPECT_FALSE(loaded->TblLoaded());
        EXPECT_EQ(loaded->Fields()->Count(), 0);
        EXPECT_EQ(loaded->TblCaption(), u"") << "no defaults yet";
    }
    EXPECT_EQ(table->TblType(), u"TABLE");
    EXPECT_EQ(table->TblKey(), u"");
    EXPECT_EQ(view->TblType(), u"VIEW");

    // Asked for one by one, each loads in full whatever the mode says.
    table->LoadTbl_DAO(Items({IndexOf(u"PrimaryKey", true, {u"A"})}), false);
    view->LoadView_DAO(query, false);
    EXPECT_TRUE(table->TblLoaded());
    EXPECT_TRUE(table->TblGen());
    EXPECT_EQ(table->TblKey(), u"A");
    EXPECT_EQ(table->TblCaption(), u"Items");
    EXPECT_TRUE(view->TblLoaded());
    EXPECT_TRUE(view->TblGen());
    EXPECT_EQ(view->Fields()->Count(), 1);
    EXPECT_EQ(view->TblCaption(), u"Items Qry");
    EXPECT_FALSE(view->TblAdd()) << "a view's defaults";
    EXPECT_EQ(view->TblKey(), u"") << "a view has no keys of its own";
}

// Loading again keeps what is there: a column already held is not added twice.
TEST_F(TableDefinitionLoadTest, LoadingAgainAddsOnlyNewColumns) {
    const Ref<QelTable> table = automation::MakeRef<QelTable>();
    table->LoadTbl_DAO(Items({}), false);
    table->Fields()->Find(u"B")->SetFldCaption(u"Edited");
    dao::TableDef wider = Items({IndexOf(u"PrimaryKey", true, {u"D"})});
    wider.fields.push_back(Column(u"D"));
    table->LoadTbl_DAO(wider, false);
    std::vector<std::u16string> names;
    for (const QelField& field : *table->Fields()) {
        names.push_back(field.FldName());
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A", u"B", u"C", u"D"}));
    EXPECT_EQ(table->Fields()->Find(u"B")->FldCaption(), u"Edited");
    EXPECT_TRUE(table->Fields()->Find(u"D")->FldIsPrimaryKey());
    EXPECT_EQ(table->TblKey(), u"D");
}

} // namespace
} // namespace qv
