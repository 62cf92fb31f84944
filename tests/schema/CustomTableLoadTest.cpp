// Adding custom views and reports to a project, and bringing them in step one by one, on the
// embedded SQLite test database.

#include "schema/SchemaProjectFixture.h"

#include "project/Qel.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Text.h"

namespace qv {
namespace {

using automation::Variant;

class CustomTableLoadTest : public test::DatabaseProjectTest {
protected:
    bool LoadReport(std::u16string_view name, std::u16string_view source) {
        return automation::ToBoolean(
            Call(*mProject, u"LoadReport", {Variant(std::u16string(name)), Variant(std::u16string(source))}));
    }
    void LoadCustomView(std::u16string_view name, std::u16string_view sql, bool copyFields = false) {
        Call(*mProject, u"LoadCustomView",
             {Variant(std::u16string(name)), Variant(std::u16string(sql)), Variant(copyFields)});
    }
};

TEST_F(CustomTableLoadTest, RefusesWhatItCannotAddWithItsMessage) {
    EXPECT_FALSE(LoadReport(u"rpt", u"customers"));
    EXPECT_EQ(mProject->ProjErr(), u"Quorvane: Database not loaded!");
    LoadCustomView(u"cv", u"SELECT id FROM customers");
    EXPECT_EQ(mProject->ProjErr(), u"Quorvane: Database not loaded!");

    LoadDatabase();
    const std::int32_t count = Tables().Count();
    EXPECT_FALSE(LoadReport(u"customers", u"order_lines"));
    EXPECT_EQ(mProject->ProjErr(), u"Quorvane: Table/View customers already exists!");
    // A name that differs only in letter case is as present as the exact one.
    EXPECT_FALSE(LoadReport(u"CUSTOMERS", u"order_lines"));
    EXPECT_EQ(mProject->ProjErr(), u"Quorvane: Table/View CUSTOMERS already exists!");
    LoadCustomView(u"Customers", u"SELECT id FROM customers");
    EXPECT_EQ(mProject->ProjErr(), u"Quorvane: Table/View Customers already exists!");
    EXPECT_FALSE(LoadReport(u"rpt", u"no_such"));
    EXPECT_EQ(mProject->ProjErr(), u"Quorvane: Table/View no_such not exist or loaded!");
    Call(*mProject, u"UnLoadTable", {Variant(u"order_lines")});
    EXPECT_FALSE(LoadReport(u"rpt", u"order_lines"));
    EXPECT_EQ(mProject->ProjErr(), u"Quorvane: Table/View order_lines not exist or loaded!");

    // What is not one query is refused, and never run.
    const std::int32_t rows = RowCount(u"customers");
    LoadCustomView(u"cv", u"DELETE FROM customers");
    EXPECT_NE(mProject->ProjErr(), u"");
    EXPECT_EQ(RowCount(u"customers"), rows);
    EXPECT_EQ(Tables().Count(), count);
    EXPECT_EQ(mHost.Count(host::HostCallKind::ShowProgress), mHost.Count(host::HostCallKind::CloseProgress));
}

TEST_F(CustomTableLoadTest, AReportCopiesItsSourceAndAViewTheSettingsItFollows) {
    LoadDatabase();
    QelTable& customers = *Tables().Find(u"customers");
    QelField& name = *customers.Fields()->Find(u"name");
    name.SetFldCaption(u"Customer");
    name.SetFldView(true);
    name.SetFldSearch(true);
    name.SetFldAlias(true);

    ASSERT_TRUE(LoadReport(u"rpt", u"customers"));
    EXPECT_EQ(mProject->ProjErr(), u"");
    QelTable& report = *Tables().Find(u"rpt");
    EXPECT_EQ(report.TblType(), u"REPORT");
    EXPECT_EQ(report.TblRptSrc(), u"customers");
    ASSERT_EQ(report.Fields()->Count(), customers.Fields()->Count());
    QelField& copy = *report.Fields()->Find(u"name");
    EXPECT_EQ(copy.FldCaption(), u"Customer");
    EXPECT_TRUE(copy.FldAlias());
    EXPECT_FALSE(copy.FldView());
    EXPECT_FALSE(copy.FldSearch());
    EXPECT_EQ(copy.FldSeq(), name.FldSeq());

    // A custom view takes only the settings that follow their source, and only when asked.
    LoadCustomView(u"cv", u"SELECT name, city FROM customers", true);
    ASSERT_EQ(mProject->ProjErr(), u"");
    QelField& viewName = *Tables().Find(u"cv")->Fields()->Find(u"name");
    EXPECT_EQ(viewName.FldCaption(), u"Customer");
    EXPECT_FALSE(viewName.FldAlias());
    LoadCustomView(u"cv_plain", u"SELECT name FROM customers", false);
    EXPECT_NE(Tables().Find(u"cv_plain")->Fields()->Find(u"name")->FldCaption(), u"Customer");
}

TEST_F(CustomTableLoadTest, OneByOneFailuresGoToTheTableAndKeepItsFields) {
    LoadDatabase();
    LoadCustomView(u"cv", u"SELECT id, name FROM customers");
    ASSERT_TRUE(LoadReport(u"rpt", u"cv"));
    ASSERT_TRUE(LoadReport(u"rpt_lines", u"order_lines"));
    QelTable& view = *Tables().Find(u"cv");
    QelTable& report = *Tables().Find(u"rpt");
    QelTable& lines = *Tables().Find(u"rpt_lines");

    // A connection that does not open: the view says why; the project's error text stays empty.
    mProject->db()->SetDBConnstr(u"DRIVER={No Such Driver};");
    Call(*mProject, u"SyncCustom", {Variant(u"cv")});
    EXPECT_EQ(mProject->ProjErr(), u"");
    EXPECT_NE(view.TblCustomError(), u"");
    EXPECT_EQ(view.Fields()->Count(), 2);
    Call(*mProject, u"SyncReport", {Variant(u"rpt")});
    EXPECT_EQ(report.TblCustomError(), u"Quorvane: Source Table Error");
    EXPECT_EQ(report.Fields()->Count(), 2);

    // A source that is not loaded keeps the report's fields.
    Call(*mProject, u"UnLoadTable", {Variant(u"order_lines")});
    Call(*mProject, u"SyncReport", {Variant(u"rpt_lines")});
    EXPECT_EQ(lines.TblCustomError(), u"Quorvane: Source Table not loaded");
    EXPECT_EQ(lines.Fields()->Count(), 4);

    // A name the project does not have is an error of the call.
    Call(*mProject, u"SyncReport", {Variant(u"no_such")});
    EXPECT_NE(mProject->ProjErr(), u"");
    EXPECT_EQ(mHost.Count(host::HostCallKind::ShowProgress), mHost.Count(host::HostCallKind::CloseProgress));
}

} // namespace
} // namespace qv
