#include "platform/ado/ConnectionString.h"
#include "platform/ado/Constants.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv::ado {
namespace {

using automation::ToUtf8;

TEST(ConnectionString, QuotesOnlyValuesThatNeedIt) {
    struct Case {
        std::u16string value;
        std::u16string quoted;
    };
    const Case cases[] = {
        {u"plain", u"plain"}, {u"/tmp/with space/db.sqlite", u"/tmp/with space/db.sqlite"},
        {u"", u""},           {u"a;b", u"{a;b}"},
        {u"x}y", u"{x}}y}"},  {u"{braced}", u"{{braced}}}"},
        {u"k=v", u"{k=v}"},   {u" padded ", u"{ padded }"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.value));
        EXPECT_EQ(ConnectionString::QuoteValue(c.value), c.quoted);
    }
}

TEST(ConnectionString, ValuesSurviveBuildAndParse) {
    // A password built into the string must come back whole and add no attribute, whatever
    // it holds; the concatenation this replaces let "x;Database=other" inject a database.
    // Regression: a value opening with a quote was left bare and read back as a quoted value that
    // swallowed the attributes after it.
    const std::u16string values[] = {u"x;Database=other", u"}{;}}=", u"semi;colon}", u"trailing}",
                                     u"ünï;code",         u"'ba",    u"\"x",         u"'x';UID=root"};
    for (const std::u16string& value : values) {
        SCOPED_TRACE(ToUtf8(value));
        std::u16string text = ConnectionString::ForDataSource(u"My DSN", u"user;1", value);
        ConnectionString parsed = ConnectionString::Parse(text);
        ASSERT_EQ(parsed.Attributes().size(), 3u) << ToUtf8(text);
        EXPECT_EQ(parsed.Get(u"dsn"), u"My DSN");
        EXPECT_EQ(parsed.Get(u"UID"), u"user;1");
        EXPECT_EQ(parsed.Get(u"PWD"), value);
    }
}

TEST(ConnectionString, ParsesOdbcAndProviderQuoting) {
    ConnectionString parsed =
        ConnectionString::Parse(u" Driver = {SQL Driver};PWD={a}}b;c};Extended "
                                u"Properties=\"DSN=x;UID=\"\"y\"\"\";Name='it''s';;Trusted");
    EXPECT_EQ(parsed.Get(u"driver"), u"SQL Driver");
    EXPECT_EQ(parsed.Get(u"PWD"), u"a}b;c");
    EXPECT_EQ(parsed.Get(u"Extended Properties"), u"DSN=x;UID=\"y\"");
    EXPECT_EQ(parsed.Get(u"Name"), u"it's");
    EXPECT_EQ(parsed.Get(u"Trusted"), u"");
    EXPECT_FALSE(parsed.Get(u"Missing"));
}

TEST(ConnectionString, SetReplacesEveryOccurrence) {
    // Drivers take the first of repeated keys; Set must leave exactly one, in the first place.
    ConnectionString parsed = ConnectionString::Parse(u"UID=a;PWD=1;uid=b");
    parsed.Set(u"Uid", u"c");
    EXPECT_EQ(parsed.ToString(), u"UID=c;PWD=1");
    EXPECT_TRUE(parsed.Remove(u"pwd"));
    EXPECT_FALSE(parsed.Remove(u"pwd"));
    EXPECT_EQ(parsed.ToString(), u"UID=c");
}

// SQLite's driver takes each value up to the next ";" and reads braces as part of the value:
// such a value cannot be quoted for it, so it is refused rather than passed on.
TEST(ConnectionString, BareValuesForADriverWithoutQuotingOrAnError) {
    ConnectionString fine = ConnectionString::Parse(u"Driver={SQLite3 ODBC};Database={/tmp/a=b c.db};UID=");
    EXPECT_EQ(fine.ToString(ValueQuoting::None), u"Driver=SQLite3 ODBC;Database=/tmp/a=b c.db;UID=");

    struct Case {
        std::u16string key;
        std::u16string value;
    };
    const Case refused[] = {
        {u"UID", u"x;Database=/other.db"},
        {u"Database", u"{/tmp/a.db}"},
        {u"PWD", u"a}b"},
        {u"PWD", u" padded"},
        {u"PWD", u"padded "},
        {u"PWD", std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(ToUtf8(c.value));
        ConnectionString text;
        text.Set(u"Driver", u"SQLite3");
        text.Set(c.key, c.value);
        EXPECT_NE(text.ToString().find(u'{'), std::u16string::npos) << "braces serve other drivers";
        try {
            text.ToString(ValueQuoting::None);
            ADD_FAILURE() << "no error";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), ErrorNumber::InvalidArgument);
            EXPECT_NE(error.Description().find(u"\"" + c.key + u"\""), std::u16string::npos)
                << ToUtf8(error.Description());
        }
    }
}

TEST(ConnectionString, RefusesAnUnclosedQuote) {
    try {
        ConnectionString::Parse(u"DSN=x;PWD={open");
        FAIL() << "no error";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), ErrorNumber::InvalidArgument);
        EXPECT_NE(error.Description().find(u"PWD"), std::u16string::npos);
    }
}

TEST(TranslateToOdbc, PassesOdbcStringsAndTranslatesProviders) {
    const std::vector<std::u16string> withFreeTds{u"SQLite3", u"FreeTDS"};
    struct Case {
        std::u16string given;
        std::u16string odbc;
    };
    const Case cases[] = {
        {u"Driver={SQLite3};Database=/tmp/a.db", u"Driver={SQLite3};Database=/tmp/a.db"},
        {u"DSN=Sales;UID=u", u"DSN=Sales;UID=u"},
        {u"Sales", u"DSN=Sales"},
        {u"Provider=MSDASQL.1;Data Source=Sales;User ID=u;Password=\"p;q\"", u"DSN=Sales;UID=u;PWD={p;q}"},
        {u"Provider=MSDASQL;Extended Properties=\"DRIVER={SQLite3};Database=/tmp/a.db\";Persist Security "
         u"Info=False",
         u"DRIVER=SQLite3;Database=/tmp/a.db"},
        {u"Provider=SQLOLEDB.1;Data Source=db1,1444;Initial Catalog=Shop;User ID=sa;Password=x",
         u"Driver=FreeTDS;Server=db1;Database=Shop;UID=sa;PWD=x;Port=1444"},
        {u"Provider=SQLNCLI11;Server=db1;Database=Shop;Integrated Security=SSPI",
         u"Driver=FreeTDS;Server=db1;Database=Shop;Trusted_Connection=Yes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.given));
        EXPECT_EQ(ToUtf8(TranslateToOdbc(c.given, withFreeTds)), ToUtf8(c.odbc));
    }
}

TEST(TranslateToOdbc, RefusesProvidersWithoutAnEquivalentHere) {
    const std::vector<std::u16string> drivers{u"SQLite3", u"PostgreSQL Unicode"};
    const std::u16string refused[] = {
        u"Provider=SQLOLEDB;Data Source=db1", // FreeTDS is not installed
        u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\db.mdb",
        u"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=db.accdb",
        u"Provider=OraOLEDB.Oracle.1;Data Source=orcl",
    };
    for (const std::u16string& given : refused) {
        SCOPED_TRACE(ToUtf8(given));
        try {
            TranslateToOdbc(given, drivers);
            FAIL() << "no error";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), ErrorNumber::ProviderNotFound);
            EXPECT_NE(error.Description().find(u"Provider cannot be found"), std::u16string::npos);
        }
    }
}

} // namespace
} // namespace qv::ado
