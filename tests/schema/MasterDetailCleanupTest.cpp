// Removing the master/detail pairs that a synchronisation left pointing at nothing, on a model
// built by hand.

#include "project/ProjectFixture.h"

#include "schema/internal/MasterDetailCleanup.h"

#include "project/Qel.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"

#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include <initializer_list>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;

class MasterDetailCleanupTest : public test::ProjectTest {
protected:
    void SetUp() override {
        test::ProjectTest::SetUp();
        WriteUserText(test::GeneralKey, u"Language", u"");
        mProject = MakeRef<Qel>();
        mProject->Databases().Add(u"DB");
        mProject->SetDatabaseKey(u"DB");
    }
    void TearDown() override {
        mProject = nullptr;
        test::ProjectTest::TearDown();
    }

    QelTable& AddTable(std::u16string_view name, std::initializer_list<std::u16string_view> fields,
                       bool loaded = true) {
        QelTables& tables = *mProject->db()->tables();
        EXPECT_TRUE(tables.Add(std::u16string(name)));
        QelTable& table = *tables.Find(name);
        table.SetTblType(u"TABLE");
        table.SetTblLoaded(loaded);
        for (std::u16string_view field : fields) {
            EXPECT_TRUE(table.Fields()->Add(std::u16string(field)));
        }
        return table;
    }
    void AddPair(std::u16string_view master, std::u16string_view detail,
                 std::initializer_list<std::pair<std::u16string_view, std::u16string_view>> relations) {
        QelMasterDetails& pairs = mProject->MasterDetails();
        ASSERT_TRUE(pairs.Add(master, detail));
        for (const auto& [masterField, detailField] : relations) {
            ASSERT_TRUE(pairs.Item(master, detail)->AddRelation(masterField, detailField));
        }
    }
    bool Has(std::u16string_view master, std::u16string_view detail) {
        return mProject->MasterDetails().MasterDetailExist(master, detail);
    }

    Ref<Qel> mProject;
};

TEST_F(MasterDetailCleanupTest, RemovesBrokenPairsWholeAndKeepsTheRest) {
    AddTable(u"orders", {u"id", u"customer"});
    AddTable(u"lines", {u"order_id", u"product"});
    AddTable(u"products", {}, /*loaded=*/false);
    AddTable(u"Cased", {u"Key"});

    AddPair(u"orders", u"lines", {{u"id", u"order_id"}});
    // One broken relation among several takes the whole pair.
    AddPair(u"lines", u"orders", {{u"order_id", u"id"}, {u"gone", u"customer"}});
    AddPair(u"orders", u"orders", {});
    AddPair(u"orders", u"vanished", {});
    // A table not loaded has no fields to check: its pair stays.
    AddPair(u"lines", u"products", {{u"product", u"code"}});
    // Names compare exactly.
    AddPair(u"cased", u"products", {});
    AddPair(u"Cased", u"lines", {{u"key", u"order_id"}});
    AddPair(u"Cased", u"orders", {{u"Key", u"id"}});

    RemoveBrokenMasterDetails(*mProject);

    EXPECT_TRUE(Has(u"orders", u"lines"));
    EXPECT_FALSE(Has(u"lines", u"orders"));
    EXPECT_TRUE(Has(u"orders", u"orders"));
    EXPECT_FALSE(Has(u"orders", u"vanished"));
    EXPECT_TRUE(Has(u"lines", u"products"));
    EXPECT_FALSE(Has(u"cased", u"products"));
    EXPECT_FALSE(Has(u"Cased", u"lines"));
    EXPECT_TRUE(Has(u"Cased", u"orders"));
    // The survivors are numbered 1 to Count again.
    QelMasterDetails& pairs = mProject->MasterDetails();
    ASSERT_EQ(pairs.Count(), 4);
    for (std::int32_t position = 1; position <= pairs.Count(); ++position) {
        EXPECT_EQ(pairs.At(position)->Seq(), position);
    }
}

TEST_F(MasterDetailCleanupTest, BrokenNeighboursAreAllRemoved) {
    AddTable(u"a", {u"x"});
    // Adjacent broken pairs: removing one must not make the walk step over the next.
    AddPair(u"a", u"b", {});
    AddPair(u"b", u"a", {});
    AddPair(u"a", u"c", {});
    AddPair(u"a", u"a", {{u"x", u"x"}});
    RemoveBrokenMasterDetails(*mProject);
    EXPECT_EQ(mProject->MasterDetails().Count(), 1);
    EXPECT_TRUE(Has(u"a", u"a"));
}

} // namespace
} // namespace qv
