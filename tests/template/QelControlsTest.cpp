#include "template/QelControls.h"

#include "template/TemplateFixture.h"

#include "core/Apartment.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <string>
#include <vector>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using test::Utf8;

constexpr char SampleControlFile[] = R"(<?xml version="1.0"?>
<QUORVANE_Template date="2009/03/07" version="6.0" desc="Sample" author="Someone">
  <control ID="list" Type="table" ifiles="list.htm" IFolder="/admin/js" ofolder="\img\" ofile="list" oext="asp"
           cond="table/TblType/eq/TABLE" tagext="x" parm="p" space="false" extension="ext" action="add"
           overwrite="0" unknown="u">
    <session type="key" value="A" parm="pa" ifile="f.htm" cond="c" extension="e" action="add" location="L"
             loctype="after" other="o"/>
    <Session TYPE="include" VALUE="B" PARM="b.js"/>
    <other/>
    <group><session value="deep"/></group>
  </control>
  <CONTROL id="edit" ofolder="css"/>
  <control id="list" space="yes"/>
  <note/>
</QUORVANE_Template>
)";

class QelControlsTest : public test::TemplateTest {
protected:
    Ref<QelControls> Load(const std::string& xml) {
        WriteFile("control.xml", xml);
        Ref<QelControls> controls = MakeRef<QelControls>();
        mLoaded = controls->LoadControls(TempPath("control.xml"));
        return controls;
    }

    static Ref<QelSession> Session(std::u16string_view value) {
        Ref<QelSession> session = MakeRef<QelSession>();
        session->SetSessValue(std::u16string(value));
        return session;
    }

    static std::vector<std::u16string> Values(const QelSessions& sessions) {
        std::vector<std::u16string> values;
        for (std::int32_t position = 1; position <= sessions.Count(); ++position) {
            values.push_back(sessions.Item(position)->SessValue());
        }
        return values;
    }

    bool mLoaded = false;
};

TEST_F(QelControlsTest, LoadsControlsAndSessions) {
    Ref<QelControls> controls = Load(SampleControlFile);
    ASSERT_TRUE(mLoaded);
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(controls->ProdDate(), u"2009/03/07");
    EXPECT_EQ(controls->ProdVersion(), u"6.0");
    EXPECT_EQ(controls->ProdDesc(), u"Sample");
    EXPECT_EQ(controls->ProdAuthor(), u"Someone");
    ASSERT_EQ(controls->Count(), 3);
    EXPECT_EQ(controls->curIndex(), 0);

    Ref<QelControl> list = controls->Item(Variant(1));
    EXPECT_EQ(list->CtrlID(), u"list");
    EXPECT_EQ(list->CtrlType(), u"table");
    EXPECT_EQ(list->CtrlIFiles(), u"list.htm");
    EXPECT_EQ(list->CtrlIFolder(), u"admin\\js\\");
    EXPECT_EQ(list->CtrlOFolder(), u"img\\");
    EXPECT_EQ(list->CtrlOFile(), u"list");
    EXPECT_EQ(list->CtrlOExt(), u"asp");
    EXPECT_EQ(list->CtrlCond(), u"table/TblType/eq/TABLE");
    EXPECT_EQ(list->CtrlTagExt(), u"x");
    EXPECT_EQ(list->CtrlParm(), u"p");
    EXPECT_FALSE(list->CtrlSpace());
    EXPECT_FALSE(list->CtrlOverwrite());
    EXPECT_FALSE(list->CtrlGen());
    EXPECT_EQ(list->CtrlExt(), u"ext");
    EXPECT_EQ(list->CtrlAction(), u"add");

    ASSERT_EQ(list->Sessions().Count(), 2);
    const QelSession& a = *list->Sessions().Item(1);
    EXPECT_EQ(a.SessType(), u"key");
    EXPECT_EQ(a.SessValue(), u"A");
    EXPECT_EQ(a.SessParm(), u"pa");
    EXPECT_EQ(a.SessIFile(), u"f.htm");
    EXPECT_EQ(a.SessCond(), u"c");
    EXPECT_EQ(a.SessExt(), u"e");
    EXPECT_EQ(a.SessAction(), u"add");
    EXPECT_EQ(a.SessLocation(), u"L");
    EXPECT_EQ(a.SessLocType(), u"after");
    EXPECT_EQ(list->Sessions().Item(2)->SessParm(), u"b.js");
    EXPECT_FALSE(list->Sessions().Item(3));
    EXPECT_FALSE(list->Sessions().Item(0));

    Ref<QelControl> edit = controls->Item(Variant(2));
    EXPECT_TRUE(edit->CtrlSpace());
    EXPECT_TRUE(edit->CtrlOverwrite());
    EXPECT_EQ(edit->CtrlOFolder(), u"css\\");
    EXPECT_EQ(edit->CtrlIFolder(), u"");
    EXPECT_EQ(edit->Sessions().Count(), 0);
    // A flag that is no flag keeps its default.
    EXPECT_TRUE(controls->Item(Variant(3))->CtrlSpace());
}

