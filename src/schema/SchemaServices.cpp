#include "schema/SchemaServices.h"

#include "schema/SchemaCheck.h"

#include "project/SynchronizationService.h"

#include "platform/automation/Error.h"

#include <memory>
#include <string_view>

namespace qv {

namespace {

/// What the schema layer offers the project object. The operations that change the project
/// are not part of this layer yet and say so when called, rather than pretend to succeed.
class SchemaSynchronizationService final : public SynchronizationService {
public:
    std::int16_t CheckDB(Qel& project) override { return SchemaCheck(project).CheckDB(); }
    void SynchronizeDB(Qel&) override { Unavailable(u"SynchronizeDB"); }
    void SyncCustom(Qel&, const automation::Variant&) override { Unavailable(u"SyncCustom"); }
    void SyncReport(Qel&, const automation::Variant&) override { Unavailable(u"SyncReport"); }
    void LoadCustomView(Qel&, const automation::Variant&, const automation::Variant&,
                        const automation::Variant&) override {
        Unavailable(u"LoadCustomView");
    }
    bool LoadReport(Qel&, const automation::Variant&, const automation::Variant&) override {
        Unavailable(u"LoadReport");
    }
    void SynchronizeAfterLoad(Qel&) override { Unavailable(u"Load"); }

private:
    [[noreturn]] static void Unavailable(std::u16string_view member) {
        automation::Raise(automation::ErrorNumber::ObjectDoesNotSupport, u"Qel." + std::u16string(member),
                          std::u16string(member) + u" is not available in this build");
    }
};

} // namespace

void RegisterSchemaServices() {
    RegisterSynchronizationService(std::make_unique<SchemaSynchronizationService>());
}

} // namespace qv
