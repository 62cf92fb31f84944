#include "LibraryTestSupport.h"

#include "platform/automation/Memory.h"
#include "platform/automation/Object.h"

#include <random>
#include <string>

namespace qv::vbscript::testing {
namespace {

const Variant Null = Variant::Null();
const Variant Empty;

// Text behind a default property that counts its reads, as a script class with a default
// property would.
class TextSource final : public automation::Object {
public:
    explicit TextSource(std::u16string text) : mText(std::move(text)) {}
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(
            u"TextSource", {automation::Default(automation::Method<&TextSource::Text>(u"Text"))});
        return info;
    }
    std::u16string Text() {
        ++mReads;
        return mText;
    }
    int mReads = 0;

private:
    std::u16string mText;
};

TEST(StringFunctionsTest, CharacterCodes) {
    ExpectOutcomes({
        {u"Asc", {Variant(u"T")}, "Integer:84"},
        {u"Asc", {Variant(u"test")}, "Integer:116"},
        {u"Asc", {Variant(3)}, "Integer:51"},
        {u"Asc", {Variant(true)}, "Integer:84"},
        {u"Asc", {Variant(u"\u20AC")}, "Integer:128"},
        {u"Asc", {Variant(u"\u0100")}, "Integer:63"},
        {u"Asc", {Variant(u"")}, "error 5"},
        {u"Asc", {Empty}, "error 5"},
        {u"Asc", {Null}, "error 94"},
        {u"Asc", {}, "error 450"},
        {u"AscW", {Variant(u"\uFFFF")}, "Integer:-1"},
        {u"AscW", {Variant(u"\u20AC")}, "Integer:8364"},
        {u"AscB", {Variant(u"\u20AC")}, "Integer:172"},
        {u"Chr", {Variant(120)}, "String:x"},
        {u"Chr", {Variant(120.5)}, "String:x"},
        {u"Chr", {Variant(119.5)}, "String:x"},
        {u"Chr", {Variant(u"120")}, "String:x"},
        {u"Chr", {Variant(128)}, "String:\u20AC"},
        {u"Chr", {Variant(0x9F)}, "String:\u0178"},
        {u"Chr", {Variant(-1)}, "error 5"},
        {u"Chr", {Variant(256)}, "error 5"},
        {u"Chr", {Null}, "error 94"},
        {u"ChrW", {Variant(0x20AC)}, "String:\u20AC"},
        {u"ChrW", {Variant(-1)}, "String:\uFFFF"},
        {u"ChrW", {Variant(65536)}, "error 5"},
        {u"ChrW", {Variant(-32769)}, "error 5"},
    });
    for (int code = 0; code < 256; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(Outcome(u"Asc", {Call(u"Chr", {Variant(code)})}), "Integer:" + std::to_string(code));
    }
    EXPECT_EQ(Call(u"Chr", {Variant(0)}).StringValue().size(), 1u);
}

TEST(StringFunctionsTest, InStr) {
    ExpectOutcomes({
        {u"InStr", {Variant(u"abcd"), Variant(u"bc")}, "Long:2"},
        {u"InStr", {Variant(1), Variant(u"abcd"), Variant(u"bc")}, "Long:2"},
        {u"InStr", {Variant(u"bcabc"), Variant(u"bc")}, "Long:1"},
        {u"InStr", {Variant(3), Variant(u"abcd"), Variant(u"bc")}, "Long:0"},
        {u"InStr", {Variant(5), Variant(u"abcd"), Variant(u"bc")}, "Long:0"},
        {u"InStr", {Variant(2.6), Variant(u"abcd"), Variant(u"bc")}, "Long:0"},
        {u"InStr", {Variant(3), Variant(u"abcdefgh"), Variant(u"FG"), Variant(0)}, "Long:0"},
        {u"InStr", {Variant(3), Variant(u"abcdefgh"), Variant(u"FG"), Variant(1)}, "Long:6"},
        {u"InStr", {Variant(3), Variant(u"abcdefgh"), Variant(u"FG"), Variant(1.4)}, "Long:6"},
        {u"InStr", {Variant(2), Variant(u"abcABC"), Variant(u"ab"), Variant(1)}, "Long:4"},
        {u"InStr", {Variant(1), Variant(23456), Variant(45), Variant(0)}, "Long:3"},
        {u"InStr", {Variant(4), Variant(u"abcdef"), Variant(u"")}, "Long:4"},
        {u"InStr", {Variant(20), Variant(u"abcdef"), Variant(u"")}, "Long:0"},
        {u"InStr", {Variant(4), Variant(u""), Variant(u"")}, "Long:0"},
        {u"InStr", {Variant(0), Variant(u"abcd"), Variant(u"bc")}, "error 5"},
        {u"InStr", {Variant(u"abcd"), Null}, "Null"},
        {u"InStr", {Variant(2), Null, Variant(u"abcd")}, "Null"},
        {u"InStr", {Null, Variant(u"abcd"), Variant(u"abcd")}, "error 94"},
        {u"InStr", {Variant(2), Variant(u"abcd"), Variant(u"abcd"), Null}, "error 94"},
        {u"InStr", {Variant(-20), Variant(u"abcd"), Variant(u"abcd"), Variant(1)}, "error 5"},
        {u"InStr", {Variant(2), Variant(u"abcd"), Variant(u"abcd"), Variant(10)}, "error 5"},
        {u"InStrRev", {Variant(u"bcabcd"), Variant(u"bc")}, "Long:4"},
        {u"InStrRev", {Variant(u"abcd"), Variant(u"bc"), Variant(2)}, "Long:0"},
        {u"InStrRev", {Variant(u"abcd"), Variant(u"bc"), Variant(2.6)}, "Long:2"},
        {u"InStrRev", {Variant(u"abcd"), Variant(u"bc"), Variant(5)}, "Long:0"},
        {u"InStrRev", {Variant(1234), Variant(34)}, "Long:3"},
        {u"InStrRev", {Variant(u"abcd"), Variant(u"Ab"), Variant(-1), Variant(1)}, "Long:1"},
        {u"InStrRev", {Variant(u"abcd"), Variant(u""), Variant(3), Variant(1)}, "Long:3"},
        {u"InStrRev", {Variant(u""), Variant(u""), Variant(3)}, "Long:0"},
        {u"InStrRev", {Variant(u"abcd"), Null}, "error 94"},
        {u"InStrRev", {Variant(u"abcd"), Variant(u"a"), Variant(0)}, "error 5"},
        {u"InStrB", {Variant(u"abc"), Variant(u"b")}, "Long:3"},
        {u"InStrB", {Variant(u"abc"), Variant(u"\u6300")}, "Long:4"},
    });
}

// The searches of long needles skip ahead instead of trying every start; whatever they skip, the
// positions are those of a search that tries every start. Texts of few letters make needles that
// nearly match and periodic ones; U+0161 and U+0141 share their low bytes with "a" and "A", which
// the skip tells apart by low byte alone; some texts are long enough to be searched in stretches.
TEST(StringFunctionsTest, SearchesFindWhatAPlainSearchFinds) {
    std::mt19937 random(20240611);
    const std::u16string letters = u"abA\u0161\u0141";
    const auto randomText = [&](std::size_t length, std::size_t alphabet) {
        std::u16string text;
        for (std::size_t index = 0; index < length; ++index) {
            text.push_back(letters[random() % alphabet]);
        }
        return text;
    };
    const auto position = [](std::size_t found) {
        return found == std::u16string::npos ? 0 : static_cast<std::int32_t>(found + 1);
    };
    for (int round = 0; round < 3000; ++round) {
        const std::size_t alphabet = 1 + random() % letters.size();
        const std::u16string haystack = randomText(random() % 1200, alphabet);
        std::u16string needle;
        if (random() % 2 == 0 && !haystack.empty()) {
            // A piece of the text, so that it is found, sometimes with one unit changed.
            const std::size_t from = random() % haystack.size();
            needle = haystack.substr(from, 1 + random() % 60);
            if (random() % 3 == 0) {
                needle[random() % needle.size()] = letters[random() % alphabet];
            }
        } else {
            needle = randomText(1 + random() % 40, alphabet);
        }
        const std::size_t start = 1 + random() % (haystack.size() + 1);
        const std::u16string_view text = haystack;
        SCOPED_TRACE(automation::ToUtf8(haystack) + " / " + automation::ToUtf8(needle));
        EXPECT_EQ(Call(u"InStr", {Variant(haystack), Variant(needle)}).LongValue(),
                  position(text.find(needle)));
        EXPECT_EQ(
            Call(u"InStr", {Variant(static_cast<std::int32_t>(start)), Variant(haystack), Variant(needle)})
                .LongValue(),
            start > haystack.size() ? 0 : position(text.find(needle, start - 1)));
        if (start <= haystack.size()) {
            const std::size_t last =
                start >= needle.size() ? text.rfind(needle, start - needle.size()) : std::u16string::npos;
            EXPECT_EQ(Call(u"InStrRev",
                           {Variant(haystack), Variant(needle), Variant(static_cast<std::int32_t>(start))})
                          .LongValue(),
                      position(last));
        }
        // Ignoring case finds what the binary search finds in the texts made upper case.
        const Variant upperHaystack = Call(u"UCase", {Variant(haystack)});
        const Variant upperNeedle = Call(u"UCase", {Variant(needle)});
        EXPECT_EQ(Describe(Call(u"InStr", {Variant(1), Variant(haystack), Variant(needle), Variant(1)})),
                  Describe(Call(u"InStr", {upperHaystack, upperNeedle})));
        EXPECT_EQ(Describe(Call(u"InStrRev", {Variant(haystack), Variant(needle), Variant(-1), Variant(1)})),
                  Describe(Call(u"InStrRev", {upperHaystack, upperNeedle})));
        // Every match, one after another.
        std::size_t matches = 0;
        for (std::size_t found = text.find(needle); found != std::u16string::npos;
             found = text.find(needle, found + needle.size())) {
            ++matches;
        }
        EXPECT_EQ(Call(u"UBound", {Call(u"Split", {Variant(haystack), Variant(needle)})}).LongValue(),
                  haystack.empty() ? -1 : static_cast<std::int32_t>(matches));
        const std::u16string replaced =
            Call(u"Replace", {Variant(haystack), Variant(needle), Variant(u"")}).StringValue();
        EXPECT_EQ(replaced.size(), haystack.size() - matches * needle.size());
        EXPECT_EQ(Describe(Call(u"Filter", {Array({Variant(haystack)}), Variant(needle)})),
                  matches == 0 ? "[]" : "[String:" + automation::ToUtf8(haystack) + "]");
        // Bytes: the text's UTF-16 bytes, low byte first.
        const auto bytes = [](std::u16string_view units) {
            std::string out;
            for (char16_t unit : units) {
                out.push_back(static_cast<char>(unit & 0xFF));
                out.push_back(static_cast<char>(unit >> 8));
            }
            return out;
        };
        EXPECT_EQ(Call(u"InStrB", {Variant(haystack), Variant(needle)}).LongValue(),
                  position(bytes(haystack).find(bytes(needle))));
    }
    // A match across the end of a stretch of the search, and one far beyond a first stretch.
    for (const std::int32_t at : {(1 << 20) - 7, 3000001}) {
        SCOPED_TRACE(at);
        std::u16string haystack(3200000, u'a');
        haystack.replace(static_cast<std::size_t>(at), 12, u"aaaaaaaaaaab");
        EXPECT_EQ(Call(u"InStr", {Variant(haystack), Variant(u"aaaaaaaaaaab")}).LongValue(), at + 1);
        EXPECT_EQ(Call(u"InStr", {Variant(haystack), Variant(u"aab")}).LongValue(), at + 10);
        EXPECT_EQ(Call(u"InStrRev", {Variant(haystack), Variant(u"baaaaaaaaaa")}).LongValue(), at + 12);
        EXPECT_EQ(Call(u"InStrRev", {Variant(haystack), Variant(u"ba")}).LongValue(), at + 12);
    }
}

TEST(StringFunctionsTest, SubstringsAndLengths) {
    ExpectOutcomes({
        {u"Len", {Variant(u"abc")}, "Long:3"},
        {u"Len", {Variant(1)}, "Long:1"},
        {u"Len", {Empty}, "Long:0"},
        {u"Len", {Null}, "Null"},
        {u"Len", {Variant(u"\U0001F600")}, "Long:2"},
        {u"LenB", {Variant(u"abc")}, "Long:6"},
        {u"Left", {Variant(u"test"), Variant(5)}, "String:test"},
        {u"Left", {Variant(u"123456"), Variant(2.5)}, "String:12"},
        {u"Left", {Variant(true), Variant(2)}, "String:Tr"},
        {u"Left", {Null, Variant(1)}, "Null"},
        {u"Left", {Null, Variant(-1)}, "error 5"},
        {u"Left", {Variant(u"x"), Null}, "error 94"},
        {u"Right", {Variant(123), Variant(u"2")}, "String:23"},
        {u"Right", {Empty, Variant(1)}, "String:"},
        {u"Right", {Variant(u"test"), Variant(-1)}, "error 5"},
        {u"Mid", {Variant(u"test"), Variant(2), Variant(2)}, "String:es"},
        {u"Mid", {Variant(u"test"), Variant(2), Variant(4)}, "String:est"},
        {u"Mid", {Variant(u"test"), Variant(5)}, "String:"},
        {u"Mid", {Variant(u"test"), Variant(1)}, "String:test"},
        {u"Mid", {Variant(u"test"), Variant(2), Variant(0)}, "String:"},
        {u"Mid", {Variant(1234), Variant(1), Variant(2)}, "String:12"},
        {u"Mid", {Null, Variant(1)}, "Null"},
        {u"Mid", {Variant(u"test"), Variant(u"a"), Variant(1)}, "error 13"},
        {u"Mid", {Variant(u"test"), Variant(u"a"), Null}, "error 94"},
        {u"Mid", {Null, Variant(-1), Variant(-1)}, "error 5"},
        {u"Mid", {Variant(u"test"), Empty, Variant(1)}, "error 5"},
        {u"Mid", {Variant(u"test"), Variant(1), Variant(-1)}, "error 5"},
        {u"Mid", {Variant(u"test"), Variant(1), Variant(1), Variant(1)}, "error 450"},
        {u"LeftB", {Variant(u"abc"), Variant(4)}, "String:ab"},
        {u"RightB", {Variant(u"abc"), Variant(2)}, "String:c"},
        {u"MidB", {Variant(u"abc"), Variant(3), Variant(2)}, "String:b"},
        // From an odd byte each unit joins two halves: "abc" is 61 00 62 00 63 00.
        {u"MidB", {Variant(u"abc"), Variant(2), Variant(3)}, "String:\xE6\x88\x80"},
        {u"RightB", {Variant(u"abc"), Variant(3)}, "String:\xE6\x8C\x80"},
        {u"LeftB", {Variant(123), Variant(2)}, "String:1"},
        {u"Space", {Variant(5.5)}, "String:      "},
        {u"Space", {Variant(4.5)}, "String:    "},
        {u"Space", {Variant(false)}, "String:"},
        {u"Space", {Variant(-1)}, "error 5"},
        {u"Space", {Null}, "error 94"},
        {u"String", {Variant(3), Variant(u"xy")}, "String:xxx"},
        {u"String", {Variant(u"3"), Variant(65)}, "String:AAA"},
        {u"String", {Variant(2), Variant(321)}, "String:AA"},
        {u"String", {Variant(2), Variant(128)}, "String:\u20AC\u20AC"},
        {u"String", {Variant(0), Variant(u"")}, "error 5"},
        {u"String", {Variant(-2), Variant(u"x")}, "error 5"},
        {u"String", {Null, Variant(u"x")}, "Null"},
    });
}

TEST(StringFunctionsTest, CaseTrimAndReverse) {
    ExpectOutcomes({
        {u"UCase", {Variant(u"123aBC?\u00e9")}, "String:123ABC?\u00c9"},
        {u"LCase", {Variant(true)}, "String:true"},
        {u"UCase", {Empty}, "String:"},
        {u"UCase", {Null}, "Null"},
        {u"LCase", {Null}, "Null"},
        {u"Trim", {Variant(u"   test    ")}, "String:test"},
        {u"Trim", {Variant(u"\ttest\t")}, "String:\ttest\t"},
        {u"LTrim", {Variant(u"  a  ")}, "String:a  "},
        {u"RTrim", {Variant(u"  a  ")}, "String:  a"},
        {u"Trim", {Variant(123)}, "String:123"},
        {u"Trim", {Null}, "Null"},
        {u"StrReverse", {Variant(u"test")}, "String:tset"},
        {u"StrReverse", {Variant(true)}, "String:eurT"},
        {u"StrReverse", {Null}, "error 94"},
        {u"StrComp", {Variant(u"ABC"), Variant(u"abc"), Variant(0)}, "Integer:-1"},
        {u"StrComp", {Variant(u"abc"), Variant(u"ABC")}, "Integer:1"},
        {u"StrComp", {Variant(u"ABC"), Variant(u"abc"), Variant(1)}, "Integer:0"},
        {u"StrComp", {Variant(u"ABC"), Variant(u"ABCD"), Variant(u"1")}, "Integer:-1"},
        {u"StrComp", {Variant(u"1"), Variant(1.0), Variant(1)}, "Integer:0"},
        {u"StrComp", {Empty, Variant(u"")}, "Integer:0"},
        {u"StrComp", {Null, Variant(u"")}, "Null"},
        {u"StrComp", {Variant(u"a"), Variant(u"a"), Variant(2)}, "error 5"},
        {u"StrComp", {Variant(u"a"), Variant(u"a"), Variant(0), Variant(1)}, "error 450"},
    });
}

TEST(StringFunctionsTest, Replace) {
    ExpectOutcomes({
        {u"Replace", {Variant(u"xx testxx(xx)"), Variant(u"xx"), Variant(u"!")}, "String:! test!(!)"},
        {u"Replace", {Variant(u"xxxxx"), Variant(u"xx"), Variant(u"y")}, "String:yyx"},
        {u"Replace", {Variant(u"xxx"), Variant(u""), Variant(u"y")}, "String:xxx"},
        {u"Replace", {Variant(u"yxxy"), Variant(u"x"), Variant(u"")}, "String:yy"},
        {u"Replace", {Variant(123), Variant(2), Variant(6)}, "String:163"},
        // A replacement as long as what it replaces.
        {u"Replace", {Variant(u"aaa"), Variant(u"aa"), Variant(u"bb")}, "String:bba"},
        {u"Replace",
         {Variant(u"xAxax"), Variant(u"a"), Variant(u"b"), Variant(2), Variant(1), Variant(1)},
         "String:bxax"},
        // The text before `start` is dropped.
        {u"Replace",
         {Variant(u"xx testxx(xx)"), Variant(u"xx"), Variant(u"!"), Variant(2)},
         "String:x test!(!)"},
        {u"Replace", {Variant(u"xx"), Variant(u"x"), Variant(u"y"), Variant(2000)}, "String:"},
        {u"Replace",
         {Variant(u"xx testxx(xx)"), Variant(u"xx"), Variant(u"!"), Variant(1), Variant(2)},
         "String:! test!(xx)"},
        {u"Replace",
         {Variant(u"xx testxx"), Variant(u"xx"), Variant(u"!"), Variant(1), Variant(0)},
         "String:xx testxx"},
        {u"Replace",
         {Variant(u"Aa testAAa(aa)"), Variant(u"aa"), Variant(u"!"), Variant(1), Variant(2), Variant(1)},
         "String:! test!a(aa)"},
        {u"Replace",
         {Variant(u"aa testAa(aa)"), Variant(u"aa"), Variant(u"!"), Variant(2), Variant(2), Variant(0)},
         "String:a testAa(!)"},
        {u"Replace", {Null, Variant(u"x"), Variant(u"y")}, "error 94"},
        {u"Replace", {Variant(u"xx"), Variant(u"x"), Variant(u"y"), Variant(1), Null}, "error 94"},
        {u"Replace", {Variant(u"xx"), Variant(u"x"), Variant(u"y"), Variant(0)}, "error 5"},
        {u"Replace", {Variant(u"xx"), Variant(u"x"), Variant(u"y"), Variant(1), Variant(-2)}, "error 5"},
        {u"Replace",
         {Variant(u"xx"), Variant(u"x"), Variant(u"y"), Variant(1), Variant(1), Variant(8)},
         "error 5"},
    });
}

TEST(StringFunctionsTest, SplitJoinFilter) {
    ExpectOutcomes({
        {u"Split", {Variant(u"abc def")}, "[String:abc|String:def]"},
        {u"Split", {Variant(u"abc--def"), Variant(u"-")}, "[String:abc|String:|String:def]"},
        {u"Split", {Variant(u"12345"), Variant(3)}, "[String:12|String:45]"},
        {u"Split", {Variant(u"abc def"), Variant(u"")}, "[String:abc def]"},
        {u"Split", {Variant(u"")}, "[]"},
        {u"Split", {Variant(u"a-b-c"), Variant(u"-"), Variant(2)}, "[String:a|String:b-c]"},
        {u"Split", {Variant(u"a-b"), Variant(u"-"), Variant(0)}, "[]"},
        {u"Split", {Variant(u"aZbZc"), Variant(u"z"), Variant(-1), Variant(0)}, "[String:aZbZc]"},
        {u"Split",
         {Variant(u"aZbZc"), Variant(u"z"), Variant(-1), Variant(1)},
         "[String:a|String:b|String:c]"},
        {u"Split", {Variant(u"a-b"), Variant(u"-"), Variant(-42)}, "error 5"},
        {u"Split", {Variant(u"a-b"), Variant(u"-"), Variant(-1), Variant(2)}, "error 5"},
        {u"Split", {Null}, "error 94"},
        {u"Split", {Variant(u"a"), Variant(u"-"), Variant(-1), Null}, "error 94"},
        {u"Join", {Array({Variant(u"a"), Variant(1), Empty})}, "String:a 1 "},
        {u"Join", {Array({Variant(u"a"), Variant(u"b")}), Variant(u", ")}, "String:a, b"},
        {u"Join", {Array({})}, "String:"},
        {u"Join", {Variant(u"abc")}, "error 13"},
        {u"Join", {Array({Null})}, "error 13"},
        {u"Join", {Null}, "error 94"},
        {u"Filter", {Array({Variant(u"Apple"), Variant(u"pear"), Variant(u"plum")}), Variant(u"P")}, "[]"},
        {u"Filter",
         {Array({Variant(u"Apple"), Variant(u"pear"), Variant(u"plum")}), Variant(u"P"), Variant(true),
          Variant(1)},
         "[String:Apple|String:pear|String:plum]"},
        {u"Filter",
         {Array({Variant(u"Apple"), Variant(1.5), Variant(u"plum")}), Variant(u"l")},
         "[String:Apple|String:plum]"},
        {u"Filter",
         {Array({Variant(u"Apple"), Variant(u"pear")}), Variant(u"ear"), Variant(false)},
         "[String:Apple]"},
        {u"Filter", {Variant(u"x"), Variant(u"x")}, "error 13"},
        {u"Filter", {Null, Variant(u"x")}, "error 94"},
    });
    Variant empty = Call(u"Split", {Variant(u"")});
    EXPECT_EQ(empty.ArrayValue()->UpperBound(1), -1);
    EXPECT_EQ(empty.VarTypeCode(), 0x2000 | 12);

    // Split counts its parts against the memory ceiling while it cuts them, then the array it
    // returns counts for itself: once the array goes, nothing may stay on the account.
    const Variant commas(std::u16string(100000, u','));
    const std::size_t before = automation::MemoryInUse();
    {
        const Variant parts = Call(u"Split", {commas, Variant(u",")});
        EXPECT_EQ(parts.ArrayValue()->UpperBound(1), 100000);
        EXPECT_EQ(Describe(Call(u"Join", {parts, Variant(u",")})).size(), 100000u + 7);
    }
    EXPECT_EQ(automation::MemoryInUse(), before);
}

TEST(StringFunctionsTest, EscapeAndUnescape) {
    ExpectOutcomes({
        {u"Escape", {Variant(u"a b+c/@*_-.\u00e9\u20AC%")}, "String:a%20b+c/@*_-.%E9%u20AC%25"},
        {u"Escape", {Null}, "Null"},
        {u"Unescape", {Variant(u"a%20b%u20AC%E9")}, "String:a b\u20AC\u00e9"},
        {u"Unescape", {Variant(u"100%%zz%u12")}, "String:100%%zz%u12"},
        {u"Unescape", {Null}, "Null"},
    });
    std::u16string all;
    for (char16_t c = 1; c < 600; ++c) {
        all.push_back(c);
    }
    EXPECT_EQ(Call(u"Unescape", {Call(u"Escape", {Variant(all)})}).StringValue(), all);
}

// Arguments are read in place where they can be; an object argument still stands for its
// default value, read once per call, and a by-reference argument for the variable it refers to.
TEST(StringFunctionsTest, ObjectAndReferenceArguments) {
    const std::vector<std::pair<CallCase, int>> rows = {
        {{u"Replace", {Variant(u"a,b"), Variant(u","), Variant(u";")}, "String:a;b"}, 1},
        {{u"Replace", {Variant(u"a,b"), Variant(u"x"), Variant(u";"), Variant(3)}, "String:b"}, 1},
        {{u"Mid", {Variant(u"a,b"), Variant(2), Variant(1)}, "String:,"}, 1},
        {{u"Len", {Variant(u"a,b")}, "Long:3"}, 1},
        {{u"InStr", {Variant(u"a,b"), Variant(u"b")}, "Long:3"}, 1},
        {{u"UCase", {Variant(u"a,b")}, "String:A,B"}, 1},
        {{u"Split", {Variant(u"a,b"), Variant(u",")}, "[String:a|String:b]"}, 1},
    };
    for (const auto& [row, reads] : rows) {
        SCOPED_TRACE(Trace(row));
        auto source = automation::MakeRef<TextSource>(row.args[0].StringValue());
        std::vector<Variant> args = row.args;
        args[0] = Variant(automation::Ref<automation::Object>(source));
        RuntimeState state;
        EXPECT_EQ(Describe(Call(row.function, args, state)), row.expected);
        EXPECT_EQ(source->mReads, reads);

        Variant variable = row.args[0];
        args[0] = Variant::ByRef(variable);
        EXPECT_EQ(Describe(Call(row.function, args, state)), row.expected);
    }
}

// A result that is all of an argument's text shares it; appending to the result must not change
// the argument.
TEST(StringFunctionsTest, WholeTextResultsAreIndependentValues) {
    const Variant text(u"shared text");
    for (const CallCase& row : std::vector<CallCase>{
             {u"Mid", {text, Variant(1)}, "String:shared text"},
             {u"Left", {text, Variant(20)}, "String:shared text"},
             {u"Right", {text, Variant(11)}, "String:shared text"},
             {u"Trim", {text}, "String:shared text"},
             {u"Replace", {text, Variant(u"z"), Variant(u"y")}, "String:shared text"},
         }) {
        SCOPED_TRACE(Trace(row));
        Variant result = Call(row.function, row.args);
        EXPECT_EQ(Describe(result), row.expected);
        result.AppendString(u"!");
        EXPECT_EQ(Describe(result), row.expected + "!");
        EXPECT_EQ(Describe(text), "String:shared text");
    }
}

} // namespace
} // namespace qv::vbscript::testing
