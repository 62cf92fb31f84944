#include "template/QelCache.h"

#include "template/TemplateFixture.h"
#include "template/TemplateState.h"

#include "support/ScopedEnvironment.h"

#include "core/Apartment.h"

#include "platform/system/Paths.h"

#include "platform/automation/Conversion.h"

#include <string>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using test::Utf8;

Variant Date(int year, int month, int day, int hour, int minute, int second) {
    return Variant::FromDate(*automation::DateFromParts(year, month, day) +
                             automation::TimeFromParts(hour, minute, second));
}

class QelCacheTest : public test::TemplateTest {
protected:
    void SetUp() override {
        TemplateTest::SetUp();
        mEnvironment.Set("QUORVANE_OEM_CODEPAGE", "437").Set("QUORVANE_ANSI_CODEPAGE", "1252");
        CurrentTemplateState().templateFileName = u"My Template.zip";
    }

    std::string CacheBytes() const {
        return ReadFile("docs/Quorvane/Templates/MyTemplate.zip/temp/cache.xml");
    }

    test::ScopedEnvironment mEnvironment;
    const Variant mStamp = Date(2009, 3, 7, 8, 5, 9);
};

TEST_F(QelCacheTest, WritesTheCacheFileByteForByte) {
    Ref<QelCache> cache = MakeRef<QelCache>();
    EXPECT_EQ(cache->CacheFile(), TempPath("docs/Quorvane/Templates/MyTemplate.zip/temp/cache.xml"));
    EXPECT_TRUE(cache->AddCache(Variant(u"control"), Variant(u"control.xml"), mStamp, Variant(4711)));
    EXPECT_TRUE(cache->AddCache(Variant(u"template"), Variant(u"a&b<\"c\">\u00e9.htm"), Variant(u"abc"),
                                Variant(12.5)));
    cache->WriteCacheFile();
    EXPECT_EQ(CacheBytes(),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\" standalone=\"yes\"?>\r\n"
              "<Cache Product=\"Quorvane\" Version=\"6.0\" >\r\n"
              "<CacheEntry Group=\"control\" Key=\"control.xml\" DateTime=\"2009/03/07 08:05:09\" "
              "Size=\"4711\" />\r\n"
              "<CacheEntry Group=\"template\" Key=\"a&amp;b&lt;&quot;c&quot;>\xE9.htm\" "
              "DateTime=\"abc\" Size=\"12.5\" />\r\n"
              "</Cache>\r\n");
    EXPECT_EQ(State().gXmlEncoding, u"iso-8859-1");

    // Read back: the same entries in the same order, written out the same.
    const std::string written = CacheBytes();
    Ref<QelCache> reread = MakeRef<QelCache>();
    EXPECT_EQ(reread->Count(), 2);
    EXPECT_EQ(reread->CheckCache(Variant(u"CONTROL"), Variant(u"Control.XML"), mStamp, Variant(u"4711")), 0);
    EXPECT_EQ(reread->CheckCache(Variant(u"template"), Variant(u"a&b<\"c\">\u00e9.htm"), Variant(u"abc"),
                                 Variant(u"12.5")),
              0);
    reread->WriteCacheFile();
    EXPECT_EQ(CacheBytes(), written);
}

TEST_F(QelCacheTest, NamesTheConfiguredOrSystemCharset) {
    struct Case {
        const char* oemCodePage;
        std::u16string_view configured;
        std::string declaration;
    };
    const Case cases[] = {
        {"437", u"", R"(<?xml version="1.0" encoding="iso-8859-1" standalone="yes"?>)"},
        {"1251", u"", R"(<?xml version="1.0" encoding="iso-8859-5" standalone="yes"?>)"},
        {"855", u"", R"(<?xml version="1.0" standalone="yes"?>)"},
        {"437", u"windows-1252", R"(<?xml version="1.0" encoding="windows-1252" standalone="yes"?>)"},
        // A charset no reader knows would make the file unreadable: written as UTF-8 instead.
        {"437", u"x-nonsense", R"(<?xml version="1.0" standalone="yes"?>)"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.oemCodePage) + " " + Utf8(test.configured));
        mEnvironment.Set("QUORVANE_OEM_CODEPAGE", test.oemCodePage);
        SetGeneralValue(u"XMLEncodeCharSet", Variant(test.configured));
        Ref<QelCache> cache = MakeRef<QelCache>();
        cache->AddCache(Variant(u"g"), Variant(u"\u00e9"), mStamp, Variant(1));
        cache->WriteCacheFile();
        const std::string bytes = CacheBytes();
        EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")), test.declaration);
        EXPECT_EQ(MakeRef<QelCache>()->CheckCache(Variant(u"g"), Variant(u"\u00e9"), mStamp, Variant(1)), 0);
    }
}

