#include "project/internal/QelCharts.h"

#include "support/ApartmentFixture.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <string>
#include <vector>

namespace qv {
namespace {

using automation::CallByName;
using automation::InvokeKind;
using automation::InvokeRead;
using automation::MakeRef;
using automation::Ref;
using automation::Variant;

class QelChartsTest : public test::ApartmentTest {
protected:
    std::vector<std::u16string> NamesBySeq() const {
        std::vector<std::u16string> names;
        const auto count = static_cast<std::int16_t>(mList.Count());
        for (std::int16_t seq = 1; seq <= count; ++seq) {
            Ref<QelChart> chart = mList.Seq(seq);
            names.push_back(chart ? chart->ChartName() : u"<none>");
        }
        return names;
    }

    QelCharts mList;
};

TEST_F(QelChartsTest, ANewChartHoldsNothingButWhatTheListGivesIt) {
    EXPECT_EQ(mList.curSeq(), u"0");
    EXPECT_FALSE(mList.Add(u""));
    ASSERT_TRUE(mList.Add(u"Sales by Month"));
    QelChart& chart = *mList.Item(Variant(u"Sales by Month"));
    EXPECT_EQ(chart.ChartVar(), u"Sales_by_Month");
    EXPECT_EQ(chart.ChartSeq(), 1);
    EXPECT_EQ(chart.ChartWidth(), 0);
    EXPECT_FALSE(chart.ShowChart());
    EXPECT_EQ(chart.ChartCaption(), u"");
    EXPECT_EQ(chart.ChartYAxisMaxValue(), 0);
    EXPECT_EQ(chart.Properties()->Count(), 35);

    ASSERT_TRUE(mList.Add(u"Second"));
    EXPECT_TRUE(mList.Add(u"Sales by Month"));
    EXPECT_EQ(mList.Count(), 2);
    EXPECT_EQ(mList.curName(), u"Sales by Month");
    EXPECT_EQ(mList.curSeq(), u"1");
}

TEST_F(QelChartsTest, ItemTakesPositionsAndExactNames) {
    for (const char16_t* name : {u"A", u"B", u"C"}) {
        mList.Add(name);
    }
    EXPECT_EQ(mList.Item(Variant(std::int16_t(2))).Get(), mList.Item(Variant(u"B")).Get());
    EXPECT_EQ(mList.Item(Variant(2.0)).Get(), mList.Item(Variant(u"B")).Get());
    EXPECT_FALSE(mList.Item(Variant(true)));
    EXPECT_FALSE(mList.Item(Variant(std::int16_t(4))));
    EXPECT_FALSE(mList.Item(Variant(std::int16_t(0))));
    EXPECT_FALSE(mList.Item(Variant(u"b")));
    EXPECT_FALSE(mList.ChartExist(Variant(std::int16_t(1))));
    EXPECT_EQ(mList.curName(), u"B");
}

TEST_F(QelChartsTest, ChangeRenamesInPlaceAndRefusesATakenName) {
    for (const char16_t* name : {u"A", u"B", u"C"}) {
        mList.Add(name);
    }
    EXPECT_FALSE(mList.Change(u"Z", u"Y"));
    EXPECT_FALSE(mList.Change(u"B", u""));
    EXPECT_TRUE(mList.Change(u"B", u"New Name"));
    EXPECT_EQ(NamesBySeq(), (std::vector<std::u16string>{u"A", u"New Name", u"C"}));
    EXPECT_EQ(mList.Seq(2)->ChartVar(), u"New_Name");
    EXPECT_EQ(mList.curSeq(), u"2");
    EXPECT_FALSE(mList.Item(Variant(u"B")));

    try {
        mList.Change(u"A", u"c");
        ADD_FAILURE() << "a name another chart bears must be refused";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), 457);
    }
    EXPECT_EQ(NamesBySeq(), (std::vector<std::u16string>{u"A", u"New Name", u"C"}));
    // A change of letter case only renames in place.
    EXPECT_TRUE(mList.Change(u"A", u"a"));
    EXPECT_EQ(mList.Seq(1)->ChartName(), u"a");
}

// Regression: a chart renamed through Key stayed under its old key, so Add and Change of the
// new name raised "Key not found.".
TEST_F(QelChartsTest, ChartsRenamedDirectlyAreFoundByTheirNewNames) {
    mList.Add(u"A");
    mList.Add(u"B");
    mList.Item(Variant(u"A"))->SetKey(u"Renamed");
    EXPECT_TRUE(mList.Add(u"Renamed"));
    EXPECT_EQ(mList.Count(), 2);
    EXPECT_TRUE(mList.Change(u"Renamed", u"Again"));
    EXPECT_TRUE(mList.Add(u"A"));
    EXPECT_EQ(NamesBySeq(), (std::vector<std::u16string>{u"Again", u"B", u"A"}));
    EXPECT_TRUE(mList.Delete(Variant(u"Again")));
    EXPECT_EQ(NamesBySeq(), (std::vector<std::u16string>{u"B", u"A"}));
}

TEST_F(QelChartsTest, DeleteNumbersTheRestAndScriptsReachSettingsByName) {
    for (const char16_t* name : {u"A", u"B", u"C"}) {
        mList.Add(name);
    }
    EXPECT_FALSE(mList.Delete(Variant(std::int16_t(1))));
    EXPECT_TRUE(mList.Delete(Variant(u"A")));
    EXPECT_EQ(NamesBySeq(), (std::vector<std::u16string>{u"B", u"C"}));

    // A template sets and reads chart settings late-bound.
    Variant chart = CallByName(mList, u"item", InvokeRead, {Variant(u"C")});
    automation::Object& object = *chart.ObjectValue();
    CallByName(object, u"ChartWidth", InvokeKind::PropertyLet, {Variant(u"640")});
    EXPECT_EQ(automation::ToLong(CallByName(object, u"chartwidth", InvokeRead)), 640);
    EXPECT_EQ(automation::ToLong(CallByName(object, u"ChartSeq", InvokeRead)), 2);
    EXPECT_EQ(automation::ToString(CallByName(mList, u"curSeq", InvokeRead)), u"2");
}

} // namespace
} // namespace qv
