// The defaults a field derives from its column type, schema flags and the database kind.

#include "ModelFixture.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"

#include "core/QoProperties.h"

#include "platform/automation/Text.h"

#include <optional>
#include <string>

namespace qv {
namespace {

using automation::Ref;
using automation::Variant;

constexpr std::u16string_view Access = u"ACCESS";
constexpr std::u16string_view SqlServer = u"Microsoft SQL Server";
constexpr std::u16string_view MySql = u"MySQL";
constexpr std::u16string_view Oracle = u"Oracle";
constexpr std::u16string_view Other = u"PostgreSQL";

constexpr std::int32_t Updatable = 4;

/// One column and what its field must end with; nullopt: the setting is not written.
struct DefaultsCase {
    const char* label;
    std::u16string_view dbms;
    std::int16_t type;
    bool supported;
    bool autoIncrement;
    std::int32_t attributes;
    std::int32_t size;

    std::u16string_view htmlTag;
    std::optional<std::int16_t> tagSize;
    std::optional<std::int32_t> tagMaxLength;
    std::optional<std::u16string_view> validate;
    std::u16string_view searchOperator;
    bool list, add, edit, multiUpdate, search, basicSearch;
};

class FieldDefaultsTest : public test::ModelTest {
protected:
    /// A field as a column loader leaves it, before its defaults.
    static Ref<QelField> Column(std::int16_t type, std::u16string_view name = u"Unit Price",
                                bool supported = true, bool autoIncrement = false,
                                std::int32_t attributes = Updatable, std::int32_t size = 50) {
        Ref<QelField> field = automation::MakeRef<QelField>();
        field->SetFldName(name);
        field->SetFldType(type);
        field->SetFldSupport(supported);
        field->SetFldAutoIncrement(autoIncrement);
        field->SetFldAttribute(attributes);
        field->SetFldSize(size);
        return field;
    }