TEST_F(QelControlsTest, RefusesUnreadableFilesAndForeignRoots) {
    const std::u16string loadFailed =
        u"Quorvane: Load control file failed! Please check if the correct template file is in use!";
    const std::u16string invalid =
        u"Quorvane: Control file is invalid! Please check if the correct template file is in use!";
    struct Case {
        const char* xml; // nullptr: no file
        bool loaded;
        std::u16string_view error;
        std::int32_t countAfter; // the list held 3 controls before
    };
    const Case cases[] = {
        {nullptr, false, loadFailed, 3},
        {"<quorvane><control id='x'>", false, loadFailed, 3},
        {"", false, loadFailed, 3},
        {"<!DOCTYPE q [<!ENTITY e 'x'>]><quorvane>&e;</quorvane>", false, loadFailed, 3},
        {"<control><control id='x'/></control>", false, invalid, 0},
        {"<Quorvan><control id='x'/></Quorvan>", false, invalid, 0},
        {"<QuorvaneTemplates><control id='x'/></QuorvaneTemplates>", true, u"", 1},
        {"<ns:quorvane xmlns:ns='urn:x'><control id='x'/></ns:quorvane>", true, u"", 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.xml ? test.xml : "(no file)");
        State().gProjErr.clear();
        Ref<QelControls> controls = Load(SampleControlFile);
        ASSERT_TRUE(mLoaded);
        const std::u16string path = TempPath("other.xml");
        if (test.xml) {
            WriteFile("other.xml", test.xml);
        } else {
            std::filesystem::remove(mTemp / "other.xml");
        }
        EXPECT_EQ(controls->LoadControls(path), test.loaded);
        EXPECT_EQ(State().gProjErr, test.error);
        EXPECT_EQ(controls->Count(), test.countAfter);
    }
}

TEST_F(QelControlsTest, NormalizesFoldersAndFlags) {
    struct FolderCase {
        std::u16string_view folder;
        std::u16string_view normalized;
    };
    const FolderCase folders[] = {
        {u"/admin/js", u"admin\\js\\"},
        {u"\\img\\", u"img\\"},
        {u"css", u"css\\"},
        {u"js\\", u"js\\"},
        // Regression: an empty folder became "\", a folder at the root of the file system.
        {u"", u""},
        {u"/", u""},
        {u"\\", u""},
    };
    for (const FolderCase& test : folders) {
        SCOPED_TRACE(Utf8(test.folder));
        EXPECT_EQ(QelControl::NormalizeFolder(test.folder), test.normalized);
    }

    struct FlagCase {
        std::u16string_view text;
        bool value;
    };
    const FlagCase flags[] = {
        {u"true", true}, {u"FALSE", false}, {u"0", false},  {u"1", true}, {u"-1", true},
        {u" 2 ", true},  {u"0.0", false},   {u"yes", true}, {u"", true},
    };
    for (const FlagCase& test : flags) {
        SCOPED_TRACE(Utf8(test.text));
        EXPECT_EQ(ParseControlFlag(test.text, true), test.value);
    }
}

