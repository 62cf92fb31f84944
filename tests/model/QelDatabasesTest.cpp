// The database list and the end of a database: its tables unloaded under the progress window.

#include "ModelFixture.h"

#include "model/LoadSettings.h"
#include "model/table/QelDatabases.h"

#include "core/CSuperCollection.h"
#include "core/QoProperties.h"

#include "platform/automation/Error.h"
#include "platform/host/ScriptedHost.h"

#include <functional>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::Ref;
using automation::Variant;
using host::HostCallKind;

class QelDatabasesTest : public test::ModelTest {
protected:
    void SetUp() override {
        test::ModelTest::SetUp();
        mDatabases = automation::MakeRef<QelDatabases>();
    }

    /// A database named Sales with the given tables, the only one of the list.
    QelDatabase& AddSales(std::initializer_list<std::u16string_view> tables) {
        mDatabases->Add(u"Sales");
        QelDatabase& database = *mDatabases->Item(Variant(u"Sales"));
        for (std::u16string_view name : tables) {
            EXPECT_TRUE(database.tables()->Add(std::u16string(name)));
            database.tables()->Find(name)->SetTblType(u"TABLE");
        }
        return database;
    }

    static void ExpectError(std::int32_t number, const std::function<void()>& call) {
        try {
            call();
            ADD_FAILURE() << "error " << number << " expected";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), number);
        }
    }

    Ref<QelDatabases> mDatabases;
};

TEST_F(QelDatabasesTest, HoldsOneDatabase) {
    EXPECT_EQ(mDatabases->curSeq(), u"0");
    State().gProjErr = u"earlier failure";
    mDatabases->Add(u"Sales");
    EXPECT_EQ(mDatabases->Count(), 1);
    EXPECT_EQ(mDatabases->curName(), u"Sales");
    EXPECT_EQ(mDatabases->curSeq(), u"1");
    EXPECT_EQ(State().gProjErr, u"");
    QelDatabase& sales = *mDatabases->Item(Variant(u"SALES"));
    EXPECT_EQ(sales.DBName(), u"Sales");

    mDatabases->Add(u"Other");
    EXPECT_EQ(State().gProjErr, u"support 1 db only!");
    EXPECT_EQ(mDatabases->Count(), 1);
    EXPECT_EQ(mDatabases->Item(Variant(std::int16_t{1})).Get(), &sales);

    // A rename reaches the bag only: the list keeps the key it was added under.
    sales.SetKey(u"Renamed");
    EXPECT_EQ(sales.DBName(), u"Renamed");
    EXPECT_EQ(mDatabases->Item(Variant(u"Sales")).Get(), &sales);
    EXPECT_EQ(mDatabases->curName(), u"Renamed");

    Variant viaName =
        automation::CallByName(*mDatabases, u"item", automation::InvokeRead, {Variant(u"sales")});
    EXPECT_EQ(viaName.ObjectValue().Get(), static_cast<automation::Object*>(&sales));
    // A property read with arguments applies the default member of its result.
    Ref<QelTables> tables = sales.tables();
    ASSERT_TRUE(tables->Add(u"Orders"));
    Variant orders = automation::CallByName(sales, u"tables", automation::InvokeRead, {Variant(u"Orders")});
    EXPECT_EQ(orders.ObjectValue().Get(), static_cast<automation::Object*>(tables->Find(u"Orders")));
    Variant none =
        automation::CallByName(*orders.ObjectValue(), u"Fields", automation::InvokeRead, {Variant(u"Id")});
    EXPECT_TRUE(none.IsNothing());

    Variant enumerable = automation::CallByName(*mDatabases, u"NewEnum_db", automation::InvokeRead);
    Variant item;
    ASSERT_TRUE(enumerable.ObjectValue()->NewEnum()->Next(item));
    EXPECT_EQ(item.ObjectValue().Get(), static_cast<automation::Object*>(&sales));
}

// A name or position the list does not hold used to leave Item with no database, whose name it
// then read: it must raise the collection's error instead, and Delete likewise.
TEST_F(QelDatabasesTest, MissingIndexesRaiseTheCollectionsError) {
    AddSales({});
    mDatabases->Item(Variant(u"Sales"))->SetKey(u"Other");
    ExpectError(CollectionError::KeyNotFound, [&] { mDatabases->Item(Variant(u"Other")); });
    ExpectError(automation::ErrorNumber::SubscriptOutOfRange,
                [&] { mDatabases->Item(Variant(std::int16_t{2})); });
    ExpectError(CollectionError::InvalidDatatype, [&] { mDatabases->Item(Variant(true)); });
    ExpectError(CollectionError::KeyNotFound, [&] { mDatabases->Delete(Variant(u"Nope")); });
    ExpectError(automation::ErrorNumber::SubscriptOutOfRange,
                [&] { mDatabases->Delete(Variant(std::int16_t{0})); });
    ExpectError(CollectionError::KeyNotFound, [&] {
        automation::CallByName(*mDatabases, u"Item", automation::InvokeRead, {Variant(u"Nope")});
    });
    try {
        mDatabases->Item(Variant(u"Nope"));
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Description(), u"Key not found.");
    }
    EXPECT_EQ(mDatabases->Count(), 1);
    EXPECT_EQ(mDatabases->curName(), u"Sales");

    mDatabases->Delete(Variant(u"sales"));
    EXPECT_EQ(mDatabases->Count(), 0);

    // The empty name adds a database without a key: reached by position only.
    mDatabases->Add(u"");
    EXPECT_EQ(mDatabases->Count(), 1);
    EXPECT_TRUE(mDatabases->Item(Variant(std::int32_t{1})));
    ExpectError(CollectionError::KeyNotFound, [&] { mDatabases->Item(Variant(u"")); });
}

