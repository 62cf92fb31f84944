#include "core/QelVars.h"

#include "core/Apartment.h"
#include "core/QelKeyword.h"

#include "support/ApartmentFixture.h"

#include "platform/automation/Text.h"

#include <fstream>
#include <string>

namespace qv {
namespace {

using automation::ToUtf8;
using automation::Variant;

class QelVarsTest : public test::ApartmentTest {
protected:
    void SetUp() override {
        ApartmentTest::SetUp();
        State().gProductName = u"Quorvane";
        std::ofstream(mTemp / "keyword.xml")
            << "<Quorvane.keyword><keyword value=\"Date\"/><keyword value=\"Select\"/></Quorvane.keyword>";
        ASSERT_TRUE(GetKeyword().Load(TempPath("keyword.xml")));
    }
};

TEST_F(QelVarsTest, ToIdentifierMakesScriptIdentifiers) {
    struct Case {
        std::u16string_view name;
        std::u16string_view prefix;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {u"Order Details", u"", u"Order_Details"},
        {u"2ndQuarter", u"", u"x2ndQuarter"},
        {u"Unit-Price", u"", u"Unit2DPrice"},
        {u"Date", u"", u"x_Date"},
        {u"date", u"", u"x_date"}, // reserved words ignore letter case
        {u"Order ID", u"x_", u"x_Order_ID"},
        {u"\u00DCber", u"", u"DCber"}, // a hexadecimal code starting with a letter needs no "x"
        {u"_id", u"", u"x_id"},
        {u"123", u"", u"x123"},
        {u"Caf\u00E9", u"", u"CafE9"},
        {u"Price \u20AC", u"", u"Price_20AC"},
        {u"", u"x_", u"x_"},
        {u"Se-lect", u"", u"Se2Dlect"}, // reserved only after the mapping: not marked
        {u" lead", u"", u"x_lead"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(ToUtf8(test.name));
        EXPECT_EQ(ToIdentifier(test.name, test.prefix), test.expected);
    }
}

TEST_F(QelVarsTest, QuoteStyleComesFromTheSettingOrTheDatabaseKind) {
    struct Case {
        std::u16string_view sqlQuote;
        std::u16string_view dbms;
        std::u16string_view name;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {u"Square Bracket", u"MySQL", u"Order Details", u"[Order Details]"},
        {u"Double Quote", u"ACCESS", u"Orders", u"\"Orders\""},
        {u"Single Quote", u"", u"Orders", u"'Orders'"},
        {u"Backquote", u"", u"Orders", u"`Orders`"},
        {u"None", u"ACCESS", u"Orders", u"Orders"},
        {u"", u"ACCESS", u"Orders", u"[Orders]"},
        {u"", u"Microsoft SQL Server", u"Orders", u"[Orders]"},
        {u"", u"MySQL", u"Orders", u"`Orders`"},
        // Without a style of their own, names are quoted as the standard says: unquoted, a
        // reserved word, a space or a mixed-case PostgreSQL name broke the pages' statements.
        {u"", u"Oracle", u"Orders", u"\"Orders\""},
        {u"", u"SQLite", u"user", u"\"user\""},
        {u"", u"PostgreSQL", u"Order \"Details\"", u"\"Order \"\"Details\"\"\""},
        {u"square bracket", u"PostgreSQL", u"Orders", u"\"Orders\""}, // style names compare exactly
        // A closing quote inside the name is doubled, so the quoted name stays one identifier.
        {u"Square Bracket", u"", u"a]b", u"[a]]b]"},
        {u"Double Quote", u"", u"say \"hi\"", u"\"say \"\"hi\"\"\""},
        {u"Backquote", u"", u"x`y", u"`x``y`"},
        {u"Square Bracket", u"", u"[x", u"[[x]"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(ToUtf8(test.sqlQuote) + " / " + ToUtf8(test.dbms) + " / " + ToUtf8(test.name));
        State().gSqlQuote = test.sqlQuote;
        SetQuoteStyle(test.dbms);
        EXPECT_EQ(QuoteNameA(test.name), test.expected);
        EXPECT_EQ(QuoteNameB(test.name), test.expected);
    }
}

TEST_F(QelVarsTest, ToVBStringLiteralUnquotesAndQuotes) {
    struct Case {
        std::u16string_view value;
        std::int32_t quotes;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {u"  'word'  ", 1, u"\"word\""},
        {u"\"'word'\"", 0, u"word"},
        {u"\"open", 1, u"\"\"\"open\""}, // an unmatched quote is kept, doubled and wrapped
        {u"say \"hi\" ", 1, u"\"say \"\"hi\"\"\""},
        {u"x", 2, u"\"\"x\"\""},
        {u"'", 1, u"\"'\""},
        {u"", 1, u"\"\""},
        // Line breaks cannot stand inside a VBScript literal.
        {u"a\r\nb", 1, u"\"a\"&vbCrLf&\"b\""},
        {u"a\nb\rc", 1, u"\"a\"&vbLf&\"b\"&vbCr&\"c\""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(ToUtf8(test.value));
        EXPECT_EQ(ToVBStringLiteral(test.value, test.quotes), test.expected);
    }
}

TEST_F(QelVarsTest, ToVBStringExpressionKeepsEveryLineBreak) {
    struct Case {
        std::u16string_view text;
        std::u16string_view indent;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {u"", u"kqIndentWrk", u""},
        {u"one", u"", u"\"one\""},
        {u"say \"hi\"", u"", u"\"say \"\"hi\"\"\""},
        {u"a\r\nb", u"", u"\"a\"&vbCrLf&\"b\""},
        {u"a\r\nb", u"kqIndentWrk", u"\"a\"&vbCrLf&kqIndentWrk&\"b\""},
        {u"a\r\n", u"", u"\"a\"&vbCrLf&\"\""},
        // Regression: a lone LF or CR used to land inside the literal, and the page did not compile.
        {u"a\nb", u"", u"\"a\"&vbLf&\"b\""},
        {u"a\rb", u"", u"\"a\"&vbCr&\"b\""},
        {u"a\n\r\nb\r", u"ind", u"\"a\"&vbLf&ind&\"\"&vbCrLf&ind&\"b\"&vbCr&ind&\"\""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(ToUtf8(test.text));
        EXPECT_EQ(ToVBStringExpression(test.text, test.indent), test.expected);
    }
}

TEST_F(QelVarsTest, ClassifiesTypesAndDatabases) {
    struct TypeCase {
        Variant code;
        std::int16_t expected;
    };
    const TypeCase types[] = {
        {Variant(3), FieldTypeClass::Numeric},
        {Variant(131), FieldTypeClass::Numeric},
        {Variant(135), FieldTypeClass::DateTime},
        {Variant(202), FieldTypeClass::Text},
        {Variant(11), FieldTypeClass::Boolean},
        {Variant(72), FieldTypeClass::Guid},
        {Variant(128), FieldTypeClass::Other},
        {Variant(u"129"), FieldTypeClass::Text},
        {Variant(u"abc"), FieldTypeClass::Other},
        {Variant(), FieldTypeClass::Other},
        {Variant(std::int16_t(7)), FieldTypeClass::DateTime},
    };
    for (const TypeCase& test : types) {
        SCOPED_TRACE(ToUtf8(automation::ToString(test.code)));
        EXPECT_EQ(GetFieldTypeClass(test.code), test.expected);
    }

    struct DbCase {
        std::u16string_view name;
        std::int16_t expected;
    };
    const DbCase databases[] = {
        {u"ACCESS", DBTypeCode::Access},
        {u"MS Jet", DBTypeCode::Access},
        {u"Access", DBTypeCode::Other},
        {u"Microsoft SQL Server", DBTypeCode::SqlServer},
        {u"microsoft sql", DBTypeCode::SqlServer},
        {u"MySQL", DBTypeCode::MySql},
        {u"mysql 8.0", DBTypeCode::MySql},
        {u"Oracle", DBTypeCode::Oracle},
        {u"PostgreSQL", DBTypeCode::Other},
        {u"", DBTypeCode::Other},
    };
    for (const DbCase& test : databases) {
        SCOPED_TRACE(ToUtf8(test.name));
        EXPECT_EQ(GetDBTypeId(test.name), test.expected);
    }
}

} // namespace
} // namespace qv