TEST_F(QelCacheTest, ChecksAndUpdatesEntries) {
    Ref<QelCache> cache = MakeRef<QelCache>();
    const Variant group(u"extension");
    EXPECT_EQ(cache->CheckCache(group, Variant(u"x.zip"), mStamp, Variant(10)), 2);
    cache->AddCache(group, Variant(u"X.zip"), mStamp, Variant(10));
    struct Case {
        Variant key;
        Variant dt;
        Variant size;
        std::int16_t result;
    };
    const Case cases[] = {
        {Variant(u"x.ZIP"), mStamp, Variant(10), 0},
        {Variant(u"x.zip"), mStamp, Variant(u"10"), 0},
        {Variant(u"x.zip"), Variant(u"2009/03/07 08:05:09"), Variant(10.0), 0},
        {Variant(u"x.zip"), mStamp, Variant(11), 1},
        {Variant(u"x.zip"), Date(2009, 3, 7, 8, 5, 10), Variant(10), 1},
        {Variant(u"y.zip"), mStamp, Variant(10), 2},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        EXPECT_EQ(cache->CheckCache(group, cases[row].key, cases[row].dt, cases[row].size),
                  cases[row].result);
    }

    // A second add in other letter case updates the first entry, which keeps its spelling.
    cache->AddCache(Variant(u"EXTENSION"), Variant(u"x.zip"), mStamp, Variant(20));
    EXPECT_EQ(cache->Count(), 1);
    EXPECT_EQ(cache->CheckCache(group, Variant(u"x.zip"), mStamp, Variant(20)), 0);
    EXPECT_EQ(automation::ToString(cache->GetCacheDate(group, Variant(u"x.zip"))), u"2009/03/07 08:05:09");
    cache->WriteCacheFile();
    EXPECT_NE(CacheBytes().find("Group=\"extension\" Key=\"X.zip\""), std::string::npos);

    const Variant missing = cache->GetCacheDate(group, Variant(u"none"));
    EXPECT_EQ(missing.Type(), automation::VarType::Date);
    EXPECT_EQ(missing.DateValue(), 0.0);
}

TEST_F(QelCacheTest, DeletesEntries) {
    Ref<QelCache> cache = MakeRef<QelCache>();
    for (const char16_t* key : {u"a", u"b", u"c"}) {
        cache->AddCache(Variant(u"g1"), Variant(key), mStamp, Variant(1));
    }
    cache->AddCache(Variant(u"g2"), Variant(u"a"), mStamp, Variant(1));
    EXPECT_TRUE(cache->DeleteCache(Variant(u"G1"), Variant(u"B")));
    EXPECT_FALSE(cache->DeleteCache(Variant(u"g1"), Variant(u"b")));
    EXPECT_TRUE(cache->DeleteCacheGroup(Variant(u"g1")));
    EXPECT_FALSE(cache->DeleteCacheGroup(Variant(u"g1")));
    EXPECT_EQ(cache->Count(), 1);
    EXPECT_EQ(cache->CheckCache(Variant(u"g2"), Variant(u"a"), mStamp, Variant(1)), 0);
    // Regression: clearing the cache reported failure although it had worked.
    EXPECT_TRUE(cache->DeleteAllCache());
    EXPECT_EQ(cache->Count(), 0);
}

