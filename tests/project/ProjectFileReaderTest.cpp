// Reading the project file's elements back into a project: what each attribute gives its
// setting, which elements are skipped, and what is derived again.

#include "project/ProjectFileTestSupport.h"

#include "project/internal/ProjectFileReader.h"
#include "project/internal/ProjectFileWriter.h"

#include "project/QelExtension.h"
#include "project/QelExtensions.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"
#include "project/SkippedElement.h"
#include "project/internal/QelCustomScript.h"
#include "project/internal/QelCustomScripts.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTable.h"

#include "core/Apartment.h"

#include "platform/automation/Error.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/xml/Document.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using automation::Variant;
using automation::VarType;

class ProjectFileReaderTest : public test::ModelTest {
protected:
    /// Reads a file's text (the `Project` element and what it holds) into the project.
    void Read(std::u16string_view xml) {
        xml::Document document = xml::Document::Parse(xml, {.preserveWhitespace = true});
        ProjectFileReader reader({*mSettings, *mDatabases, mDatabaseName, mExtensions.Get(), mPairs.Get(),
                                  mScripts.Get(), &mSkipped});
        reader.ReadProjectSettings(document.DocumentElement());
        reader.ReadNodes(document.DocumentElement());
    }

    QelDatabase& Database() { return *mDatabases->Item(Variant(mDatabaseName)); }
    /// What to change in the file to keep each element the reading skipped, in file order.
    std::u16string Fixes() const {
        std::u16string fixes;
        for (const SkippedElement& skipped : mSkipped) {
            fixes += (fixes.empty() ? u"" : u"; ") + skipped.fix;
        }
        return fixes;
    }
    QelTable& Table(std::u16string_view name) {
        QelTable* table = Database().tables()->Find(name);
        EXPECT_NE(table, nullptr);
        return *table;
    }
    QelField& Field(std::u16string_view table, std::u16string_view name) {
        QelField* field = Table(table).Fields()->Find(name);
        EXPECT_NE(field, nullptr);
        return *field;
    }

    automation::Ref<QoProperties> mSettings =
        test::MakeSettings({{u"ProjName", u"String", true, Variant(u"before")},
                            {u"ProjVar", u"String", false, Variant(u"kept")},
                            {u"Cache", u"Boolean", true, Variant()},
                            {u"UseCss", u"Boolean", true, Variant(true)},
                            {u"RecPerPage", u"Integer", true, Variant(std::int16_t{20})},
                            {u"CodePage", u"Long", true, Variant(std::int32_t{1})},
                            {u"Missing", u"String", true, Variant(u"stays")}});
    automation::Ref<QelDatabases> mDatabases = automation::MakeRef<QelDatabases>();
    std::u16string mDatabaseName;
    automation::Ref<QelExtensions> mExtensions = automation::MakeRef<QelExtensions>();
    automation::Ref<QelMasterDetails> mPairs = automation::MakeRef<QelMasterDetails>();
    automation::Ref<QelCustomScripts> mScripts = automation::MakeRef<QelCustomScripts>();
    std::vector<SkippedElement> mSkipped;
};

TEST_F(ProjectFileReaderTest, ConvertsAttributesByTheSettingsTypeAndIgnoresTheRest) {
    Read(uR"(<Project Version="6.0" ProjName="Shop" ProjVar="x" cache="1" Cache="1" UseCss="0"
                 RecPerPage="" CodePage="big" Other="y"/>)");
    const QoProperties& bag = *mSettings;
    EXPECT_EQ(bag.Find(u"ProjName")->Value().StringValue(), u"Shop");
    // Not a file setting, and a name in another letter case: both ignored.
    EXPECT_EQ(bag.Find(u"ProjVar")->Value().StringValue(), u"kept");
    ASSERT_EQ(bag.Find(u"Cache")->Value().Type(), VarType::Boolean);
    EXPECT_TRUE(bag.Find(u"Cache")->Value().BooleanValue());
    ASSERT_EQ(bag.Find(u"UseCss")->Value().Type(), VarType::Boolean);
    EXPECT_FALSE(bag.Find(u"UseCss")->Value().BooleanValue());
    // An empty number is Empty, not 0; a word where a number belongs too.
    EXPECT_TRUE(bag.Find(u"RecPerPage")->Value().IsEmpty());
    EXPECT_TRUE(bag.Find(u"CodePage")->Value().IsEmpty());
    EXPECT_EQ(bag.Find(u"Missing")->Value().StringValue(), u"stays");
    // Regression: what a save would not write again went unnamed, and was saved away: a name no
    // file setting bears and a word no number reads.
    EXPECT_EQ(Fixes(),
              u"correct or remove the attribute \"cache\" of the element Project on line 2; correct or "
              u"remove the attribute \"CodePage\" of the element Project on line 2; correct or remove "
              u"the attribute \"Other\" of the element Project on line 2");
}

