#include "core/QoProperties.h"

#include "core/SampleEntity.h"

#include "support/ApartmentFixture.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <functional>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::InvokeKind;
using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using test::SampleEntity;

class QoPropertiesTest : public test::ApartmentTest {
protected:
    static std::int32_t ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const automation::Error& error) {
            return error.Number();
        }
        return 0;
    }
};

TEST_F(QoPropertiesTest, AddRefusesEmptyAndExistingNames) {
    Ref<QoProperties> bag = MakeRef<QoProperties>();
    EXPECT_TRUE(bag->Add(u"FldName", u"String", false, 0, true, false));
    EXPECT_FALSE(bag->Add(u"FldName", u"Boolean", true, 1, false, true));
    EXPECT_FALSE(bag->Add(u""));
    EXPECT_EQ(bag->Count(), 1);
    const QoProperty& kept = *bag->Item(Variant(u"FldName"));
    EXPECT_EQ(kept.DataType(), u"String") << "the first definition stays";
    EXPECT_TRUE(kept.FileSave());
    EXPECT_TRUE(kept.Value().IsEmpty());
    // The exact-name test lets a name in other letter case through; the key refuses it.
    try {
        bag->Add(u"FLDNAME");
        ADD_FAILURE() << "no error";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), 457);
    }
    EXPECT_EQ(bag->Count(), 1);
}

TEST_F(QoPropertiesTest, ItemIgnoresCaseWhileExistAndDeleteDoNot) {
    Ref<QoProperties> bag = MakeRef<QoProperties>();
    bag->Add(u"FldName");
    bag->Add(u"FldCaption");
    EXPECT_EQ(bag->Item(Variant(u"fldname"))->Name(), u"FldName");
    EXPECT_FALSE(bag->PropertyExist(Variant(u"fldname")));
    EXPECT_FALSE(bag->Delete(Variant(u"fldname")));
    EXPECT_EQ(bag->Count(), 2);
    EXPECT_EQ(bag->Item(Variant(1))->Name(), u"FldName");
    EXPECT_FALSE(bag->Item(Variant(u"Missing")));
    EXPECT_FALSE(bag->Item(Variant(3)));
    EXPECT_FALSE(bag->PropertyExist(Variant(1))) << "a number never equals a name";
    EXPECT_FALSE(bag->Delete(Variant(u"")));
    EXPECT_TRUE(bag->Delete(Variant(u"FldName")));
    EXPECT_EQ(bag->Item(Variant(1))->Name(), u"FldCaption");
}

TEST_F(QoPropertiesTest, DeletingEverySettingWhileWalkingEmptiesTheBag) {
    // The project's clear step walks the bag and deletes each setting as it goes.
    SampleEntity entity;
    QoProperties& bag = *entity.Properties();
    Ref<automation::Enumerator> settings = bag.NewEnum();
    Variant item;
    int visited = 0;
    while (settings->Next(item)) {
        ++visited;
        EXPECT_TRUE(bag.Delete(Variant(static_cast<QoProperty&>(*item.ObjectValue()).Name())));
    }
    EXPECT_EQ(visited, 6);
    EXPECT_EQ(bag.Count(), 0);
}

TEST_F(QoPropertiesTest, LateBoundAddTakesOptionalArgumentsAndValueIsTheDefault) {
    Ref<QoProperties> bag = MakeRef<QoProperties>();
    EXPECT_TRUE(automation::ToBoolean(
        automation::CallByName(*bag, u"Add", InvokeKind::Method, {Variant(u"TblName"), Variant(u"String")})));
    const QoProperty& added = *bag->Item(Variant(u"TblName"));
    EXPECT_FALSE(added.RegSave());
    EXPECT_EQ(added.RegFormat(), 0);
    // bag("TblName").Value = "Orders", and bag("tblname") reads it back through both defaults.
    const Variant setting =
        automation::CallByName(*bag, u"Item", automation::InvokeRead, {Variant(u"TblName")});
    automation::CallByName(*setting.ObjectValue(), u"Value", InvokeKind::PropertyLet, {Variant(u"Orders")});
    EXPECT_EQ(automation::ToString(automation::DefaultValue(
                  automation::CallByName(*bag, u"Item", automation::InvokeRead, {Variant(u"tblname")}))),
              u"Orders");
    EXPECT_FALSE(automation::ToBoolean(
        automation::CallByName(*bag, u"Delete", InvokeKind::Method, {Variant(u"tblname")})));
}

