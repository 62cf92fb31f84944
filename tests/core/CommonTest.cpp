#include "core/Captions.h"
#include "core/Charsets.h"
#include "core/FileLookup.h"
#include "core/FolderPaths.h"
#include "core/Formatting.h"
#include "core/SettingConversion.h"
#include "core/VbText.h"

#include "core/Apartment.h"
#include "core/TypedCollection.h"

#include "support/ApartmentFixture.h"

#include "platform/system/Paths.h"
#include "platform/xml/Document.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::ToUtf8;
using automation::Variant;
using automation::VarType;

class CommonTest : public test::ApartmentTest {};

TEST_F(CommonTest, CodePagesMapToCharsets) {
    struct Case {
        Variant codePage;
        std::u16string_view charset;
    };
    const Case cases[] = {
        {Variant(std::u16string(u"437\0  ", 6)), u"iso-8859-1"},
        {Variant(1252), u"iso-8859-1"},
        {Variant(u" 1251 "), u"iso-8859-5"},
        {Variant(u"932"), u"shift_jis"},
        {Variant(u"65001"), u"utf-8"},
        {Variant(u"57004"), u""},
        {Variant(u"0437"), u""},
        {Variant(u"abc"), u""},
        {Variant::Null(), u""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(ToUtf8(test.codePage.IsNull() ? u"Null" : automation::ToString(test.codePage)));
        EXPECT_EQ(CodePageToCharset(test.codePage), test.charset);
    }

    ::setenv("QUORVANE_OEM_CODEPAGE", "866", 1);
    InitSystemCharset();
    ::unsetenv("QUORVANE_OEM_CODEPAGE");
    EXPECT_EQ(automation::ToString(State().gSystemCodePage), u"866");
    EXPECT_EQ(State().gXmlEncoding, u"iso-8859-5");
}

TEST_F(CommonTest, NameToCaptionSplitsWords) {
    struct Case {
        std::u16string_view name;
        std::u16string_view caption;
    };
    const Case cases[] = {
        {u"OrderID", u"Order ID"},
        {u"customer_name", u"customer name"},
        {u"unit--price", u"unit price"},
        {u"field1", u"field 1"},
        {u"ABCDef", u"ABCDef"},
        {u"name_", u"name "},
        {u"__name", u"name"},
        {u"Order Details", u"Order Details"},
        {u"", u""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(ToUtf8(test.name));
        EXPECT_EQ(NameToCaption(test.name), test.caption);
    }
}

TEST_F(CommonTest, ValueConversionsNeverRaise) {
    struct Case {
        const char* what;
        Variant (*convert)(const Variant&, const Variant&);
        Variant value;
        std::u16string_view typeName;
        VarType type;
        std::u16string_view text;
    };
    const Case cases[] = {
        {"quoted string", ConvertToDataType, Variant(u" 'word' "), u"String", VarType::String, u"word"},
        {"yes is no boolean", ConvertToDataType, Variant(u"yes"), u"Boolean", VarType::Empty, u""},
        {"-1 is true", ConvertToDataType, Variant(u"-1"), u"boolean", VarType::Boolean, u"True"},
        {"integer rounds to even", ConvertToDataType, Variant(u"2.5"), u"INTEGER", VarType::Integer, u"2"},
        {"integer overflow", ConvertToDataType, Variant(u"70000"), u"Integer", VarType::Empty, u""},
        {"long", ConvertToDataType, Variant(u"70000"), u"Long", VarType::Long, u"70000"},
        {"null", ConvertToDataType, Variant::Null(), u"Long", VarType::Empty, u""},
        {"variant unchanged", ConvertToDataType, Variant(u"'x'"), u"Variant", VarType::String, u"'x'"},
        {"exact names only", ConvertByTypeName, Variant(u"5"), u"long", VarType::String, u"5"},
        {"exact Long", ConvertByTypeName, Variant(u"5"), u"Long", VarType::Long, u"5"},
        {"String keeps quotes", ConvertByTypeName, Variant(u"'x'"), u"String", VarType::String, u"'x'"},
        {"failed conversion", ConvertByTypeName, Variant(u"x"), u"Integer", VarType::Empty, u""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const Variant result = test.convert(test.value, Variant(test.typeName));
        EXPECT_EQ(result.Type(), test.type);
        if (!result.IsEmpty() && !result.IsNull()) {
            EXPECT_EQ(automation::ToString(result), test.text);
        }
    }
}

TEST_F(CommonTest, SmallTextHelpers) {
    EXPECT_EQ(SortLines(u"b\r\nA\r\na"), u"A\r\na\r\nb") << "upper case sorts first";
    EXPECT_EQ(SortLines(u"   "), u"");
    EXPECT_EQ(SortLines(u""), u"");
    // Every line is trimmed, so two lists of the same names compare equal in any order.
    EXPECT_EQ(SortLines(u" ID\r\nName"), SortLines(u"Name\r\nID "));

    EXPECT_EQ(Percent(5, 0), 100);
    EXPECT_EQ(Percent(3, 2), 100);
    EXPECT_EQ(Percent(1, 3), 33);
    EXPECT_EQ(Percent(1, 8), 12) << "12.5 rounds to even";
    EXPECT_EQ(Percent(0, 10), 0);

    EXPECT_EQ(AddTrailingBackslash(u" C:\\x "), u"C:\\x\\");
    EXPECT_EQ(AddTrailingBackslash(u"/tmp/"), u"/tmp/");
    EXPECT_EQ(AddTrailingBackslash(u""), u"");
    EXPECT_EQ(Unquote(u" \" 'a' \" "), u"a");
    EXPECT_EQ(Unquote(u"\"a'"), u"\"a'");
    EXPECT_EQ(RemoveSlashesAndSpaces(u"Quor vane/Pro"), u"QuorvanePro");

    EXPECT_EQ(FormatTimestamp(Variant::FromDate(*automation::DateFromParts(2009, 3, 7) +
                                                automation::TimeFromParts(8, 5, 9))),
              u"2009/03/07 08:05:09");
    EXPECT_EQ(FormatTimestamp(Variant(u"3/7/2009 8:05:09 AM")), u"2009/03/07 08:05:09");
    EXPECT_EQ(FormatTimestamp(Variant(u"not a date")), u"not a date");
    EXPECT_EQ(FormatTimestamp(Variant::Null()), u"");
    EXPECT_EQ(PadZero(Variant(7), 3), u"007");
    EXPECT_THROW(PadZero(Variant(1234), 2), automation::Error);
}

TEST_F(CommonTest, VbTextHelpers) {
    EXPECT_EQ(TrimBlanks(u"  a\tb  "), u"a\tb");
    EXPECT_EQ(TrimBlanks(u"\t a \r\n"), u"\t a \r\n") << "only blanks are trimmed";
    EXPECT_EQ(TrimBlanks(u"   "), u"");

    using Parts = std::vector<std::u16string_view>;
    EXPECT_EQ(SplitText(u"", u","), Parts{});
    EXPECT_EQ(SplitText(u"a,,b,", u","), (Parts{u"a", u"", u"b", u""}));
    EXPECT_EQ(SplitText(u"a\r\nb\rc", u"\r\n"), (Parts{u"a", u"b\rc"}));

    EXPECT_EQ(NumberText(-12), u"-12");
    EXPECT_EQ(NumberText(4294967295), u"4294967295");
    EXPECT_EQ(DoubleQuotes(u"say \"hi\""), u"say \"\"hi\"\"");

    EXPECT_EQ(TextOf(Variant(1.5)), u"1.5");
    EXPECT_EQ(TextOf(Variant(true)), u"True");
    EXPECT_EQ(TextOf(Variant::Null()), std::nullopt);
    EXPECT_EQ(TextOf(Variant::Nothing()), std::nullopt);
}

TEST_F(CommonTest, FilesByNameInAnyLetterCase) {
    std::filesystem::create_directories(mTemp / "folder");
    std::ofstream(mTemp / "folder/List.HTM") << "x";
    std::ofstream(mTemp / "folder/list.htm") << "y";
    std::ofstream(mTemp / "folder/Edit.htm") << "z";
    const std::u16string folder = TempPath("folder");
    struct Case {
        std::u16string_view name;
        std::optional<std::string> found; // below the temporary folder
    };
    const Case cases[] = {
        {u"List.HTM", "folder/List.HTM"}, // the exact name wins over another letter case
        {u"list.htm", "folder/list.htm"}, {u"EDIT.HTM", "folder/Edit.htm"},
        {u"gone.htm", std::nullopt},      {u"", std::nullopt},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(ToUtf8(test.name));
        const std::optional<std::u16string> found = LocateFileNoCase(folder, test.name);
        ASSERT_EQ(found.has_value(), test.found.has_value());
        if (found) {
            EXPECT_EQ(system::ToNativePath(*found), mTemp / *test.found);
        }
    }
}

TEST_F(CommonTest, ProductFilesAreKnownByTheirRoot) {
    State().gProductName = u"Quorvane";
    struct Case {
        const char* name;
        std::string content; // nothing is written when empty
        bool loads;
    };
    const Case cases[] = {
        {"right root", "<Quorvane.Language><phrase/></Quorvane.Language>", true},
        {"root in other case", "<QUORVANE.language/>", true},
        {"other kind", "<Quorvane.keyword/>", false},
        {"other product", "<Other.language/>", false},
        {"malformed", "<Quorvane.language>", false},
        {"missing", "", false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const std::filesystem::path path = mTemp / (std::string(test.name) + ".xml");
        if (!test.content.empty()) {
            std::ofstream(path) << test.content;
        }
        EXPECT_EQ(LoadProductFile(system::FromNativePath(path), u"language").has_value(), test.loads);
    }
}

TEST_F(CommonTest, DocumentsFolderIsNeverEmpty) {
    ::setenv("QUORVANE_DOCUMENTS", mTemp.Path().c_str(), 1);
    EXPECT_EQ(GetSpecialFolderPath(0, SpecialFolderPersonal), system::FromNativePath(mTemp.Path()));
    ::setenv("QUORVANE_DOCUMENTS", "", 1);
    EXPECT_FALSE(GetSpecialFolderPath(0, SpecialFolderPersonal).empty())
        << "work folders must never land at the root";
    ::unsetenv("QUORVANE_DOCUMENTS");
    EXPECT_EQ(GetSpecialFolderPath(0, 0x1a), u"");
}

/// An extension as FindExtensionFile sees it: only its Name.
class FakeExtension final : public automation::Object {
public:
    explicit FakeExtension(std::u16string name) : mName(std::move(name)) {}
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(u"FakeExtension",
                                                {automation::Method<&FakeExtension::Name>(u"Name")});
        return info;
    }
    std::u16string Name() const { return mName; }

private:
    std::u16string mName;
};

/// The extension list: Count and Seq(i).
class FakeExtensions final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(u"FakeExtensions",
                                                {automation::Method<&FakeExtensions::Count>(u"Count"),
                                                 automation::Method<&FakeExtensions::Seq>(u"Seq")});
        return info;
    }
    std::int32_t Count() const { return mItems.Count(); }
    Ref<FakeExtension> Seq(std::int16_t sequence) const { return Ref<FakeExtension>(mItems.At(sequence)); }
    void Add(std::u16string name) { mItems.Add(MakeRef<FakeExtension>(name), name); }

private:
    TypedCollection<FakeExtension> mItems;
};

TEST_F(CommonTest, FindExtensionFileLetsExtensionsReplaceTemplateFiles) {
    namespace fs = std::filesystem;
    for (const char* folder : {"template", "extensions/first", "extensions/second"}) {
        fs::create_directories(mTemp / folder);
    }
    std::ofstream(mTemp / "template/list.asp") << "t";
    std::ofstream(mTemp / "template/only.asp") << "t";
    std::ofstream(mTemp / "extensions/second/list.asp") << "2";
    std::ofstream(mTemp / "extensions/first/Edit.ASP") << "1";
    std::ofstream(mTemp / "extensions/second/edit.asp") << "2";

    ModuleState& state = State();
    const std::u16string templateFolder = TempPath("template");
    const std::u16string extensionsFolder = TempPath("extensions");
    Ref<FakeExtensions> extensions = MakeRef<FakeExtensions>();
    extensions->Add(u"first");
    extensions->Add(u"second");
    state.gExtensions = extensions;

    struct Case {
        std::u16string sourceFolder;
        std::u16string_view file;
        std::string expected;
    };
    const Case cases[] = {
        {TempPath("template"), u"list.asp", "extensions/second/list.asp"},
        {TempPath("template"), u"edit.asp", "extensions/first/Edit.ASP"}, // sequence order, any case
        {TempPath("template"), u"only.asp", "template/only.asp"},
        {TempPath("template"), u"ONLY.asp", "template/only.asp"},
        // While an extension's own file is read, other extensions are never consulted.
        {TempPath("extensions/first"), u"list.asp", "extensions/first/list.asp"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(ToUtf8(test.file) + " from " + ToUtf8(test.sourceFolder));
        const TemplateFolders folders{test.sourceFolder, templateFolder, extensionsFolder};
        EXPECT_EQ(system::ToNativePath(FindExtensionFile(folders, test.file)), mTemp / test.expected);
    }

    // Names from a package or the extension list stay inside their folders, found or not.
    const TemplateFolders folders{templateFolder, templateFolder, extensionsFolder};
    for (std::u16string_view file : {u"..\\extensions\\second\\list.asp", u"/etc/passwd", u"C:\\x.asp"}) {
        SCOPED_TRACE(ToUtf8(file));
        EXPECT_THROW(FindExtensionFile(folders, file), automation::Error);
        EXPECT_THROW(LocateFileNoCase(templateFolder, file), automation::Error);
    }
    extensions->Add(u"..\\..");
    EXPECT_THROW(FindExtensionFile(folders, u"missing.asp"), automation::Error);
}

} // namespace
} // namespace qv
