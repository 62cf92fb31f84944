// What the table list adds to the common list: its members as the host and the page scripts
// reach them by name, where a number and a name that reads like one must not be confused.

#include "ModelFixture.h"

#include "model/table/QelTables.h"

#include "platform/automation/Conversion.h"

#include <string>

namespace qv {
namespace {

using automation::InvokeRead;
using automation::Ref;
using automation::Variant;

class QelTablesTest : public test::ModelTest {
protected:
    void SetUp() override {
        test::ModelTest::SetUp();
        mTables = automation::MakeRef<QelTables>();
        for (std::u16string name : {u"A", u"2", u"C"}) {
            ASSERT_TRUE(mTables->Add(name));
        }
    }

    Variant Call(std::u16string_view member, std::initializer_list<Variant> args = {}) {
        return automation::CallByName(*mTables, member, InvokeRead, args);
    }

    std::u16string Cursor() const {
        return mTables->curName() + u"/" + automation::ToString(Variant(mTables->curSeq()));
    }

    Ref<QelTables> mTables;
};

TEST_F(QelTablesTest, NumbersArePositionsAndTextsAreNames) {
    // Position 2 and the table named "2" happen to be the same table here; position 3 is not.
    EXPECT_EQ(Call(u"Item", {Variant(u"2")}).ObjectValue().Get(),
              static_cast<automation::Object*>(mTables->Find(u"2")));
    EXPECT_EQ(Call(u"Item", {Variant(std::int16_t{3})}).ObjectValue().Get(),
              static_cast<automation::Object*>(mTables->Find(u"C")));
    EXPECT_EQ(Cursor(), u"C/3");

    // SetItem and TableExist know names only.
    mTables->SetItem(Variant(std::int16_t{2}));
    EXPECT_EQ(Cursor(), u"C/3");
    EXPECT_FALSE(Call(u"TableExist", {Variant(std::int16_t{2})}).BooleanValue());
    EXPECT_TRUE(Call(u"TableExist", {Variant(u"2")}).BooleanValue());
    Call(u"SetItem", {Variant(u"2")});
    EXPECT_EQ(Cursor(), u"2/2");

    // Seq and SetSeq take sequence numbers; one beyond the list finds nothing and moves nothing.
    EXPECT_TRUE(Call(u"Seq", {Variant(std::int16_t{5})}).IsNothing());
    Call(u"SetSeq", {Variant(std::int16_t{5})});
    EXPECT_EQ(Cursor(), u"2/2");
    Call(u"SetSeq", {Variant(u"1")});
    EXPECT_EQ(Cursor(), u"A/1");

    // Delete takes a name: a number given to it is read as the name it spells.
    EXPECT_TRUE(Call(u"Delete", {Variant(std::int32_t{2})}).BooleanValue());
    EXPECT_FALSE(mTables->TableExist(Variant(u"2")));
    EXPECT_EQ(mTables->Find(u"C")->TblSeq(), 2);
    EXPECT_EQ(Call(u"Count").LongValue(), 2);
}

TEST_F(QelTablesTest, DeletingTheCurrentTableLeavesTheCursorOnIt) {
    mTables->SetItem(Variant(u"2"));
    EXPECT_TRUE(mTables->Delete(u"2"));
    EXPECT_EQ(Cursor(), u"2/2");
    EXPECT_EQ(mTables->Find(u"C")->TblSeq(), 2);
    // Adding again numbers the new table after the others.
    ASSERT_TRUE(mTables->Add(u"2"));
    EXPECT_EQ(mTables->Find(u"2")->TblSeq(), 3);
}

} // namespace
} // namespace qv
