#include "platform/registry/HiveFile.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

namespace qv::registry {
namespace {

using namespace std::string_literals;

// Every type with the corner cases of its data; the hive must give back each value exactly.
std::unique_ptr<Key> EveryKindOfValue() {
    auto root = std::make_unique<Key>(u"");
    Key& general = root->CreatePath(u"Software\\Quorvane\\6.0\\Settings\\General");
    general.SetValue(u"Language", Value::Text(u"lang\\english.xml"));
    general.SetValue(u"", Value::Text(u"the default value"));
    general.SetValue(u"Empty", Value::Text(u""));
    general.SetValue(u"Escapes",
                     Value::Text(u"quote \" backslash \\ tab\t cr\r lf\n nul\0 bell\a del\x7F end"s));
    general.SetValue(u"Unicode", Value::Text(u"\u00E9\u20AC\u65E5 \U0001F600 lone \xD800 \xDC00"));
    general.SetValue(u"Name with \"quotes\" and = : ;", Value::Text(u"x"));
    general.SetValue(u"Path", Value::Text(u"%HOME%\\docs", ValueType::ExpandText));
    general.SetValue(u"Timeout", Value::Number(60000));
    general.SetValue(u"Max", Value::Number(0xFFFFFFFFu));
    general.SetValue(u"BigEndian", Value::Number(0x01020304u, ValueType::DwordBigEndian));
    general.SetValue(u"List", Value::MultiText({u"a", u"", u"b,\"c\""}));
    general.SetValue(u"NoList", Value::MultiText({}));
    general.SetValue(u"Blob", Value::Bytes({0x00, 0x7F, 0xFF}));
    general.SetValue(u"NoBlob", Value::Bytes({}));
    general.SetValue(u"Qword", Value::Bytes({1, 2, 3, 4, 5, 6, 7, 8}, ValueType::Qword));
    general.SetValue(u"None", Value::Bytes({9}, ValueType::None));
    general.SetValue(u"Odd", Value::Bytes({1}, 0x12345));
    root->CreatePath(u"Software\\Quorvane\\6.0\\Extensions");
    root->CreatePath(u"Software\\Quorvane\\6.0\\AdvancedFilters");
    root->SetValue(u"AtRoot", Value::Number(1));
    return root;
}

void ExpectSameTree(const Key& expected, const Key& actual) {
    SCOPED_TRACE(std::string(expected.Name().begin(), expected.Name().end()));
    EXPECT_EQ(expected.Name(), actual.Name());
    ASSERT_EQ(expected.Values().size(), actual.Values().size());
    for (std::size_t index = 0; index < expected.Values().size(); ++index) {
        EXPECT_EQ(expected.Values()[index].name, actual.Values()[index].name);
        EXPECT_EQ(expected.Values()[index].value, actual.Values()[index].value) << "value " << index;
    }
    ASSERT_EQ(expected.Subkeys().size(), actual.Subkeys().size());
    for (std::size_t index = 0; index < expected.Subkeys().size(); ++index) {
        ExpectSameTree(*expected.Subkeys()[index], *actual.Subkeys()[index]);
    }
}

TEST(HiveFile, EveryTypeRoundTripsWithOrderAndEmptyKeys) {
    std::unique_ptr<Key> original = EveryKindOfValue();
    std::string text = FormatHive(*original);
    std::unique_ptr<Key> reread = ParseHive(text, u"test.reg");
    ExpectSameTree(*original, *reread);
    EXPECT_EQ(FormatHive(*reread), text);
    // Readable: plain values are written as a person would write them.
    EXPECT_NE(text.find("\"Language\"=1:\"lang\\\\english.xml\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Timeout\"=4:60000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Blob\"=3:00,7f,ff\n"), std::string::npos) << text;
    EXPECT_NE(text.find("@=1:\"the default value\"\n"), std::string::npos) << text;
}

TEST(HiveFile, HandWrittenFormsAreAccepted) {
    std::unique_ptr<Key> root = ParseHive("\xEF\xBB\xBF; comment\r\n"
                                          "# another comment\n"
                                          "\n"
                                          "  [A\\B]   ; trailing comment\n"
                                          "  \"n\" = 4 : 0x1F  \n"
                                          "\"l\"=7:\"x\" , \"y\"\n"
                                          "\"b\"=3: 0A , 0b\n"
                                          "[a]\n"
                                          "\"m\"=1:\"\\u00e9\"\n",
                                          u"hand.reg");
    const Key* ab = root->FindPath(u"a\\b");
    ASSERT_NE(ab, nullptr);
    EXPECT_EQ(*ab->FindValue(u"N"), Value::Number(31));
    EXPECT_EQ(*ab->FindValue(u"l"), Value::MultiText({u"x", u"y"}));
    EXPECT_EQ(*ab->FindValue(u"b"), Value::Bytes({10, 11}));
    EXPECT_EQ(*root->FindPath(u"A")->FindValue(u"m"), Value::Text(u"\u00E9"));
}

TEST(HiveFile, DamagedTextNamesFileAndLine) {
    using namespace std::string_view_literals;
    struct Case {
        std::string_view text;
        int line;
        std::u16string_view what;
    };
    const Case cases[] = {
        {"[A]\n\"x\"=1:\"open\n", 2, u"closing '\"'"},
        {"[A]\n\n\"x\"=4:12a\n", 3, u"after the value"},
        {"[A]\n\"x\"=4:4294967296\n", 2, u"32 bits"},
        {"[A]\n\"x\"=4:\n", 2, u"expected a number"},
        {"[A]\n\"x\"1:\"a\"\n", 2, u"'='"},
        {"[A]\n\"x\"=1\"a\"\n", 2, u"':'"},
        {"[A]\n\"x\"=3:1,2\n", 2, u"two hexadecimal digits"},
        {"[A]\n\"x\"=1:\"\\q\"\n", 2, u"escape"},
        {"[A]\n\"x\"=1:\"a\"\n\"X\"=1:\"b\"\n", 3, u"twice"},
        {"[A\n", 1, u"']'"},
        {"[A\\\\B]\n", 1, u"empty key name"},
        {"[]\n", 1, u"empty key path"},
        {"[A]\nx=1:\"a\"\n", 2, u"value line"},
        {"[A]\n\"\xC3\"=1:\"a\"\n", 2, u"not UTF-8"},
        {"[A]\n\"x\"=1:\"a\0\"\n"sv, 2, u"NUL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        try {
            ParseHive(c.text, u"/home/u/.config/quorvane/user.reg");
            ADD_FAILURE() << "no error raised";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), DamagedHiveError);
            std::u16string expected = u"'/home/u/.config/quorvane/user.reg', line " +
                                      std::u16string(1, static_cast<char16_t>(u'0' + c.line)) + u":";
            EXPECT_NE(error.Description().find(expected), std::u16string::npos) << error.what();
            EXPECT_NE(error.Description().find(c.what), std::u16string::npos) << error.what();
        }
    }
}