TEST_F(ProjectFileReaderTest, RebuildsTablesAndFieldsWithWhatTheFileDoesNotHold) {
    Read(uR"(<Project Version="6.0">
<Database DBName="Shop" DBDBMSName="MS Jet">
<Table TblName="Order Lines" TblVar="wrong" TblKey="ID" TblGen="1">
<Field FldName="ID" FldType="3" FldAutoIncrement="1" FldAdd="1" FldIsPrimaryKey="1" FldQuoteS="?"/>
<Field FldName="Note" FldType="202" FldTagValues="a|b||c"/>
<Field FldName="When" FldType="7"/>
<Field FldName="Odd" FldType="-1" FldQuoteS="[" FldQuoteE="]"/>
<Field FldName="" FldType="3"/>
<Field FldName="ID" FldCaption="second"/>
</Table>
<Table TblName="Order Lines" TblCaption="duplicate"><Field FldName="Lost"/></Table>
<Table TblName="Names" TblLoaded="0"/>
<Table TblName=""><Field FldName="Orphan"/></Table>
</Database>
</Project>)");
    EXPECT_EQ(mDatabaseName, u"Shop");
    ASSERT_EQ(Database().tables()->Count(), 2);
    QelTable& lines = Table(u"Order Lines");
    EXPECT_EQ(lines.TblVar(), u"Order_Lines");
    EXPECT_EQ(lines.TblKey(), u"") << "TblKey is derived, never read";
    EXPECT_TRUE(lines.TblGen());
    EXPECT_TRUE(lines.TblLoaded());
    EXPECT_NE(lines.TblCaption(), u"duplicate");
    EXPECT_FALSE(Table(u"Names").TblLoaded());

    ASSERT_EQ(lines.Fields()->Count(), 4) << "an empty or repeated field name is skipped";
    QelField& id = Field(u"Order Lines", u"ID");
    EXPECT_EQ(id.FldVar(), u"x_ID");
    EXPECT_EQ(id.FldQuoteS(), u"");
    EXPECT_FALSE(id.FldAdd()) << "an auto-increment field is never added by the user";
    EXPECT_NE(id.FldCaption(), u"second");
    EXPECT_EQ(Field(u"Order Lines", u"Note").FldTagValues(), u"a\r\nb\r\n\r\nc");
    EXPECT_EQ(Field(u"Order Lines", u"Note").FldQuoteE(), u"'");
    EXPECT_EQ(Field(u"Order Lines", u"When").FldQuoteS(), u"#");
    EXPECT_EQ(Field(u"Order Lines", u"Odd").FldQuoteS(), u"[");
    EXPECT_EQ(Field(u"Order Lines", u"Odd").FldQuoteE(), u"]");
    // Each element left out is listed, with its place, for the host to name: a save drops it.
    EXPECT_EQ(Fixes(),
              u"give the field of the table \"Order Lines\" on line 8 a name; rename the field \"ID\" of "
              u"the table \"Order Lines\" on line 9; rename the table \"Order Lines\" on line 11; give "
              u"the table on line 13 a name");
}

TEST_F(ProjectFileReaderTest, QuotesDatesOtherThanAccessWithApostrophes) {
    Read(uR"(<Project Version="6.0"><Database DBName="pg" DBDBMSName="PostgreSQL">
<Table TblName="T"><Field FldName="When" FldType="135"/></Table></Database></Project>)");
    EXPECT_EQ(Field(u"T", u"When").FldQuoteS(), u"'");
}