TEST_F(QelControlsTest, SelectsControlsByPositionOrId) {
    Ref<QelControls> controls = Load(SampleControlFile);
    struct Case {
        Variant index;
        std::int32_t position; // 0: nothing
        std::int16_t curIndexAfter;
    };
    const Case cases[] = {
        {Variant(u"edit"), 2, 2}, {Variant(u"list"), 1, 1}, // the first of two controls with that id
        {Variant(3), 3, 3},       {Variant(4), 0, 3},       {Variant(0), 0, 3},
        {Variant(u"EDIT"), 0, 3}, {Variant(2.5), 2, 2}, // halves round to even
        {Variant(1.5f), 2, 2},    {Variant(3.4), 0, 2},     {Variant(std::uint8_t{1}), 1, 1},
        {Variant(true), 0, 1},    {Variant(), 0, 1},        {Variant::Null(), 0, 1},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        const Case& test = cases[row];
        Ref<QelControl> found = controls->Item(test.index);
        if (test.position == 0) {
            EXPECT_FALSE(found);
        } else {
            Variant position(test.position);
            EXPECT_EQ(found.Get(), controls->Item(position).Get());
            controls->Item(test.index); // select again: the check above moved curIndex
        }
        EXPECT_EQ(controls->curIndex(), test.curIndexAfter);
    }

    // Late-bound: Item is the default member.
    Variant edit = CallByName(*controls, u"Item", automation::InvokeRead, {Variant(u"edit")});
    EXPECT_EQ(automation::ToString(CallByName(*edit.ObjectValue(), u"CtrlOFolder", automation::InvokeRead)),
              u"css\\");
    EXPECT_EQ(controls->GetClassInfo().DefaultMember(), controls->GetClassInfo().Find(u"Item"));
    try {
        CallByName(*edit.ObjectValue(), u"Load", automation::InvokeKind::Method, {Variant(u"<control/>")});
        ADD_FAILURE() << "Load took a text";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::TypeMismatch);
    }
}

TEST_F(QelControlsTest, AddsAndDeletesControls) {
    Ref<QelControls> controls = Load(SampleControlFile);
    Ref<QelControl> added = MakeRef<QelControl>();
    added->SetCtrlID(u"new");
    added->SetCtrlExt(u"myext");
    added->SetCtrlGen(true);
    added->SetCtrlSpace(false);
    added->SetCtrlOFolder(u"out\\");
    Ref<QelSession> include = Session(u"inc");
    include->SetSessType(u"include");
    include->SetSessParm(u"x.js");
    include->SetSessLocation(u"A");
    include->SetSessLocType(u"after");
    added->Sessions().AddSession(*include, u"", u"");
    added->Sessions().AddSession(*Session(u"key"), u"", u"");

    EXPECT_TRUE(controls->AddControl(*added));
    EXPECT_FALSE(controls->AddControl(*added));
    ASSERT_EQ(controls->Count(), 4);
    Ref<QelControl> copy = controls->Item(Variant(4));
    EXPECT_NE(copy.Get(), added.Get());
    EXPECT_EQ(copy->CtrlID(), u"new");
    EXPECT_EQ(copy->CtrlOFolder(), u"out\\");
    EXPECT_FALSE(copy->CtrlSpace());
    EXPECT_FALSE(copy->CtrlGen());
    ASSERT_EQ(copy->Sessions().Count(), 2);
    const QelSession& copied = *copy->Sessions().Item(1);
    EXPECT_EQ(copied.SessExt(), u"myext");
    // Regression: the parameter was dropped, so an included file lost its name.
    EXPECT_EQ(copied.SessParm(), u"x.js");
    EXPECT_EQ(copied.SessLocation(), u"");
    EXPECT_EQ(copied.SessLocType(), u"");
    // The extension is set on the given control's sessions too.
    EXPECT_EQ(added->Sessions().Item(2)->SessExt(), u"myext");

    controls->Item(Variant(u"edit"));
    EXPECT_TRUE(controls->DeleteControl(u"list"));
    EXPECT_FALSE(controls->DeleteControl(u"nothere"));
    EXPECT_EQ(controls->Count(), 3);
    EXPECT_EQ(controls->Item(Variant(1))->CtrlID(), u"edit");
    EXPECT_TRUE(controls->ControlExist(u"list"));
    EXPECT_FALSE(controls->ControlExist(u"LIST"));
}

