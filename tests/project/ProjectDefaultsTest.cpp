#include "ProjectFixture.h"
#include "model/LoadSettings.h"

#include "project/Qel.h"

#include "core/Apartment.h"
#include "core/QoProperties.h"
#include "core/Settings.h"
#include "template/TemplateState.h"

#include "platform/system/FileSystem.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using automation::VarType;
using registry::HiveKind;
using registry::Value;

class ProjectDefaults : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        // Not a first run: the machine hive stays out of these tests.
        WriteUserText(GeneralKey, u"Language", u"");
    }

    static const Variant& Setting(Qel& project, std::u16string_view name) {
        return project.Properties()->Item(Variant(name))->Value();
    }
};

TEST_F(ProjectDefaults, EmptyRegistryLeavesTypedSettingsEmptyAndForcesTheFixedValues) {
    Ref<Qel> project = MakeRef<Qel>();
    for (const SettingInfo& info : Qel::Settings().Settings()) {
        if (!info.regSave || info.name == u"XMLEncoding") {
            continue;
        }
        SCOPED_TRACE(std::string(info.name.begin(), info.name.end()));
        const Variant& value = Setting(*project, info.name);
        if (info.dataType == SettingType::String) {
            EXPECT_EQ(value.Type(), VarType::String);
            EXPECT_EQ(value.StringValue(), u"");
            continue;
        }
        // Only the fixed values of a load hold a value here.
        if (info.name == u"SessTimeOut" || info.name == u"PagerStyle" || info.name == u"LinkOnLeft" ||
            info.name == u"MultiDelete") {
            continue;
        }
        EXPECT_TRUE(value.IsEmpty());
    }
    EXPECT_EQ(CurrentLoadSettings().defaultDateFormat, 0);
    EXPECT_EQ(CurrentTemplateState().scriptEngineTimeout, 0);
    EXPECT_EQ(project->UnloadThresholdCount(), 20);
    EXPECT_FALSE(project->BackupFile());
    EXPECT_EQ(project->XMLEncoding(), State().gXmlEncoding);
    EXPECT_FALSE(project->XMLEncoding().empty());
    EXPECT_EQ(project->SecType(), u"None");
    EXPECT_TRUE(project->AutoSync());
    EXPECT_TRUE(project->OtherGen());
    EXPECT_TRUE(project->PromptOnOverwrite());
    ExpectSameValue(Setting(*project, u"PagerStyle"), Variant(std::int16_t{2}));
    ExpectSameValue(Setting(*project, u"SessTimeOut"), Variant(std::int16_t{0}));
}

TEST_F(ProjectDefaults, ValuesAreReadAsTextAndConvertedByTheSettingsType) {
    struct Case {
        std::u16string_view name;
        Value stored;
        Variant expected;
    };
    const Case cases[] = {
        {u"UseCss", Value::Text(u"True"), Variant(true)},
        {u"ExportCsv", Value::Text(u"yes"), Variant()},
        {u"BodyTitle", Value::Text(u"  \"My shop\"  "), Variant(u"My shop")},
        {u"RecPerPage", Value::Number(40), Variant(std::int16_t{40})},
        {u"CodePage", Value::Text(u"65001"), Variant(std::int32_t{65001})},
        {u"RptIndent", Value::Text(u"many"), Variant()},
        {u"defaultDateFormat", Value::Text(u"7"), Variant(std::int16_t{7})},
    };
    for (const Case& row : cases) {
        WriteValue(HiveKind::User, ProjectKey, row.name, row.stored);
    }
    Ref<Qel> project = MakeRef<Qel>();
    for (const Case& row : cases) {
        SCOPED_TRACE(std::string(row.name.begin(), row.name.end()));
        ExpectSameValue(Setting(*project, row.name), row.expected);
    }
    EXPECT_EQ(CurrentLoadSettings().defaultDateFormat, 7);
}