TEST_F(ProjectFileReaderTest, NamesAnUnnamedDatabaseAndLeavesItsSettingEmpty) {
    Read(uR"(<Project Version="6.0"><Database DBName="" DBType="ODBC"/></Project>)");
    EXPECT_EQ(mDatabaseName, u"kq_db");
    EXPECT_EQ(Database().DBName(), u"");
    EXPECT_EQ(Database().DBType(), u"ODBC");
}

// A second database used to change the current name before the list refused it, so that the
// project's database could no longer be reached for the rest of the session.
TEST_F(ProjectFileReaderTest, RefusesASecondDatabaseAndKeepsTheFirstCurrent) {
    Read(uR"(<Project Version="6.0"><Database DBName="Shop"/></Project>)");
    EXPECT_THROW(Read(uR"(<Project Version="6.0"><Database DBName="Other"/></Project>)"), automation::Error);
    EXPECT_EQ(mDatabaseName, u"Shop");
    EXPECT_EQ(Database().DBName(), u"Shop");
    // The same database again is read into the one the project holds, with no error text.
    State().gProjErr.clear();
    Read(uR"(<Project Version="6.0"><Database DBName="SHOP" DBType="ACCESS"/></Project>)");
    EXPECT_EQ(Database().DBType(), u"ACCESS");
    EXPECT_EQ(State().gProjErr, u"");
    // Within one file, a second element is listed, and so is a field outside every table.
    ASSERT_TRUE(mSkipped.empty());
    Read(uR"(<Project Version="6.0"><Database DBName="Shop"/><Field FldName="Loose"/><Database/></Project>)");
    EXPECT_EQ(Fixes(),
              u"move the field \"Loose\" on line 1 into the Table element of its table; join the Database "
              u"elements into one");
}

TEST_F(ProjectFileReaderTest, MergesRepeatedExtensionsPairsAndScripts) {
    Read(uR"(<Project Version="6.0">
<Extension Name="Chart" Template="a.zip"/><Extension Name="" Template="lost.zip"/>
<Extension Name="chart" Template="b.zip" Seq="9"/><Extension Name="Menu"/>
<Relation MasterField="stray" DetailField="stray"/>
<MasterDetail MasterTable="Orders" DetailTable="Lines" Note="x"><Relation MasterField="ID" DetailField="OrderID"/></MasterDetail>
<MasterDetail MasterTable="Orders" DetailTable=""><Relation MasterField="X" DetailField="Y"/></MasterDetail>
<MasterDetail MasterTable="Orders" DetailTable="Lines"><Relation MasterField="ID" DetailField="OrderID"/>
<Relation MasterField="Shop" DetailField="ShopID"/><Other MasterField="A" DetailField="B"/></MasterDetail>
<CustomScript ScriptType="Table" ScriptCodeType="Server" ScriptName="Go" ScriptL1Key="Orders" Lang="vb"><![CDATA[one]]></CustomScript>
<CustomScript ScriptType="Table" ScriptCodeType="" ScriptName="Refused">no section needed</CustomScript>
<CustomScript ScriptType="Table" ScriptCodeType="Server" ScriptName="Go" ScriptL1Key="Orders">
<![CDATA[two]]>
</CustomScript>
</Project>)");
    ASSERT_EQ(mExtensions->Count(), 2);
    // A name in another letter case denotes the listed extension, whose settings it overwrites.
    EXPECT_EQ(mExtensions->At(1)->Name(), u"chart");
    EXPECT_EQ(mExtensions->At(1)->Template(), u"b.zip");
    EXPECT_EQ(mExtensions->At(1)->Seq(), 1) << "the order of the elements numbers the list";
    ASSERT_EQ(mPairs->Count(), 1);
    const QelMasterDetail& pair = *mPairs->At(1);
    ASSERT_EQ(pair.FieldCount(), 2);
    EXPECT_EQ(pair.MasterField(2), u"Shop");
    EXPECT_EQ(pair.DetailField(2), u"ShopID");
    ASSERT_EQ(mScripts->Count(), 1);
    EXPECT_EQ(mScripts->At(1)->ScriptCode(), u"two");
    EXPECT_EQ(Fixes(),
              u"give the extension on line 2 a name; remove or rename the extension \"chart\" on line 3; "
              u"remove the element \"Relation\" on line 4; correct or remove the attribute \"Note\" of the "
              u"element MasterDetail on line 5; name both tables of the master/detail pair on line 6; join "
              u"the master/detail pair on line 7 with the one before it; remove or change the relation on "
              u"line 7; remove the element \"Other\" on line 8; correct or remove the attribute \"Lang\" of "
              u"the element CustomScript on line 9; give the custom script on line 10 its ScriptType, "
              u"ScriptCodeType and ScriptName; remove the custom script on line 11 or change its keys");
}

