// The whole matrix of column type, database kind, schema flags and project date format through
// both column loaders and the defaults: every cell a field can land in.

#include "FieldAuditExpectation.h"
#include "ModelFixture.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"

#include "core/QoProperties.h"

#include "platform/ado/Field.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"
#include "platform/dao/Field.h"

#include <set>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::Ref;
using automation::Variant;
using automation::VarType;
using test::ColumnFacts;

// Delimiters a field holds before it is loaded, to tell "kept" from "written".
constexpr std::u16string_view Before = u"?";

// Every ADO type code the rules name, and some they do not (empty, variant, file time, binary,
// user-defined, chapter, variable binary).
constexpr std::int32_t AdoTypes[] = {0,   2,   3,   4,   5,   6,   7,   8,   11,  12,  14,  16,
                                     17,  18,  19,  20,  21,  64,  72,  128, 129, 130, 131, 132,
                                     133, 134, 135, 136, 139, 200, 201, 202, 203, 204, 205};

struct Flags {
    const char* label;
    bool autoIncrement;
    std::int32_t attributes;
};
constexpr Flags FlagCases[] = {
    {"updatable", false, 4},
    {"not updatable", false, 0},
    {"updatability unknown", false, 8},
    {"auto-increment", true, 0},
};

/// One cell of the matrix: a column of one ADO type with its flags on one kind of database,
/// under one project date format (several only for the date types).
struct AdoCase {
    const test::DatabaseKindName* kind;
    std::int32_t type;
    const Flags* flags;
    std::int16_t dateFormat;

    std::string Label() const {
        return automation::ToUtf8(kind->dbms) + " type " + std::to_string(type) + " " + flags->label +
               " date format " + std::to_string(dateFormat);
    }
    ColumnFacts Column(std::int32_t size) const {
        ColumnFacts column;
        column.type = type;
        column.supported = test::ExpectedAdoTyping(type, kind->kind).supported;
        column.autoIncrement = flags->autoIncrement;
        column.attributes = flags->attributes;
        column.size = size;
        column.kind = kind->kind;
        column.dateFormat = dateFormat;
        return column;
    }
};

std::vector<AdoCase> AdoCases() {
    std::vector<AdoCase> cases;
    for (const test::DatabaseKindName& kind : test::DatabaseKinds) {
        for (std::int32_t type : AdoTypes) {
            for (const Flags& flags : FlagCases) {
                const bool date = test::OneOf(type, {7, 133, 135});
                for (std::int16_t dateFormat : std::initializer_list<std::int16_t>{0, 5, 6, 7, 8}) {
                    if (date || dateFormat == 6) {
                        cases.push_back({&kind, type, &flags, dateFormat});
                    }
                }
            }
        }
    }
    return cases;
}

class FieldDefaultsAuditTest : public test::ModelTest {
protected:
    static Ref<QelField> NewField() {
        Ref<QelField> field = automation::MakeRef<QelField>();
        field->SetFldQuoteS(Before);
        field->SetFldQuoteE(Before);
        return field;
    }

    static void UseProject(const ColumnFacts& column, std::u16string_view dbms) {
        CurrentLoadSettings().dbmsName = dbms;
        CurrentLoadSettings().defaultDateFormat = column.dateFormat;
        CurrentLoadSettings().repeatColumns = column.repeatColumns;
    }
};

TEST_F(FieldDefaultsAuditTest, AdoColumnsOfEveryTypeOnEveryDatabaseKind) {
    for (const AdoCase& cell : AdoCases()) {
        SCOPED_TRACE(cell.Label());
        ColumnFacts column = cell.Column(50);
        column.repeatColumns = 3;
        UseProject(column, cell.kind->dbms);
        const test::AdoTyping typing = test::ExpectedAdoTyping(cell.type, column.kind);

        ado::FieldDescription description;
        description.name = column.name;
        description.type = cell.type;
        description.definedSize = column.size;
        description.attributes = column.attributes;
        description.isAutoIncrement = column.autoIncrement;
        const Ref<QelField> field = NewField();
        field->LoadFld_ADO(ado::Field(description));

        EXPECT_EQ(field->FldType(), cell.type);
        EXPECT_EQ(field->FldSupport(), typing.supported);
        EXPECT_EQ(field->FldQuoteS(), typing.quote.value_or(Before));
        EXPECT_EQ(field->FldQuoteE(), typing.quote.value_or(Before));
        EXPECT_EQ(field->FldSize(), 50);
        EXPECT_EQ(field->FldAttribute(), column.attributes);
        EXPECT_EQ(field->FldAutoIncrement(), column.autoIncrement);
        EXPECT_TRUE(field->FldZeroLen());
        EXPECT_FALSE(field->FldReq());
        EXPECT_FALSE(field->FldUniqueIdx());
        EXPECT_TRUE(test::StoredSetting(*field, u"FldDefault").IsEmpty());
        EXPECT_EQ(field->FldVar(), u"x_Unit_Price");
        EXPECT_EQ(field->FldCaption(), u"Unit Price");
        test::ExpectFieldDefaults(*field, column);
    }
}