TEST_F(QelCacheTest, MatchesGroupsWithKeyLists) {
    Ref<QelCache> cache = MakeRef<QelCache>();
    cache->AddCache(Variant(u"usercode"), Variant(u"a"), mStamp, Variant(1));
    cache->AddCache(Variant(u"usercode"), Variant(u"b"), mStamp, Variant(1));
    cache->AddCache(Variant(u"other"), Variant(u"c"), mStamp, Variant(1));
    struct Case {
        std::u16string_view group;
        std::u16string_view list;
        bool matches;
    };
    const Case cases[] = {
        {u"usercode", u"a\r\nb", true},
        {u"USERCODE", u"B\r\nA", true},
        {u"usercode", u"a", false},
        {u"usercode", u"a\r\nb\r\nc", false},
        {u"usercode", u"a\r\nb\r\n", false},
        {u"usercode", u"a\r\na\r\nb", false},
        {u"usercode", u"", false},
        {u"empty", u"", true},
        {u"empty", u"a", false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.group) + " / " + Utf8(test.list));
        EXPECT_EQ(cache->MatchCacheGroup(Variant(test.group), Variant(test.list)), test.matches);
    }
}

TEST_F(QelCacheTest, IgnoresForeignOrBrokenFiles) {
    const char* files[] = {
        "",
        "<Cache><CacheEntry Group='g' Key='k'",
        "<cache><CacheEntry Group='g' Key='k'/></cache>",
        "<!DOCTYPE Cache [<!ENTITY e 'x'>]><Cache><CacheEntry Group='&e;'/></Cache>",
    };
    for (const char* file : files) {
        SCOPED_TRACE(file);
        WriteFile("docs/Quorvane/Templates/MyTemplate.zip/temp/cache.xml", file);
        EXPECT_EQ(MakeRef<QelCache>()->Count(), 0);
    }

    // Only "CacheEntry" children count, with their attributes by exact name.
    WriteFile("docs/Quorvane/Templates/MyTemplate.zip/temp/cache.xml",
              "<Cache Product='x'><CacheEntry Group='g' key='ignored' Size='3'/><entry/>"
              "<cacheentry Group='h'/><CacheEntry/></Cache>");
    Ref<QelCache> cache = MakeRef<QelCache>();
    EXPECT_EQ(cache->Count(), 2);
    EXPECT_EQ(cache->CheckCache(Variant(u"g"), Variant(u""), Variant(u""), Variant(3)), 0);

    // More entries than the cache holds: not a cache of ours.
    std::string big = "<Cache>";
    for (std::int32_t index = 0; index <= MaxResourceCount; ++index) {
        big += "<CacheEntry Group='g' Key='" + std::to_string(index) + "'/>";
    }
    WriteFile("docs/Quorvane/Templates/MyTemplate.zip/temp/cache.xml", big + "</Cache>");
    EXPECT_EQ(MakeRef<QelCache>()->Count(), 0);
}

TEST_F(QelCacheTest, RefusesToAddBeyondItsLimit) {
    std::string big = "<Cache>";
    for (std::int32_t index = 1; index < MaxResourceCount; ++index) {
        big += "<CacheEntry Group='g' Key='" + std::to_string(index) + "'/>";
    }
    WriteFile("docs/Quorvane/Templates/MyTemplate.zip/temp/cache.xml", big + "</Cache>");
    Ref<QelCache> cache = MakeRef<QelCache>();
    ASSERT_EQ(cache->Count(), MaxResourceCount - 1);
    EXPECT_TRUE(cache->AddCache(Variant(u"g"), Variant(u"last"), mStamp, Variant(1)));
    EXPECT_FALSE(cache->AddCache(Variant(u"g"), Variant(u"beyond"), mStamp, Variant(1)));
    EXPECT_TRUE(cache->AddCache(Variant(u"g"), Variant(u"last"), mStamp, Variant(2)));
    EXPECT_EQ(cache->Count(), MaxResourceCount);
}

} // namespace
} // namespace qv
