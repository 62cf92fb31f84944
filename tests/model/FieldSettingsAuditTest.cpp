// Every setting of a field as the system defines it: name, type, flags and place in the bag,
// the registry defaults of the fifteen settings kept there, and the typed accessors.

#include "ModelFixture.h"

#include "model/field/QelField.h"

#include "core/QoProperties.h"
#include "core/cRegistry.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <string>
#include <vector>

namespace qv {
namespace {

using automation::InvokeKind;
using automation::Ref;
using automation::Variant;
using automation::VarType;
using registry::Value;
using T = SettingType;

struct Row {
    std::u16string_view name;
    SettingType type;
    bool regSave;
    std::int32_t regFormat;
    bool fileSave;
    bool sync;
};

// The settings in definition order. This order is the order of the project file's attributes
// and of the registry reads, so a row moved, added or retyped must show here.
// clang-format off
const Row Rows[] = {
        {u"FldSync", T::Boolean, false, 0, false, false},
        {u"FldSeq", T::Integer, false, 0, false, false},
        {u"FldName", T::String, false, 0, true, false},
        {u"FldAlias", T::Boolean, false, 0, true, false},
        {u"FldSourceName", T::String, false, 0, true, false},
        {u"FldSourceTable", T::String, false, 0, true, false},
        {u"FldSourceField", T::String, false, 0, true, false},
        {u"FldType", T::Integer, false, 0, true, false},
        {u"FldSupport", T::Boolean, false, 0, true, false},
        {u"FldSize", T::Long, false, 0, true, false},
        {u"FldUniqueIdx", T::Boolean, false, 0, true, false},
        {u"FldZeroLen", T::Boolean, false, 0, true, false},
        {u"FldReq", T::Boolean, false, 0, true, false},
        {u"FldIsPrimaryKey", T::Boolean, false, 0, true, false},
        {u"FldAutoIncrement", T::Boolean, false, 0, true, false},
        {u"FldAttribute", T::Long, false, 0, true, false},
        {u"FldMin", T::Variant, false, 0, true, true},
        {u"FldMax", T::Variant, false, 0, true, true},
        {u"FldErrMsg", T::String, false, 0, true, true},
        {u"FldValidate", T::String, false, 0, true, true},
        {u"FldRequired", T::Boolean, false, 0, true, true},
        {u"FldPopCalendar", T::Boolean, false, 0, true, true},
        {u"FldGenerate", T::Boolean, false, 0, true, true},
        {u"FldList", T::Boolean, false, 0, true, true},
        {u"FldView", T::Boolean, false, 0, true, true},
        {u"FldEdit", T::Boolean, false, 0, true, true},
        {u"FldAdd", T::Boolean, false, 0, true, true},
        {u"FldSearch", T::Boolean, false, 0, true, true},
        {u"FldBasicSearch", T::Boolean, false, 0, true, true},
        {u"FldExtendedBasicSearch", T::Boolean, false, 0, true, true},
        {u"FldRegister", T::Boolean, false, 0, true, true},
        {u"FldSrchOpr", T::String, false, 0, true, true},
        {u"FldSrchOpr2", T::String, false, 0, true, true},
        {u"FldDefault", T::Variant, false, 0, true, true},
        {u"FldCaption", T::String, false, 0, true, true},
        {u"FldVar", T::String, false, 0, false, false},
        {u"FldViewTag", T::String, false, 0, true, true},
        {u"FldViewThumbnail", T::Boolean, false, 0, true, true},
        {u"FldHtmlTag", T::String, false, 0, true, true},
        {u"FldHtmlTagReadOnly", T::Boolean, false, 0, true, true},
        {u"FldTagSize", T::Integer, false, 0, true, true},
        {u"FldTagMaxLength", T::Long, false, 0, true, true},
        {u"FldTagHiddenValue", T::String, false, 0, true, true},
        {u"FldSelectType", T::String, false, 0, true, true},
        {u"FldTagValues", T::String, false, 0, true, true},
        {u"FldTagLnkTbl", T::String, false, 0, true, true},
        {u"FldTagLnkFld", T::String, false, 0, true, true},
        {u"FldTagLnkDisplay", T::String, false, 0, true, true},
        {u"FldTagLnkDisp2", T::String, false, 0, true, true},
        {u"FldTagLnkOrderBy", T::String, false, 0, true, true},
        {u"FldTagLnkOrderType", T::String, false, 0, true, true},
        {u"FldTagLnkDistinct", T::Boolean, false, 0, true, true},
        {u"FldTagCols", T::Integer, false, 0, true, true},
        {u"FldTagRows", T::Integer, false, 0, true, true},
        {u"FldTagImgWidth", T::Integer, false, 0, true, true},
        {u"FldTagImgHeight", T::Integer, false, 0, true, true},
        {u"FldTagAType", T::String, false, 0, true, true},
        {u"FldTagATarget", T::String, false, 0, true, true},
        {u"FldTagAPrefix", T::String, true, 1, true, true},
        {u"FldTagASuffix", T::String, false, 0, true, true},
        {u"FldBold", T::Boolean, true, 1, true, true},
        {u"FldItalic", T::Boolean, true, 1, true, true},
        {u"FldAlign", T::String, true, 1, true, true},
        {u"FldFmtType", T::String, false, 0, true, true},
        {u"FldDtFormat", T::Integer, false, 0, true, true},
        {u"FldNumDigits", T::Integer, true, 4, true, true},
        {u"FldIncLeadDigit", T::Integer, false, 0, true, true},
        {u"FldUseParen", T::Integer, false, 0, true, true},
        {u"FldGpDigits", T::Integer, false, 0, true, true},
        {u"FileNameFld", T::String, false, 0, true, true},
        {u"FileTypeFld", T::String, false, 0, true, true},
        {u"FileSizeFld", T::String, false, 0, true, true},
        {u"ImageWidthFld", T::String, false, 0, true, true},
        {u"ImageHeightFld", T::String, false, 0, true, true},
        {u"FldHrefFld", T::String, false, 0, true, true},
        {u"FldHrefFldOrig", T::Boolean, true, 1, true, true},
        {u"FldStrFunc", T::String, false, 0, true, true},
        {u"FldUseDHTMLEditor", T::Boolean, false, 0, true, true},
        {u"FldMemoMaxLength", T::Integer, true, 4, true, true},
        {u"FldSelectSize", T::Integer, false, 0, true, true},
        {u"FldSelectMultiple", T::Boolean, false, 0, true, true},
        {u"FldSelectFilter", T::String, false, 0, true, true},
        {u"FldSelectFilterFld", T::String, false, 0, true, true},
        {u"FldParentSelect", T::String, false, 0, true, true},
        {u"FldSelectAllowAdd", T::Boolean, false, 0, true, true},
        {u"FldQuoteS", T::String, false, 0, true, false},
        {u"FldQuoteE", T::String, false, 0, true, false},
        {u"FldColumnWidth", T::String, false, 0, true, true},
        {u"FldColumnWrap", T::Boolean, true, 1, true, true},
        {u"FldAggregate", T::String, false, 0, true, true},
        {u"FldGroupBy", T::Integer, false, 0, true, true},
        {u"FldGroupByShowSummary", T::Boolean, true, 1, true, true},
        {u"FldOrderBy", T::Integer, false, 0, true, false},
        {u"FldOrder", T::String, false, 0, true, false},
        {u"FldRptAggSum", T::Boolean, false, 0, true, true},
        {u"FldRptAggAvg", T::Boolean, false, 0, true, true},
        {u"FldRptAggMin", T::Boolean, false, 0, true, true},
        {u"FldRptAggMax", T::Boolean, false, 0, true, true},
        {u"FldRepeatColumns", T::Integer, true, 4, true, true},
        {u"FldUploadPath", T::String, false, 0, true, true},
        {u"FldCheckDuplicate", T::Boolean, false, 0, true, true},
        {u"FldPageIndex", T::Integer, false, 0, true, true},
        {u"FldAjax", T::Boolean, false, 0, true, true},
        {u"FldAutoUpdateValue", T::String, false, 0, true, true},
        {u"FldUploadResize", T::Boolean, true, 1, true, true},
        {u"FldResizeWidth", T::Integer, true, 4, true, true},
        {u"FldResizeHeight", T::Integer, true, 4, true, true},
        {u"FldResizeInterpolation", T::Integer, true, 4, true, true},
        {u"FldMultiUpdate", T::Boolean, true, 1, true, true},
        {u"FldTitle", T::String, false, 0, true, true},
        {u"FldAlt", T::String, false, 0, true, true},
        {u"FldEditCustomAttributes", T::String, false, 0, true, true},
        {u"FldViewCustomAttributes", T::String, false, 0, true, true},
};
// clang-format on

class FieldSettingsAuditTest : public test::ModelTest {
protected:
    static const Variant& Stored(const QelField& field, std::u16string_view name) {
        return field.Properties()->Find(name)->Value();
    }
};

TEST_F(FieldSettingsAuditTest, EveryRowInDefinitionOrder) {
    ASSERT_EQ(std::size(Rows), 113U);
    const SettingsTable& table = QelField::Settings();
    ASSERT_EQ(table.Size(), std::size(Rows));
    const Ref<QelField> field = automation::MakeRef<QelField>();
    ASSERT_EQ(field->Properties()->Count(), 113);
    std::size_t ordinal = 0;
    for (const QoProperty& property : *field->Properties()) {
        ASSERT_LT(ordinal, std::size(Rows));
        const Row& row = Rows[ordinal];
        SCOPED_TRACE(std::to_string(ordinal + 1) + " " + automation::ToUtf8(row.name));
        EXPECT_EQ(table[ordinal].name, row.name);
        EXPECT_EQ(property.Name(), row.name);
        EXPECT_EQ(property.DataType(), SettingTypeName(row.type));
        EXPECT_EQ(property.RegSave(), row.regSave);
        EXPECT_EQ(property.RegFormat(), row.regFormat);
        EXPECT_EQ(property.FileSave(), row.fileSave);
        EXPECT_EQ(property.Sync(), row.sync);
        EXPECT_EQ(property.Key(), u"") << "the bag entries carry no key";
        ++ordinal;
    }
    EXPECT_EQ(ordinal, std::size(Rows));
}

TEST_F(FieldSettingsAuditTest, LateBoundReadsOfAFreshFieldAreTypedZeros) {
    const Ref<QelField> field = automation::MakeRef<QelField>();
    for (const Row& row : Rows) {
        SCOPED_TRACE(automation::ToUtf8(row.name));
        const Variant read = automation::CallByName(*field, row.name, automation::InvokeRead);
        if (row.type == T::Variant) {
            EXPECT_TRUE(read.IsEmpty());
            continue;
        }
        test::ExpectTypedZero(read, row.type);
    }
}

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

TEST_F(FieldSettingsAuditTest, KeyAndParmAreDerivedMembers) {
    const Ref<QelField> field = automation::MakeRef<QelField>();
    automation::CallByName(*field, u"KEY", InvokeKind::PropertyLet, {Variant(u"Unit Price")});
    EXPECT_EQ(field->FldName(), u"Unit Price");
    EXPECT_TRUE(Stored(*field, u"FldVar").IsEmpty()) << "Key stores the name and nothing else";
    field->SetFldName(u"Quantity");
    EXPECT_EQ(automation::CallByName(*field, u"Key", automation::InvokeRead).StringValue(), u"Quantity");

    field->SetFldVar(u"x_Quantity");
    EXPECT_EQ(automation::CallByName(*field, u"FldParm", automation::InvokeRead).StringValue(), u"Quantity");
    EXPECT_THROW(automation::CallByName(*field, u"FldParm", InvokeKind::PropertyLet, {Variant(u"x")}),
                 automation::Error)
        << "FldParm has no setting behind it and cannot be written";
    EXPECT_EQ(field->FldVar(), u"x_Quantity");
    EXPECT_FALSE(field->Properties()->Find(u"FldParm"));
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
    // Values of settings the registry does not keep are never read, whatever their name.
    for (const Row& row : Rows) {
        if (!row.regSave) {
            WriteUserValue(test::FieldKey, row.name, Value::Text(u"1"));
        }
    }
    const Ref<QelField> field = automation::MakeRef<QelField>();
    EXPECT_EQ(GetRegistry().ValueKey(), u"FldMultiUpdate") << "the last of the fifteen, in bag order";

    std::vector<std::u16string_view> regSaveNames;
    for (const Row& row : Rows) {
        if (row.regSave) {
            regSaveNames.push_back(row.name);
        } else {
            EXPECT_TRUE(Stored(*field, row.name).IsEmpty()) << automation::ToUtf8(row.name);
        }
    }
    ASSERT_EQ(regSaveNames.size(), std::size(cases));
    for (std::size_t index = 0; index < std::size(cases); ++index) {
        const Case& entry = cases[index];
        SCOPED_TRACE(automation::ToUtf8(entry.name));
        EXPECT_EQ(regSaveNames[index], entry.name) << "the registry defaults in bag order";
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

} // namespace
} // namespace qv
