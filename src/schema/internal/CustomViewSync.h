#pragma once

#include <string_view>

namespace qv {

class Qel;
class QelField;
class QelTable;

/// Brings the tables the user defines in step with the database: a custom view is read again
/// from its SQL (described, never run) and its fields merged with the columns found; a report
/// merges its fields with those of its source table. A failure of one of them goes to its
/// TblCustomError and leaves its fields as they were; the others go on. Borrows the project.
class CustomViewSync {
public:
    explicit CustomViewSync(Qel& project) : mProject(project) {}

    /// Every custom view, then every report, of the project, under the progress window.
    void SyncCustomViews();
    void SyncReports();

    /// Names, in one message, every custom view and report that the two walks above could not
    /// bring in step, with its TblCustomError: each is kept as it was, and would otherwise pass
    /// for synchronised.
    void TellOfFailures();

    /// One custom view or report by its exact name; raises 91 when the project has none.
    void SyncCustom(std::u16string_view name);
    void SyncReport(std::u16string_view name);

    /// Copies what the source field dictates; a new field also takes its defaults.
    static void CopyFieldAttributes(QelField& target, const QelField& source, bool isNew);
    static void SetReportFromSource(QelTable& report, const QelTable& source, bool isNew);

private:
    template <class Step> void ForEachOfType(std::u16string_view type, std::u16string_view stage, Step step);

    Qel& mProject;
};

} // namespace qv
