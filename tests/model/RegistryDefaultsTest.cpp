// Registry defaults of the field, table and database: read at construction from the user hive.

#include "ModelFixture.h"

#include "model/field/QelField.h"
#include "model/internal/RegistryDefaults.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"

#include "core/QoProperties.h"
#include "core/cRegistry.h"

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
using registry::Value;

class RegistryDefaultsTest : public test::ModelTest {
protected:
    static const Variant& Stored(const SettingsEntity& entity, std::u16string_view name) {
        return entity.Properties()->Find(name)->Value();
    }
};

TEST_F(RegistryDefaultsTest, MissingDefaultsBecomeTypedZerosAndOthersStayEmpty) {
    const Ref<QelField> field = automation::MakeRef<QelField>();
    const Ref<QelTable> table = automation::MakeRef<QelTable>();
    const Ref<QelDatabase> database = automation::MakeRef<QelDatabase>();
    for (const SettingsEntity* entity :
         {static_cast<const SettingsEntity*>(field.Get()), static_cast<const SettingsEntity*>(table.Get()),
          static_cast<const SettingsEntity*>(database.Get())}) {
        SCOPED_TRACE(automation::ToUtf8(entity->GetClassInfo().Name()));
        for (const SettingInfo& info : entity->SettingsOf().Settings()) {
            SCOPED_TRACE(automation::ToUtf8(info.name));
            const Variant& value = Stored(*entity, info.name);
            if (!info.regSave) {
                EXPECT_TRUE(value.IsEmpty());
                continue;
            }
            test::ExpectTypedZero(value, info.dataType);
        }
    }
    // Never-written settings read as typed zeros, except the Variant ones.
    EXPECT_EQ(field->FldCaption(), u"");
    EXPECT_FALSE(field->FldGenerate());
    EXPECT_EQ(field->FldTagSize(), 0);
    EXPECT_TRUE(field->FldDefault().IsEmpty());
    EXPECT_TRUE(field->FldMin().IsEmpty());
}

TEST_F(RegistryDefaultsTest, RegistryValuesConvertByTheSettingsType) {
    struct Case {
        std::u16string_view key;
        std::u16string_view name;
        Value value;
        Variant expected; // Empty: the conversion refused the value
    };
    const Case cases[] = {
        {test::FieldKey, u"FldBold", Value::Text(u"True"), Variant(true)},
        {test::FieldKey, u"FldItalic", Value::Text(u"Yes"), Variant()},
        {test::FieldKey, u"FldColumnWrap", Value::Text(u""), Variant()},
        {test::FieldKey, u"FldResizeWidth", Value::Number(70000), Variant()},
        {test::FieldKey, u"FldResizeHeight", Value::Number(300), Variant(std::int16_t{300})},
        {test::FieldKey, u"FldNumDigits", Value::Text(u"abc"), Variant()},
        {test::FieldKey, u"FldAlign", Value::Text(u"  \"right\" "), Variant(u"right")},
        {test::FieldKey, u"FldTagAPrefix", Value::Text(u"mailto:"), Variant(u"mailto:")},
        {test::TableKey, u"TblRecPerPage", Value::Number(25), Variant(std::int16_t{25})},
        {test::TableKey, u"TblSearchColor", Value::Text(u"'yellow'"), Variant(u"yellow")},
        {test::TableKey, u"TblExportCsv", Value::Text(u"True"), Variant(true)},
        {test::DatabaseKey, u"MaxUploadSize", Value::Number(2000000), Variant(std::int32_t{2000000})},
    };
    for (const Case& entry : cases) {
        WriteUserValue(entry.key, entry.name, entry.value);
    }
    // Values of settings without a registry default are ignored.
    WriteUserValue(test::FieldKey, u"FldTagASuffix", Value::Text(u"suffix"));
    WriteUserValue(test::TableKey, u"TblCaption", Value::Text(u"caption"));
    WriteUserValue(test::DatabaseKey, u"SecDefault", Value::Text(u"secure"));

    const Ref<QelField> field = automation::MakeRef<QelField>();
    const Ref<QelTable> table = automation::MakeRef<QelTable>();
    const Ref<QelDatabase> database = automation::MakeRef<QelDatabase>();
    for (const Case& entry : cases) {
        SCOPED_TRACE(automation::ToUtf8(entry.name));
        const SettingsEntity& entity =
            entry.key == test::FieldKey   ? static_cast<const SettingsEntity&>(*field)
            : entry.key == test::TableKey ? static_cast<const SettingsEntity&>(*table)
                                          : static_cast<const SettingsEntity&>(*database);
        const Variant& stored = Stored(entity, entry.name);
        ASSERT_EQ(stored.Type(), entry.expected.Type());
        if (!stored.IsEmpty()) {
            EXPECT_EQ(automation::Compare(stored, entry.expected), automation::CompareResult::Equal);
        }
    }
    EXPECT_TRUE(Stored(*field, u"FldTagASuffix").IsEmpty());
    EXPECT_TRUE(Stored(*table, u"TblCaption").IsEmpty());
    EXPECT_TRUE(Stored(*database, u"SecDefault").IsEmpty());
    EXPECT_EQ(GetRegistry().ValueKey(), u"MaxUploadSize"); // the last value read
    // A refused value reads as the typed zero.
    EXPECT_FALSE(field->FldItalic());
    EXPECT_EQ(field->FldResizeWidth(), 0);
}

