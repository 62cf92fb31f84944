#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qv {

class Qel;
class QelField;
class QelFields;
class QelSchema;
class QelTable;
struct QoSchemaField;
struct QoSchemaTable;

/// The second step of a synchronisation: merges the live tables and views into the project.
/// What stays keeps the user's settings and takes what the database dictates; new tables and
/// fields are added with defaults; a field whose type changed is rebuilt in place; what vanished
/// is deleted; a changed primary key is put to the user (keep or update). Custom views and
/// reports are left to CustomViewSync, except one whose name a schema object now bears, which
/// becomes that object. Made for one run; borrows the project and the schema.
class TableSync {
public:
    TableSync(Qel& project, const QelSchema& schema) : mProject(project), mSchema(schema) {}

    void SyncTablesAndViews();

    /// Writes what the schema dictates into a table; a new table also takes its type, key and
    /// defaults.
    static void SetTableFromSchema(QelTable& table, const QoSchemaTable& record, bool isNew);
    /// Writes what the schema dictates into a field; a new field also takes its defaults.
    static void SetFieldFromSchema(QelField& field, const QoSchemaField& column, bool isNew);

    /// Merges the columns of a record into the fields of a table that stays: a field of the same
    /// name and type is refreshed and keeps the user's settings; one of another type is rebuilt
    /// in place; a new column is added at the end. Every field so found is marked FldSync; the
    /// caller deletes the others.
    static void MergeFields(QelFields& fields, const QoSchemaTable& record);

private:
    void RefreshTable(QelTable& table, const QoSchemaTable& record);
    void AddOrRebuild(const QoSchemaTable& record);
    void DeleteVanished();

    Qel& mProject;
    const QelSchema& mSchema;
    /// The custom views and reports that schema objects of their names replaced, each as the
    /// message names it, and why.
    std::vector<std::pair<std::u16string, std::u16string>> mReplaced;
};

} // namespace qv
