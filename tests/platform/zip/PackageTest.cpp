#include "platform/zip/Package.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <list>
#include <optional>
#include <string>
#include <vector>

namespace qv::zip {
namespace {

namespace fs = std::filesystem;

/// Writes a package with libzip, members in the order added. Names go in exactly as given, so
/// that hostile ones can be made.
class PackageWriter {
public:
    explicit PackageWriter(const fs::path& file) {
        int code = 0;
        mArchive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        EXPECT_NE(mArchive, nullptr);
    }
    ~PackageWriter() { Close(); }

    PackageWriter& File(const std::string& name, const std::string& content,
                        std::optional<zip_uint32_t> unixMode = std::nullopt) {
        mContents.push_back(content);
        zip_source_t* source =
            zip_source_buffer(mArchive, mContents.back().data(), mContents.back().size(), 0);
        const zip_int64_t index = zip_file_add(mArchive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        EXPECT_GE(index, 0) << name;
        if (unixMode) {
            zip_file_set_external_attributes(mArchive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             *unixMode << 16);
        }
        return *this;
    }
    PackageWriter& Folder(const std::string& name) {
        EXPECT_GE(zip_dir_add(mArchive, name.c_str(), ZIP_FL_ENC_UTF_8), 0) << name;
        return *this;
    }
    void Close() {
        if (mArchive != nullptr) {
            EXPECT_EQ(zip_close(mArchive), 0);
            mArchive = nullptr;
        }
    }

private:
    zip_t* mArchive = nullptr;
    std::list<std::string> mContents; ///< stable addresses; must outlive the archive until it is closed
};

std::string Read(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

void Write(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

/// Every entry below `folder` as a sorted list of relative paths, folders ending in "/".
std::vector<std::string> Tree(const fs::path& folder) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::string relative = fs::relative(entry.path(), folder).string();
        if (entry.is_directory() && !entry.is_symlink()) {
            relative += '/';
        }
        entries.push_back(relative);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

class PackageTest : public ::testing::Test {
protected:
    std::u16string Text(const fs::path& path) const { return system::FromNativePath(path); }

    /// Extracts and expects the error number, with the package (and `mention`, when given) named
    /// in the description.
    void ExpectRefused(const fs::path& package, std::int32_t number, const std::u16string& mention,
                       const ExtractLimits& limits = {}) {
        try {
            ExtractPackage(Text(package), Text(mDestination), limits);
            ADD_FAILURE() << "extracted";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), number) << error.what();
            EXPECT_NE(error.Description().find(Text(package)), std::u16string::npos) << error.what();
            EXPECT_NE(error.Description().find(mention), std::u16string::npos) << error.what();
        }
    }

    test::TempDir mTemp;
    fs::path mPackage = mTemp / "template.zip";
    fs::path mDestination = mTemp / "work";
};

TEST_F(PackageTest, ExtractsTheTreeReplacingFilesAndKeepingTheRest) {
    Write(mDestination / "control.xml", "old control");
    Write(mDestination / "mine" / "notes.txt", "kept");
    PackageWriter(mPackage)
        .File("control.xml", "<Quorvane.control/>")
        .Folder("empty/")
        .File("images/icons/add.gif", "GIF89a")
        .File("css\\site.css", "body{}") // written by a Windows tool
        .File("./lang.xml", "<lang/>")
        .Close();

    ExtractPackage(Text(mPackage), Text(mDestination));

    EXPECT_EQ(
        Tree(mDestination),
        (std::vector<std::string>{"control.xml", "css/", "css/site.css", "empty/", "images/", "images/icons/",
                                  "images/icons/add.gif", "lang.xml", "mine/", "mine/notes.txt"}));
    EXPECT_EQ(Read(mDestination / "control.xml"), "<Quorvane.control/>");
    EXPECT_EQ(Read(mDestination / "css" / "site.css"), "body{}");
    EXPECT_EQ(Read(mDestination / "mine" / "notes.txt"), "kept");
}

TEST_F(PackageTest, ListsEntriesWithTheirSizes) {
    PackageWriter(mPackage).Folder("images/").File("images/a.gif", "12345").Close();
    const std::vector<PackageEntry> entries = ListPackage(Text(mPackage));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, u"images/");
    EXPECT_TRUE(entries[0].isFolder);
    EXPECT_EQ(entries[1].name, u"images/a.gif");
    EXPECT_EQ(entries[1].size, 5u);
    EXPECT_FALSE(entries[1].isFolder);
}

TEST_F(PackageTest, RefusesHostileNamesBeforeWritingAnything) {
    const std::string names[] = {
        "../evil.txt",   "a/../../evil.txt", "..\\evil.txt", "a\\..\\..\\evil.txt",
        "/tmp/evil.txt", "\\evil.txt",       "C:/evil.txt",  "c:evil.txt",
        "pages/CON",     "nul.txt",          "lpt1.asp",     "images/Aux .gif",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Write(mDestination / "good.txt", "old");
        PackageWriter(mPackage).File("good.txt", "new").File("new/file.txt", "x").File(name, "evil").Close();
        ExpectRefused(mPackage, automation::ErrorNumber::BadFileNameOrNumber, automation::FromUtf8(name));
        EXPECT_EQ(Tree(mDestination), std::vector<std::string>{"good.txt"});
        EXPECT_EQ(Read(mDestination / "good.txt"), "old");
        EXPECT_FALSE(fs::exists(mTemp / "evil.txt"));
    }
}

TEST_F(PackageTest, RefusesLinksAndSpecialFiles) {
    PackageWriter(mPackage).File("link", "/etc/passwd", S_IFLNK | 0777).Close();
    ExpectRefused(mPackage, automation::ErrorNumber::BadFileNameOrNumber, u"symbolic link");
    PackageWriter(mPackage).File("pipe", "", S_IFIFO | 0644).Close();
    ExpectRefused(mPackage, automation::ErrorNumber::BadFileNameOrNumber, u"special file");
    // A plain file with Unix permissions is fine.
    PackageWriter(mPackage).File("run.sh", "echo", S_IFREG | 0755).Close();
    ExtractPackage(Text(mPackage), Text(mDestination));
    EXPECT_EQ(Read(mDestination / "run.sh"), "echo");
}

TEST_F(PackageTest, NeverWritesThroughALinkInTheDestination) {
    fs::create_directories(mDestination);
    fs::create_directories(mTemp / "outside");
    fs::create_directory_symlink(mTemp / "outside", mDestination / "images");
    PackageWriter(mPackage).File("images/logo.gif", "GIF").Close();
    ExpectRefused(mPackage, automation::ErrorNumber::BadFileNameOrNumber, u"link");
    EXPECT_TRUE(fs::is_empty(mTemp / "outside"));
    // A pipe where the package has a folder is named as what it is.
    fs::remove(mDestination / "images");
    ASSERT_EQ(::mkfifo((mDestination / "images").c_str(), 0600), 0);
    ExpectRefused(mPackage, automation::ErrorNumber::BadFileNameOrNumber, u"holds a pipe, socket or device");
    EXPECT_TRUE(fs::is_fifo(mDestination / "images"));
}

TEST_F(PackageTest, RefusesANameThatIsBothFileAndFolder) {
    PackageWriter(mPackage).File("a", "file").File("a/b.txt", "inside").Close();
    ExpectRefused(mPackage, automation::ErrorNumber::BadFileNameOrNumber, u"both a file and a folder");
    EXPECT_FALSE(fs::exists(mDestination / "a"));
}

TEST_F(PackageTest, DamagedOrTruncatedPackageLeavesTheDestinationAsItWas) {
    Write(mDestination / "first.txt", "old first");
    const std::string big(200000, 'q');
    PackageWriter(mPackage).File("first.txt", "new first").File("sub/second.txt", big).Close();
    std::string bytes = Read(mPackage);

    // Damage the compressed data of the second member: found only while unpacking it, after the
    // first member was already written beside its target.
    const std::size_t second = bytes.find("sub/second.txt");
    ASSERT_NE(second, std::string::npos);
    std::string damaged = bytes;
    for (std::size_t offset = second + 20; offset < second + 60; ++offset) {
        damaged[offset] = static_cast<char>(damaged[offset] ^ 0x5a);
    }
    Write(mPackage, damaged);
    ExpectRefused(mPackage, automation::ErrorNumber::PathFileAccessError, u"damaged");
    EXPECT_EQ(Tree(mDestination), std::vector<std::string>{"first.txt"});
    EXPECT_EQ(Read(mDestination / "first.txt"), "old first");

    Write(mPackage, bytes.substr(0, bytes.size() / 2));
    ExpectRefused(mPackage, automation::ErrorNumber::PathFileAccessError, u"damaged");
    Write(mPackage, "not a zip at all");
    ExpectRefused(mPackage, automation::ErrorNumber::PathFileAccessError, u"damaged");
    EXPECT_EQ(Tree(mDestination), std::vector<std::string>{"first.txt"});
}

TEST_F(PackageTest, MissingPackageIsFileNotFound) {
    try {
        ExtractPackage(Text(mTemp / "none.zip"), Text(mDestination));
        ADD_FAILURE() << "extracted";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::FileNotFound);
        EXPECT_NE(error.Description().find(u"none.zip"), std::u16string::npos);
    }
    EXPECT_FALSE(fs::exists(mDestination));
}

TEST_F(PackageTest, BoundsTheUnpackedSizeAndTheEntryCount) {
    // Two megabytes of zeros compress to a few kilobytes.
    PackageWriter(mPackage).File("small.txt", "x").File("bomb.bin", std::string(2 << 20, '\0')).Close();
    ASSERT_LT(fs::file_size(mPackage), 64u << 10);
    ExtractLimits limits;
    limits.maxTotalBytes = 1 << 20;
    ExpectRefused(mPackage, automation::ErrorNumber::PathFileAccessError, u"more than 1048576 bytes", limits);
    EXPECT_FALSE(fs::exists(mDestination / "small.txt"));

    limits = ExtractLimits();
    limits.maxEntries = 1;
    ExpectRefused(mPackage, automation::ErrorNumber::PathFileAccessError, u"more than 1 entries", limits);
    limits.maxEntries = 2;
    ExtractPackage(Text(mPackage), Text(mDestination), limits);
    EXPECT_EQ(fs::file_size(mDestination / "bomb.bin"), 2u << 20);
}

} // namespace
} // namespace qv::zip