// A key of many values: lookups in any letter case find each one, and deleting some keeps the
// others found and in their order, in memory and after a round trip through the file.
TEST(HiveFile, AKeyOfManyValuesKeepsEveryNameFoundThroughDeletions) {
    constexpr int Count = 20000;
    std::string text = "[Big]\n";
    for (int number = 0; number < Count; ++number) {
        text += "\"Value" + std::to_string(number) + "\"=4:" + std::to_string(number) + "\n";
    }
    for (int number = 0; number < Count; ++number) {
        text += "[Big\\Sub" + std::to_string(number) + "]\n";
    }
    std::unique_ptr<Key> root = ParseHive(text, u"big.reg");
    Key* big = root->FindPath(u"BIG");
    ASSERT_NE(big, nullptr);
    ASSERT_EQ(big->Values().size(), static_cast<std::size_t>(Count));
    ASSERT_EQ(big->Subkeys().size(), static_cast<std::size_t>(Count));
    EXPECT_EQ(*big->FindValue(u"VALUE19999"), Value::Number(19999));
    constexpr int Step = 97;
    for (int number = 0; number < Count; number += Step) {
        std::u16string suffix = automation::FromUtf8(std::to_string(number));
        ASSERT_TRUE(big->DeleteValue(u"value" + suffix));
        ASSERT_TRUE(big->DeleteSubkey(u"sub" + suffix));
        ASSERT_FALSE(big->DeleteValue(u"Value" + suffix));
    }
    big->SetValue(u"value1", Value::Number(7));
    big->SetValue(u"Value0", Value::Number(8));
    std::unique_ptr<Key> reread = ParseHive(FormatHive(*root), u"big.reg");
    const Key* again = reread->FindPath(u"Big");
    ASSERT_NE(again, nullptr);
    for (const Key* key : {static_cast<const Key*>(big), again}) {
        ASSERT_EQ(key->Values().size(), static_cast<std::size_t>(Count - (Count + Step - 1) / Step) + 1);
        EXPECT_EQ(key->Values()[0].name, u"Value1");
        EXPECT_EQ(key->Values()[0].value, Value::Number(7));
        EXPECT_EQ(key->Values()[1].name, u"Value2");
        EXPECT_EQ(key->Values().back().name, u"Value0");
        EXPECT_EQ(*key->FindValue(u"value19998"), Value::Number(19998));
        EXPECT_EQ(key->FindValue(u"value19982"), nullptr);
        EXPECT_EQ(key->FindValue(u"value97"), nullptr);
        EXPECT_EQ(*key->FindValue(u"value98"), Value::Number(98));
        EXPECT_EQ(key->FindSubkey(u"sub194"), nullptr);
        ASSERT_NE(key->FindSubkey(u"SUB19998"), nullptr);
        EXPECT_EQ(key->FindSubkey(u"SUB19998")->Name(), u"Sub19998");
        EXPECT_EQ(key->Subkeys()[0]->Name(), u"Sub1");
    }
}

std::string NestedSection(std::size_t depth) {
    std::string path = "K";
    for (std::size_t level = 1; level < depth; ++level) {
        path += "\\k";
    }
    return "[" + path + "]\n";
}

TEST(HiveFile, KeysNestMoreThan512DeepAreRefusedWithTheLine) {
    std::unique_ptr<Key> root = ParseHive(NestedSection(512) + "@=4:1\n", u"deep.reg");
    std::u16string deepest = u"K";
    for (int level = 1; level < 512; ++level) {
        deepest += u"\\k";
    }
    ASSERT_NE(root->FindPath(deepest), nullptr);
    EXPECT_EQ(*root->FindPath(deepest)->FindValue(u""), Value::Number(1));
    // What a hive of that depth saves reads back the same.
    EXPECT_EQ(FormatHive(*ParseHive(FormatHive(*root), u"deep.reg")), FormatHive(*root));

    // Ten thousand levels are refused at once, without building the tree.
    try {
        ParseHive("[A]\n" + NestedSection(10000), u"deep.reg");
        ADD_FAILURE() << "no error raised";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), DamagedHiveError);
        EXPECT_EQ(error.Description(),
                  u"Damaged registry hive 'deep.reg', line 2: a key path deeper than 512 keys");
    }
    EXPECT_THROW(ParseHive(NestedSection(513), u"deep.reg"), automation::Error);
}

} // namespace
} // namespace qv::registry
