#pragma once

#include "platform/automation/Variant.h"

namespace qv {

class Qel;

/// Adds the tables the user defines to a project's loaded database: a custom view over an SQL
/// text (described, never run), which may take the settings of the columns it comes from, and
/// a report over a loaded table, with copies of its fields. Names are checked as the table
/// list keys them, so a name that differs from a present one only in letter case is told as
/// existing. Borrows the project.
class CustomTableLoad {
public:
    explicit CustomTableLoad(Qel& project) : mProject(project) {}

    /// "" in ProjErr when the view was added; else why not.
    void LoadCustomView(const automation::Variant& sTableName, const automation::Variant& sSQL,
                        const automation::Variant& bCopyFields);
    /// True when the report was added; else false with the reason in ProjErr.
    bool LoadReport(const automation::Variant& sTableName, const automation::Variant& sFromTableName);

private:
    /// Gives the new view's fields the settings, marked to follow, of the fields they come from.
    void CopySourceSettings(const std::u16string& viewName);

    Qel& mProject;
};

} // namespace qv