TEST_F(QelDatabasesTest, EndingADatabaseUnloadsItsTablesWithProgress) {
    QelDatabase& database = AddSales({u"Orders", u"Customers", u"Products"});
    database.tables()->Find(u"Customers")->SetTblType(u"VIEW");
    database.SetSecDefault(u"Admin");
    mHost.ClearCalls();

    mDatabases->Delete(Variant(std::int16_t{1}));
    EXPECT_EQ(mDatabases->Count(), 0);
    EXPECT_EQ(CurrentLoadSettings().secDefault, u"");
    EXPECT_EQ(mHost.Texts(HostCallKind::ShowProgress),
              (std::vector<std::u16string>{u"Quorvane - Unloading Database..."}));
    EXPECT_EQ(mHost.Texts(HostCallKind::ProgressInfo),
              (std::vector<std::u16string>{u"Unloading TABLE Orders...", u"Unloading VIEW Customers...",
                                           u"Unloading TABLE Products..."}));
    std::vector<int> percents;
    for (const host::HostCall& call : mHost.Calls(HostCallKind::ProgressPercent)) {
        percents.push_back(call.percent);
    }
    EXPECT_EQ(percents, (std::vector<int>{67, 33, 0}));
    EXPECT_EQ(mHost.Count(HostCallKind::CloseProgress), 1U);
    EXPECT_EQ(mHost.Calls().back().kind, HostCallKind::CloseProgress);
    EXPECT_EQ(State().gProgressTotal, 3);
    EXPECT_EQ(State().gProgressPos, 0);

    // Without tables the window opens and closes with no information line.
    AddSales({});
    mHost.ClearCalls();
    mDatabases->Delete(Variant(u"Sales"));
    EXPECT_EQ(mHost.Count(HostCallKind::ShowProgress), 1U);
    EXPECT_EQ(mHost.Count(HostCallKind::ProgressInfo), 0U);
    EXPECT_EQ(mHost.Count(HostCallKind::CloseProgress), 1U);
}

// The unloading walked the live list while removing from it; tables whose names no longer find
// them (renamed through the bag, repeated, or not text at all) must go all the same.
TEST_F(QelDatabasesTest, EndingADatabaseRemovesTablesWhateverTheirNames) {
    QelDatabase& database = AddSales({u"A", u"B", u"C", u"D"});
    const Ref<QelTables> tables = database.tables();
    tables->Find(u"B")->SetTblName(u"A");
    tables->Find(u"C")->Properties()->Item(Variant(u"TblName"))->SetValue(Variant::Null());
    tables->Find(u"D")->SetTblName(u"");
    mHost.ClearCalls();

    mDatabases->Delete(Variant(u"Sales"));
    EXPECT_EQ(tables->Count(), 0);
    EXPECT_EQ(mHost.Texts(HostCallKind::ProgressInfo),
              (std::vector<std::u16string>{u"Unloading TABLE A...", u"Unloading TABLE A...",
                                           u"Unloading TABLE ...", u"Unloading TABLE ..."}));
    EXPECT_EQ(mHost.Count(HostCallKind::CloseProgress), 1U);
}

// Tables and fields are owned downwards only: releasing the database frees them all.
TEST_F(QelDatabasesTest, ReleasingTheDatabaseFreesItsTablesAndFields) {
    QelDatabase& database = AddSales({u"Orders", u"Customers"});
    QelTable& orders = *database.tables()->Find(u"Orders");
    ASSERT_TRUE(orders.Fields()->Add(u"OrderID"));
    ASSERT_TRUE(orders.Fields()->Add(u"Total"));

    const Ref<QelField> field(orders.Fields()->Find(u"Total"));
    const Ref<QelTable> customers(database.tables()->Find(u"Customers"));
    const Ref<QelTables> tables = database.tables();
    Ref<QelDatabase> held(&database);
    EXPECT_EQ(field->RefCount(), 2U);
    EXPECT_EQ(customers->RefCount(), 2U);

    mDatabases->Delete(Variant(u"Sales"));
    EXPECT_EQ(held->RefCount(), 1U) << "the list let go of the database";
    held = nullptr; // the last reference: the database ends and unloads its tables
    EXPECT_EQ(tables->Count(), 0);
    EXPECT_EQ(tables->RefCount(), 1U);
    EXPECT_EQ(customers->RefCount(), 1U);
    EXPECT_EQ(field->RefCount(), 1U) << "the table went, and its field list with it";

    // Releasing the list releases its database the same way.
    AddSales({u"Orders"});
    const Ref<QelTable> again(mDatabases->Item(Variant(u"Sales"))->tables()->Find(u"Orders"));
    mDatabases = nullptr;
    EXPECT_EQ(again->RefCount(), 1U);
}

} // namespace
} // namespace qv
