// The project file's exact bytes, against files written by hand from the format's rules.

#include "project/ProjectFileTestSupport.h"

#include "project/internal/ProjectFileWriter.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"

#include "platform/automation/Error.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

using automation::Variant;
using test::SettingRow;

class ProjectFileWriterTest : public test::ModelTest {};

std::string Golden(std::string_view name) {
    return test::ReadFileBytes(std::filesystem::path(QV_TEST_DATA_DIR) / "golden" / name);
}

/// The script settings of the file, and one that stays out of it.
automation::Ref<QoProperties> ScriptSettings(std::u16string_view name, std::u16string_view control,
                                             std::u16string_view level1) {
    return test::MakeSettings({{u"ScriptType", u"String", true, Variant(u"Table")},
                               {u"ScriptCodeType", u"String", true, Variant(u"Server")},
                               {u"ScriptName", u"String", true, Variant(name)},
                               {u"ScriptCtrlID", u"String", true, Variant(control)},
                               {u"ScriptL1Key", u"String", true, Variant(level1)},
                               {u"ScriptL2Key", u"String", true, Variant(u"")},
                               {u"Seq", u"Integer", false, Variant(std::int16_t{1})}});
}

TEST_F(ProjectFileWriterTest, WritesEveryElementAsLaidOut) {
    auto project = test::MakeSettings({
        {u"ProjName", u"String", true, Variant(u"Shop & <Co> \"Ltd\"")},
        {u"ProjVar", u"String", false, Variant(u"Shop")},
        {u"CodePage", u"Long", true, Variant(std::int32_t{1252})},
        {u"Cache", u"Boolean", true, Variant(true)},
        {u"UseCss", u"Boolean", true, Variant()},
        {u"ExportCsv", u"Boolean", true, Variant(false)},
        {u"BodyLeftMargin", u"Integer", true, Variant()},
        {u"FooterText", u"String", true, Variant(u"line1\r\nline2\tend")},
        // A value with no text form is written empty instead of stopping the save.
        {u"CssStyles", u"String", true, Variant::Null()},
        // é is in the charset, the check mark is not.
        {u"BodyTitle", u"String", true, Variant(u"Caf\u00e9 \u2713")},
    });
    auto chart = test::MakeSettings({{u"Name", u"String", true, Variant(u"Chart")},
                                     {u"Template", u"String", true, Variant(u"chart.zip")},
                                     {u"Seq", u"Integer", false, Variant(std::int16_t{1})}});
    auto menu = test::MakeSettings(
        {{u"Name", u"String", true, Variant(u"Menu")}, {u"Template", u"String", true, Variant(u"")}});

    auto database = automation::MakeRef<QelDatabase>();
    test::ReplaceSettings(*database, {{u"DBName", u"String", true, Variant(u"Shop")},
                                      {u"DBType", u"String", true, Variant(u"ODBC")},
                                      {u"DBUseServerMapPath", u"Boolean", true, Variant(true)},
                                      {u"Scratch", u"String", false, Variant(u"x")},
                                      {u"MaxUploadSize", u"Long", true, Variant(std::int32_t{2000000})}});
    QelTables& tables = *database->tables();
    ASSERT_TRUE(tables.Add(u"Orders"));
    ASSERT_TRUE(tables.Add(u"Empty"));
    QelTable& orders = *tables.Find(u"Orders");
    ASSERT_TRUE(orders.Fields()->Add(u"ID"));
    ASSERT_TRUE(orders.Fields()->Add(u"Status"));
    test::ReplaceSettings(*orders.Fields()->Find(u"ID"),
                          {{u"FldName", u"String", true, Variant(u"ID")},
                           {u"FldType", u"Integer", true, Variant(std::int16_t{3})},
                           {u"FldIsPrimaryKey", u"Boolean", true, Variant(true)},
                           {u"FldTagValues", u"String", true, Variant(u"")}});
    test::ReplaceSettings(*orders.Fields()->Find(u"Status"),
                          {{u"FldName", u"String", true, Variant(u"Status")},
                           {u"FldSeq", u"Integer", false, Variant(std::int16_t{2})},
                           {u"FldType", u"Integer", true, Variant(std::int16_t{202})},
                           {u"FldIsPrimaryKey", u"Boolean", true, Variant()},
                           {u"FldTagValues", u"String", true, Variant(u"New\r\nPaid")}});
    test::ReplaceSettings(orders, {{u"TblName", u"String", true, Variant(u"Orders")},
                                   {u"TblKey", u"String", false, Variant(u"ID")},
                                   {u"TblGen", u"Boolean", true, Variant(false)}});
    test::ReplaceSettings(*tables.Find(u"Empty"), {{u"TblName", u"String", true, Variant(u"Empty")}});

    ProjectFileWriter writer(u"windows-1252", /*byteOrderMark=*/false);
    writer.BeginProject(u"6.0.0.5", *project);
    writer.WriteExtension(*chart);
    writer.WriteExtension(*menu);
    writer.WriteDatabase(*database);
    const std::vector<FieldRelation> relations{{u"ID", u"OrderID"}, {u"Status", u"State"}};
    writer.WriteMasterDetail(u"Orders", u"Lines", relations);
    writer.WriteMasterDetail(u"Orders", u"Notes", {});
    writer.WriteCustomScript(*ScriptSettings(u"Go", u"list", u"Orders"),
                             u"If a]]>b Then\r\n  x = 1\r\nEnd If");
    writer.WriteCustomScript(*ScriptSettings(u"Empty", u"", u""), u"");
    EXPECT_EQ(writer.Finish(), Golden("every-element.xml"));
}

