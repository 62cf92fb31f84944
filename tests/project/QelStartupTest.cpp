#include "ProjectFixture.h"
#include "model/LoadSettings.h"
#include "project/ProjectFileTestSupport.h"

#include "project/Qel.h"

#include "core/Apartment.h"
#include "core/QelKeyword.h"
#include "core/QelVars.h"
#include "core/QoProperties.h"
#include "core/Settings.h"
#include "template/TemplateState.h"

#include "platform/automation/Text.h"
#include "platform/system/FileSystem.h"
#include "platform/system/FileVersion.h"
#include "support/ProcessesTogether.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include <unistd.h>

namespace qv::test {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using registry::HiveKind;
using registry::Value;

class QelStartup : public ProjectTest {};

TEST_F(QelStartup, NewProjectHasNoDatabaseAndSetsTheApartmentsProductState) {
    State().gProductName.clear();
    State().gMsgPrefix.clear();
    State().gRegKeyDatabase.clear();
    Ref<Qel> project = MakeRef<Qel>();
    EXPECT_EQ(project->DBCnt(), 0);
    EXPECT_FALSE(project->db());
    EXPECT_TRUE(Get(*project, u"db").IsNothing());
    EXPECT_FALSE(project->ProjInit());
    EXPECT_EQ(project->Properties()->Count(), 110);
    EXPECT_EQ(project->DefaultPage(), u"default.asp");
    EXPECT_EQ(project->DllVersion(), system::FormatVersion(system::LibraryVersion()));

    const ModuleState& state = State();
    EXPECT_EQ(state.gProductName, u"Quorvane");
    EXPECT_EQ(state.gMsgPrefix, u"Quorvane");
    EXPECT_EQ(state.gProductVersion, u"6.0");
    EXPECT_EQ(state.gScriptLanguage, u"ASP");
    EXPECT_EQ(state.gRegKeyGeneral, GeneralKey);
    EXPECT_EQ(state.gRegKeyDatabase, DatabaseKey);
    EXPECT_EQ(state.gRegKeyExtensions, ExtensionsKey);
    EXPECT_EQ(state.gRegKeyAdvancedFilters, u"Software\\Quorvane\\6.0\\AdvancedFilters");
    EXPECT_FALSE(state.gMyDocumentsPath.empty());
}

TEST_F(QelStartup, FirstRunCopiesTheMachineTreeWithoutOverwritingTheUsersValues) {
    WriteValue(HiveKind::Machine, GeneralKey, u"Language", Value::Text(u"lang/english.xml"));
    WriteValue(HiveKind::Machine, ProjectKey, u"UseCss", Value::Text(u"True"));
    WriteValue(HiveKind::Machine, ProjectKey, u"BodyTitle", Value::Text(u"Machine title"));
    WriteValue(HiveKind::Machine, ProjectKey, u"RecPerPage", Value::Number(25));
    WriteValue(HiveKind::Machine, u"Software\\Quorvane\\6.0\\AdvancedFilters\\Dates", u"Today",
               Value::Text(u"Date()"));
    // The user has saved a default of his own before ever running a project.
    WriteUserText(ProjectKey, u"BodyTitle", u"My title");

    Ref<Qel> project = MakeRef<Qel>();

    EXPECT_EQ(UserValue(GeneralKey, u"Language"), Value::Text(u"lang/english.xml"));
    EXPECT_EQ(UserValue(u"Software\\Quorvane\\6.0\\AdvancedFilters\\Dates", u"Today"),
              Value::Text(u"Date()"));
    EXPECT_EQ(UserValue(ProjectKey, u"BodyTitle"), Value::Text(u"My title"));
    // The first run already sees the copied defaults.
    EXPECT_TRUE(project->UseCss());
    EXPECT_EQ(project->RecPerPage(), 25);
    EXPECT_EQ(project->BodyTitle(), u"My title");
    EXPECT_EQ(project->LanguageSetting(), u"lang/english.xml");
}

TEST_F(QelStartup, AMissingOrEmptyLanguageValueIsAFirstRun) {
    WriteValue(HiveKind::Machine, GeneralKey, u"Language", Value::Text(u"lang/english.xml"));
    WriteValue(HiveKind::Machine, ProjectKey, u"BodyTitle", Value::Text(u"Machine title"));
    WriteValue(HiveKind::Machine, ProjectKey, u"UseCss", Value::Text(u"True"));

    // An empty "Language" was taken for a run before: nothing was copied, and the first
    // generation found no template named. It is filled; the user's own values stay.
    WriteUserText(GeneralKey, u"Language", u"");
    WriteUserText(ProjectKey, u"UseCss", u"False");
    EXPECT_EQ(MakeRef<Qel>()->BodyTitle(), u"Machine title");
    EXPECT_EQ(UserValue(GeneralKey, u"Language"), Value::Text(u"lang/english.xml"));
    EXPECT_EQ(UserValue(ProjectKey, u"UseCss"), Value::Text(u"False"));

    // Once copied, a change in the machine hive no longer reaches the user.
    CurrentRegistry().DeleteValue(HiveKind::User, GeneralKey, u"Language");
    EXPECT_EQ(MakeRef<Qel>()->BodyTitle(), u"Machine title");
    WriteValue(HiveKind::Machine, ProjectKey, u"BodyTitle", Value::Text(u"New machine title"));
    EXPECT_EQ(MakeRef<Qel>()->BodyTitle(), u"Machine title");

    // A "Language" of blanks alone names no file either: it was taken for a run before.
    WriteUserText(GeneralKey, u"Language", u" \t ");
    CurrentRegistry().DeleteValue(HiveKind::User, ProjectKey, u"BodyTitle");
    EXPECT_EQ(MakeRef<Qel>()->BodyTitle(), u"New machine title");
    EXPECT_EQ(UserValue(GeneralKey, u"Language"), Value::Text(u"lang/english.xml"));
}

// A machine hive whose "Language" holds nothing left the user's empty after the first run, so
// that every start was a first run again and put back each default the user had removed.
TEST_F(QelStartup, AMachineLanguageThatHoldsNothingGivesOneFirstRun) {
    WriteValue(HiveKind::Machine, GeneralKey, u"Language", Value::Text(u""));
    WriteValue(HiveKind::Machine, ProjectKey, u"BodyTitle", Value::Text(u"Machine title"));
    EXPECT_EQ(MakeRef<Qel>()->BodyTitle(), u"Machine title");
    EXPECT_EQ(UserValue(ProjectKey, u"BodyTitle"), Value::Text(u"Machine title"));

    CurrentRegistry().DeleteValue(HiveKind::User, ProjectKey, u"BodyTitle");
    WriteValue(HiveKind::Machine, ProjectKey, u"UseCss", Value::Text(u"True"));
    for (int start = 0; start < 2; ++start) {
        EXPECT_EQ(MakeRef<Qel>()->BodyTitle(), u"");
        EXPECT_FALSE(UserValue(ProjectKey, u"BodyTitle"));
        EXPECT_FALSE(UserValue(ProjectKey, u"UseCss"));
    }
}

// A user file that has "Language" but lacks machine defaults (written by an administrator, by
// hand, by an earlier version) was taken for a copy left unfinished, and every start filled it
// with the machine's defaults: a removed setting came back, and a template package set up in the
// user file alone generated other page names and other bytes.
TEST_F(QelStartup, AUserFileThatHasLanguageIsLeftExactlyAsItIs) {
    const std::filesystem::path shipped = std::filesystem::path(QV_SOURCE_DIR) / "share/quorvane/machine.reg";
    const std::filesystem::path userHive = mTemp / "user.reg";
    UseRegistry(std::make_unique<registry::Registry>(userHive, shipped));
    WriteUserText(GeneralKey, u"Language", u"lang/english.xml");
    WriteUserText(ProjectKey, u"Template", u"templates/own.zip");
    const std::string written = test::ReadFileBytes(userHive);

    UseRegistry(std::make_unique<registry::Registry>(userHive, shipped));
    Ref<Qel> project = MakeRef<Qel>();
    EXPECT_EQ(test::ReadFileBytes(userHive), written);
    EXPECT_EQ(project->Template(), u"templates/own.zip");
    EXPECT_FALSE(UserValue(ProjectKey, u"RecPerPage"));
}

// Starts killed while they saved the user file left their temporary files beside it, and the
// starts after them, which had nothing to save, never removed them. Another file's temporary
// file, and one that a live save still writes, stay.
TEST_F(QelStartup, AStartRemovesWhatKilledSavesOfTheUserFileLeft) {
    const std::filesystem::path userHive = mTemp / "hives" / "user.reg";
    std::filesystem::create_directories(userHive.parent_path());
    UseRegistry(std::make_unique<registry::Registry>(userHive, mTemp / "machine.reg"));
    WriteUserText(GeneralKey, u"Language", u"lang/english.xml");
    const std::string written = test::ReadFileBytes(userHive);
    const auto killedSave = [](const std::filesystem::path& target) {
        return test::RunInProcessesTogether(1, [&](int) {
            system::FileBeside temporary(target);
            ::_exit(temporary.Write("half") ? 1 : 0);
            return false;
        });
    };
    const auto names = [&] {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(userHive.parent_path())) {
            found.insert(entry.path().filename().string());
        }
        return found;
    };
    ASSERT_EQ(killedSave(userHive.parent_path() / "notes.txt"), 0);
    const std::set<std::string> kept = names();
    ASSERT_EQ(killedSave(userHive), 0);
    ASSERT_EQ(names().size(), kept.size() + 1);

