#include "schema/internal/Synchronizer.h"

#include "schema/SchemaCheck.h"
#include "schema/internal/CustomViewSync.h"
#include "schema/internal/MasterDetailCleanup.h"
#include "schema/internal/QelSchema.h"
#include "schema/internal/RenameMapping.h"
#include "schema/internal/SyncSupport.h"
#include "schema/internal/TableSync.h"

#include "project/Qel.h"

#include "model/table/QelDatabase.h"

#include "core/Apartment.h"

#include "platform/automation/Ref.h"
#include "platform/automation/Text.h"
#include "platform/host/Host.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qv {

namespace {

/// Reads the live schema of the project's database; null, with the reason in the error text,
/// when it cannot be read.
automation::Ref<QelSchema> ReadSchema(Qel& project) {
    automation::Ref<QelSchema> schema = automation::MakeRef<QelSchema>();
    // LoadDB gives its reason with every failure, and leaves no text when it read the schema.
    if (!schema->LoadDB(*project.db())) {
        return {};
    }
    return schema;
}

} // namespace

void Synchronizer::Run(const QelSchema& schema) {
    RenameMapping(mProject, schema).MapRenamedObjects();
    TableSync(mProject, schema).SyncTablesAndViews();
    CustomViewSync customTables(mProject);
    customTables.SyncCustomViews();
    customTables.SyncReports();
    customTables.TellOfFailures();
    RemoveBrokenMasterDetails(mProject);
    mProject.BuildTableKeys();
}

void Synchronizer::SynchronizeDB() {
    ModuleState& state = State();
    if (mProject.DBCnt() < 1) {
        state.gProjErr = state.gMsgPrefix + u": Database not loaded!";
        return;
    }
    state.gStatusCaption = state.gMsgPrefix + u" - Database Synchronization...";
    const automation::Ref<QelSchema> schema = ReadSchema(mProject);
    if (!schema) {
        return;
    }
    Run(*schema);
}

void Synchronizer::SynchronizeAfterLoad() {
    ModuleState& state = State();
    if (mProject.DBCnt() < 1) {
        return;
    }
    state.gStatusCaption = state.gMsgPrefix + u" - Database Synchronization Check...";
    const automation::Ref<QelSchema> schema = ReadSchema(mProject);
    if (!schema) {
        CurrentHost().ShowMessage({state.gMsgPrefix,
                                   u"Unable to load database information! Reason: " +
                                       automation::WithFullStop(state.gProjErr) +
                                       u" Please check if correct database is in use.",
                                   host::MessageIcon::Exclamation, host::MessageButtons::Ok});
        return;
    }
    SchemaCheck check(mProject);
    std::int64_t differences = check.CheckTablesAndViews(*schema);
    differences += check.CheckCustomViews();
    differences += check.CheckReports();
    // A question dismissed without an answer keeps the project as read.
    const bool keep =
        std::min<std::int64_t>(differences, std::numeric_limits<std::int16_t>::max()) <= 0 ||
        sync::AskKeepOrUpdate(u"Database has been modified since last change. Do you want to keep old "
                              u"definition or update to new definition?",
                              /*preset=*/true);
    if (!keep) {
        Run(*schema);
    }
}

} // namespace qv