TEST_F(FieldDefaultsAuditTest, DaoColumnsOfEveryTypeMapToAdoTypes) {
    // Every DAO code of the mapping, variable binary (17, which has no row of its own), codes
    // beyond it and the layer's own "cannot describe" code.
    const std::int16_t daoTypes[] = {-1, 0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                     13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 99};
    // Access columns always get date delimiters "#", whatever the DBMS name says; the defaults
    // still follow the kind of database.
    for (std::u16string_view dbms : {u"ACCESS", u"PostgreSQL"}) {
        for (std::int16_t daoType : daoTypes) {
            for (bool autoIncrement : {false, true}) {
                SCOPED_TRACE(automation::ToUtf8(dbms) + " DAO type " + std::to_string(daoType) +
                             (autoIncrement ? " auto-increment" : ""));
                const test::DaoTyping typing = test::ExpectedDaoTyping(daoType);
                ColumnFacts column;
                column.name = u"Ship Date";
                column.type = typing.type;
                column.supported = typing.supported;
                column.autoIncrement = autoIncrement;
                column.attributes = autoIncrement ? 32 : 4 + 32;
                column.size = 40;
                column.kind = dbms == u"ACCESS" ? 1 : 5;
                column.dateFormat = 7;
                UseProject(column, dbms);

                dao::Field source;
                source.name = column.name;
                source.type = daoType;
                source.size = column.size;
                source.attributes = autoIncrement ? 0x10 : 0;
                const Ref<QelField> field = NewField();
                field->LoadFld_DAO(source);

                EXPECT_EQ(field->FldType(), typing.type);
                EXPECT_EQ(field->FldSupport(), typing.supported);
                EXPECT_EQ(field->FldQuoteS(), typing.quote.value_or(Before));
                EXPECT_EQ(field->FldQuoteE(), typing.quote.value_or(Before));
                EXPECT_EQ(field->FldAttribute(), column.attributes);
                EXPECT_EQ(field->FldCaption(), u"Ship Date");
                EXPECT_EQ(field->FldVar(), u"x_Ship_Date");
                test::ExpectFieldDefaults(*field, column);
            }
        }
    }
}

TEST_F(FieldDefaultsAuditTest, DaoAttributesRequiredAndZeroLength) {
    constexpr std::int32_t Fixed = 0x1;
    constexpr std::int32_t Variable = 0x2;
    constexpr std::int32_t AutoIncrement = 0x10;
    constexpr std::int32_t Updatable = 0x20;
    for (std::int32_t fixed : {0, Fixed}) {
        for (std::int32_t autoIncrement : {0, AutoIncrement}) {
            for (bool required : {false, true}) {
                for (std::int32_t other : {0, Variable | Updatable}) {
                    const std::int32_t attributes = fixed | autoIncrement | other;
                    SCOPED_TRACE("attributes " + std::to_string(attributes) +
                                 (required ? " required" : " optional"));
                    dao::Field source;
                    source.name = u"Qty";
                    source.type = 4;
                    source.size = 4;
                    source.attributes = attributes;
                    source.required = required;
                    source.allowZeroLength = required; // any pattern: it is copied as is
                    source.defaultValue = required ? u"0" : u"";
                    const Ref<QelField> field = NewField();
                    field->SetFldUniqueIdx(true);
                    field->LoadFld_DAO(source);
                    EXPECT_EQ(field->FldAttribute(),
                              (fixed ? 16 : 0) + (autoIncrement ? 0 : 4) + (required ? 0 : 32));
                    EXPECT_EQ(field->FldAutoIncrement(), autoIncrement != 0);
                    EXPECT_EQ(field->FldReq(), required);
                    EXPECT_EQ(field->FldRequired(), required);
                    EXPECT_EQ(field->FldZeroLen(), required);
                    EXPECT_FALSE(field->FldUniqueIdx());
                    EXPECT_EQ(field->FldSize(), 4);
                    const Variant defaultValue = field->FldDefault();
                    ASSERT_EQ(defaultValue.Type(), VarType::String);
                    EXPECT_EQ(defaultValue.StringValue(), source.defaultValue);
                }
            }
        }
    }
}