TEST_F(QoPropertiesTest, EntityDefinesItsBagFromItsTableInOrder) {
    SampleEntity entity;
    const QoProperties& bag = *entity.Properties();
    ASSERT_EQ(bag.Count(), 6);
    struct Expected {
        std::u16string_view name;
        std::u16string_view dataType;
        bool regSave;
        std::int32_t regFormat;
        bool fileSave;
        bool sync;
    };
    const Expected expected[] = {
        {u"SmpName", u"String", false, 0, true, false},   {u"SmpVar", u"String", false, 0, true, false},
        {u"SmpVisible", u"Boolean", true, 1, true, true}, {u"SmpWidth", u"Integer", true, 4, true, true},
        {u"SmpCount", u"Long", true, 1, false, false},    {u"SmpTag", u"Variant", false, 0, true, true},
    };
    std::int32_t position = 1;
    for (const Expected& row : expected) {
        SCOPED_TRACE(automation::ToUtf8(row.name));
        const QoProperty& setting = *bag.At(position++);
        EXPECT_EQ(setting.Name(), row.name);
        EXPECT_EQ(setting.DataType(), row.dataType);
        EXPECT_EQ(setting.RegSave(), row.regSave);
        EXPECT_EQ(setting.RegFormat(), row.regFormat);
        EXPECT_EQ(setting.FileSave(), row.fileSave);
        EXPECT_EQ(setting.Sync(), row.sync);
        EXPECT_TRUE(setting.Value().IsEmpty());
    }
}

TEST_F(QoPropertiesTest, TypedAccessorsConvertTheBagValue) {
    SampleEntity entity;
    EXPECT_FALSE(entity.SmpVisible()) << "never stored reads False";
    EXPECT_EQ(entity.SmpWidth(), 0);
    EXPECT_EQ(entity.SmpName(), u"");
    EXPECT_TRUE(entity.SmpTag().IsEmpty());

    entity.Properties()->Item(Variant(u"SmpWidth"))->SetValue(Variant(u"12"));
    EXPECT_EQ(entity.SmpWidth(), 12);
    entity.Properties()->Item(Variant(u"SmpWidth"))->SetValue(Variant(u"wide"));
    EXPECT_EQ(ErrorOf([&] { entity.SmpWidth(); }), automation::ErrorNumber::TypeMismatch);

    entity.SetSmpCount(70000);
    EXPECT_EQ(entity.Properties()->Item(Variant(u"SmpCount"))->Value().Type(), automation::VarType::Long);
    entity.SetSmpName(u"Order Details");
    EXPECT_EQ(entity.SmpVar(), u"Order_Details") << "the custom setter does more than store";
}

TEST_F(QoPropertiesTest, LateBoundSettingsFollowTheirDeclaredTypes) {
    Ref<SampleEntity> entity = MakeRef<SampleEntity>();
    automation::CallByName(*entity, u"smpwidth", InvokeKind::PropertyLet, {Variant(u"7")});
    EXPECT_EQ(entity->Properties()->Item(Variant(u"SmpWidth"))->Value().Type(), automation::VarType::Integer);
    EXPECT_EQ(entity->SmpWidth(), 7);
    const Variant visible = automation::CallByName(*entity, u"SmpVisible", automation::InvokeRead);
    EXPECT_EQ(visible.Type(), automation::VarType::Boolean);
    EXPECT_EQ(ErrorOf([&] {
                  automation::CallByName(*entity, u"SmpWidth", InvokeKind::PropertyLet, {Variant(u"x")});
              }),
              automation::ErrorNumber::TypeMismatch);
    EXPECT_EQ(ErrorOf([&] { automation::CallByName(*entity, u"NoSuchSetting", automation::InvokeRead); }),
              automation::ErrorNumber::ObjectDoesNotSupport);

    // The member table comes first: the late-bound name change recomputes the identifier too.
    automation::CallByName(*entity, u"SmpName", InvokeKind::PropertyLet, {Variant(u"2ndQuarter")});
    EXPECT_EQ(entity->SmpVar(), u"x2ndQuarter");
    // entity.Properties("SmpVar") reaches the bag through the default member.
    const Variant var =
        automation::CallByName(*entity, u"Properties", automation::InvokeRead, {Variant(u"SmpVar")});
    EXPECT_EQ(automation::ToString(automation::DefaultValue(var)), u"x2ndQuarter");
}

