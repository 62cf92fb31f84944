#include "LibraryTestSupport.h"

#include "platform/vbscript/library/RegExp.h"

#include "platform/automation/Memory.h"

#include <chrono>

namespace qv::vbscript::testing {
namespace {

using automation::Ref;

struct Options {
    bool global = false;
    bool ignoreCase = false;
    bool multiLine = false;
};

Ref<RegExp> Make(std::u16string pattern, Options options = {}) {
    auto re = automation::DynamicRefCast<RegExp>(CreateSafeObject(u"VBScript.RegExp"));
    EXPECT_TRUE(re);
    re->LetPattern(std::move(pattern));
    re->LetGlobal(options.global);
    re->LetIgnoreCase(options.ignoreCase);
    re->LetMultiLine(options.multiLine);
    return re;
}

// Every match as "index:value" and its groups in braces, "Empty" for a group that did not take part.
std::string Matches(std::u16string pattern, const std::u16string& subject, Options options = {}) {
    try {
        auto collection = Make(std::move(pattern), options)->Execute(subject);
        std::string text;
        for (std::int32_t i = 0; i < collection->Count(); ++i) {
            Ref<Match> match = collection->Item(i);
            // Appended piece by piece: `literal + std::string` trips GCC 12's -Wrestrict at -O3.
            text += i ? " " : "";
            text += std::to_string(match->FirstIndex());
            text += ":";
            text += automation::ToUtf8(match->Value());
            Ref<SubMatches> groups = match->GetSubMatches();
            if (groups->Count() > 0) {
                text += "{";
                for (std::int32_t g = 0; g < groups->Count(); ++g) {
                    Variant group = groups->Item(g);
                    text += g ? "," : "";
                    text += group.IsEmpty() ? std::string("Empty") : automation::ToUtf8(group.StringValue());
                }
                text += "}";
            }
        }
        return text;
    } catch (const automation::Error& error) {
        return "error " + std::to_string(error.Number());
    }
}

std::string Replaced(std::u16string pattern, const std::u16string& subject, Variant replacement,
                     Options options = {}) {
    try {
        return automation::ToUtf8(Make(std::move(pattern), options)->Replace(subject, replacement));
    } catch (const automation::Error& error) {
        return "error " + std::to_string(error.Number());
    }
}

TEST(RegExpTest, Execute) {
    struct Row {
        std::u16string pattern;
        std::u16string subject;
        Options options;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {u"a+", u" aabaaa", {}, "1:aa"},
        {u"a+", u" aabaaa", {.global = true}, "1:aa 4:aaa"},
        {u"(a|b)+|(c)", u"aa", {}, "0:aa{a,Empty}"},
        {u"\\[([^\\[]+)\\]", u" [test]  ", {.global = true}, "1:[test]{test}"},
        {u"Ab", u"abcaBc", {.global = true, .ignoreCase = true}, "0:ab 3:aB"},
        {u"\u00e9", u"\u00c9", {.ignoreCase = true}, "0:\u00c9"},
        {u"\\\\", u"aaa\\\\cabc", {.global = true}, "3:\\ 4:\\"},
        {u"", u"test", {.global = true}, "0: 1: 2: 3: 4:"},
        {u"x*", u"axb", {.global = true}, "0: 1:x 2: 3:"},
        // The dialect's own readings.
        {u"a.c", u"a\nc abc", {.global = true}, "4:abc"},
        {u"a$", u"a\n", {}, ""},
        {u"^b", u"a\nb", {}, ""},
        {u"^b$", u"a\nb\r\nc", {.multiLine = true}, "2:b"},
        {u"[]a]", u"]a", {}, ""},
        {u"[^]", u"\n", {}, "0:\n"},
        {u"\\s+", u"a \u00a0\tb", {}, "1: \u00a0\t"},
        {u"\\q\\e", u"qe", {}, "0:qe"},
        {u"\\u0041\\x42", u"AB", {}, "0:AB"},
        {u"(a)|\\1b", u"b", {}, "0:b{Empty}"},
        {u"a{2}", u"aaa", {}, "0:aa"},
        {u"a{,2}", u"a{,2}", {}, "0:a{,2}"},
        {u"\\d{2,}?", u"12345", {}, "0:12"},
        {u"\U0001F600|x", u"\U0001F600x", {.global = true}, "0:\U0001F600 2:x"},
        {u"x*", u"\U0001F600", {.global = true}, "0: 2:"},
        // A lone surrogate in the pattern or the subject is a unit like any other.
        {u"\\uD800", std::u16string(u"a") + char16_t(0xD800), {}, "1:\uFFFD"},
        // Faults of the pattern.
        {u"a++", u"a", {}, "error 5018"},
        {u"a{2}*", u"a", {}, "error 5018"},
        {u"*a", u"a", {}, "error 5018"},
        {u"(?<n>a)", u"a", {}, "error 5017"},
        {u"(a", u"a", {}, "error 5020"},
        {u"[a", u"a", {}, "error 5019"},
        {u"[z-a]", u"a", {}, "error 5021"},
        {u"a\\", u"a", {}, "error 5017"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(automation::ToUtf8(row.pattern));
        EXPECT_EQ(Matches(row.pattern, row.subject, row.options), row.expected);
    }
}

TEST(RegExpTest, Replace) {
    Options global{.global = true};
    EXPECT_EQ(Replaced(u"xxx", u"xxxx", Variant(u"y"), global), "yx");
    EXPECT_EQ(Replaced(u"\\[([^\\[]+)\\]", u"[test] [test]", Variant(u"aa"), global), "aa aa");
    EXPECT_EQ(Replaced(u"\\[([^\\[]+)\\]", u"[test] [test]", Variant(u"aa")), "aa [test]");
    EXPECT_EQ(Replaced(u"(\\&(\\d))", u"abc &1 123", Variant(u"$'"), global), "abc  123 123");
    EXPECT_EQ(Replaced(u"(\\&(\\d))", u"abc &1 123", Variant(u"$`"), global), "abc abc  123");
    EXPECT_EQ(Replaced(u"(\\&(\\d))", u"abc &1 123", Variant(u"$3"), global), "abc $3 123");
    EXPECT_EQ(Replaced(u"(\\$(\\d))", u"$1,$2", Variant(u"$$1-$1$2"), global), "$1-$11,$1-$22");
    EXPECT_EQ(Replaced(u"b", u"abc", Variant(u"x$&z"), global), "axbzc");
    EXPECT_EQ(Replaced(u"(a)(b)?", u"a", Variant(u"[$2]$"), global), "[]$");
    EXPECT_EQ(Replaced(u"x", u"- x -", Variant(true), global), "- -1 -");
    EXPECT_EQ(Replaced(u"x", u"- x -", Variant(6), global), "- 6 -");
    EXPECT_EQ(Replaced(u"", u"xxx", Variant(u"y")), "yxxx");
    EXPECT_EQ(Replaced(u"", u"xxx", Variant(u"y"), global), "yxyxyxy");
    EXPECT_EQ(Replaced(u"(((((((((((a)))))))))))", u"a", Variant(u"$11$10$1"), global), "aaa");
    EXPECT_EQ(Replaced(u"(a)", u"a", Variant(u"$10"), global), "a0");
}

// A global search checked the whole subject once per match, so a 1 MB subject took minutes and a
// 4 MB one takes most of an hour, while a linear search needs a fraction of a second: only the
// quadratic one reaches the generous bound. A lone surrogate must neither stop the search nor
// shift the positions it reports.
TEST(RegExpTest, GlobalSearchIsLinearInTheSubject) {
    std::u16string subject;
    for (int index = 0; index < 500000; ++index) {
        subject += u"word123 ";
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string replaced = Replaced(u"\\d+", subject, Variant(u"#"), {.global = true});
    auto matches = Make(u"\\d+", {.global = true})->Execute(subject);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(replaced.size(), 500000u * 6);
    EXPECT_EQ(matches->Count(), 500000);
    EXPECT_LT(elapsed, std::chrono::minutes(2));

    const std::u16string broken = std::u16string(u"a") + char16_t(0xD800) + u"bb" + char16_t(0xDC00) + u"b";
    EXPECT_EQ(Matches(u"b", broken, {.global = true}), "2:b 3:b 5:b");
    EXPECT_EQ(Replaced(u"b", broken, Variant(u"x"), {.global = true}), "a\uFFFDxx\uFFFDx");
}

TEST(RegExpTest, PropertiesAndCollections) {
    auto re = Make(u"(\\w)(\\d)");
    automation::Object& object = *re;
    EXPECT_EQ(Describe(automation::CallByName(object, u"Pattern", automation::InvokeRead)),
              "String:(\\w)(\\d)");
    EXPECT_EQ(Describe(automation::CallByName(object, u"Global", automation::InvokeRead)), "Boolean:False");
    automation::CallByName(object, u"Global", automation::InvokeKind::PropertyLet, {Variant(true)});
    EXPECT_TRUE(re->GetGlobal());
    EXPECT_EQ(Describe(automation::CallByName(object, u"Test", automation::InvokeRead, {Variant(u"a1")})),
              "Boolean:True");
    EXPECT_FALSE(re->Test(u"ab"));

    Variant collection =
        automation::CallByName(object, u"Execute", automation::InvokeRead, {Variant(u"a1 b2")});
    ASSERT_TRUE(collection.IsObject());
    automation::Object& matches = *collection.ObjectValue();
    EXPECT_EQ(matches.TypeName(), u"IMatchCollection2");
    EXPECT_EQ(Describe(automation::CallByName(matches, u"Count", automation::InvokeRead)), "Long:2");
    // The default members: matches(1) is a Match, whose default is its value.
    Variant second = automation::CallByName(matches, u"Item", automation::InvokeRead, {Variant(1)});
    EXPECT_EQ(Describe(automation::DefaultValue(second)), "String:b2");
    EXPECT_EQ(Call(u"VarType", {second}).IntegerValue(), 8);
    Variant groups = automation::CallByName(*second.ObjectValue(), u"SubMatches", automation::InvokeRead);
    EXPECT_EQ(Describe(automation::CallByName(*groups.ObjectValue(), u"Item", automation::InvokeRead,
                                              {Variant(1)})),
              "String:2");
    EXPECT_THROW(automation::CallByName(matches, u"Item", automation::InvokeRead, {Variant(2)}),
                 automation::Error);

    std::vector<std::string> values;
    auto enumerator = matches.NewEnum();
    Variant item;
    while (enumerator->Next(item)) {
        values.push_back(Describe(automation::DefaultValue(item)));
    }
    EXPECT_EQ(values, (std::vector<std::string>{"String:a1", "String:b2"}));

    // A pattern that backtracks without end stops with an error rather than hanging.
    auto runaway = Make(u"(a|a)*[bc]");
    EXPECT_THROW(runaway->Test(std::u16string(60, u'a')), automation::Error);
}

// Matches count against the memory ceiling while they live and give back all of it when they go,
// whether or not a script asked for their groups: a charge left behind would shrink the room of
// every later search until a small one failed with 7.
TEST(RegExpTest, MatchesGiveBackWhatTheyCount) {
    std::u16string subject;
    for (int index = 0; index < 1000; ++index) {
        subject += u"<a long group of text> <short> ";
    }
    const std::size_t before = automation::MemoryInUse();
    {
        auto matches = Make(u"<([^>]*)>( )?", {.global = true})->Execute(subject);
        ASSERT_EQ(matches->Count(), 2000);
        EXPECT_GT(automation::MemoryInUse(), before + 2000 * sizeof(Variant));
        for (std::int32_t index = 0; index < matches->Count(); index += 3) {
            Ref<SubMatches> groups = matches->Item(index)->GetSubMatches();
            EXPECT_EQ(groups, matches->Item(index)->GetSubMatches()); // one list object per match
            EXPECT_EQ(groups->Count(), 2);
        }
        EXPECT_EQ(automation::ToUtf8(matches->Item(1998)->GetSubMatches()->Item(0).StringValue()),
                  "a long group of text");
    }
    EXPECT_EQ(automation::MemoryInUse(), before);
}

} // namespace
} // namespace qv::vbscript::testing
