// The field's settings as callers use them: Variant settings, the loaders reached late-bound,
// and the user's registry defaults converted and kept through a load (the settings themselves
// and their flags are in golden/settings.txt).

#include "ModelFixture.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"

#include "core/QoProperties.h"

#include "platform/ado/Field.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <string>

namespace qv {
namespace {

using automation::InvokeKind;
using automation::Ref;
using automation::Variant;
using registry::Value;

class FieldSettingsAuditTest : public test::ModelTest {
protected:
    static const Variant& Stored(const QelField& field, std::u16string_view name) {
        return field.Properties()->Find(name)->Value();
    }
};

TEST_F(FieldSettingsAuditTest, VariantSettingsKeepWhateverTheyAreGiven) {
    const Ref<QelField> field = automation::MakeRef<QelField>();
    const Variant values[] = {Variant::Null(), Variant(automation::Currency::FromScaled(12345)),
                              Variant::FromDate(45000.75), Variant(u"=Date()"), Variant(2.5)};
    for (std::u16string_view name : {u"FldMin", u"FldMax", u"FldDefault"}) {
        for (const Variant& value : values) {
            SCOPED_TRACE(automation::ToUtf8(name) + " " + std::to_string(static_cast<int>(value.Type())));
            automation::CallByName(*field, name, InvokeKind::PropertyLet, {value});
            const Variant read = automation::CallByName(*field, name, automation::InvokeRead);
            ASSERT_EQ(read.Type(), value.Type());
            if (!value.IsNull()) {
                EXPECT_EQ(automation::Compare(read, value), automation::CompareResult::Equal);
            }
        }
    }
}

TEST_F(FieldSettingsAuditTest, LateBoundLoadersAndDefaults) {
    const Ref<QelField> field = automation::MakeRef<QelField>();
    automation::CallByName(*field, u"FldName", InvokeKind::PropertyLet, {Variant(u"Notes")});
    automation::CallByName(*field, u"FldType", InvokeKind::PropertyLet, {Variant(std::int32_t{203})});
    automation::CallByName(*field, u"FldSupport", InvokeKind::PropertyLet, {Variant(true)});
    automation::CallByName(*field, u"loadflddefault", InvokeKind::Method);
    EXPECT_EQ(field->FldHtmlTag(), u"TEXTAREA");
    EXPECT_EQ(field->FldVar(), u"x_Notes");

    // Column objects exist only inside the table loaders: a caller that has none gets 424 and
    // the field is left as it was.
    for (std::u16string_view loader : {u"LoadFld_ADO", u"LoadFld_DAO"}) {
        SCOPED_TRACE(automation::ToUtf8(loader));
        try {
            automation::CallByName(*field, loader, InvokeKind::Method, {Variant()});
            ADD_FAILURE() << "a loader without a column object";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), automation::ErrorNumber::ObjectRequired);
        }
        EXPECT_EQ(field->FldName(), u"Notes");
        EXPECT_EQ(field->FldType(), 203);
    }
}

TEST_F(FieldSettingsAuditTest, EachRegistryDefaultConvertsByItsType) {
    struct Case {
        std::u16string_view name;
        Value value;
        Variant expected; // Empty: the conversion refused the value
    };
    const Case cases[] = {
        {u"FldTagAPrefix", Value::Text(u" 'mailto:' "), Variant(u"mailto:")},
        {u"FldBold", Value::Text(u"True"), Variant(true)},
        {u"FldItalic", Value::Number(1), Variant(true)},
        {u"FldAlign", Value::Text(u"\"right\""), Variant(u"right")},
        {u"FldNumDigits", Value::Number(2), Variant(std::int16_t{2})},
        {u"FldHrefFldOrig", Value::Text(u"-1"), Variant(true)},
        {u"FldMemoMaxLength", Value::Text(u"250"), Variant(std::int16_t{250})},
        {u"FldColumnWrap", Value::Text(u"False"), Variant(false)},
        {u"FldGroupByShowSummary", Value::Text(u"yes"), Variant()},
        {u"FldRepeatColumns", Value::Number(70000), Variant()},
        {u"FldUploadResize", Value::Text(u""), Variant()},
        {u"FldResizeWidth", Value::Number(300), Variant(std::int16_t{300})},
        {u"FldResizeHeight", Value::Text(u"abc"), Variant()},
        {u"FldResizeInterpolation", Value::Text(u"2.5"), Variant(std::int16_t{2})},
        {u"FldMultiUpdate", Value::Text(u"True"), Variant(true)},
    };
    for (const Case& entry : cases) {
        WriteUserValue(test::FieldKey, entry.name, entry.value);
    }
    const Ref<QelField> field = automation::MakeRef<QelField>();
    for (const Case& entry : cases) {
        SCOPED_TRACE(automation::ToUtf8(entry.name));
        const Variant& stored = Stored(*field, entry.name);
        ASSERT_EQ(stored.Type(), entry.expected.Type());
        if (!stored.IsEmpty()) {
            EXPECT_EQ(automation::Compare(stored, entry.expected), automation::CompareResult::Equal);
        }
        // A refused value reads as the typed zero.
        const Variant read = automation::CallByName(*field, entry.name, automation::InvokeRead);
        EXPECT_FALSE(read.IsEmpty());
    }
}

// The registry's defaults reach a loaded field where the column's defaults do not write them;
// those the defaults write are the defaults' own.
TEST_F(FieldSettingsAuditTest, RegistryDefaultsSurviveALoad) {
    WriteUserValue(test::FieldKey, u"FldBold", Value::Text(u"True"));
    WriteUserValue(test::FieldKey, u"FldAlign", Value::Text(u"right"));
    WriteUserValue(test::FieldKey, u"FldMemoMaxLength", Value::Number(500));
    WriteUserValue(test::FieldKey, u"FldTagAPrefix", Value::Text(u"mailto:"));
    WriteUserValue(test::FieldKey, u"FldMultiUpdate", Value::Text(u"False"));
    WriteUserValue(test::FieldKey, u"FldRepeatColumns", Value::Number(4));
    CurrentLoadSettings().dbmsName = u"PostgreSQL";
    CurrentLoadSettings().repeatColumns = 2;

    ado::FieldDescription description;
    description.name = u"Email";
    description.type = 202;
    description.definedSize = 80;
    description.attributes = 4;
    const Ref<QelField> field = automation::MakeRef<QelField>();
    field->LoadFld_ADO(ado::Field(description));
    EXPECT_TRUE(field->FldBold());
    EXPECT_EQ(field->FldAlign(), u"right");
    EXPECT_EQ(field->FldMemoMaxLength(), 500);
    EXPECT_EQ(field->FldTagAPrefix(), u"None");
    EXPECT_TRUE(field->FldMultiUpdate());
    EXPECT_EQ(field->FldRepeatColumns(), 2);
}

} // namespace
} // namespace qv