TEST_F(RegistryDefaultsTest, DefaultsReachOnlyEntitiesMadeAfterwards) {
    const Ref<QelField> before = automation::MakeRef<QelField>();
    WriteUserValue(test::FieldKey, u"FldMemoMaxLength", Value::Number(500));
    const Ref<QelField> after = automation::MakeRef<QelField>();
    EXPECT_EQ(before->FldMemoMaxLength(), 0);
    EXPECT_EQ(after->FldMemoMaxLength(), 500);
}

// A load reads each kind's defaults once; the values must be those a read of every value gives,
// the module state must end as such a read leaves it, and no change may be missed beyond the load.
TEST_F(RegistryDefaultsTest, AScopeReadsEachKindsDefaultsOnceAndForgetsThemAfterwards) {
    WriteUserValue(test::FieldKey, u"FldMemoMaxLength", Value::Number(500));
    registry::Registry otherProcess(registry::DefaultUserHivePath(), registry::DefaultMachineHivePath());
    std::u16string lastName;
    for (const SettingInfo& info : QelField::Settings().Settings()) {
        if (info.regSave) {
            lastName = info.name;
        }
    }
    {
        const RegistryDefaultsScope scope;
        const Ref<QelField> first = automation::MakeRef<QelField>();
        otherProcess.WriteValue(registry::HiveKind::User, test::FieldKey, u"FldMemoMaxLength",
                                Value::Number(600));
        GetRegistry().SetValueKey(u"changed in between");
        const Ref<QelField> second = automation::MakeRef<QelField>();
        EXPECT_EQ(GetRegistry().ValueKey(), lastName) << "the last value is read for real";
        EXPECT_EQ(first->FldMemoMaxLength(), 500);
        EXPECT_EQ(second->FldMemoMaxLength(), 500) << "read once in the scope";
        for (const SettingInfo& info : QelField::Settings().Settings()) {
            SCOPED_TRACE(automation::ToUtf8(info.name));
            EXPECT_EQ(Stored(*second, info.name).Type(), Stored(*first, info.name).Type());
        }
        WriteUserValue(test::FieldKey, u"FldMemoMaxLength", Value::Number(700));
        EXPECT_EQ(automation::MakeRef<QelField>()->FldMemoMaxLength(), 700) << "the apartment's own write";
    }
    otherProcess.WriteValue(registry::HiveKind::User, test::FieldKey, u"FldMemoMaxLength",
                            Value::Number(800));
    EXPECT_EQ(automation::MakeRef<QelField>()->FldMemoMaxLength(), 800) << "seen once the scope is gone";
}

} // namespace
} // namespace qv
