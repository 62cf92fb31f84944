#include "project/internal/QelCustomScripts.h"

#include "template/TemplateFixture.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelTables.h"

#include "template/QelCodeBase.h"
#include "template/TemplateConversion.h"

#include "core/Apartment.h"

#include "platform/automation/Conversion.h"

#include <string>
#include <vector>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;

class QelCustomScriptsTest : public test::ApartmentTest {
protected:
    /// The place texts by Seq 1 to Count, as the project file writes them.
    std::vector<std::u16string> PlacesBySeq() const {
        std::vector<std::u16string> places;
        const auto count = static_cast<std::int16_t>(mList.Count());
        for (std::int16_t seq = 1; seq <= count; ++seq) {
            Ref<QelCustomScript> script = mList.Seq(seq);
            if (!script) {
                places.emplace_back(u"<none>");
                continue;
            }
            const QelCustomScript::PlaceTexts texts = script->Place();
            places.push_back(ScriptPlaceText(
                {texts.scriptType, texts.codeType, texts.name, texts.ctrlID, texts.l1Key, texts.l2Key}));
        }
        return places;
    }

    QelCustomScripts mList;
};

TEST_F(QelCustomScriptsTest, APlaceHoldsOneScript) {
    EXPECT_FALSE(mList.Add({u"", u"table", u"x", u"", u"", u""}));
    EXPECT_FALSE(mList.Add({u"server", u"", u"x", u"", u"", u""}));
    EXPECT_FALSE(mList.AddCustomScript({u"server", u"table", u"", u"", u"", u""}, u"code"));
    EXPECT_EQ(mList.curSeq(), u"0");

    EXPECT_TRUE(mList.Add({u"server", u"global", u"init", u"", u"", u""}));
    EXPECT_EQ(mList.curName(), u"server_global_init___");
    const ScriptPlace place{u"server", u"field", u"render", u"list", u"Orders", u"ID"};
    EXPECT_TRUE(mList.AddCustomScript(place, u"first"));
    EXPECT_TRUE(mList.AddCustomScript(place, u"second"));
    EXPECT_EQ(mList.Count(), 2);
    EXPECT_EQ(mList.curName(), u"server_field_render_list_Orders_ID");
    EXPECT_EQ(mList.curSeq(), u"2");
    EXPECT_EQ(mList.ScriptItem(place)->ScriptCode(), u"second");

    EXPECT_FALSE(
        mList.UpdateCustomScript({u"server", u"field", u"render", u"list", u"Orders", u"Name"}, u"x"));
    EXPECT_EQ(mList.Count(), 2);
    EXPECT_TRUE(
        mList.UpdateCustomScript({u"SERVER", u"Field", u"Render", u"LIST", u"Orders", u"ID"}, u"third"));
    EXPECT_EQ(mList.ScriptItem(place)->ScriptCode(), u"third");
}

TEST_F(QelCustomScriptsTest, TypesAndNamesIgnoreLetterCaseKeysDoNot) {
    mList.Add({u"server", u"field", u"render", u"list", u"Orders", u"ID"});
    EXPECT_TRUE(mList.ScriptExist({u"Server", u"FIELD", u"Render", u"List", u"Orders", u"ID"}));
    EXPECT_FALSE(mList.ScriptExist({u"server", u"field", u"render", u"list", u"orders", u"ID"}));
    EXPECT_FALSE(mList.ScriptExist({u"server", u"field", u"render", u"list", u"Orders", u"id"}));
}

// Regression: scripts were keyed by their six texts joined with "_", so a text holding "_"
// could give the key of another script; the second raised 457 and a saved project whose scripts
// did so could not be loaded again.
TEST_F(QelCustomScriptsTest, PlacesWithUnderscoresNeverCollide) {
    EXPECT_TRUE(mList.AddCustomScript({u"server", u"table", u"a_b", u"c", u"T", u""}, u"1"));
    EXPECT_TRUE(mList.AddCustomScript({u"server", u"table", u"a", u"b_c", u"T", u""}, u"2"));
    EXPECT_TRUE(mList.AddCustomScript({u"server", u"field", u"x", u"", u"T_", u"F"}, u"3"));
    EXPECT_TRUE(mList.AddCustomScript({u"server", u"field", u"x", u"", u"T", u"_F"}, u"4"));
    EXPECT_EQ(mList.Count(), 4);
    EXPECT_EQ(mList.ScriptItem({u"server", u"table", u"a", u"b_c", u"T", u""})->ScriptCode(), u"2");
    EXPECT_TRUE(mList.DeleteCustomScript({u"server", u"field", u"x", u"", u"T_", u"F"}));
    EXPECT_EQ(mList.ScriptItem({u"server", u"field", u"x", u"", u"T", u"_F"})->ScriptCode(), u"4");
}

// Regression: keys that differ only in letter case (a table renamed from "orders" to "Orders")
// made Add raise 457; they now denote the listed script.
TEST_F(QelCustomScriptsTest, KeysInAnotherLetterCaseDenoteTheListedScript) {
    mList.AddCustomScript({u"server", u"table", u"x", u"", u"Orders", u""}, u"old");
    EXPECT_TRUE(mList.AddCustomScript({u"server", u"table", u"x", u"", u"ORDERS", u""}, u"new"));
    EXPECT_EQ(mList.Count(), 1);
    EXPECT_EQ(mList.curName(), u"server_table_x__Orders_");
    EXPECT_EQ(mList.ScriptItem({u"server", u"table", u"x", u"", u"Orders", u""})->ScriptCode(), u"new");
}

