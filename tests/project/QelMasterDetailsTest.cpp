#include "project/QelMasterDetails.h"

#include "support/ApartmentFixture.h"

#include "platform/automation/Conversion.h"

#include <string>
#include <utility>
#include <vector>

namespace qv {
namespace {

using automation::CallByName;
using automation::InvokeRead;
using automation::Ref;
using automation::Variant;

using Names = std::vector<std::pair<std::u16string, std::u16string>>;

class QelMasterDetailsTest : public test::ApartmentTest {
protected:
    /// The pairs' table names by Seq 1 to Count, as the project file writes them.
    Names PairsBySeq() const {
        Names names;
        const auto count = static_cast<std::int16_t>(mList.Count());
        for (std::int16_t seq = 1; seq <= count; ++seq) {
            Ref<QelMasterDetail> pair = mList.Seq(seq);
            names.emplace_back(pair ? pair->MasterTable() : u"<none>", pair ? pair->DetailTable() : u"");
        }
        return names;
    }
    static Names Relations(const QelMasterDetail& pair) {
        Names relations;
        for (std::int16_t i = 1; i <= pair.FieldCount(); ++i) {
            relations.emplace_back(pair.MasterField(i), pair.DetailField(i));
        }
        return relations;
    }

    QelMasterDetails mList;
};

TEST_F(QelMasterDetailsTest, PairsAreKeptOncePerDirection) {
    EXPECT_FALSE(mList.Add(u"", u"Details"));
    EXPECT_FALSE(mList.Add(u"Orders", u""));
    EXPECT_EQ(mList.curSeq(), 0);
    EXPECT_TRUE(mList.Add(u"Orders", u"Details"));
    EXPECT_TRUE(mList.Add(u"Details", u"Orders"));
    EXPECT_EQ(mList.curSeq(), 2);
    EXPECT_TRUE(mList.Add(u"Orders", u"Details"));
    EXPECT_EQ(mList.Count(), 2);
    EXPECT_EQ(mList.curMasterTable(), u"Orders");
    EXPECT_EQ(mList.curDetailTable(), u"Details");
    EXPECT_EQ(mList.curSeq(), 1);
    EXPECT_FALSE(mList.Item(u"orders", u"Details"));
    EXPECT_EQ(mList.curSeq(), 1);
}

// Regression: pairs were keyed by the two names joined with "__", so "A_" + "B" and "A" + "_B"
// had one key, the second pair raised 457 and a project file holding both failed to load.
TEST_F(QelMasterDetailsTest, NamesWithUnderscoresNeverCollide) {
    EXPECT_TRUE(mList.Add(u"A_", u"B"));
    EXPECT_TRUE(mList.Add(u"A", u"_B"));
    EXPECT_TRUE(mList.Add(u"A__B", u"C"));
    EXPECT_TRUE(mList.Add(u"A", u"B__C"));
    EXPECT_EQ(mList.Count(), 4);
    EXPECT_TRUE(mList.DeleteMasterDetail(u"A", u"_B"));
    EXPECT_EQ(PairsBySeq(), (Names{{u"A_", u"B"}, {u"A__B", u"C"}, {u"A", u"B__C"}}));
}

// Regression: the key stayed with the names a pair was added with, so after the
// synchronisation renamed its tables adding the old names raised 457.
TEST_F(QelMasterDetailsTest, RenamedPairsAreFoundByTheirNewNames) {
    mList.Add(u"Orders", u"Details");
    mList.Add(u"Customers", u"Orders");
    mList.Add(u"Shippers", u"Orders");
    mList.Item(u"Orders", u"Details")->SetMasterTable(u"Invoices");

    EXPECT_TRUE(mList.Add(u"Orders", u"Details"));
    EXPECT_EQ(mList.Count(), 4);
    EXPECT_TRUE(mList.Delete(u"Invoices", u"Details"));
    EXPECT_EQ(PairsBySeq(),
              (Names{{u"Customers", u"Orders"}, {u"Shippers", u"Orders"}, {u"Orders", u"Details"}}));
    EXPECT_FALSE(mList.Seq(4));
}

TEST_F(QelMasterDetailsTest, NamesInAnotherLetterCaseDenoteTheListedPair) {
    mList.Add(u"Orders", u"Details");
    mList.Add(u"Customers", u"Orders");
    EXPECT_FALSE(mList.MasterDetailExist(u"orders", u"DETAILS"));
    Ref<QelMasterDetail> pair = mList.AddOrFind(u"orders", u"DETAILS");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->MasterTable(), u"Orders");
    EXPECT_EQ(mList.Count(), 2);
    EXPECT_EQ(mList.curMasterTable(), u"Orders");
    EXPECT_EQ(mList.curDetailTable(), u"Details");
    EXPECT_EQ(mList.curSeq(), 1);
}

TEST_F(QelMasterDetailsTest, PairsRemovedWhileWalkedLeaveTheOthersVisited) {
    // The synchronisation walks the pairs and removes those whose tables have gone.
    for (const char16_t* master : {u"Gone1", u"Orders", u"Gone2", u"Gone3", u"Customers"}) {
        mList.Add(master, u"Details");
    }
    std::vector<std::u16string> visited;
    Ref<automation::Enumerator> pairs = mList.NewEnum();
    for (Variant item; pairs->Next(item);) {
        auto& pair = static_cast<QelMasterDetail&>(*item.ObjectValue());
        visited.push_back(pair.MasterTable());
        if (pair.MasterTable().starts_with(u"Gone")) {
            EXPECT_TRUE(mList.Remove(pair));
        }
    }
    EXPECT_EQ(visited, (std::vector<std::u16string>{u"Gone1", u"Orders", u"Gone2", u"Gone3", u"Customers"}));
    EXPECT_EQ(PairsBySeq(), (Names{{u"Orders", u"Details"}, {u"Customers", u"Details"}}));
    EXPECT_EQ(mList.curSeq(), 5);
}

TEST_F(QelMasterDetailsTest, RelationsUseEachFieldOnce) {
    mList.Add(u"Orders", u"Details");
    QelMasterDetail& pair = *mList.Item(u"Orders", u"Details");
    EXPECT_EQ(pair.CurrentField(), 0);
    EXPECT_EQ(pair.CurrentMasterField(), u"");

    EXPECT_TRUE(pair.AddRelation(u"A", u"X"));
    EXPECT_FALSE(pair.AddRelation(u"A", u"Y"));
    EXPECT_FALSE(pair.AddRelation(u"B", u"X"));
    EXPECT_FALSE(pair.AddRelation(u"", u"Y"));
    EXPECT_TRUE(pair.AddRelation(u"B", u"Y"));
    EXPECT_EQ(pair.CurrentField(), 2);
    EXPECT_TRUE(pair.AddRelation(u"C", u"Z"));

    pair.SetCurrentField(0);
    pair.SetCurrentField(4);
    EXPECT_EQ(pair.CurrentField(), 3);
    EXPECT_TRUE(pair.DeleteRelation(u"B", u"Y"));
    EXPECT_EQ(Relations(pair), (Names{{u"A", u"X"}, {u"C", u"Z"}}));
    EXPECT_EQ(pair.CurrentField(), 2);

    // The master field alone is enough to match.
    EXPECT_TRUE(pair.DeleteRelation(u"A", u"Q"));
    EXPECT_FALSE(pair.DeleteRelation(u"Q", u"Q"));
    EXPECT_EQ(Relations(pair), (Names{{u"C", u"Z"}}));

    // Renames as the synchronisation makes them.
    pair.SetCurrentField(1);
    pair.SetCurrentMasterField(u"C2");
    pair.SetCurrentDetailField(u"Z2");
    EXPECT_EQ(Relations(pair), (Names{{u"C2", u"Z2"}}));
    EXPECT_EQ(pair.MasterField(2), u"");
    EXPECT_EQ(pair.DetailField(0), u"");
}

TEST_F(QelMasterDetailsTest, ProjectOperationsNeverCreateAPairForARelation) {
    EXPECT_FALSE(mList.AddMasterDetailRelation(u"Orders", u"Details", u"ID", u"OrderID"));
    EXPECT_EQ(mList.Count(), 0);
    EXPECT_TRUE(mList.AddMasterDetail(u"Orders", u"Details"));
    mList.AddMasterDetail(u"Customers", u"Orders");
    EXPECT_TRUE(mList.AddMasterDetailRelation(u"Orders", u"Details", u"ID", u"OrderID"));
    EXPECT_EQ(mList.curSeq(), 1);
    EXPECT_FALSE(mList.AddMasterDetailRelation(u"Orders", u"Details", u"ID", u""));
    EXPECT_TRUE(mList.DeleteMasterDetailRelation(u"Orders", u"Details", u"ID", u"OrderID"));
    // The last relation gone, the pair stays.
    EXPECT_EQ(mList.Item(u"Orders", u"Details")->FieldCount(), 0);
    EXPECT_EQ(mList.Count(), 2);
}

TEST_F(QelMasterDetailsTest, ScriptsReachPairsAndRelationsByName) {
    mList.AddMasterDetail(u"Orders", u"Details");
    Variant pair = CallByName(mList, u"Item", InvokeRead, {Variant(u"Orders"), Variant(u"Details")});
    automation::Object& object = *pair.ObjectValue();
    EXPECT_TRUE(automation::ToBoolean(CallByName(object, u"AddRelation", automation::InvokeKind::Method,
                                                 {Variant(u"ID"), Variant(u"OrderID")})));
    EXPECT_EQ(automation::ToLong(CallByName(object, u"FieldCount", InvokeRead)), 1);
    EXPECT_EQ(
        automation::ToString(CallByName(object, u"DetailField", InvokeRead, {Variant(std::int16_t(1))})),
        u"OrderID");
    EXPECT_EQ(automation::ToString(CallByName(object, u"CurrentMasterField", InvokeRead)), u"ID");
}

} // namespace
} // namespace qv