    static const Variant& Stored(const QelField& field, std::u16string_view name) {
        return field.Properties()->Find(name)->Value();
    }
};

TEST_F(FieldDefaultsTest, ByTypeAndDatabaseKind) {
    // clang-format off
    const DefaultsCase cases[] = {
        // label                       dbms       type  sup   auto   attr  size  tag         size  maxlen  validate     opr     list   add    edit   multi  search basic
        {"short text",                 Access,    202, true, false, 4,    50,   u"TEXT",     30,   50,     std::nullopt, u"LIKE", true,  true,  true,  true,  true,  true},
        {"ansi short text",            Other,     200, true, false, 4,    80,   u"TEXT",     30,   80,     std::nullopt, u"LIKE", true,  true,  true,  true,  true,  true},
        {"long text",                  SqlServer, 203, true, false, 4,    0,    u"TEXTAREA", std::nullopt, std::nullopt, std::nullopt, u"LIKE", false, true, true, true, true, true},
        {"char",                       MySql,     129, true, false, 4,    10,   u"TEXT",     30,   std::nullopt, std::nullopt, u"LIKE", true, true, true, true, true, true},
        {"bstr searches by LIKE only", Other,     8,   true, false, 4,    10,   u"TEXT",     30,   std::nullopt, std::nullopt, u"LIKE", true, true, true, true, true, false},
        {"long binary",                Other,     205, true, false, 4,    0,    u"FILE",     30,   std::nullopt, std::nullopt, u"=",    false, true, true, true, false, false},
        {"integer",                    MySql,     3,   true, false, 4,    4,    u"TEXT",     30,   std::nullopt, u"INTEGER",   u"=",    true,  true,  true,  true,  true,  false},
        {"unsigned big integer",       Oracle,    21,  true, false, 4,    8,    u"TEXT",     30,   std::nullopt, u"INTEGER",   u"=",    true,  true,  true,  true,  true,  false},
        {"numeric",                    Oracle,    131, true, false, 4,    19,   u"TEXT",     30,   std::nullopt, u"FLOAT",     u"=",    true,  true,  true,  true,  true,  false},
        {"currency",                   Access,    6,   true, false, 4,    8,    u"TEXT",     30,   std::nullopt, u"FLOAT",     u"=",    true,  true,  true,  true,  true,  false},
        {"guid",                       SqlServer, 72,  true, false, 4,    16,   u"TEXT",     38,   38,     u"GUID",      u"=",    true,  true,  true,  true,  true,  false},
        {"time only",                  Other,     134, true, false, 4,    8,    u"TEXT",     30,   std::nullopt, u"TIME",      u"=",    true,  true,  true,  true,  true,  false},
        {"auto-increment",             Access,    3,   true, true,  4,    4,    u"NO",       std::nullopt, std::nullopt, u"INTEGER", u"=", true, false, true, false, true, false},
        {"auto-increment counts as updatable on SQL Server",
                                       SqlServer, 3,   true, true,  0,    4,    u"NO",       std::nullopt, std::nullopt, u"INTEGER", u"=", true, false, true, false, true, false},
        {"not updatable on SQL Server", SqlServer, 202, true, false, 0,   50,   u"TEXT",     30,   50,     std::nullopt, u"LIKE", true,  false, false, false, true,  true},
        {"updatability unknown on SQL Server",
                                       SqlServer, 202, true, false, 8,    50,   u"TEXT",     30,   50,     std::nullopt, u"LIKE", true,  true,  true,  true,  true,  true},
        {"attributes matter on SQL Server only",
                                       Oracle,    202, true, false, 0,    50,   u"TEXT",     30,   50,     std::nullopt, u"LIKE", true,  true,  true,  true,  true,  true},
        {"unsupported type",           Other,     -1,  false, false, 0,   0,    u"TEXT",     30,   std::nullopt, std::nullopt, u"=",  false, false, false, false, false, false},
        {"unsupported binary",         Access,    128, false, false, 4,   10,   u"TEXT",     30,   std::nullopt, std::nullopt, u"=",  false, false, false, false, false, false},
    };
    // clang-format on
    CurrentLoadSettings().defaultDateFormat = 5;
    for (const DefaultsCase& column : cases) {
        SCOPED_TRACE(column.label);
        CurrentLoadSettings().dbmsName = column.dbms;
        const Ref<QelField> field = Column(column.type, u"Unit Price", column.supported, column.autoIncrement,
                                           column.attributes, column.size);
        field->LoadFldDefault();

        EXPECT_EQ(field->FldHtmlTag(), column.htmlTag);
        if (column.tagSize) {
            EXPECT_EQ(field->FldTagSize(), *column.tagSize);
        } else {
            EXPECT_TRUE(Stored(*field, u"FldTagSize").IsEmpty());
        }
        if (column.tagMaxLength) {
            EXPECT_EQ(field->FldTagMaxLength(), *column.tagMaxLength);
        } else {
            EXPECT_TRUE(Stored(*field, u"FldTagMaxLength").IsEmpty());
        }
        if (column.validate) {
            EXPECT_EQ(field->FldValidate(), *column.validate);
        } else {
            EXPECT_TRUE(Stored(*field, u"FldValidate").IsEmpty());
        }
        EXPECT_EQ(field->FldSrchOpr(), column.searchOperator);
        EXPECT_EQ(field->FldList(), column.list);
        EXPECT_EQ(field->FldAdd(), column.add);
        EXPECT_EQ(field->FldEdit(), column.edit);
        EXPECT_EQ(field->FldMultiUpdate(), column.multiUpdate);
        EXPECT_EQ(field->FldSearch(), column.search);
        EXPECT_EQ(field->FldBasicSearch(), column.basicSearch);
        EXPECT_FALSE(field->FldExtendedBasicSearch());
        EXPECT_EQ(field->FldGenerate(), column.supported);
        EXPECT_EQ(field->FldView(), column.supported);
        EXPECT_EQ(field->FldFmtType(), u"None");
    }
}

TEST_F(FieldDefaultsTest, TagDetailsByType) {
    CurrentLoadSettings().dbmsName = Other;
    Ref<QelField> field = Column(201);
    field->LoadFldDefault();
    EXPECT_EQ(field->FldTagCols(), 35);
    EXPECT_EQ(field->FldTagRows(), 4);

    field = Column(205, u"Photo");
    field->LoadFldDefault();
    EXPECT_EQ(field->FldHrefFld(), u"Photo");

    // The value list of a check box depends on the database kind; lines joined by CRLF.
    const std::pair<std::u16string_view, std::u16string_view> lists[] = {
        {Access, u"\"Yes\",\"Yes\"\r\n\"No\",\"No\""}, {SqlServer, u"\"1\",\"Yes\"\r\n\"0\",\"No\""},
        {MySql, u"\"1\",\"Yes\"\r\n\"0\",\"No\""},     {Oracle, u"\"1\",\"Yes\"\r\n\"0\",\"No\""},
        {Other, u"\"1\",\"Yes\"\r\n\"0\",\"No\""},
    };
    for (const auto& [dbms, values] : lists) {
        SCOPED_TRACE(automation::ToUtf8(dbms));
        CurrentLoadSettings().dbmsName = dbms;
        field = Column(11);
        field->LoadFldDefault();
        EXPECT_EQ(field->FldHtmlTag(), u"CHECKBOX");
        EXPECT_EQ(field->FldTagValues(), values);
        EXPECT_EQ(field->FldSrchOpr(), u"=");
        EXPECT_TRUE(Stored(*field, u"FldTagSize").IsEmpty());
    }
}

TEST_F(FieldDefaultsTest, DateColumnsFollowTheProjectDateFormat) {
    struct DateCase {
        std::int16_t type;
        std::int16_t format;
        std::u16string_view fmtType;
        std::optional<std::u16string_view> validate;
    };
    const DateCase cases[] = {
        {135, 5, u"Date/Time", u"DATE"}, {7, 6, u"Date/Time", u"USDATE"}, {133, 7, u"Date/Time", u"EURODATE"},
        {135, 0, u"None", std::nullopt}, {135, 8, u"None", std::nullopt},
    };
    CurrentLoadSettings().dbmsName = Other;
    for (const DateCase& date : cases) {
        SCOPED_TRACE(std::to_string(date.type) + " format " + std::to_string(date.format));
        CurrentLoadSettings().defaultDateFormat = date.format;
        const Ref<QelField> field = Column(date.type);
        field->LoadFldDefault();
        EXPECT_EQ(field->FldHtmlTag(), u"TEXT");
        EXPECT_EQ(field->FldFmtType(), date.fmtType);
        EXPECT_EQ(field->FldSrchOpr(), u"=");
        if (date.validate) {
            EXPECT_EQ(field->FldValidate(), *date.validate);
            EXPECT_EQ(field->FldDtFormat(), date.format);
        } else {
            EXPECT_TRUE(Stored(*field, u"FldValidate").IsEmpty());
            EXPECT_TRUE(Stored(*field, u"FldDtFormat").IsEmpty());
        }
    }
}

TEST_F(FieldDefaultsTest, NamesCaptionsAndFixedValues) {
    CurrentLoadSettings().dbmsName = Access;
    CurrentLoadSettings().repeatColumns = 3;
    Ref<QelField> field = Column(202, u"Order Date");
    field->SetFldReq(true);
    field->LoadFldDefault();
    EXPECT_EQ(field->FldVar(), u"x_Order_Date");
    EXPECT_EQ(field->FldParm(), u"Order_Date");
    EXPECT_EQ(field->FldCaption(), u"Order Date");
    EXPECT_TRUE(field->FldRequired());
    EXPECT_EQ(field->FldRepeatColumns(), 3);
    EXPECT_EQ(field->FldIncLeadDigit(), -2);
    EXPECT_EQ(field->FldUseParen(), -2);
    EXPECT_EQ(field->FldGpDigits(), -2);
    EXPECT_EQ(field->FldSelectType(), u"Values");
    EXPECT_EQ(field->FldViewTag(), u"FORMATTED TEXT");
    EXPECT_EQ(field->FldTagAPrefix(), u"None");
    EXPECT_EQ(field->FldPageIndex(), 1);
    EXPECT_EQ(Stored(*field, u"FldOrder").StringValue(), u"");
    EXPECT_EQ(Stored(*field, u"FldOrderBy").IntegerValue(), 0);

    // A caption already given survives; a user's choice among the derived settings does not.
    field = Column(202, u"OrderID");
    field->SetFldCaption(u"Order number");
    field->SetFldList(false);
    field->SetFldPopCalendar(true);
    field->LoadFldDefault();
    EXPECT_EQ(field->FldCaption(), u"Order number");
    EXPECT_TRUE(field->FldList());
    EXPECT_FALSE(field->FldPopCalendar());
    EXPECT_FALSE(field->FldRequired());

    field = Column(202, u"OrderID");
    field->LoadFldDefault();
    EXPECT_EQ(field->FldCaption(), u"Order ID");
}

} // namespace
} // namespace qv
