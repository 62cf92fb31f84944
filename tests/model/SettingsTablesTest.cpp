// The settings tables of the field, table and database, and how late-bound callers reach them.

#include "ModelFixture.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"

#include "core/QoProperties.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::InvokeKind;
using automation::Ref;
using automation::Variant;
using automation::VarType;

struct TableCase {
    const char* entity;
    Ref<SettingsEntity> sample;
    std::size_t count;
    std::u16string_view first;
    std::u16string_view last;
    int regSave;
    int withoutFileSave;
    int withoutSync;
    /// Settings whose late-bound accessors the entity's member table supplies.
    std::set<std::u16string> ownMembers;
};

struct SpotRow {
    std::u16string_view name;
    SettingType type;
    bool regSave;
    int regFormat;
    bool fileSave;
    bool sync;
};

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

TEST_F(SettingsTablesTest, TablesMembersAndBagsAgree) {
    const std::set<std::u16string> databaseOwn = {u"DBADOVer",   u"DBDBMSName",     u"DBDBMSVer",
                                                  u"DBOLEDBVer", u"DBProviderName", u"DBProviderVer",
                                                  u"SecDefault"};
    TableCase cases[] = {
        {"field",
         automation::MakeRef<QelField>(),
         113,
         u"FldSync",
         u"FldViewCustomAttributes",
         15,
         3,
         21,
         {}},
        {"table", automation::MakeRef<QelTable>(), 70, u"TblSync", u"TblShowBlankListPage", 31, 10, 17, {}},
        {"database", automation::MakeRef<QelDatabase>(), 31, u"DBName", u"SecuParentUserIDFld", 1, 0, 18,
         databaseOwn},
    };
    for (TableCase& entry : cases) {
        SCOPED_TRACE(entry.entity);
        SettingsEntity& entity = *entry.sample;
        const SettingsTable& table = entity.SettingsOf();
        ASSERT_EQ(table.Size(), entry.count);
        EXPECT_EQ(table[0].name, entry.first);
        EXPECT_EQ(table[table.Size() - 1].name, entry.last);

        std::set<std::u16string> lowerNames;
        int regSave = 0;
        int withoutFileSave = 0;
        int withoutSync = 0;
        for (const SettingInfo& info : table.Settings()) {
            SCOPED_TRACE(automation::ToUtf8(info.name));
            EXPECT_TRUE(lowerNames.insert(automation::ToLower(info.name)).second)
                << "names must differ in more than case";
            const bool textual =
                info.dataType == SettingType::String || info.dataType == SettingType::Boolean;
            EXPECT_EQ(info.regFormat, info.regSave ? (textual ? 1 : 4) : 0);
            regSave += info.regSave;
            withoutFileSave += !info.fileSave;
            withoutSync += !info.sync;
        }
        EXPECT_EQ(regSave, entry.regSave);
        EXPECT_EQ(withoutFileSave, entry.withoutFileSave);
        EXPECT_EQ(withoutSync, entry.withoutSync);

        // The bag holds the same rows in the same order.
        std::size_t ordinal = 0;
        for (const QoProperty& property : *entity.Properties()) {
            ASSERT_LT(ordinal, table.Size());
            const SettingInfo& info = table[ordinal++];
            EXPECT_EQ(property.Name(), info.name);
            EXPECT_EQ(property.DataType(), SettingTypeName(info.dataType));
            EXPECT_EQ(property.RegSave(), info.regSave);
            EXPECT_EQ(property.RegFormat(), info.regFormat);
            EXPECT_EQ(property.FileSave(), info.fileSave);
            EXPECT_EQ(property.Sync(), info.sync);
        }
        EXPECT_EQ(ordinal, table.Size());

        // Member names are unique, and only the settings the entity supplies itself are members.
        std::set<std::u16string> members;
        for (const automation::MemberInfo& member : entity.GetClassInfo().Members()) {
            const std::u16string name(member.name);
            EXPECT_TRUE(members.insert(automation::ToLower(name)).second) << automation::ToUtf8(name);
            if (table.Find(name)) {
                EXPECT_TRUE(entry.ownMembers.contains(name)) << automation::ToUtf8(name);
            }
        }

        // Every setting answers to its name in any letter case and stores a value of its type.
        for (const SettingInfo& info : table.Settings()) {
            if (entry.ownMembers.contains(std::u16string(info.name))) {
                continue;
            }
            SCOPED_TRACE(automation::ToUtf8(info.name));
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

TEST_F(SettingsTablesTest, SpotRowsCarryTheirFlags) {
    const Ref<QelField> field = automation::MakeRef<QelField>();
    const Ref<QelTable> table = automation::MakeRef<QelTable>();
    const Ref<QelDatabase> database = automation::MakeRef<QelDatabase>();
    const SpotRow rows[] = {
        {u"FldTagAPrefix", SettingType::String, true, 1, true, true},
        {u"FldTagASuffix", SettingType::String, false, 0, true, true},
        {u"FldOrderBy", SettingType::Integer, false, 0, true, false},
        {u"FldVar", SettingType::String, false, 0, false, false},
        {u"FldMin", SettingType::Variant, false, 0, true, true},
        {u"FldSize", SettingType::Long, false, 0, true, false},
        {u"FldMemoMaxLength", SettingType::Integer, true, 4, true, true},
        {u"FldMultiUpdate", SettingType::Boolean, true, 1, true, true},
        {u"TblAnonymous", SettingType::Integer, true, 4, true, true},
        {u"TblKey", SettingType::String, false, 0, false, false},
        {u"TblLoaded", SettingType::Boolean, false, 0, true, true},
        {u"TblRptIndent", SettingType::Integer, false, 0, true, true},
        {u"TblSearchColor", SettingType::String, true, 1, true, true},
        {u"TblFilter", SettingType::String, false, 0, true, false},
        {u"MaxUploadSize", SettingType::Long, true, 4, true, true},
        {u"SecDefault", SettingType::String, false, 0, true, true},
        {u"DBSchema", SettingType::String, false, 0, true, false},
        {u"UseDynamicUserLevel", SettingType::Boolean, false, 0, true, true},
    };
    for (const SpotRow& row : rows) {
        SCOPED_TRACE(automation::ToUtf8(row.name));
        const SettingsEntity* owner = row.name.starts_with(u"Fld") ? static_cast<SettingsEntity*>(field.Get())
                                      : row.name.starts_with(u"Tbl")
                                          ? static_cast<SettingsEntity*>(table.Get())
                                          : static_cast<SettingsEntity*>(database.Get());
        std::optional<std::size_t> ordinal = owner->SettingsOf().Find(row.name);
        ASSERT_TRUE(ordinal.has_value());
        const SettingInfo& info = owner->SettingsOf()[*ordinal];
        EXPECT_EQ(info.dataType, row.type);
        EXPECT_EQ(info.regSave, row.regSave);
        EXPECT_EQ(info.regFormat, row.regFormat);
        EXPECT_EQ(info.fileSave, row.fileSave);
        EXPECT_EQ(info.sync, row.sync);
    }
    // The typed accessors and the rows agree on positions.
    EXPECT_EQ(QelField::Settings()[static_cast<std::size_t>(QelField::Setting::FldHtmlTag)].name,
              u"FldHtmlTag");
    EXPECT_EQ(QelTable::Settings()[static_cast<std::size_t>(QelTable::Setting::TblRecPerPage)].name,
              u"TblRecPerPage");
    EXPECT_EQ(QelDatabase::Settings()[static_cast<std::size_t>(QelDatabase::Setting::SecDefault)].name,
              u"SecDefault");
}

TEST_F(SettingsTablesTest, KeysAndDerivedMembers) {
    const Ref<QelField> field = automation::MakeRef<QelField>();
    field->SetKey(u"Price");
    EXPECT_EQ(field->FldName(), u"Price");
    EXPECT_EQ(field->Properties()->Item(Variant(u"FLDNAME"))->Value().StringValue(), u"Price");

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

    // Variant settings keep the subtype they are given; typed ones store their own type.
    field->SetFldDefault(Variant::FromDate(45000.25));
    EXPECT_EQ(field->FldDefault().Type(), VarType::Date);
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

TEST_F(SettingsTablesTest, SecDefaultReachesModuleStateOnlyThroughItsMember) {
    const Ref<QelDatabase> database = automation::MakeRef<QelDatabase>();
    database->SetSecDefault(u"Admin");
    EXPECT_EQ(database->SecDefault(), u"Admin");
    EXPECT_EQ(CurrentLoadSettings().secDefault, u"Admin");
    automation::CallByName(*database, u"secdefault", InvokeKind::PropertyLet, {Variant(u"Guest")});
    EXPECT_EQ(CurrentLoadSettings().secDefault, u"Guest");
    database->Properties()->Item(Variant(u"SecDefault"))->SetValue(Variant(u"Bag"));
    EXPECT_EQ(CurrentLoadSettings().secDefault, u"Guest");
    EXPECT_EQ(database->SecDefault(), u"Bag");

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
