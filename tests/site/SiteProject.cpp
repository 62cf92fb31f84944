#include "SiteProject.h"

#include "support/ScopedEnvironment.h"

#include "generate/Generator.h"

#include "schema/SchemaServices.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"

#include "platform/host/ScriptedHost.h"
#include "platform/registry/Registry.h"
#include "platform/system/Paths.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

namespace qv::test::site {

namespace fs = std::filesystem;
using automation::Variant;

namespace {

/// The run for a project that `load` loads from its database.
std::string Generate(const std::function<void(Qel&)>& load, const fs::path& work, const fs::path& site,
                     const std::function<void(Qel&)>& configure) {
    fs::create_directories(work);
    fs::copy(fs::path(QV_SHARE_DIR), work,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::create_directories(site);
    ScopedEnvironment environment;
    environment.Set("QUORVANE_USER_HIVE", (work / "user.reg").string())
        .Set("QUORVANE_MACHINE_HIVE", (work / "machine.reg").string())
        .Set("QUORVANE_DOCUMENTS", (work / "docs").string())
        .Set("QUORVANE_ANSI_CODEPAGE", "1252");
    host::ScriptedHost host;
    host.SetFailureHandler([](const std::string& failure) { ADD_FAILURE() << failure; });
    ResetApartment();
    UseRegistry(std::make_unique<registry::Registry>(work / "user.reg", work / "machine.reg"));
    SetCurrentHost(&host);
    RegisterGenerator();
    RegisterSchemaServices();

    std::string failure;
    // A failure the project raises instead of reporting is a failure of the run all the same.
    try {
        auto project = automation::MakeRef<Qel>();
        load(*project);
        failure = automation::ToUtf8(project->ProjErr());
        if (failure.empty() && project->db()) {
            project->AddExtension(u"export", u"export.zip");
            project->SetDestination(system::FromNativePath(site));
            project->SetAppRootFolder(system::FromNativePath(site));
            project->SetOtherGen(true);
            project->SetOtherOverwrite(true);
            project->SetPromptOnOverwrite(false);
            configure(*project);
            automation::CallByName(*project, u"GenScript", automation::InvokeRead);
            failure = automation::ToUtf8(project->ProjErr());
        } else if (failure.empty()) {
            failure = "the database did not load";
        }
    } catch (const automation::Error& error) {
        failure = automation::ToUtf8(error.Description());
    }
    ResetApartment();
    SetCurrentHost(nullptr);
    return failure;
}

} // namespace

std::string GenerateSite(const std::u16string& connection, const fs::path& work, const fs::path& site,
                         const std::function<void(Qel&)>& configure, const std::u16string& schema) {
    return Generate(
        [&](Qel& project) {
            automation::CallByName(project, u"LoadDB", automation::InvokeRead,
                                   {Variant(u"site"), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(),
                                    Variant(false), Variant(u""), Variant(u""), Variant(connection),
                                    Variant(schema)});
        },
        work, site, configure);
}

std::string GenerateAccessSite(const fs::path& file, const fs::path& work, const fs::path& site) {
    const std::u16string path = system::FromNativePath(file);
    return Generate(
        [&](Qel& project) {
            automation::CallByName(project, u"LoadDB", automation::InvokeRead,
                                   {Variant(u""), Variant(u"ACCESS"), Variant(u""), Variant(path),
                                    Variant(false), Variant(u""), Variant(u""), Variant(u""), Variant(u"")});
        },
        work, site, [](Qel&) {});
}

void GenerateField(Qel& project, std::u16string_view table, std::u16string_view field) {
    QelTable* found = project.db()->tables()->Find(table);
    ASSERT_NE(found, nullptr) << automation::ToUtf8(table);
    QelField* column = found->Fields()->Find(field);
    ASSERT_NE(column, nullptr) << automation::ToUtf8(field);
    column->SetFldGenerate(true);
}

void AddMasterDetail(Qel& project, std::u16string_view master, std::u16string_view detail,
                     std::u16string_view masterField, std::u16string_view detailField) {
    EXPECT_TRUE(automation::ToBoolean(project.AddMasterDetail(master, detail)));
    EXPECT_TRUE(
        automation::ToBoolean(project.AddMasterDetailRelation(master, detail, masterField, detailField)));
}

void SetDynamicLogin(Qel& project, std::u16string_view table, std::u16string_view loginField,
                     std::u16string_view passwordField) {
    project.SetSecType(u"Dynamic");
    project.SetSecTbl(table);
    project.SetSecLoginIDFld(loginField);
    project.SetSecPasswdFld(passwordField);
}

} // namespace qv::test::site