TEST_F(QelControlsTest, PlacesAddedSessions) {
    struct Case {
        std::vector<std::u16string_view> existing;
        std::u16string_view loc;
        std::u16string_view loctype;
        std::vector<std::u16string> after;
    };
    const Case cases[] = {
        {{u"A", u"B", u"C"}, u"A", u"", {u"D", u"A", u"B", u"C"}},
        {{u"A", u"B", u"C"}, u"A", u"after", {u"A", u"D", u"B", u"C"}},
        {{u"A", u"B", u"C"}, u"B", u"", {u"A", u"D", u"B", u"C"}},
        {{u"A", u"B", u"C"}, u"B", u"after", {u"A", u"B", u"C", u"D"}},
        {{u"A", u"B", u"C"}, u"C", u"", {u"A", u"B", u"C", u"D"}},
        {{u"A", u"B", u"C"}, u"C", u"after", {u"A", u"B", u"C", u"D"}},
        {{u"A", u"B", u"C"}, u"X", u"", {u"A", u"B", u"C", u"D"}},
        {{u"A", u"B", u"C"}, u"A", u"After", {u"D", u"A", u"B", u"C"}},
        {{u"A", u"B", u"C", u"D0", u"E"}, u"C", u"after", {u"A", u"B", u"C", u"D", u"D0", u"E"}},
        {{}, u"A", u"", {u"D"}},
        {{u"A"}, u"A", u"", {u"A", u"D"}},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        const Case& test = cases[row];
        Ref<QelSessions> sessions = MakeRef<QelSessions>();
        for (std::u16string_view value : test.existing) {
            ASSERT_TRUE(sessions->AddSession(*Session(value), u"", u""));
        }
        EXPECT_TRUE(sessions->AddSession(*Session(u"D"), test.loc, test.loctype));
        EXPECT_EQ(Values(*sessions), test.after);
        EXPECT_FALSE(sessions->AddSession(*Session(u"D"), u"", u""));
    }
}

TEST_F(QelControlsTest, ChangesAndDeletesSessions) {
    Ref<QelSessions> sessions = MakeRef<QelSessions>();
    Ref<QelSession> original = Session(u"A");
    original->SetSessType(u"key");
    original->SetSessIFile(u"old.htm");
    original->SetSessCond(u"old");
    original->SetSessAction(u"add");
    original->SetSessParm(u"p");
    sessions->AddSession(*original, u"", u"");

    Ref<QelSession> change = Session(u"ignored");
    change->SetSessType(u"include");
    change->SetSessExt(u"ext");
    EXPECT_TRUE(sessions->ChangeSession(u"A", *change));
    EXPECT_FALSE(sessions->ChangeSession(u"a", *change));
    const QelSession& changed = *sessions->Item(1);
    EXPECT_EQ(changed.SessValue(), u"A");
    EXPECT_EQ(changed.SessType(), u"key");
    EXPECT_EQ(changed.SessParm(), u"p");
    EXPECT_EQ(changed.SessIFile(), u"old.htm");
    EXPECT_EQ(changed.SessCond(), u"old");
    EXPECT_EQ(changed.SessExt(), u"ext");
    EXPECT_EQ(changed.SessAction(), u"");

    change->SetSessIFile(u"new.htm");
    change->SetSessCond(u"new");
    sessions->ChangeSession(u"A", *change);
    EXPECT_EQ(changed.SessIFile(), u"new.htm");
    EXPECT_EQ(changed.SessCond(), u"new");

    EXPECT_TRUE(sessions->SessionExist(u"A"));
    EXPECT_FALSE(sessions->DeleteSession(u"B"));
    EXPECT_TRUE(sessions->DeleteSession(u"A"));
    EXPECT_EQ(sessions->Count(), 0);
}

TEST_F(QelControlsTest, ListsStopAtTheirLimit) {
    std::string xml = "<quorvane><control id='big'>";
    for (std::int32_t index = 0; index < MaxResourceCount; ++index) {
        xml += "<session value='s" + std::to_string(index) + "'/>";
    }
    Ref<QelControls> controls = Load(xml + "</control></quorvane>");
    ASSERT_TRUE(mLoaded);
    QelSessions& sessions = controls->Item(Variant(1))->Sessions();
    EXPECT_EQ(sessions.Count(), MaxResourceCount);
    EXPECT_FALSE(sessions.AddSession(*Session(u"one more"), u"", u""));
    EXPECT_EQ(sessions.Count(), MaxResourceCount);

    // One session too many: the file is refused rather than read in part.
    controls = Load(xml + "<session value='last'/></control></quorvane>");
    EXPECT_FALSE(mLoaded);
    EXPECT_EQ(controls->Count(), 0);
    EXPECT_EQ(State().gProjErr,
              u"Quorvane: Control file is invalid! Please check if the correct template file is in use!");
}

} // namespace
} // namespace qv
