// A site of an Access database: where generation copies the file and where the generated site
// then looks for it must be one place, whatever the database's folder setting says and wherever
// the pages lie below the application root.

#include "DemoSite.h"

#include "asp/AspRunner.h"

#include "model/table/QelDatabase.h"

#include "platform/system/Paths.h"

#include "platform/automation/Object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace qv::test::templates {
namespace {

namespace fs = std::filesystem;

using automation::Variant;

std::string Read(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

class AccessSite : public DemoSiteTest {
protected:
    void LoadProject() override {
        fs::create_directories(mTemp / "db");
        fs::copy_file(fs::path(QV_FIXTURES_DIR) / "access" / "nwind.mdb", mFile);
        automation::CallByName(*mProject, u"LoadDB", automation::InvokeRead,
                               {Variant(u"nwind"), Variant(u"ACCESS"), Variant(u""),
                                Variant(system::FromNativePath(mFile)), Variant(true), Variant(u""),
                                Variant(u""), Variant(u""), Variant(u"")});
        ASSERT_EQ(ProjErr(), "");
    }
    bool GeneratesInSetUp() const override { return false; }

    /// Generates with the database's folder setting and the pages in `pages` below the site.
    std::string Config(std::u16string_view dbPath, bool mapped, const fs::path& pages) {
        mProject->db()->SetDBPath(std::u16string(dbPath));
        mProject->db()->SetDBUseServerMapPath(mapped);
        fs::create_directories(pages);
        mProject->SetDestination(system::FromNativePath(pages));
        GenScript();
        EXPECT_EQ(ProjErr(), "");
        const std::string config = Read(pages / "qvcfg.asp");
        const std::size_t start = config.find("QV_CONNECTION_STRING = ");
        return start == std::string::npos ? config : config.substr(start, config.find('\r', start) - start);
    }

    fs::path mFile = mTemp / "db" / "nwind.mdb";
};

TEST_F(AccessSite, TheSiteOpensTheCopyGenerationMade) {
    const std::string provider =
        R"(QV_CONNECTION_STRING = "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" & )";
    // No folder: the copy lies beside the pages.
    EXPECT_EQ(Config(u"", true, mSite), provider + R"(Server.MapPath("nwind.mdb") & ";")");
    EXPECT_TRUE(Read(mSite / "nwind.mdb") == Read(mFile));

    // A folder under the application root, written in any of its forms.
    mHost.Answer(host::MessageAnswer::Yes);
    EXPECT_EQ(Config(u"~/data", true, mSite), provider + R"(Server.MapPath("data/nwind.mdb") & ";")");
    EXPECT_TRUE(Read(mSite / "data" / "nwind.mdb") == Read(mFile));
    EXPECT_EQ(Config(u"\\data\\", true, mSite), provider + R"(Server.MapPath("data/nwind.mdb") & ";")");

    // Pages two levels below the root climb to it in the mapped path: parent paths are off on
    // a default server, so the page's own folder is mapped.
    EXPECT_EQ(Config(u"~/data", true, mSite / "admin" / "shop"),
              provider + R"(Server.MapPath(".") & "\..\..\data\nwind.mdb" & ";")");

    // Not mapped: the folder generation copied the file into.
    EXPECT_EQ(Config(u"~/data", false, mSite),
              provider + "\"" + (mSite / "data" / "nwind.mdb").string() + "\" & \";\"");
}

// What a page of the site finds as its data source, mapped by the web server as it maps it
// (parent paths refused): the copy, also for pages below the root.
TEST_F(AccessSite, PagesFindTheCopyWhereverTheyLie) {
    mHost.Answer(host::MessageAnswer::Yes);
    for (const fs::path& pages : {mSite, mSite / "admin" / "shop"}) {
        SCOPED_TRACE(pages.string());
        Config(u"~/data", true, pages);
        std::ofstream(pages / "source.asp")
            << "<!--#include file=\"qvcfg.asp\"-->\r\n<%= QV_CONNECTION_STRING %>";
        AspSite site(mSite);
        AspBrowser browser(site);
        const AspResponse response = browser.Get(fs::relative(pages / "source.asp", mSite).generic_string());
        EXPECT_EQ(response.error, "");
        const std::string prefix = "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=";
        const std::size_t start = response.body.find(prefix);
        ASSERT_NE(start, std::string::npos) << response.body;
        std::string source = response.body.substr(start + prefix.size());
        source = source.substr(0, source.find(';'));
        std::replace(source.begin(), source.end(), '\\', '/');
        EXPECT_EQ(fs::path(source).lexically_normal(), (mSite / "data" / "nwind.mdb").lexically_normal());
    }
}

TEST_F(AccessSite, APasswordGoesIntoTheConnectionAsOneValue) {
    mProject->db()->SetDBPwd(u"a;b\"c");
    EXPECT_EQ(Config(u"", true, mSite),
              R"(QV_CONNECTION_STRING = "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" & )"
              R"(Server.MapPath("nwind.mdb") & ";Jet OLEDB:Database Password='a;b""c'" & ";")");
}

} // namespace
} // namespace qv::test::templates