TEST_F(ProjectFileWriterTest, WritesUtf8WithByteOrderMarkAndScriptsAfterTheProjectLine) {
    auto project = test::MakeSettings({{u"ProjName", u"String", true, Variant(u"Caf\u00e9 \u2713")}});
    auto script = test::MakeSettings({{u"ScriptType", u"String", true, Variant(u"Page")},
                                      {u"ScriptCodeType", u"String", true, Variant(u"Client")},
                                      {u"ScriptName", u"String", true, Variant(u"N")},
                                      {u"ScriptCode", u"String", false, Variant(u"ignored")}});
    ProjectFileWriter writer(u"utf-8", /*byteOrderMark=*/true);
    writer.BeginProject(u"6.0", *project);
    // A CR at the very end of the code still ends in a section of its own.
    writer.WriteCustomScript(*script, u"x = \"\u2713\"\r");
    EXPECT_EQ(writer.Finish(), Golden("utf8-scripts-only.xml"));
}

TEST_F(ProjectFileWriterTest, DeclaresNoEncodingWhenThereIsNoCharsetName) {
    ProjectFileWriter writer(u"", /*byteOrderMark=*/false);
    writer.BeginProject(u"6.0", *test::MakeSettings({}));
    EXPECT_EQ(writer.Finish(), "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<Project Version=\"6.0\">\r\n"
                               "</Project>\r\n");
}

TEST_F(ProjectFileWriterTest, RefusesACharacterXmlCannotHoldNamingTheSetting) {
    auto database = automation::MakeRef<QelDatabase>();
    database->SetDBName(u"Shop");
    ASSERT_TRUE(database->tables()->Add(u"Orders"));
    QelTable& orders = *database->tables()->Find(u"Orders");
    ASSERT_TRUE(orders.Fields()->Add(u"Note"));
    orders.Fields()->Find(u"Note")->SetFldCaption(u"bell\u0007");

    ProjectFileWriter writer(u"utf-8", false);
    writer.BeginProject(u"6.0", *test::MakeSettings({}));
    try {
        writer.WriteDatabase(*database);
        FAIL() << "a control character was written";
    } catch (const automation::Error& error) {
        const std::string description = automation::ToUtf8(error.Description());
        EXPECT_NE(description.find("table \"Orders\", field \"Note\""), std::string::npos) << description;
        EXPECT_NE(description.find("FldCaption"), std::string::npos) << description;
    }
}

} // namespace
} // namespace qv