// Regression: after a key setting of a script changed through its setter, adding the script's
// first six texts raised 457, and deleting removed by a stale key.
TEST_F(QelCustomScriptsTest, ChangedScriptsAreFoundByTheirNewPlaces) {
    mList.Add({u"s", u"table", u"a", u"", u"T1", u""});
    mList.Add({u"s", u"table", u"b", u"", u"T1", u""});
    mList.Add({u"s", u"table", u"c", u"", u"T1", u""});
    mList.ScriptItem({u"s", u"table", u"a", u"", u"T1", u""})->SetScriptL1Key(u"T2");
    EXPECT_TRUE(mList.Add({u"s", u"table", u"a", u"", u"T1", u""}));
    EXPECT_EQ(mList.Count(), 4);
    EXPECT_TRUE(mList.Delete({u"s", u"table", u"b", u"", u"T1", u""}));
    EXPECT_EQ(PlacesBySeq(),
              (std::vector<std::u16string>{u"s_table_a__T2_", u"s_table_c__T1_", u"s_table_a__T1_"}));
    EXPECT_FALSE(mList.Seq(4));
    // Delete makes the script it removes current first.
    EXPECT_EQ(mList.curName(), u"s_table_b__T1_");
}

/// A project whose expression engines answer with a given page text.
class PageProject final : public test::FakeProject {
public:
    Ref<ScriptHost> CreateScriptEngine() override {
        Ref<ScriptHost> engine = test::FakeProject::CreateScriptEngine();
        lastEngine->pageText = pageText;
        return engine;
    }
    std::u16string pageText;
};

class CustomScriptCodeTest : public test::TemplateTest {
protected:
    void SetUp() override {
        test::TemplateTest::SetUp();
        mDatabase = MakeRef<QelDatabase>();
        QelTables& tables = *mDatabase->tables();
        tables.Add(u"Customers");
        tables.Add(u"Orders");
        QelFields& fields = *tables.Item(Variant(u"Orders"))->Fields();
        fields.Add(u"ID");
        fields.Add(u"Total");
        tables.Item(Variant(u"Customers"));
    }

    std::u16string Load(const ScriptPlace& place) {
        CustomScriptContext context{*mProject.controls, mDatabase.Get(), mConversion,
                                    mCodeBaseFile,      u"6.0.1.2",      nullptr};
        return LoadCustomScriptCode(context, place);
    }

    PageProject mProject;
    TemplateConversion mConversion{mProject};
    Ref<QelDatabase> mDatabase;
    std::u16string mCodeBaseFile;
};

TEST_F(CustomScriptCodeTest, WithoutACodeBaseFileNothingIsEvaluated) {
    State().gProjErr = u"earlier";
    EXPECT_EQ(Load({u"VBSCRIPT", u"table", u"x", u"", u"", u""}), u"");
    EXPECT_EQ(State().gProjErr, u"");
    SetGeneralValue(u"CodeBase", Variant(TempPath("missing.xml")));
    EXPECT_EQ(Load({u"VBSCRIPT", u"table", u"x", u"", u"", u""}), u"");
    EXPECT_EQ(mCodeBaseFile, TempPath("missing.xml"));
    EXPECT_EQ(mProject.enginesCreated, 0);
}

TEST_F(CustomScriptCodeTest, TheSnippetRunsWithThePlaceSelectedAndIsCleanedUp) {
    WriteFile("codebase.xml", "<?xml version='1.0'?>\n<QUORVANE.CODEBASE>\n"
                              "<code scripttype='VBSCRIPT' codetype='field' name='cell'>"
                              "<![CDATA[value <!--##=x##-->]]></code>\n"
                              "</QUORVANE.CODEBASE>\n");
    SetGeneralValue(u"CodeBase", Variant(u"codebase.xml"));

    // The engine's page text, as a snippet's template lays it out.
    mProject.pageText = u"\r\n  \r\n<head>\r\n</HEAD>";
    CustomScriptContext context{
        *mProject.controls, mDatabase.Get(),
        mConversion,        mCodeBaseFile,
        u"6.0.1.2",         [this](std::u16string_view name) { return TempPath(automation::ToUtf8(name)); }};
    const std::u16string code =
        LoadCustomScriptCode(context, {u"VBSCRIPT", u"FIELD", u"cell", u"", u"Orders", u"Total"});
    EXPECT_EQ(code, u"<head>\r\n<meta name=\"generator\" content=\"Quorvane v6.0.1.2\" />\r\n</head>\r\n");
    ASSERT_TRUE(mProject.lastEngine);
    EXPECT_NE(mProject.lastEngine->lastCode.find(u"\"value \""), std::u16string::npos);
    EXPECT_EQ(mProject.lastEngine->lastInitType, 3);
    // The code type in capitals still selects the table and its field, and they stay selected.
    EXPECT_EQ(mDatabase->tables()->curName(), u"Orders");
    EXPECT_EQ(mDatabase->tables()->Item(Variant(u"Orders"))->Fields()->curName(), u"Total");
    EXPECT_TRUE(CodeBaseExist(u"vbscript", u"Field", u"CELL"));
    EXPECT_FALSE(CodeBaseExist(u"vbscript", u"table", u"cell"));

    // Regression: a code-base file that no longer loads left the snippets of the one before,
    // whose code came back as if nothing had failed.
    WriteFile("codebase.xml", "<QUORVANE.CODEBASE><code");
    EXPECT_EQ(LoadCustomScriptCode(context, {u"VBSCRIPT", u"field", u"cell", u"", u"Orders", u"Total"}), u"");
    EXPECT_EQ(State().gProjErr, u"Load code base file failed!");
    EXPECT_EQ(mProject.enginesCreated, 1);
}

} // namespace
} // namespace qv
