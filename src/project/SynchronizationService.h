#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <memory>

namespace qv {

class Qel;

/// Schema reading, checking and synchronisation as the project object reaches them: the schema
/// layer implements it and registers one per apartment, so that the project never depends on
/// the layer above it. Each member reports as the project's member of the same name does
/// (ProjErr and the result); the project has checked nothing before it forwards.
class SynchronizationService {
public:
    virtual ~SynchronizationService() = default;

    /// Counts the differences between the project and its live database.
    virtual std::int16_t CheckDB(Qel& project) = 0;
    /// Brings the project in step with its live database.
    virtual void SynchronizeDB(Qel& project) = 0;
    virtual void SyncCustom(Qel& project, const automation::Variant& sTable) = 0;
    virtual void SyncReport(Qel& project, const automation::Variant& sTable) = 0;
    /// Adds a custom view over the SQL text, or a report over a loaded table.
    virtual void LoadCustomView(Qel& project, const automation::Variant& sTableName,
                                const automation::Variant& sSQL, const automation::Variant& bCopyFields) = 0;
    virtual bool LoadReport(Qel& project, const automation::Variant& sTableName,
                            const automation::Variant& sFromTableName) = 0;
    /// The last step of loading a project file with AutoSync on: reads the live schema, counts
    /// the differences, asks whether to keep the project's definition and updates it if not.
    virtual void SynchronizeAfterLoad(Qel& project) = 0;
};

/// Registers the apartment's synchronisation service (nullptr removes it). The apartment owns
/// it until it is replaced or the apartment is reset.
void RegisterSynchronizationService(std::unique_ptr<SynchronizationService> service);
/// The apartment's synchronisation service; null when none is registered.
SynchronizationService* FindSynchronizationService();

} // namespace qv