    EXPECT_TRUE(test::WhileAChildPauses(
        [&](const std::function<void()>& pause) {
            system::FileBeside live(userHive);
            pause();
            return true;
        },
        [&] {
            MakeRef<Qel>();
            EXPECT_EQ(names().size(), kept.size() + 2);
        }));
    MakeRef<Qel>();
    EXPECT_EQ(names(), kept);
    EXPECT_EQ(test::ReadFileBytes(userHive), written);
}

// Starts running together each copied the defaults value by value, each write an unguarded
// read, change and save of the whole hive: what one had saved another saved over, and as
// "Language" was there by then, those values never came back.
TEST_F(QelStartup, FirstRunsStartedTogetherAllLeaveEveryDefault) {
    const std::filesystem::path shipped = std::filesystem::path(QV_SOURCE_DIR) / "share/quorvane/machine.reg";
    const auto firstRun = [&shipped](const std::filesystem::path& userHive) {
        UseRegistry(std::make_unique<registry::Registry>(userHive, shipped));
        MakeRef<Qel>();
        return true;
    };
    // What one first run alone leaves.
    firstRun(mTemp / "alone.reg");
    const std::string alone = test::ReadFileBytes(mTemp / "alone.reg");
    ASSERT_NE(alone.find("\"Template\"="), std::string::npos);

    constexpr int Rounds = 6;
    constexpr int Starts = 6;
    for (int round = 0; round < Rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::filesystem::path userHive = mTemp / ("user" + std::to_string(round) + ".reg");
        ASSERT_EQ(test::RunInProcessesTogether(Starts, [&](int) { return firstRun(userHive); }), 0);
        ASSERT_EQ(test::ReadFileBytes(userHive), alone);
    }
}

