// Outputs a generation cannot write, met through the quorvane program: each is named with the
// reason, counted as not written, the rest of the site is still written, and the run fails.
// Every run has its own hives, configuration and documents folders in a temporary folder.

#include "ProgramTest.h"

#include "support/PipeWatch.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// A package with a page per table, a home page, a page and a copied file in a folder "docs", a
// copied folder of images, and two pages per field of the customers: "picture" for any but the
// login's password column, "card" for every one.
const std::map<std::string, std::string> Package = {
    {"control.xml",
     "<?xml version=\"1.0\"?>\r\n"
     "<Quorvane_Template date=\"2024/05/01\" version=\"6.0\" desc=\"Outputs\" author=\"Tests\">\r\n"
     "  <control id=\"list\" type=\"table\" ifiles=\"list.htm\" ofile=\"list\" oext=\"asp\"/>\r\n"
     "  <control id=\"home\" type=\"other\" ifiles=\"home.htm\" ofile=\"default\" oext=\"asp\"/>\r\n"
     "  <control id=\"docs\" type=\"other\" ifiles=\"home.htm\" ofile=\"index\" oext=\"asp\" "
     "ofolder=\"docs\"/>\r\n"
     "  <control id=\"readme\" type=\"copy\" ifiles=\"docs/readme.txt\"/>\r\n"
     "  <control id=\"picture\" type=\"field\" ifiles=\"field.htm\" ofile=\"picture\" oext=\"asp\" "
     "cond=\"table/TblName/eq/customers,custom:IsLoginPasswordField/Boolean/ne/True\"/>\r\n"
     "  <control id=\"card\" type=\"field\" ifiles=\"field.htm\" ofile=\"card\" oext=\"asp\" "
     "cond=\"table/TblName/eq/customers\"/>\r\n"
     "  <control id=\"images\" type=\"copy\" ifolder=\"images\" ofolder=\"images\"/>\r\n"
     "</Quorvane_Template>\r\n"},
    {"lang.xml", "<?xml version=\"1.0\"?>\r\n<Quorvane.language>\r\n</Quorvane.language>\r\n"},
    {"list.htm", "<h1><!--##=TABLE.TblName##--></h1>\r\n"},
    {"home.htm", "<h1><!--##=PROJ.ProjName##--></h1>\r\n"},
    {"field.htm", "<p><!--##=FIELD.FldName##--> <!--##=PROJ.SecType##--></p>\r\n"},
    {"docs/readme.txt", "read me"},
    {"images/logo.gif", "GIF89a"},
    {"images/icons/up.gif", "GIF89a"},
};

class GenerateOutputsTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        CreateShopDatabase();
        ASSERT_EQ(WriteZip(mPackage, Package), "");
    }

    /// A new project `name`.xml over the shop database with the test package.
    void CreateProject(const std::string& name) {
        Succeed({"new", name + ".xml", "--sqlite", "shop.db"});
        Succeed({"set", name + ".xml", "Template=" + mPackage.string()});
    }

    /// The value of a project setting as `show` gives it.
    std::string Setting(const std::string& project, const std::string& name) {
        const std::string shown = Succeed({"show", project}).out;
        const std::size_t start = shown.find("\n" + name + " = ");
        if (start == std::string::npos) {
            ADD_FAILURE() << name << " not shown:\n" << shown;
            return "";
        }
        const std::size_t value = start + name.size() + 4;
        return shown.substr(value, shown.find('\n', value) - value);
    }

    fs::path mPackage = mTemp / "packages" / "outputs.zip";
};

// A file the user keeps where the site's upload folder should be was passed over without a
// word, and one where the images folder should be failed the copy without saying why.
TEST_F(GenerateOutputsTest, AFileWhereASiteFolderShouldBeIsNamedCountedAndKept) {
    CreateProject("shop");
    ASSERT_EQ(Setting("shop.xml", "UploadPath"), "uploads");
    const fs::path site = mWork / "shop-site";
    fs::create_directories(site);
    for (const char* name : {"uploads", "images"}) {
        std::ofstream(site / name, std::ios::binary) << "the user's " << name;
    }

    const RunResult run = Quorvane({"generate", "shop.xml"});
    EXPECT_NE(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(", 2 could not be written\n"), std::string::npos) << run.out;
    for (const std::string& message :
         {"quorvane: Creating folder \"uploads\" failed! A file stands where the folder should be: \"" +
              (site / "uploads").string() + "\"",
          "quorvane: Copying to folder \"images\" failed! A file stands where the folder should be: \"" +
              (site / "images").string() + "\"",
          std::string("quorvane: generate: 2 outputs could not be written")}) {
        EXPECT_NE(run.err.find(message), std::string::npos) << message << "\n" << run.err;
    }
    EXPECT_EQ(ReadBytes(site / "uploads"), "the user's uploads");
    EXPECT_EQ(ReadBytes(site / "images"), "the user's images");
    // The folder comes first and the copy last: the pages between them are written.
    EXPECT_NE(ReadBytes(site / "default.asp").find("<h1>shop</h1>"), std::string::npos)
        << ReadBytes(site / "default.asp");
    EXPECT_TRUE(fs::exists(site / "customerslist.asp"));
}

