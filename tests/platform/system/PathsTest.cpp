#include "platform/system/Paths.h"

#include "platform/system/FileSystem.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qv::system {
namespace {

std::u16string Native(const test::TempDir& dir) {
    return FromNativePath(dir.Path());
}

TEST(Paths, JoinUsesOneSeparatorWhateverTheInputHas) {
    struct Case {
        std::u16string_view folder, name, joined;
    };
    const Case cases[] = {
        {u"a", u"b", u"a/b"},    {u"a\\", u"b", u"a/b"},
        {u"a/", u"\\b", u"a/b"}, {u"", u"b", u"b"},
        {u"a", u"", u"a"},       {u"/", u"b", u"/b"},
        {u"\\", u"b", u"/b"},    {u"a\\b", u"c\\d", u"a\\b/c\\d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder.begin(), c.folder.end()) + " + " +
                     std::string(c.name.begin(), c.name.end()));
        EXPECT_EQ(JoinPath(c.folder, c.name), c.joined);
        // What reaches the file system never holds a backslash.
        EXPECT_EQ(ToNativePath(JoinPath(c.folder, c.name)).string().find('\\'), std::string::npos);
    }
}

TEST(Paths, PartsAreTakenAfterEitherSeparator) {
    struct Case {
        std::u16string_view path, base, folder, extension;
    };
    const Case cases[] = {
        {u"C:\\site\\images/logo.GIF", u"logo.GIF", u"C:\\site\\images", u".GIF"},
        {u"tpl\\control.xml", u"control.xml", u"tpl", u".xml"},
        {u"/home/u/.profile", u".profile", u"/home/u", u""},
        {u"/readme", u"readme", u"/", u""},
        {u"archive.tar.gz", u"archive.tar.gz", u"", u".gz"},
        {u"folder.d\\file", u"file", u"folder.d", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        EXPECT_EQ(BaseName(c.path), c.base);
        EXPECT_EQ(FolderOf(c.path), c.folder);
        EXPECT_EQ(ExtensionOf(c.path), c.extension);
    }
    EXPECT_EQ(WithoutExtension(u"a\\b.zip"), u"a\\b");
}

TEST(Paths, FindNoCasePrefersTheExactNameAndFallsBackToAnyCase) {
    test::TempDir dir;
    CreateFolders(JoinPath(Native(dir), u"Images/Sub"));
    WriteFileAtomic(JoinPath(Native(dir), u"Images/Sub/Logo.gif"), "x");
    WriteFileAtomic(JoinPath(Native(dir), u"readme.TXT"), "x");

    EXPECT_EQ(FindNoCase(Native(dir), u"readme.TXT"), JoinPath(Native(dir), u"readme.TXT"));
    EXPECT_EQ(FindNoCase(Native(dir), u"README.txt"), JoinPath(Native(dir), u"readme.TXT"));
    // Control files name nested files in the system's own style.
    EXPECT_EQ(FindNoCase(Native(dir), u"images\\SUB\\logo.GIF"),
              JoinPath(Native(dir), u"Images/Sub/Logo.gif"));
    EXPECT_EQ(FindNoCase(Native(dir), u"images\\missing.gif"), std::nullopt);
    EXPECT_EQ(FindNoCase(JoinPath(Native(dir), u"nowhere"), u"x"), std::nullopt);

    // Two names that differ only in case, neither exact: no guess.
    WriteFileAtomic(JoinPath(Native(dir), u"Readme.txt"), "y");
    EXPECT_EQ(FindNoCase(Native(dir), u"README.TXT"), std::nullopt);
    EXPECT_EQ(FindNoCase(Native(dir), u"Readme.txt"), JoinPath(Native(dir), u"Readme.txt"));
}

} // namespace
} // namespace qv::system