TEST_F(ProjectDefaults, GeneralValuesAndTheUnloadThreshold) {
    struct Case {
        Value threshold;
        std::int16_t expected;
    };
    // A threshold that is no number must not make every new project fail.
    const Case cases[] = {{Value::Number(35), 35},
                          {Value::Number(0), 20},
                          {Value::Number(static_cast<std::uint32_t>(-5)), 20},
                          {Value::Text(u"lots"), 20}};
    for (const Case& row : cases) {
        SCOPED_TRACE(row.expected);
        WriteValue(HiveKind::User, GeneralKey, u"UnloadThresholdCount", row.threshold);
        EXPECT_EQ(MakeRef<Qel>()->UnloadThresholdCount(), row.expected);
    }

    WriteUserText(GeneralKey, u"BackupFile", u"maybe");
    WriteValue(HiveKind::User, GeneralKey, u"ScriptEngineTimeout", Value::Text(u"soon"));
    Ref<Qel> project = MakeRef<Qel>();
    EXPECT_FALSE(project->BackupFile());
    EXPECT_EQ(CurrentTemplateState().scriptEngineTimeout, 0);
}

TEST_F(ProjectDefaults, SaveThenLoadRestoresTheDefaults) {
    Ref<Qel> project = MakeRef<Qel>();
    project->SetUseCss(true);
    project->SetRecPerPage(15);
    project->SetCodePage(1252);
    project->SetBodyTitle(u"Shop");
    project->SetdefaultDateFormat(9);
    project->SetSecType(u"Static"); // not kept in the registry, and forced on load
    project->SetPagerStyle(4);      // kept, but forced on load
    CurrentTemplateState().scriptEngineTimeout = 1234;
    // Number settings that hold nothing write nothing rather than failing the save.
    project->SaveDefault();

    EXPECT_EQ(UserValue(ProjectKey, u"RecPerPage"), Value::Number(15));
    EXPECT_EQ(UserValue(ProjectKey, u"defaultDateFormat"), Value::Text(u"9"));
    EXPECT_EQ(UserValue(ProjectKey, u"UseCss"), Value::Text(u"True"));
    EXPECT_FALSE(UserValue(ProjectKey, u"SecType"));
    EXPECT_FALSE(UserValue(ProjectKey, u"RptIndent"));
    EXPECT_FALSE(UserValue(GeneralKey, u"UnloadThresholdCount"));

    Ref<Qel> second = MakeRef<Qel>();
    EXPECT_TRUE(second->UseCss());
    EXPECT_EQ(second->RecPerPage(), 15);
    EXPECT_EQ(second->CodePage(), 1252);
    EXPECT_EQ(second->BodyTitle(), u"Shop");
    ExpectSameValue(Setting(*second, u"defaultDateFormat"), Variant(std::int16_t{9}));
    EXPECT_EQ(second->SecType(), u"None");
    EXPECT_EQ(second->PagerStyle(), 2);
    EXPECT_EQ(CurrentTemplateState().scriptEngineTimeout, 1234);
}

TEST_F(ProjectDefaults, AddProjNamesTheProjectAndReloadsTheDefaults) {
    Ref<Qel> project = MakeRef<Qel>();
    project->SetBodyTitle(u"changed");
    WriteUserText(ProjectKey, u"BodyTitle", u"Default title");
    Call(*project, u"AddProj", {Variant(u"My Shop")});
    EXPECT_TRUE(project->ProjInit());
    EXPECT_EQ(project->ProjName(), u"My Shop");
    EXPECT_EQ(project->ProjVar(), u"My_Shop");
    EXPECT_EQ(project->BodyTitle(), u"Default title");
}

TEST_F(ProjectDefaults, TextFilesAreUtf8WhenTheRegistrySaysSoAndTheCallerAllows) {
    const std::u16string page = TempPath("page.asp");
    const std::u16string script = TempPath("script.tmp");
    auto bytes = [](const std::u16string& path) { return system::ReadFileBytes(path); };
    Ref<Qel> project = MakeRef<Qel>(); // sets the registry paths

    Qel::WriteTextFile(page, u"caf\u00e9", false);
    EXPECT_EQ(bytes(page), std::string("caf\xe9"));

    WriteUserText(GeneralKey, u"UTF8Project", u"True");
    Qel::WriteTextFile(page, u"caf\u00e9", false);
    EXPECT_EQ(bytes(page), std::string("\xef\xbb\xbf"
                                       "caf\xc3\xa9"));
    // Prepared scripts stay single-byte whatever the registry says.
    Qel::WriteTextFile(script, u"caf\u00e9", true);
    EXPECT_EQ(bytes(script), std::string("caf\xe9"));
}

} // namespace
} // namespace qv::test