TEST_F(QelStartup, ShippedMachineHiveGivesAWorkingFirstRun) {
    const std::filesystem::path shipped = std::filesystem::path(QV_SOURCE_DIR) / "share/quorvane/machine.reg";
    UseRegistry(std::make_unique<registry::Registry>(mTemp / "user.reg", shipped));

    Ref<Qel> project = MakeRef<Qel>();
    EXPECT_TRUE(project->BackupFile());
    EXPECT_EQ(CurrentTemplateState().scriptEngineTimeout, 60000);
    EXPECT_EQ(project->UnloadThresholdCount(), 20);
    EXPECT_EQ(project->UserCode(), u"");
    // Every project default an installer writes reaches a new project with its own type.
    for (const SettingInfo& info : Qel::Settings().Settings()) {
        if (!info.regSave || info.name == u"Template" || info.name == u"XMLEncoding") {
            continue;
        }
        SCOPED_TRACE(automation::ToUtf8(info.name));
        EXPECT_TRUE(UserValue(ProjectKey, info.name));
        const Variant& value = project->Properties()->Item(Variant(info.name))->Value();
        EXPECT_EQ(value.Type(), info.dataType == SettingType::String    ? automation::VarType::String
                                : info.dataType == SettingType::Boolean ? automation::VarType::Boolean
                                : info.dataType == SettingType::Integer ? automation::VarType::Integer
                                                                        : automation::VarType::Long);
    }
    EXPECT_EQ(CurrentLoadSettings().defaultDateFormat, 5);

    // The relative keyword file of the shipped hive is found beside it, so reserved words are
    // avoided in identifiers.
    project->ReloadKeywords();
    EXPECT_EQ(project->KeywordFile(), u"keyword.xml");
    EXPECT_TRUE(GetKeyword().IsKeyword(u"Select"));
    EXPECT_NE(ToIdentifier(u"Select", u""), u"Select");
}

} // namespace
} // namespace qv::test