// A symbolic link where a folder of the site should be (to nowhere, a file or a folder) stopped
// the run with no page written and no summary, or failed the copy without saying why; a copy
// into a sub-folder went wherever the link pointed.
TEST_F(GenerateOutputsTest, ALinkWhereASiteFolderShouldBeIsNamedCountedAndNeverFollowed) {
    CreateProject("shop");
    const fs::path site = mWork / "shop-site";
    const fs::path elsewhere = mTemp / "elsewhere";
    fs::create_directories(elsewhere / "folder");
    std::ofstream(elsewhere / "file") << "the user's file";
    // What the user sees for `what` that failed because of the link at `link`.
    const auto linked = [](const std::string& what, const fs::path& link) {
        std::string text = "quorvane: " + what;
        text += "\" failed! A symbolic link stands where the folder should be: \"";
        text += link.string();
        text += "\" (it is not followed and is left as it is).";
        return text;
    };
    for (const char* target : {"nowhere", "file", "folder"}) {
        fs::remove_all(site);
        fs::create_directories(site);
        for (const char* name : {"uploads", "images", "docs"}) {
            fs::create_directory_symlink(elsewhere / target, site / name);
        }
        const RunResult run = Quorvane({"generate", "shop.xml"});
        EXPECT_NE(run.status, 0) << run.out;
        EXPECT_NE(run.out.find(", 4 could not be written\n"), std::string::npos) << target << "\n" << run.out;
        for (const std::string& message :
             {linked("Creating folder \"uploads", site / "uploads"),
              linked("Copying to folder \"images", site / "images"),
              linked("Writing to file \"" + (site / "docs" / "index.asp").string(), site / "docs"),
              linked("Copying to file \"" + (site / "docs" / "readme.txt").string(), site / "docs"),
              std::string("quorvane: generate: 4 outputs could not be written")}) {
            EXPECT_NE(run.err.find(message), std::string::npos) << target << ": " << message << "\n"
                                                                << run.err;
        }
        for (const char* name : {"uploads", "images", "docs"}) {
            EXPECT_EQ(fs::read_symlink(site / name), elsewhere / target) << name;
        }
        EXPECT_TRUE(fs::exists(site / "default.asp")) << target;
        EXPECT_TRUE(fs::exists(site / "customerslist.asp")) << target;
    }
    EXPECT_EQ(ReadBytes(elsewhere / "file"), "the user's file");
    EXPECT_TRUE(fs::is_empty(elsewhere / "folder"));
    EXPECT_FALSE(fs::exists(elsewhere / "nowhere"));

    // A link below a copied folder is met by a copy that writes into it.
    fs::remove_all(site);
    fs::create_directories(site / "images");
    fs::create_directory_symlink(elsewhere / "folder", site / "images" / "icons");
    const RunResult run = Quorvane({"generate", "shop.xml", "--overwrite", "all"});
    EXPECT_NE(run.out.find(", 1 could not be written\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("quorvane: Copying to folder \"images\" failed! A symbolic link stands where the "
                           "folder should be: \"" +
                           (site / "images" / "icons").string() + "\""),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(fs::is_empty(elsewhere / "folder"));
    EXPECT_TRUE(fs::exists(site / "docs" / "readme.txt"));
    // The rest of the folder is copied.
    EXPECT_EQ(ReadBytes(site / "images" / "logo.gif"), "GIF89a");
}

// A dangling link below the images folder, in the site or in the extracted package, stopped the
// copy of the whole folder ("Error in open ... File not found"), also when one image had to be
// restored, and one in the package's temp folder stopped the run. A link is never followed: one
// where the copy has a file is named and left, and every other file is copied.
TEST_F(GenerateOutputsTest, LinksBelowACopiedFolderAreLeftAloneAndTheRestIsCopied) {
    CreateProject("shop");
    Succeed({"generate", "shop.xml"});
    const fs::path site = mWork / "shop-site";
    const fs::path extracted = mTemp / "documents" / "Quorvane" / "Templates" / "outputs.zip";
    ASSERT_TRUE(fs::is_directory(extracted / "Script" / "images")) << extracted;
    const fs::path elsewhere = mTemp / "elsewhere.gif";
    std::ofstream(elsewhere) << "the user's image";
    const auto linkedFile = [&](const fs::path& link) {
        return "quorvane: Copying to folder \"images\" failed! A symbolic link stands where the file "
               "should be: \"" +
               link.string() + "\" (it is not followed and is left as it is).";
    };

    // One image to restore on an existing site, which is backed up first.
    fs::create_symlink("nowhere", site / "images" / "sub");
    fs::create_symlink(elsewhere, site / "images" / "linked.gif");
    fs::remove(site / "images" / "logo.gif");
    fs::create_symlink("nowhere", extracted / "Script" / "images" / "a.gif");
    fs::create_symlink("nowhere", extracted / "temp" / "a.bin");
    RunResult run = Succeed({"generate", "shop.xml", "--overwrite", "all"});
    EXPECT_EQ(run.err.find("Error in open"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find(" 1 replaced,"), std::string::npos) << run.out;
    EXPECT_EQ(ReadBytes(site / "images" / "logo.gif"), "GIF89a");
    EXPECT_EQ(ReadBytes(site / "images.bak" / "icons" / "up.gif"), "GIF89a");
    for (const char* name : {"sub", "linked.gif"}) {
        EXPECT_TRUE(fs::is_symlink(site / "images" / name)) << name;
        EXPECT_FALSE(fs::exists(fs::symlink_status(site / "images.bak" / name))) << name;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(site / "images" / "a.gif")));

    // A link where the copy has a file is in its way: named and left, the rest copied.
    fs::remove(site / "images" / "logo.gif");
    fs::remove(site / "images" / "icons" / "up.gif");
    fs::create_symlink(elsewhere, site / "images" / "logo.gif");
    run = Quorvane({"generate", "shop.xml", "--overwrite", "all"});
    EXPECT_NE(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(", 1 could not be written\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(linkedFile(site / "images" / "logo.gif")), std::string::npos) << run.err;
    EXPECT_EQ(fs::read_symlink(site / "images" / "logo.gif"), elsewhere);
    EXPECT_EQ(ReadBytes(elsewhere), "the user's image");
    EXPECT_EQ(ReadBytes(site / "images" / "icons" / "up.gif"), "GIF89a");
}

// A named pipe in the site's images folder or in the extracted package's made the generation
// wait for ever: the backup of the folder and its copy opened it as a file. None is opened: one
// where the copy has a file is named and left, as a link is; the others are passed by, also in the
// package's temp folder, which is cleaned. What stands where the folder's backup goes is named
// ("Path not found" said nothing of it) and left as it is.
TEST_F(GenerateOutputsTest, PipesInCopiedFoldersAreNeverOpenedAndABackupsPlaceIsNamed) {
    CreateProject("shop");
    Succeed({"generate", "shop.xml"});
    const fs::path site = mWork / "shop-site";
    const fs::path extracted = mTemp / "documents" / "Quorvane" / "Templates" / "outputs.zip";
    fs::remove(site / "images" / "logo.gif");
    fs::remove(site / "images" / "icons" / "up.gif");
    // A changed template makes the run clean the temp folder.
    std::map<std::string, std::string> changed = Package;
    changed["home.htm"] = "<h2><!--##=PROJ.ProjName##--></h2>\r\n";
    ASSERT_EQ(WriteZip(mPackage, changed), "");
    const PipeWatch pipes({site / "images" / "pipe", site / "images" / "logo.gif",
                           extracted / "Script" / "images" / "pipe.gif", extracted / "temp" / "a.tmp",
                           extracted / "temp" / "b.bin"});
    RunResult run = Quorvane({"generate", "shop.xml", "--overwrite", "all"});
    EXPECT_NE(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(", 1 could not be written\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("quorvane: Copying to folder \"images\" failed! A pipe, socket or device stands "
                           "where the file should be: \"" +
                           (site / "images" / "logo.gif").string() +
                           "\" (it is not opened and is left as it is)."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(site / "images" / "icons" / "up.gif"), "GIF89a");
    EXPECT_TRUE(fs::is_directory(site / "images.bak" / "icons"));
    for (const fs::path& pipe :
         {site / "images" / "pipe", site / "images" / "logo.gif", extracted / "temp" / "a.tmp"}) {
        EXPECT_TRUE(fs::is_fifo(pipe)) << pipe;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(site / "images.bak" / "pipe")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(site / "images" / "pipe.gif")));
    EXPECT_EQ(pipes.Opened(), std::vector<fs::path>{});

    // A file, then a link to a folder, where the backup of the images goes.
    fs::remove(site / "images" / "logo.gif");
    fs::remove_all(site / "images.bak");
    std::ofstream(site / "images.bak") << "the user's";
    const fs::path elsewhere = mTemp / "elsewhere";
    fs::create_directories(elsewhere / "kept");
    for (const std::string what : {"a file", "a symbolic link"}) {
        fs::remove(site / "images" / "icons" / "up.gif");
        run = Quorvane({"generate", "shop.xml", "--overwrite", "all"});
        EXPECT_NE(run.status, 0) << run.out;
        EXPECT_NE(run.err.find("Error in open \"" + (site / "images").string() +
                               "\", description:Path/File access error: '" + (site / "images.bak").string() +
                               "' (" + what + " stands where a folder is expected)"),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(fs::exists(site / "images" / "icons" / "up.gif"));
        fs::remove(site / "images.bak");
        fs::create_directory_symlink(elsewhere, site / "images.bak");
    }
    EXPECT_TRUE(fs::is_directory(elsewhere / "kept"));
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), {}), 1);
}

// With the folder the package is extracted into (Templates/<package>) a link to another folder,
// a generation extracted the package there, overwrote its pages and cache, deleted its ".tmp"
// files and succeeded. A link at any work folder below the product's own is refused before
// anything is written.
TEST_F(GenerateOutputsTest, ALinkAtAWorkFolderIsRefusedAndNothingIsWrittenThrough) {
    CreateProject("shop");
    const fs::path product = mTemp / "documents" / "Quorvane";
    const fs::path elsewhere = mTemp / "elsewhere";
    for (const fs::path& folder :
         {fs::path("Templates") / "outputs.zip", fs::path("Templates"), fs::path("Backup")}) {
        SCOPED_TRACE(folder);
        fs::remove_all(product);
        fs::remove_all(elsewhere);
        fs::create_directories(elsewhere / "Script");
        fs::create_directories(elsewhere / "temp");
        std::ofstream(elsewhere / "Script" / "list.htm") << "the user's page";
        std::ofstream(elsewhere / "temp" / "cache.xml") << "the user's cache";
        std::ofstream(elsewhere / "temp" / "notes.tmp") << "the user's notes";
        fs::create_directories((product / folder).parent_path());
        fs::create_directory_symlink(elsewhere, product / folder);
        const RunResult run = Quorvane({"generate", "shop.xml"});
        EXPECT_NE(run.status, 0) << run.out;
        EXPECT_NE(run.err.find("'" + (product / folder).string() +
                               "' (a symbolic link stands where a folder is expected)"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(ReadBytes(elsewhere / "Script" / "list.htm"), "the user's page");
        EXPECT_EQ(ReadBytes(elsewhere / "temp" / "cache.xml"), "the user's cache");
        EXPECT_EQ(ReadBytes(elsewhere / "temp" / "notes.tmp"), "the user's notes");
        EXPECT_EQ(std::distance(fs::recursive_directory_iterator(elsewhere), {}), 5);
        EXPECT_FALSE(fs::exists(mWork / "shop-site" / "default.asp"));
    }
}

// A page an earlier generation wrote for a column that has since become the login's password
// column stayed, whatever the switches and answers: it could send every user's password.
TEST_F(GenerateOutputsTest, PagesLeftForTheLoginsPasswordColumnAreRemovedOrReplaced) {
    CreateProject("shop");
    Succeed({"set", "shop.xml", "customers.city", "FldGenerate=True"});
    Succeed({"generate", "shop.xml"});
    const fs::path site = mWork / "shop-site";
    ASSERT_TRUE(fs::exists(site / "customers_citypicture.asp"));
    Succeed({"set", "shop.xml", "SecType=Dynamic", "SecTbl=customers", "SecLoginIDFld=name",
             "SecPasswdFld=city"});
    Succeed({"set", "shop.xml", "customers", "TblOverwrite=False"});

    // The other columns' pages, kept by the switch, are named as pages that may leave the login
    // open, and fail the run; the password column's pages go all the same.
    const RunResult run = Quorvane({"generate", "shop.xml", "--overwrite", "none"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("The page \"" + (site / "customers_namecard.asp").string() +
                           "\" is kept as its overwrite switch (TblOverwrite, OtherOverwrite) is False, "
                           "although it differs from the page the project's login needs: as it is, it may "
                           "serve visitors who have not logged in.\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(site / "customers_citypicture.asp"));
    EXPECT_NE(ReadBytes(site / "customers_citycard.asp").find("<p>city Dynamic</p>"), std::string::npos);
    for (const std::string& page :
         {std::string("picture.asp\" that an earlier generation wrote for the password "
                      "column \"city\" of the user table \"customers\" is removed: "),
          std::string("card.asp\" that an earlier generation wrote for the password "
                      "column \"city\" of the user table \"customers\" is replaced: ")}) {
        EXPECT_NE(run.err.find("quorvane: The page \"" + (site / "customers_city").string() + page),
                  std::string::npos)
            << page << "\n"
            << run.err;
    }
    // The next run has nothing to remove or replace.
    const RunResult again = Quorvane({"generate", "shop.xml", "--overwrite", "none"});
    EXPECT_EQ(again.err.find("earlier generation"), std::string::npos) << again.err;
}

// A table whose page name is longer than the file system takes stopped the run at that page:
// the pages after it, the home page among them, were never written and no summary was given.
TEST_F(GenerateOutputsTest, APageWhoseNameIsTooLongIsCountedAndTheRestWritten) {
    const std::string table(250, 't');
    const RunResult created = RunProgram(
        "/bin/sh",
        {"-c", "sqlite3 shop.db \"$0\"", "CREATE TABLE " + table + " (id INTEGER PRIMARY KEY, note TEXT)"},
        {}, mWork);
    ASSERT_EQ(created.status, 0) << created.err;
    CreateProject("shop");
    Succeed({"set", "shop.xml", table, "TblGen=True"});
    const fs::path site = mWork / "shop-site";

    const RunResult run = Quorvane({"generate", "shop.xml"});
    EXPECT_NE(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(", 1 could not be written\n"), std::string::npos) << run.out;
    const std::string page = (site / (table + "list.asp")).string();
    EXPECT_NE(run.err.find("quorvane: Error in open \"" + page + "\", description:"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("(File name too long)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("quorvane: generate: 1 output could not be written"), std::string::npos)
        << run.err;
    EXPECT_NE(ReadBytes(site / "default.asp").find("<h1>shop</h1>"), std::string::npos)
        << ReadBytes(site / "default.asp");
    for (const char* written : {"customerslist.asp", "productslist.asp", "images/logo.gif"}) {
        EXPECT_TRUE(fs::exists(site / written)) << written;
    }
}

// The site folder named after a project file of 251 bytes or more before its extension was
// itself longer than a file name may be, so that nothing could ever be generated into it.
TEST_F(GenerateOutputsTest, TheDefaultSiteFolderOfALongProjectNameFitsTheFileSystem) {
    // Up to the longest name that fits, the folder is named as it always was.
    const std::string fits(250, 'p');
    CreateProject(fits);
    EXPECT_EQ(Setting(fits + ".xml", "Destination"), (mWork / (fits + "-site")).string());

    const std::string longer(251, 'p');
    CreateProject(longer);
    const fs::path site = Setting(longer + ".xml", "Destination");
    EXPECT_EQ(site.parent_path(), mWork);
    EXPECT_LE(site.filename().string().size(), 255u) << site;
    EXPECT_EQ(site.filename().string().rfind(std::string(200, 'p'), 0), 0u) << site;
    EXPECT_TRUE(site.filename().string().ends_with("-site")) << site;
    const std::string generated = Succeed({"generate", longer + ".xml"}).out;
    EXPECT_NE(generated.find(", 0 could not be written\n"), std::string::npos) << generated;
    std::error_code error;
    EXPECT_TRUE(fs::exists(site / "default.asp", error)) << site;

    // Two long names that differ only past the cut get folders of their own.
    const std::string other = std::string(250, 'p') + "q";
    CreateProject(other);
    EXPECT_NE(Setting(other + ".xml", "Destination"), site.string());
}

} // namespace
} // namespace qv::test
