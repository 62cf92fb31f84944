// The settings of the field, table and database as late-bound callers reach them: by name in any
// case, through derived and read-only members, and with values that do not fit.

#include "ModelFixture.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"

#include "core/QoProperties.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <set>
#include <string>

namespace qv {
namespace {

using automation::InvokeKind;
using automation::Ref;
using automation::Variant;
using automation::VarType;

/// A value of the setting's type, different from its zero.
Variant SampleValue(SettingType type) {
    switch (type) {
    case SettingType::String:
        return Variant(u"sample");
    case SettingType::Boolean:
        return Variant(true);
    case SettingType::Integer:
        return Variant(std::int16_t{-7});
    case SettingType::Long:
        return Variant(std::int32_t{100000});
    case SettingType::Variant:
        return Variant::FromDate(45000.5);
    }
    return {};
}

VarType SubtypeOf(SettingType type) {
    switch (type) {
    case SettingType::String:
        return VarType::String;
    case SettingType::Boolean:
        return VarType::Boolean;
    case SettingType::Integer:
        return VarType::Integer;
    case SettingType::Long:
        return VarType::Long;
    case SettingType::Variant:
        return VarType::Date;
    }
    return VarType::Empty;
}

class SettingsTablesTest : public test::ModelTest {};

// Every setting of each entity has a name of its own in any letter case, a registry format that
// fits its type, and answers to its name in any case with a value of its type; the entity's own
// members (read-only and derived ones) stand in front of their settings.
TEST_F(SettingsTablesTest, EverySettingAnswersToItsNameInAnyCase) {
    const Ref<SettingsEntity> entities[] = {automation::MakeRef<QelField>(), automation::MakeRef<QelTable>(),
                                            automation::MakeRef<QelDatabase>()};
    for (const Ref<SettingsEntity>& sample : entities) {
        SettingsEntity& entity = *sample;
        SCOPED_TRACE(automation::ToUtf8(entity.GetClassInfo().Name()));
        std::set<std::u16string> lowerNames;
        for (const SettingInfo& info : entity.SettingsOf().Settings()) {
            SCOPED_TRACE(automation::ToUtf8(info.name));
            EXPECT_TRUE(lowerNames.insert(automation::ToLower(info.name)).second)
                << "names must differ in more than case";
            // The registry keeps text and Booleans as text values, numbers as number values.
            const bool textual =
                info.dataType == SettingType::String || info.dataType == SettingType::Boolean;
            EXPECT_EQ(info.regFormat, info.regSave ? (textual ? 1 : 4) : 0);
            if (entity.GetClassInfo().Find(info.name)) {
                continue;
            }
            Variant args[] = {SampleValue(info.dataType)};
            entity.InvokeByName(automation::ToUpper(info.name), InvokeKind::PropertyLet, args);
            const Variant stored = entity.Properties()->Find(info.name)->Value();
            EXPECT_EQ(stored.Type(), SubtypeOf(info.dataType));
            const Variant read =
                entity.InvokeByName(automation::ToLower(info.name), automation::InvokeRead, {});
            EXPECT_EQ(automation::Compare(read, args[0]), automation::CompareResult::Equal);
        }
    }
}

TEST_F(SettingsTablesTest, KeysAndDerivedMembers) {
    const Ref<QelField> field = automation::MakeRef<QelField>();
    automation::CallByName(*field, u"KEY", InvokeKind::PropertyLet, {Variant(u"Price")});
    EXPECT_EQ(field->FldName(), u"Price");
    EXPECT_EQ(field->Properties()->Item(Variant(u"FLDNAME"))->Value().StringValue(), u"Price");
    EXPECT_TRUE(field->Properties()->Find(u"FldVar")->Value().IsEmpty())
        << "Key stores the name and nothing else";
    field->SetFldName(u"Quantity");
    EXPECT_EQ(automation::CallByName(*field, u"Key", automation::InvokeRead).StringValue(), u"Quantity");

    struct ParmCase {
        Variant variable;
        std::u16string_view parm;
    };
    const ParmCase parms[] = {{Variant(u"x_Unit_Price"), u"Unit_Price"},
                              {Variant(u"x_"), u""},
                              {Variant(u"ab"), u""},
                              {Variant(), u""},
                              {Variant(u"abc"), u"c"}};
    for (const ParmCase& parm : parms) {
        SCOPED_TRACE(automation::ToUtf8(automation::ToString(parm.variable)));
        field->SetSettingValue(static_cast<std::size_t>(QelField::Setting::FldVar), parm.variable);
        EXPECT_EQ(field->FldParm(), parm.parm);
        EXPECT_EQ(automation::CallByName(*field, u"fldparm", automation::InvokeRead).StringValue(),
                  parm.parm);
    }

    EXPECT_THROW(automation::CallByName(*field, u"FldParm", InvokeKind::PropertyLet, {Variant(u"x")}),
                 automation::Error)
        << "FldParm has no setting behind it and cannot be written";
    EXPECT_EQ(field->FldVar(), u"abc");

    // A typed setting stores its own type whatever it is given.
    automation::CallByName(*field, u"FldSeq", InvokeKind::PropertyLet, {Variant(u"3")});
    EXPECT_EQ(field->Properties()->Find(u"FldSeq")->Value().Type(), VarType::Integer);
    EXPECT_EQ(field->FldSeq(), 3);

    const Ref<QelTable> table = automation::MakeRef<QelTable>();
    automation::CallByName(*table, u"Key", InvokeKind::PropertyLet, {Variant(u"Orders")});
    EXPECT_EQ(table->TblName(), u"Orders");
    table->SetTblName(u"Customers");
    EXPECT_EQ(automation::CallByName(*table, u"key", automation::InvokeRead).StringValue(), u"Customers");
    EXPECT_EQ(table->Fields().Get(), table->Fields().Get()) << "one field list per table";
    EXPECT_EQ(table->Fields()->Count(), 0);
}

TEST_F(SettingsTablesTest, AccessorsOfBrokenSettingsRaise) {
    const Ref<QelTable> table = automation::MakeRef<QelTable>();
    table->Properties()->Item(Variant(u"TblRecPerPage"))->SetValue(Variant(u"many"));
    try {
        (void)table->TblRecPerPage();
        ADD_FAILURE() << "a text that is no number must not read as an Integer";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::TypeMismatch);
    }
    ASSERT_TRUE(table->Properties()->Delete(Variant(u"TblCaption")));
    try {
        table->SetTblCaption(u"x");
        ADD_FAILURE() << "a deleted setting cannot be written";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::ObjectVariableNotSet);
    }
}