TEST_F(ProjectFileReaderTest, RefusesScriptCodeOutsideCData) {
    EXPECT_THROW(Read(uR"(<Project Version="6.0"><CustomScript ScriptType="T" ScriptCodeType="S"
                              ScriptName="N">code</CustomScript></Project>)"),
                 automation::Error);
}

TEST_F(ProjectFileReaderTest, RefusesTablesBeforeAnyDatabase) {
    EXPECT_THROW(Read(uR"(<Project Version="6.0"><Table TblName="T"/></Project>)"), automation::Error);
    EXPECT_EQ(mDatabases->Count(), 0);
}

} // namespace
} // namespace qv

namespace qv {
namespace {

/// Script code through the writer and the parser: what comes back.
std::optional<std::u16string> CodeThroughFile(std::u16string_view code, std::u16string_view encoding) {
    ProjectFileWriter writer(encoding, false);
    writer.BeginProject(u"6.0", *test::MakeSettings({}));
    writer.WriteCustomScript(*test::MakeSettings({{u"ScriptName", u"String", true, Variant(u"s")}}), code);
    const test::TempDir folder;
    const std::u16string file = system::FromNativePath(folder / "p.xml");
    system::WriteFileAtomic(file, writer.Finish());
    const xml::Document document = xml::Document::Load(file, {.preserveWhitespace = true});
    return ScriptCodeOf(document.DocumentElement().ChildElements().at(0));
}

TEST(ProjectFileScriptCode, ComesBackWholeWithItsLineBreaksAndMarkers) {
    const std::u16string_view codes[] = {
        u"If a Then\r\n  b\r\nEnd If",
        u"\r\n",
        u"\r",
        u"tail\r",
        u"\r\r\n\n",
        u"",
        u"x ]]> y\r\n]]>",
        u"  leading and trailing blanks  ",
        u"\u2713 \U0001F600",
        u"<%= \"&amp;\" %>\r\n",
    };
    for (std::u16string_view code : codes) {
        SCOPED_TRACE(automation::ToUtf8(code));
        EXPECT_EQ(CodeThroughFile(code, u"utf-8"), std::optional<std::u16string>(code));
        EXPECT_EQ(CodeThroughFile(code, u"windows-1252"), std::optional<std::u16string>(code));
    }
}

TEST(ProjectFileScriptCode, RefusesCodeThatIsNotInCData) {
    for (std::u16string_view xml : {u"<CustomScript/>", u"<CustomScript>\r\n  code  </CustomScript>",
                                    u"<CustomScript><!--c--><![CDATA[x]]></CustomScript>"}) {
        const xml::Document document = xml::Document::Parse(xml, {.preserveWhitespace = true});
        EXPECT_EQ(ScriptCodeOf(document.DocumentElement()), std::nullopt) << automation::ToUtf8(xml);
    }
    const xml::Document document =
        xml::Document::Parse(u"<CustomScript>\r\n <![CDATA[a]]> text <![CDATA[b]]>\r\n</CustomScript>",
                             {.preserveWhitespace = true});
    EXPECT_EQ(ScriptCodeOf(document.DocumentElement()), std::optional<std::u16string>(u"a text b"));
}

} // namespace
} // namespace qv
