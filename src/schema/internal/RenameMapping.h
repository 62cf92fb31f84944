#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

class Qel;
class QelSchema;
class QelTable;
struct QoSchemaTable;

/// The first step of a synchronisation: before anything is matched by name, tables, views and
/// fields that vanished from the database may be mapped onto ones that appeared, so that a
/// renamed object keeps its settings instead of being deleted and added again with defaults.
/// A name that changed only in letter case is the same object and is renamed without asking;
/// the other pairs come from the user through the name-mapping dialog. Master/detail pairs
/// follow every rename. Made for one run; borrows the project and the schema read for it.
class RenameMapping {
public:
    RenameMapping(Qel& project, const QelSchema& schema) : mProject(project), mSchema(schema) {}

    /// Maps tables, then views, then the fields of every loaded table and view.
    void MapRenamedObjects();

    /// Shows the name-mapping dialog and gives, for each new name in order, the old name the
    /// user chose for it, or "" for none. Only names offered count, each old name once: any
    /// other answer maps nothing. A dialog that was not confirmed maps nothing.
    static std::vector<std::u16string> ShowMapDialog(std::u16string title, std::u16string message,
                                                     std::u16string newHeading, std::u16string oldHeading,
                                                     const std::vector<std::u16string>& newNames,
                                                     const std::vector<std::u16string>& oldNames);

private:
    void MapTables(std::u16string_view kind, std::u16string_view word);
    void MapFields(QelTable& table, const QoSchemaTable& record);
    /// Renames a table of the kind and the pairs that name it. A table of another kind or a
    /// custom view or report that holds the new name gives way: the schema object takes its name
    /// as it would in a change of type.
    bool RenameTable(QelTable& table, const std::u16string& newName);
    bool RenameField(QelTable& table, const std::u16string& oldName, const std::u16string& newName);

    Qel& mProject;
    const QelSchema& mSchema;
};

} // namespace qv
