#include "model/loaders/LoaderFixture.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"

#include "core/Apartment.h"

#include "platform/ado/Constants.h"
#include "platform/ado/Field.h"
#include "platform/dao/Constants.h"
#include "platform/dao/Field.h"

namespace qv {
namespace {

namespace AdoType = ado::DataType;
namespace DaoType = dao::DataType;

// Delimiters a field holds before it is loaded, to tell "kept" from "written".
constexpr std::u16string_view Before = u"?";

class FieldLoaderTest : public test::LoaderTest {
protected:
    automation::Ref<QelField> NewField() {
        auto field = automation::MakeRef<QelField>();
        field->SetFldQuoteS(Before);
        field->SetFldQuoteE(Before);
        return field;
    }

    static dao::Field DaoColumn(std::int16_t type, std::int32_t attributes = 0, bool required = false) {
        dao::Field column;
        column.name = u"UnitPrice";
        column.type = type;
        column.size = 8;
        column.attributes = attributes;
        column.required = required;
        return column;
    }

    static ado::Field AdoColumn(std::int32_t type, bool autoIncrement = false) {
        ado::FieldDescription description;
        description.name = u"UnitPrice";
        description.type = type;
        description.definedSize = 12;
        description.attributes = ado::FieldAttribute::Updatable | ado::FieldAttribute::IsNullable;
        description.isAutoIncrement = autoIncrement;
        return ado::Field(description);
    }
};

TEST_F(FieldLoaderTest, DaoTypesMapToAdoTypesSupportAndDelimiters) {
    struct Case {
        std::int16_t daoType;
        std::int16_t fldType;
        bool supported;
        std::u16string_view quote; // Before: left as it was
    };
    const Case cases[] = {
        {DaoType::Binary, AdoType::Binary, false, Before},
        {DaoType::Boolean, AdoType::Boolean, true, u""},
        {DaoType::Byte, AdoType::UnsignedTinyInt, true, u""},
        {DaoType::Date, AdoType::DBTimeStamp, true, u"#"},
        {DaoType::Float, AdoType::Double, true, u""},
        {DaoType::GUID, AdoType::GUID, true, u"'"},
        {DaoType::LongBinary, AdoType::LongVarBinary, true, u""}, // unlike an ADO long binary column
        {DaoType::Memo, AdoType::LongVarWChar, true, u"'"},
        {DaoType::Time, AdoType::DBTimeStamp, true, u"#"},
        {DaoType::TimeStamp, AdoType::DBTimeStamp, true, u"#"},
        {DaoType::VarBinary, -1, false, Before}, // no row of its own: unsupported, like Binary
        {DaoType::Unsupported, -1, false, Before},
        {99, -1, false, Before},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.daoType);
        auto field = NewField();
        field->LoadFld_DAO(DaoColumn(row.daoType));
        EXPECT_EQ(field->FldType(), row.fldType);
        EXPECT_EQ(field->FldSupport(), row.supported);
        EXPECT_EQ(field->FldQuoteS(), row.quote);
        EXPECT_EQ(field->FldQuoteE(), row.quote);
    }
}

TEST_F(FieldLoaderTest, DaoAttributesBecomeAdoBitsAndFlags) {
    struct Case {
        std::int32_t attributes;
        bool required;
        std::int32_t expected;
        bool autoIncrement;
    };
    const Case cases[] = {
        {0, false, ado::FieldAttribute::Updatable | ado::FieldAttribute::IsNullable, false},
        {0, true, ado::FieldAttribute::Updatable, false},
        {dao::FieldAttribute::FixedField, true, ado::FieldAttribute::Fixed | ado::FieldAttribute::Updatable,
         false},
        // Fixed and auto-increment, not required: 16 + 32.
        {17, false, 48, true},
        {dao::FieldAttribute::AutoIncrField, true, 0, true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.attributes);
        auto field = NewField();
        dao::Field column = DaoColumn(DaoType::Long, row.attributes, row.required);
        column.allowZeroLength = true;
        column.defaultValue = u"=Date()";
        field->LoadFld_DAO(column);
        EXPECT_EQ(field->FldAttribute(), row.expected);
        EXPECT_EQ(field->FldAutoIncrement(), row.autoIncrement);
        EXPECT_EQ(field->FldReq(), row.required);
        EXPECT_TRUE(field->FldZeroLen());
        EXPECT_FALSE(field->FldUniqueIdx());
        EXPECT_EQ(automation::ToString(field->FldDefault()), u"=Date()");
        EXPECT_EQ(field->FldSize(), 8);
    }
}

TEST_F(FieldLoaderTest, ADesignerCaptionSurvivesTheDefaults) {
    auto withCaption = NewField();
    dao::Field column = DaoColumn(DaoType::Currency);
    column.properties.push_back({u"Caption", u"Price per unit"});
    withCaption->LoadFld_DAO(column);
    EXPECT_EQ(withCaption->FldCaption(), u"Price per unit");

    auto without = NewField();
    without->LoadFld_DAO(DaoColumn(DaoType::Currency));
    EXPECT_EQ(without->FldCaption(), u"Unit Price");

    auto emptyCaption = NewField();
    column.properties = {{u"Caption", u""}};
    emptyCaption->LoadFld_DAO(column);
    EXPECT_EQ(emptyCaption->FldCaption(), u"Unit Price");
}

TEST_F(FieldLoaderTest, AdoTypesGiveSupportAndDelimitersByDatabaseKind) {
    struct Case {
        std::int32_t adoType;
        bool supported;
        std::u16string_view quote;       // on any kind but Access
        std::u16string_view accessQuote; // with gDbmsName "ACCESS"
    };
    const Case cases[] = {
        {AdoType::Boolean, true, u"", u""},         {139, true, u"", u""}, // variable numeric
        {AdoType::VarWChar, true, u"'", u"'"},      {AdoType::GUID, true, u"'", u"'"},
        {AdoType::Date, true, u"'", u"#"},          {AdoType::DBDate, true, u"'", u"#"},
        {AdoType::DBTime, true, u"'", u"#"},        {AdoType::DBTimeStamp, true, u"'", u"#"},
        {AdoType::LongVarBinary, true, u"'", u"'"}, // unlike a DAO long binary column
        {AdoType::Binary, false, Before, Before},   {AdoType::VarBinary, false, Before, Before},
        {AdoType::Variant, false, Before, Before},
    };
    for (std::u16string_view dbms : {u"PostgreSQL", u"ACCESS"}) {
        CurrentLoadSettings().dbmsName = dbms;
        for (const Case& row : cases) {
            SCOPED_TRACE(test::Utf8(dbms) + " " + std::to_string(row.adoType));
            auto field = NewField();
            field->LoadFld_ADO(AdoColumn(row.adoType));
            EXPECT_EQ(field->FldType(), row.adoType); // the real code, supported or not
            EXPECT_EQ(field->FldSupport(), row.supported);
            const std::u16string_view quote = dbms == u"ACCESS" ? row.accessQuote : row.quote;
            EXPECT_EQ(field->FldQuoteS(), quote);
            EXPECT_EQ(field->FldQuoteE(), quote);
        }
    }
}

TEST_F(FieldLoaderTest, AnAdoColumnResetsTheSchemaFlagsEveryLoad) {
    auto field = NewField();
    field->SetFldReq(true);
    field->SetFldUniqueIdx(true);
    field->SetFldZeroLen(false);
    field->SetFldAutoIncrement(true);
    field->LoadFld_ADO(AdoColumn(AdoType::Integer));
    EXPECT_EQ(field->FldName(), u"UnitPrice");
    EXPECT_EQ(field->FldSize(), 12);
    EXPECT_EQ(field->FldAttribute(), ado::FieldAttribute::Updatable | ado::FieldAttribute::IsNullable);
    EXPECT_FALSE(field->FldReq());
    EXPECT_FALSE(field->FldUniqueIdx());
    EXPECT_TRUE(field->FldZeroLen());
    // A driver that cannot tell reads as not auto-increment.
    EXPECT_FALSE(field->FldAutoIncrement());

    field->LoadFld_ADO(AdoColumn(AdoType::Integer, /*autoIncrement=*/true));
    EXPECT_TRUE(field->FldAutoIncrement());
    EXPECT_EQ(field->FldHtmlTag(), u"NO"); // the defaults ran after the schema settings
}

} // namespace
} // namespace qv