TEST_F(QoPropertiesTest, ADeletedSettingFailsItsAccessorUntilRedefined) {
    SampleEntity entity;
    entity.SetSmpWidth(3);
    ASSERT_TRUE(entity.Properties()->Delete(Variant(u"SmpWidth")));
    EXPECT_EQ(ErrorOf([&] { entity.SmpWidth(); }), automation::ErrorNumber::ObjectVariableNotSet);
    EXPECT_EQ(ErrorOf([&] { entity.SetSmpWidth(1); }), automation::ErrorNumber::ObjectVariableNotSet);
    EXPECT_EQ(entity.SmpCount(), 0) << "the other settings still work";

    entity.ResetSettings();
    EXPECT_EQ(entity.Properties()->Count(), 6);
    EXPECT_EQ(entity.SmpWidth(), 0);
    entity.SetSmpWidth(4);
    EXPECT_EQ(automation::ToLong(entity.Properties()->Item(Variant(u"SmpWidth"))->Value()), 4);
}

// The bag is made when first asked for; what was stored before must be in it, in table order,
// and the accessors must read the same before and after.
TEST_F(QoPropertiesTest, ValuesStoredBeforeTheBagIsMadeAreInIt) {
    SampleEntity entity;
    entity.SetSmpWidth(9);
    entity.ResetSettings();
    EXPECT_EQ(entity.SmpWidth(), 0) << "a reset empties the values held without a bag";
    entity.SetSmpName(u"Order Details");
    automation::CallByName(entity, u"SmpCount", InvokeKind::PropertyLet, {Variant(u"41")});
    EXPECT_FALSE(entity.HasBag());

    const QoProperties& bag = *entity.Properties();
    ASSERT_TRUE(entity.HasBag());
    ASSERT_EQ(bag.Count(), 6);
    EXPECT_EQ(bag.At(1)->Value().StringValue(), u"Order Details");
    EXPECT_EQ(bag.At(2)->Value().StringValue(), u"Order_Details");
    EXPECT_TRUE(bag.At(4)->Value().IsEmpty());
    EXPECT_EQ(bag.At(5)->Value().Type(), automation::VarType::Long);
    EXPECT_EQ(entity.SmpCount(), 41);
    entity.SetSmpCount(42);
    EXPECT_EQ(automation::ToLong(bag.At(5)->Value()), 42) << "the bag holds the values from now on";
}

TEST_F(QoPropertiesTest, AWatchCountsChangesOfItsSettingByEveryPath) {
    SampleEntity entity;
    const Ref<SettingWatch> watch = MakeRef<SettingWatch>();
    entity.WatchSetting(static_cast<std::size_t>(SampleEntity::Setting::SmpName), watch);
    std::uint64_t seen = watch->revision;
    auto changed = [&] {
        const bool moved = watch->revision != seen;
        seen = watch->revision;
        return moved;
    };
    struct Step {
        const char* label;
        std::function<void()> action;
        bool counts;
    };
    const Step steps[] = {
        {"accessor, no bag", [&] { entity.SetSmpName(u"A"); }, true},
        {"the same text again", [&] { entity.SetSmpName(u"A"); }, false},
        {"another setting", [&] { entity.SetSmpWidth(3); }, false},
        {"late-bound",
         [&] { automation::CallByName(entity, u"SmpName", InvokeKind::PropertyLet, {Variant(u"B")}); }, true},
        {"reset, no bag", [&] { entity.ResetSettings(); }, true},
        {"making the bag",
         [&] {
             entity.SetSmpName(u"C");
             changed();
             entity.Properties();
         },
         false},
        {"bag value", [&] { entity.Properties()->Item(Variant(u"SmpName"))->SetValue(Variant(u"D")); }, true},
        {"accessor, bag", [&] { entity.SetSmpName(u"E"); }, true},
        {"bag value of another setting",
         [&] { entity.Properties()->Item(Variant(u"SmpTag"))->SetValue(Variant(1)); }, false},
        {"a setting deleted", [&] { entity.Properties()->Delete(Variant(u"SmpTag")); }, true},
        {"a setting added", [&] { entity.Properties()->Add(u"Extra"); }, true},
        {"reset, bag", [&] { entity.ResetSettings(); }, true},
        {"accessor after the reset", [&] { entity.SetSmpName(u"F"); }, true},
        {"unwatched",
         [&] {
             entity.WatchSetting(0, nullptr);
             entity.SetSmpName(u"G");
         },
         false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        step.action();
        EXPECT_EQ(changed(), step.counts);
    }
}

} // namespace
} // namespace qv
