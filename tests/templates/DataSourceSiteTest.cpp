// A site of a project made from an ODBC data source. Such a project keeps the source's name,
// user and password and no connection string, and the site's connection string was empty.

#include "DemoSite.h"

#include "support/ScopedEnvironment.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Constants.h"
#include "platform/system/Paths.h"

#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <fstream>

namespace qv::test::templates {
namespace {

namespace fs = std::filesystem;

using automation::Variant;

class DataSourceSite : public DemoSiteTest {
protected:
    void LoadProject() override {
        const fs::path ini = mTemp / "odbc.ini";
        std::ofstream(ini) << "[shop dsn]\nDriver=SQLite3\nDatabase=" << (mTemp / "demo" / "shop.db").string()
                           << "\n";
        mOdbc.Set("ODBCINI", ini.string());
        automation::CallByName(*mProject, u"LoadDB", automation::InvokeRead,
                               {Variant(u"shop dsn"), Variant(u"ODBC"), Variant(u""), Variant(u""),
                                Variant(false), Variant(u"me"), Variant(u"secret"), Variant(u""),
                                Variant(u"")});
        ASSERT_EQ(ProjErr(), "");
    }

    ScopedEnvironment mOdbc;
};

// The source, user and password; the text the site gets opens the database. A value with a
// separator in it stays one value.
TEST_F(DataSourceSite, TheSiteConnectsToTheDataSource) {
    const std::string& config = Page("qvcfg.asp");
    EXPECT_NE(config.find("QV_CONNECTION_STRING = \"DSN=shop dsn;UID=me;PWD=secret\"\r\n"), std::string::npos)
        << config;
    ado::Connection connection;
    connection.Open(u"DSN=shop dsn;UID=me;PWD=secret");
    EXPECT_EQ(connection.State(), ado::ObjectState::Open);

    mProject->db()->SetDBPwd(u"p;w}d=1");
    GenScript();
    ASSERT_EQ(ProjErr(), "");
    EXPECT_NE(ReadSite()["qvcfg.asp"].find(R"(QV_CONNECTION_STRING = "DSN=shop dsn;UID=me;PWD={p;w}}d=1}")"),
              std::string::npos);
}

} // namespace
} // namespace qv::test::templates
