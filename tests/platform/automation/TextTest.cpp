#include "platform/automation/Text.h"

#include "platform/automation/Error.h"

#include <gtest/gtest.h>

namespace qv::automation {
namespace {

TEST(Text, Utf8Conversions) {
    struct Case {
        const char* label;
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"ASCII", "abc", u"abc"},
        {"two bytes", "\xC3\xA9", u"\u00e9"},
        {"three bytes", "\xE2\x82\xAC", u"\u20ac"},
        {"four bytes become a surrogate pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"stray continuation byte", "a\x80z", u"a\uFFFDz"},
        {"overlong form", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"truncated sequence is one replacement", "\xE2\x82z", u"\uFFFDz"},
        {"truncated at the end", "a\xF0\x9F", u"a\uFFFD"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_EQ(FromUtf8(testCase.utf8), testCase.utf16);
    }
    EXPECT_EQ(ToUtf8(u"\U0001F600\u00e9"), "\xF0\x9F\x98\x80\xC3\xA9");
    // An unpaired surrogate has no UTF-8 form.
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(Text, LetterCase) {
    struct Case {
        char16_t lower;
        char16_t upper;
    };
    const Case pairs[] = {
        {u'a', u'A'},           {u'z', u'Z'},           {u'\u00e9', u'\u00c9'}, {u'\u00fe', u'\u00de'},
        {u'\u0101', u'\u0100'}, {u'\u0434', u'\u0414'}, {u'\u03b1', u'\u0391'}, {u'\uff41', u'\uff21'},
    };
    for (const Case& pair : pairs) {
        SCOPED_TRACE(static_cast<int>(pair.lower));
        EXPECT_EQ(UpperChar(pair.lower), pair.upper);
        EXPECT_EQ(LowerChar(pair.upper), pair.lower);
    }
    // One-way and unmapped letters.
    EXPECT_EQ(UpperChar(u'\u00ff'), u'\u0178');
    EXPECT_EQ(UpperChar(u'\u00df'), u'\u00df'); // its upper case needs two units
    EXPECT_EQ(UpperChar(u'\u0100'), u'\u0100'); // already upper, between mapped lower letters
    EXPECT_EQ(UpperChar(u'1'), u'1');
    EXPECT_EQ(ToUpper(u"stra\u00dfe"), u"STRA\u00dfE");
    EXPECT_EQ(ToLower(u"\u00c0BC"), u"\u00e0bc");
}

TEST(Text, NoCaseFunctionsAgree) {
    EXPECT_TRUE(EqualsNoCase(u"Tables", u"TABLES"));
    EXPECT_FALSE(EqualsNoCase(u"Table", u"Tables"));
    EXPECT_FALSE(EqualsNoCase(u"stra\u00dfe", u"STRASSE"));
    EXPECT_LT(CompareNoCase(u"apple", u"BANANA"), 0);
    EXPECT_GT(CompareNoCase(u"b", u"A"), 0);
    EXPECT_LT(CompareNoCase(u"ab", u"ABC"), 0);
    // Every unit equals its upper and lower case, hashes alike and compares equal.
    for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
        const std::u16string text(1, static_cast<char16_t>(unit));
        for (char16_t variant :
             {UpperChar(static_cast<char16_t>(unit)), LowerChar(static_cast<char16_t>(unit))}) {
            const std::u16string other(1, variant);
            if (!EqualsNoCase(text, other)) {
                continue; // lower-casing an upper letter whose upper case differs (U+0130)
            }
            ASSERT_EQ(HashNoCase(text), HashNoCase(other)) << unit;
            ASSERT_EQ(CompareNoCase(text, other), 0) << unit;
        }
        ASSERT_TRUE(EqualsNoCase(text, std::u16string(1, UpperChar(static_cast<char16_t>(unit))))) << unit;
    }
}

TEST(Error, StandardTexts) {
    EXPECT_EQ(StandardErrorText(9), u"Subscript out of range");
    EXPECT_EQ(StandardErrorText(457), u"This key is already associated with an element of this collection");
    EXPECT_EQ(StandardErrorText(32811), u"Element not found");
    EXPECT_EQ(StandardErrorText(1002), u"");
    const Error standard(ErrorNumber::TypeMismatch);
    EXPECT_EQ(standard.Description(), u"Type mismatch");
    EXPECT_STREQ(standard.what(), "Type mismatch");
    EXPECT_EQ(Error(12345).Description(), u"Unknown runtime error");
    const Error custom(5, u"Source", u"Caf\u00e9 failed");
    EXPECT_EQ(custom.Source(), u"Source");
    EXPECT_STREQ(custom.what(), "Caf\xC3\xA9 failed");
    try {
        Raise(ErrorNumber::DivisionByZero);
        FAIL() << "Raise returned";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), 11);
        EXPECT_EQ(error.Description(), u"Division by zero");
    }
}

} // namespace
} // namespace qv::automation
