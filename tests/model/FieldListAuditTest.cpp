// The field list as its callers rely on it: new fields with their registry defaults, numbering
// through deletions (also of a field someone still holds), renames and the late-bound members.

#include "ModelFixture.h"

#include "model/field/QelFields.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <string>

namespace qv {
namespace {

using automation::InvokeKind;
using automation::Ref;
using automation::Variant;
using automation::VarType;

class FieldListAuditTest : public test::ModelTest {
protected:
    void SetUp() override {
        test::ModelTest::SetUp();
        mFields = automation::MakeRef<QelFields>();
    }

    void AddAll(std::initializer_list<std::u16string_view> names) {
        for (std::u16string_view name : names) {
            ASSERT_TRUE(mFields->Add(std::u16string(name)));
        }
    }

    /// The names in list order with their sequence numbers, as "A1 C2".
    std::u16string Layout() const {
        std::u16string layout;
        for (const QelField& field : *mFields) {
            if (!layout.empty()) {
                layout += u' ';
            }
            layout += field.FldName() + automation::ToString(Variant(field.FldSeq()));
        }
        return layout;
    }

    std::u16string Cursor() const {
        return mFields->curName() + u"/" + automation::ToString(Variant(mFields->curSeq()));
    }

    Ref<QelFields> mFields;
};

TEST_F(FieldListAuditTest, NewFieldsTakeTheRegistryDefaultsAndOnlyNameAndNumber) {
    WriteUserValue(test::FieldKey, u"FldBold", registry::Value::Text(u"True"));
    WriteUserValue(test::FieldKey, u"FldResizeWidth", registry::Value::Number(640));
    AddAll({u"Order Date"});
    const QelField& field = *mFields->Find(u"Order Date");
    EXPECT_TRUE(field.FldBold());
    EXPECT_EQ(field.FldResizeWidth(), 640);
    EXPECT_EQ(field.FldSeq(), 1);
    EXPECT_EQ(field.Properties()->Find(u"FldSeq")->Value().Type(), VarType::Integer);
    // The identifier and the other settings wait for the loader and the defaults.
    EXPECT_TRUE(field.Properties()->Find(u"FldVar")->Value().IsEmpty());
    EXPECT_TRUE(field.Properties()->Find(u"FldType")->Value().IsEmpty());
}

TEST_F(FieldListAuditTest, DeleteRenumbersTheDeletedFieldToo) {
    AddAll({u"A", u"B", u"C"});
    const Ref<QelField> held(mFields->Find(u"B"));
    ASSERT_TRUE(mFields->Delete(u"B"));
    EXPECT_EQ(Layout(), u"A1 C2");
    EXPECT_EQ(held->FldSeq(), 1) << "every number from the gap on goes down, the deleted one's included";
    EXPECT_EQ(held->FldName(), u"B");

    // Numbers a client gave by hand are lowered by the same rule, not recomputed.
    AddAll({u"D"});
    mFields->Find(u"D")->SetFldSeq(1);
    ASSERT_TRUE(mFields->Delete(u"A"));
    EXPECT_EQ(Layout(), u"C1 D0");
    EXPECT_EQ(Cursor(), u"D/3");
}

TEST_F(FieldListAuditTest, ChangeRecomputesTheVariableAndMovesTheCursor) {
    AddAll({u"A", u"B", u"C"});
    struct Rename {
        std::u16string_view from;
        std::u16string_view to;
        std::u16string_view layout;
        std::u16string_view variable;
        std::u16string_view cursor;
    };
    const Rename renames[] = {
        {u"A", u"A", u"A1 B2 C3", u"x_A", u"A/1"},
        {u"B", u"Unit-Price", u"A1 Unit-Price2 C3", u"x_Unit2DPrice", u"Unit-Price/2"},
        {u"C", u"c", u"A1 Unit-Price2 c3", u"x_c", u"c/3"},
    };
    for (const Rename& rename : renames) {
        SCOPED_TRACE(automation::ToUtf8(rename.from) + " to " + automation::ToUtf8(rename.to));
        ASSERT_TRUE(mFields->Change(std::u16string(rename.from), std::u16string(rename.to)));
        EXPECT_EQ(Layout(), rename.layout);
        EXPECT_EQ(mFields->Find(rename.to)->FldVar(), rename.variable);
        EXPECT_EQ(mFields->Find(rename.to)->FldParm(), rename.variable.substr(2));
        EXPECT_EQ(Cursor(), rename.cursor);
    }
    EXPECT_TRUE(mFields->FieldExist(Variant(u"c")));
    EXPECT_FALSE(mFields->FieldExist(Variant(u"C")));
    EXPECT_FALSE(mFields->Add(u"C")) << "the key went with the rename";

    try {
        mFields->Change(u"A", u"UNIT-PRICE");
        ADD_FAILURE() << "the new name is another field's key";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::DuplicateKey);
    }
    EXPECT_EQ(Layout(), u"A1 Unit-Price2 c3");
    EXPECT_EQ(Cursor(), u"c/3");
}

TEST_F(FieldListAuditTest, LateBoundMembersAnswerInTheirTypes) {
    AddAll({u"A", u"B", u"C"});
    automation::Object& list = *mFields;
    const Variant count = automation::CallByName(list, u"Count", automation::InvokeRead);
    EXPECT_EQ(count.Type(), VarType::Long);
    EXPECT_EQ(count.LongValue(), 3);
    const Variant seq = automation::CallByName(list, u"curSeq", automation::InvokeRead);
    EXPECT_EQ(seq.Type(), VarType::Integer);
    EXPECT_EQ(seq.IntegerValue(), 3);

    // Seq and SetSeq take a sequence number, Item and SetItem a position or a name.
    const Variant second = automation::CallByName(list, u"Seq", automation::InvokeRead, {Variant(u"2")});
    ASSERT_TRUE(second.IsObject());
    EXPECT_EQ(second.ObjectValue().Get(), static_cast<automation::Object*>(mFields->Find(u"B")));
    EXPECT_EQ(Cursor(), u"C/3");
    automation::CallByName(list, u"SetSeq", InvokeKind::Method, {Variant(std::int32_t{1})});
    EXPECT_EQ(Cursor(), u"A/1");
    automation::CallByName(list, u"SetItem", InvokeKind::Method, {Variant(u"B")});
    EXPECT_EQ(Cursor(), u"B/2");
    struct Position {
        const char* label;
        Variant index;
        std::u16string_view name; // "": no field
    };
    const Position positions[] = {
        {"byte", Variant(std::uint8_t{3}), u"C"}, {"single", Variant(1.0f), u"A"},
        {"long", Variant(std::int32_t{2}), u"B"}, {"numeric text is a name", Variant(u"1"), u""},
        {"Null", Variant::Null(), u""},
    };
    for (const Position& position : positions) {
        SCOPED_TRACE(position.label);
        const Variant item = automation::CallByName(list, u"Item", automation::InvokeRead, {position.index});
        if (position.name.empty()) {
            EXPECT_TRUE(item.IsNothing());
            continue;
        }
        ASSERT_TRUE(item.IsObject());
        EXPECT_EQ(static_cast<QelField&>(*item.ObjectValue()).FldName(), position.name);
        EXPECT_EQ(mFields->curName(), position.name);
    }
    for (const Variant& notAName : {Variant(), Variant::Null(), Variant(std::int16_t{1})}) {
        EXPECT_FALSE(mFields->FieldExist(notAName));
        EXPECT_FALSE(
            automation::CallByName(list, u"Delete", automation::InvokeRead, {notAName}).BooleanValue());
    }
    EXPECT_EQ(mFields->Count(), 3);
}

} // namespace
} // namespace qv