// Every run rewrites exactly the settings the defaults own and leaves every other one alone:
// the column's own description, the user's choices elsewhere, a caption already given.
TEST_F(FieldDefaultsAuditTest, ARunWritesItsOwnSettingsAndNoOthers) {
    const std::set<std::u16string_view> alwaysWritten = {u"FldFmtType",
                                                         u"FldIncLeadDigit",
                                                         u"FldUseParen",
                                                         u"FldGpDigits",
                                                         u"FldSelectType",
                                                         u"FldViewTag",
                                                         u"FldTagAPrefix",
                                                         u"FldRequired",
                                                         u"FldPopCalendar",
                                                         u"FldHtmlTagReadOnly",
                                                         u"FldSrchOpr2",
                                                         u"FldOrderBy",
                                                         u"FldOrder",
                                                         u"FldGroupBy",
                                                         u"FldPageIndex",
                                                         u"FldGenerate",
                                                         u"FldVar",
                                                         u"FldList",
                                                         u"FldEdit",
                                                         u"FldMultiUpdate",
                                                         u"FldAdd",
                                                         u"FldView",
                                                         u"FldHtmlTag",
                                                         u"FldSrchOpr",
                                                         u"FldSearch",
                                                         u"FldBasicSearch",
                                                         u"FldExtendedBasicSearch",
                                                         u"FldRepeatColumns"};
    const std::set<std::u16string_view> inputs = {u"FldName",          u"FldType",      u"FldSupport",
                                                  u"FldAutoIncrement", u"FldAttribute", u"FldSize",
                                                  u"FldReq",           u"FldCaption"};
    const Variant untouched(1234.5); // no setter stores a Double
    for (const AdoCase& cell : AdoCases()) {
        SCOPED_TRACE(cell.Label());
        ColumnFacts column = cell.Column(60);
        column.required = column.attributes == 0;
        UseProject(column, cell.kind->dbms);

        const Ref<QelField> field = automation::MakeRef<QelField>();
        for (QoProperty& setting : *field->Properties()) {
            setting.SetValue(untouched);
        }
        field->SetFldName(column.name);
        field->SetFldType(static_cast<std::int16_t>(column.type));
        field->SetFldSupport(column.supported);
        field->SetFldAutoIncrement(column.autoIncrement);
        field->SetFldAttribute(column.attributes);
        field->SetFldSize(column.size);
        field->SetFldReq(column.required);
        field->SetFldCaption(u"Given caption");
        field->LoadFldDefault();

        const test::ExpectedDefaults expected = test::ExpectDefaults(column);
        std::set<std::u16string_view> written = alwaysWritten;
        const std::pair<std::u16string_view, bool> optional[] = {
            {u"FldTagSize", expected.tagSize.has_value()},
            {u"FldTagMaxLength", expected.tagMaxLength.has_value()},
            {u"FldTagCols", expected.tagCols.has_value()},
            {u"FldTagRows", expected.tagRows.has_value()},
            {u"FldDtFormat", expected.dtFormat.has_value()},
            {u"FldTagValues", expected.tagValues.has_value()},
            {u"FldValidate", expected.validate.has_value()},
            {u"FldHrefFld", expected.hrefFld.has_value()},
        };
        for (const auto& [name, isWritten] : optional) {
            if (isWritten) {
                written.insert(name);
            }
        }
        for (const QoProperty& setting : *field->Properties()) {
            SCOPED_TRACE(automation::ToUtf8(setting.Name()));
            const bool isUntouched = setting.Value().Type() == VarType::Double;
            if (inputs.contains(setting.Name())) {
                EXPECT_FALSE(isUntouched);
            } else {
                EXPECT_EQ(isUntouched, !written.contains(setting.Name()));
            }
        }
        EXPECT_EQ(field->FldCaption(), u"Given caption");
        EXPECT_EQ(field->FldRequired(), column.required);
        EXPECT_EQ(field->FldType(), column.type);
        EXPECT_EQ(field->FldSize(), 60);
    }
}

// The registry's defaults of the page and tag settings reach a loaded field where the defaults
// do not write them; those the defaults write are the defaults' own.
TEST_F(FieldDefaultsAuditTest, RegistryDefaultsMeetTheLoaderDefaults) {
    using registry::Value;
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
