#pragma once

namespace qv {

class Qel;
class QelSchema;

/// Drives a synchronisation of a project with its changed database: reads the live schema
/// afresh, then renames, merges tables and views, re-reads custom views and reports, removes
/// broken master/detail pairs and rebuilds the table keys. A schema that cannot be read changes
/// nothing. Made for one run; borrows the project.
class Synchronizer {
public:
    explicit Synchronizer(Qel& project) : mProject(project) {}

    /// The host's synchronisation: "Database not loaded!" without a database, the reader's
    /// text when the schema cannot be read, else "" (a custom view that failed keeps its reason
    /// in its TblCustomError).
    void SynchronizeDB();

    /// The last step of loading a project with AutoSync on: counts the differences, asks
    /// whether to keep the project's definition, and updates it if not. The caller presets the
    /// keep answer that a dismissed question leaves. A schema that cannot be read is shown in a
    /// message box and leaves its reason in ProjErr.
    void SynchronizeAfterLoad();

    /// The steps after the schema is read, in their order.
    void Run(const QelSchema& schema);

private:
    Qel& mProject;
};

} // namespace qv
