#include "schema/SchemaServices.h"

#include "schema/SchemaCheck.h"
#include "schema/internal/CustomTableLoad.h"
#include "schema/internal/CustomViewSync.h"
#include "schema/internal/Synchronizer.h"

#include "project/SynchronizationService.h"

#include "platform/automation/Conversion.h"

#include <memory>
#include <string>

namespace qv {

namespace {

/// What the schema layer offers the project object: each member forwards to the class that does
/// the work; the project object turns what they raise into ProjErr.
class SchemaSynchronizationService final : public SynchronizationService {
public:
    std::int16_t CheckDB(Qel& project) override { return SchemaCheck(project).CheckDB(); }
    void SynchronizeDB(Qel& project) override { Synchronizer(project).SynchronizeDB(); }
    void SyncCustom(Qel& project, const automation::Variant& sTable) override {
        CustomViewSync(project).SyncCustom(TableName(sTable));
    }
    void SyncReport(Qel& project, const automation::Variant& sTable) override {
        CustomViewSync(project).SyncReport(TableName(sTable));
    }
    void LoadCustomView(Qel& project, const automation::Variant& sTableName, const automation::Variant& sSQL,
                        const automation::Variant& bCopyFields) override {
        CustomTableLoad(project).LoadCustomView(sTableName, sSQL, bCopyFields);
    }
    bool LoadReport(Qel& project, const automation::Variant& sTableName,
                    const automation::Variant& sFromTableName) override {
        return CustomTableLoad(project).LoadReport(sTableName, sFromTableName);
    }
    void SynchronizeAfterLoad(Qel& project) override { Synchronizer(project).SynchronizeAfterLoad(); }

private:
    /// The table named by the argument; the tables must exist, so a project without a database
    /// fails as taking its first table would.
    static std::u16string TableName(const automation::Variant& value) {
        const automation::Variant& plain = value.Deref();
        return plain.IsEmpty() || plain.IsNull() ? std::u16string() : automation::ToString(plain);
    }
};

} // namespace

void RegisterSchemaServices() {
    RegisterSynchronizationService(std::make_unique<SchemaSynchronizationService>());
}

} // namespace qv
