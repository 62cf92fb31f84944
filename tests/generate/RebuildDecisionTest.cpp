#include "generate/internal/RebuildDecision.h"

#include "GenerateFixture.h"

#include "template/QelCache.h"
#include "template/QelControl.h"
#include "template/TemplateState.h"

#include "platform/system/FileSystem.h"

#include <chrono>

namespace qv {
namespace {

namespace fs = std::filesystem;

class RebuildDecisionTest : public test::GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        TemplateState& folders = CurrentTemplateState();
        folders.templateFileName = u"t.zip";
        folders.templateFolder = Text(mTemp / "tpl");
        folders.tempFolder = Text(mTemp / "temp");
        folders.extensionsFolder = Text(mTemp / "ext");
        Write(mTemp / "tpl" / "list.htm", "<!--##include common.htm/header##-->list");
        Write(mTemp / "tpl" / "common.htm", "<!--##include deeper.htm##-->common");
        Write(mTemp / "tpl" / "search.htm", "search");
        Write(mTemp / "ext" / "Audit" / "audit.htm", "audit");
        Write(mTemp / "temp" / "listA.tmp", "Function kqScriptEngine()");
        for (const auto& entry : fs::recursive_directory_iterator(mTemp / "tpl")) {
            fs::last_write_time(entry.path(), mBuilt);
        }
        fs::last_write_time(mTemp / "ext" / "Audit" / "audit.htm", mBuilt);
        mCache = automation::MakeRef<QelCache>();
        mControl = automation::MakeRef<QelControl>();
        mControl->SetCtrlID(u"list");
        mControl->SetCtrlTagExt(u"A");
        mControl->SetCtrlIFiles(u"list.htm, search.htm");
    }

    /// Records the prepared script as built at the time the input files carry.
    void RecordBuilt() {
        const double built = system::FileModified(Text(mTemp / "tpl" / "list.htm"));
        mCache->AddCache(automation::Variant(u"temp"), automation::Variant(u"listA.tmp"),
                         automation::Variant::FromDate(built), automation::Variant(25));
    }

    void Touch(const fs::path& file) { fs::last_write_time(file, mBuilt + std::chrono::seconds(5)); }

    bool NeedsBuild() { return ControlNeedsBuild(*mControl, *mCache); }

    fs::file_time_type mBuilt = fs::file_time_type::clock::now() - std::chrono::hours(1);
    automation::Ref<QelCache> mCache;
    automation::Ref<QelControl> mControl;
};

TEST_F(RebuildDecisionTest, ANeverBuiltOrDeletedScriptIsRebuilt) {
    EXPECT_EQ(PreparedScriptFile(*mControl), Text(mTemp / "temp" / "listA.tmp"));
    mControl->SetCtrlIFiles(u"missing.htm"); // not looked at before a build was recorded
    EXPECT_TRUE(NeedsBuild());
    EXPECT_TRUE(mControl->CtrlGen());

    RecordBuilt();
    fs::remove(mTemp / "temp" / "listA.tmp");
    EXPECT_TRUE(NeedsBuild());
}

TEST_F(RebuildDecisionTest, OnlyANewerInputOrIncludeRebuilds) {
    RecordBuilt();
    mControl->SetCtrlGen(true);
    EXPECT_FALSE(NeedsBuild()); // same second as the build: not newer
    EXPECT_FALSE(mControl->CtrlGen());

    // Includes are followed one level deep only.
    Write(mTemp / "tpl" / "deeper.htm", "changed");
    EXPECT_FALSE(NeedsBuild());
    Touch(mTemp / "tpl" / "common.htm");
    EXPECT_TRUE(NeedsBuild());
    fs::last_write_time(mTemp / "tpl" / "common.htm", mBuilt);
    Touch(mTemp / "tpl" / "search.htm");
    EXPECT_TRUE(NeedsBuild());

    // Without input files the date never rebuilds.
    mControl->SetCtrlIFiles(u"");
    EXPECT_FALSE(NeedsBuild());
}

TEST_F(RebuildDecisionTest, KeySessionFilesCountFromTheirOwnFolder) {
    RecordBuilt();
    QelSession session;
    session.SetSessType(u"key");
    session.SetSessValue(u"audit");
    session.SetSessIFile(u"audit.htm");
    session.SetSessExt(u"Audit");
    mControl->Sessions().AddSession(session, u"", u"");
    EXPECT_FALSE(NeedsBuild());
    EXPECT_EQ(CurrentTemplateState().sourceFolder, Text(mTemp / "ext" / "Audit"));
    Touch(mTemp / "ext" / "Audit" / "audit.htm");
    EXPECT_TRUE(NeedsBuild());
}

TEST_F(RebuildDecisionTest, AMissingFileOrFolderEndsTheRun) {
    RecordBuilt();
    const std::u16string where =
        u"\" in template folder \"" + Text(mTemp / "tpl") + u"\". Generation aborted.";
    fs::remove(mTemp / "tpl" / "common.htm");
    test::ExpectAbort([&] { NeedsBuild(); }, u"Missing \"common.htm" + where);
    mControl->SetCtrlIFiles(u"list.htm,gone.htm");
    Write(mTemp / "tpl" / "common.htm", "");
    fs::last_write_time(mTemp / "tpl" / "common.htm", mBuilt);
    test::ExpectAbort([&] { NeedsBuild(); }, u"Missing \"gone.htm" + where);
    mControl->SetCtrlIFolder(u"images\\");
    test::ExpectAbort([&] { NeedsBuild(); }, u"Missing \"images\\" + where);
    // Names from the control file stay in their folder.
    mControl->SetCtrlIFolder(u"");
    mControl->SetCtrlIFiles(u"..\\..\\etc\\passwd");
    EXPECT_THROW(NeedsBuild(), automation::Error);
}

TEST(ListIncludes, NamesTheIncludedFilesInOrder) {
    EXPECT_EQ(ListIncludes(u"a<!--##include common.txt/header##-->b"), u"common.txt");
    EXPECT_EQ(ListIncludes(u"<!--##INCLUDE  x.htm ##--><!--##include y.htm/s/t##-->"), u"x.htm,y.htm/s");
    EXPECT_EQ(ListIncludes(u"no tags"), u"");
    EXPECT_EQ(ListIncludes(u"<!--##include a.htm##--> <!--##include b.htm"), u"a.htm");
}

} // namespace
} // namespace qv