// The database's security reaches the tables loaded after it is set through its member; a
// write through the bag changes only the setting.
TEST_F(SettingsTablesTest, SecDefaultReachesNewTablesOnlyThroughItsMember) {
    const Ref<QelDatabase> database = automation::MakeRef<QelDatabase>();
    const auto newTableSecurity = [] {
        const Ref<QelTable> table = automation::MakeRef<QelTable>();
        table->LoadTableDefault();
        return table->TblSecurity();
    };
    database->SetSecDefault(u"Admin");
    EXPECT_EQ(database->SecDefault(), u"Admin");
    EXPECT_EQ(newTableSecurity(), u"Admin");
    automation::CallByName(*database, u"secdefault", InvokeKind::PropertyLet, {Variant(u"Guest")});
    EXPECT_EQ(newTableSecurity(), u"Guest");
    database->Properties()->Item(Variant(u"SecDefault"))->SetValue(Variant(u"Bag"));
    EXPECT_EQ(database->SecDefault(), u"Bag");
    EXPECT_EQ(newTableSecurity(), u"Guest");

    // The DBMS information is read-only by name and written through the bag.
    database->Properties()->Item(Variant(u"DBDBMSName"))->SetValue(Variant(u"ACCESS"));
    EXPECT_EQ(automation::CallByName(*database, u"DBDBMSName", automation::InvokeRead).StringValue(),
              u"ACCESS");
    try {
        automation::CallByName(*database, u"DBDBMSName", InvokeKind::PropertyLet, {Variant(u"x")});
        ADD_FAILURE() << "DBDBMSName is read-only";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::ObjectDoesNotSupport);
    }
}

} // namespace
} // namespace qv
