#pragma once

#include "generate/OverwritePolicy.h"
#include "generate/internal/GenerationSettings.h"
#include "generate/internal/SiteRecord.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class Qel;
class QelControl;
class QelField;
class QelTable;

/// One pass over the project that produces every output of a generation run: the database copy,
/// the table and report pages, the field pages, the style sheet and logo, the other pages and the
/// copy controls, in that order. In check-only mode it writes nothing and counts the existing
/// targets, stopping after the first table whose pages have one. Failures are left in gProjErr
/// (the pass then returns 0); aborts raise error -1. Borrows the project for its lifetime.
class GenerationPass {
public:
    GenerationPass(Qel& project, GenerationSettings settings, bool checkOnly);

    /// The style-sheet template ("CssFile", resolved); "" writes no project style sheet.
    void SetStyleSheetTemplate(std::u16string file) { mStyleSheetTemplate = std::move(file); }

    /// The files the pages are made from (the template and extension packages, the user code):
    /// a page an earlier run wrote from other ones is not vouched for, as they write the login's
    /// check too.
    void SetPageSources(std::vector<std::u16string> files) { mPageSources = std::move(files); }

    /// Runs the pass: the number of existing targets in check-only mode, else 0.
    std::int16_t Run();

    /// The pages the page engine built so far, and the time it took over them (adding each
    /// page function and running it): what the rest of the pass costs is the run's time less it.
    std::int32_t PagesBuilt() const noexcept { return mPagesBuilt; }
    std::chrono::steady_clock::duration PageScriptTime() const noexcept { return mPageScriptTime; }
    /// What the pass did with its outputs so far (nothing is counted in check-only mode).
    const OutputTally& Outputs() const noexcept { return mTally; }

    /// Whether a "table" or "report" control applies to a table: by TblGen or by the control ids
    /// TblSysGenUnits lists (unless `whateverTblGen`), by the kinds of table and control, then by
    /// the control's condition.
    bool IsControlForTable(QelTable& table, const QelControl& control, bool whateverTblGen = false);

    /// The output extension of a control: the default page extension for "*".
    std::u16string ResolveExtension(std::u16string_view extension) const;

private:
    /// Prepares a table before its pages are counted or generated: a table without a key can
    /// offer no add, copy, view, edit or delete.
    void SetTableContext(QelTable& table);
    std::int32_t GenerateTablePages(QelTable& table);
    /// The field's pages; only looked at (mLookOnly) when `looked`, as a switch keeps them.
    std::int32_t GenerateFieldPages(QelField& field, bool looked);
    /// Whether the pages of the table that TblGen or FldGenerate keep from being written are
    /// built all the same, not written (mLookOnly): under a login, to tell those from before that
    /// already are what the login needs from those that may leave it open.
    bool LooksAtSwitchedOffPages(const QelTable& table) const;
    /// Whether the field pages of the run have a file each: two fields whose pages would get one
    /// name (letter case aside: a Windows server serves one file for both) stop the run before
    /// anything is written, naming both, as two tables with one page name do.
    bool FieldPageNamesAreDistinct();
    std::int32_t GenerateOtherPages(std::u16string_view typeList, bool overwrite);
    /// Writes one page: prepared script, page engine, clean-up, then the overwrite decision
    /// over the finished text, and the file. A page kept whatever it says is not built; a
    /// missing prepared script ends the run; after a script error nothing is written. A page
    /// that cannot be written is shown and counted as failed, and the pass goes on.
    /// A page `neverKept` (one for the login's password column) is built and written whatever
    /// the switches and answers say, an earlier page there that differs removed first. `table`
    /// is the table whose table page it is (null for field pages and the other pages).
    void WritePage(QelControl& control, std::u16string_view outPath, bool overwrite, std::int16_t initType,
                   std::u16string_view missingEnd, const std::function<void()>& selectCurrent,
                   const QelTable* table = nullptr, bool neverKept = false);
    /// What an existing page at `outPath` that differs from this run's may do while the project's
    /// login is in force ("serve visitors who have not logged in", and for the user table's table
    /// pages show its password column); empty without a login, for files that are not pages, and
    /// for a page the site's record shows to be one a run wrote under the login as it is now.
    std::u16string LeftOpenByEarlierPage(std::u16string_view outPath, const QelTable* table) const;
    /// Whether `path` is a page that the project's login must guard: a login is in force and the
    /// file runs on the server (the default page extension).
    bool IsGuardedPage(std::u16string_view path) const;
    /// What a page that does not check the login may do: LeftOpenByEarlierPage's text.
    std::u16string LeavesOpenText(const QelTable* table) const;
    /// Under a login: names and counts as left open each page in the site that this run did not
    /// write or look at, that a page of the project (for any table, field and control, whatever
    /// its switches and conditions say) or an earlier run (by the site's record) put there, and
    /// that is not known to check the login as it is now. A switch that keeps a page from being
    /// built (OtherGen, TblGen, FldGenerate, a control's condition, a table that is not loaded)
    /// would otherwise leave a page from before the login in the site unsaid.
    void NameUnguardedPages();
    /// Whether the field is the password column of a dynamic login's user table, named as the
    /// project's settings name them.
    bool IsLoginPasswordField(const QelTable& table, const QelField& field) const;
    /// Removes what an earlier generation wrote under the name of a field page of the login's
    /// password column, when this run did not write a field page there: such a page, from
    /// before the login was set or from an older package, sends every user's password. Each
    /// removal is shown.
    void RemovePasswordPages();
    /// Removes the page an earlier generation wrote for the password column at `path` and shows
    /// that it is gone (`done`: "removed", "replaced"); a page that cannot be removed ends the run.
    void RemovePasswordPage(std::u16string_view path, std::u16string_view done) const;
    /// The text of the control's prepared script; a missing one ends the run with "File ",
    /// its path and `missingEnd`.
    const std::u16string& PreparedScript(const QelControl& control, std::u16string_view missingEnd);
    std::u16string OutputPath(const QelControl& control, std::u16string_view fileName) const;
    /// The output path of a page about to be written, its folder made; nullopt, with the page
    /// shown and counted as failed, when a file or a link stands where a folder of it should be.
    std::optional<std::u16string> WritablePath(const QelControl& control, std::u16string_view fileName);
    /// Check-only mode: whether the page's output file exists.
    bool OutputExists(const QelControl& control, std::u16string_view fileName) const;
    /// Adds a context line in front of a pending error text.
    static void PrefixError(std::u16string_view context);
    /// The same after a page failed: `page` names it, unless the template code stopped the run
    /// on its own, which is said of the package.
    void PrefixPageError(std::u16string_view page) const;

    Qel& mProject;
    GenerationSettings mSettings;
    bool mCheckOnly;
    std::u16string mStyleSheetTemplate;
    std::vector<std::u16string> mPageSources;
    std::u16string mCurTblVar;
    std::map<std::u16string, std::u16string> mPreparedScripts; ///< by file, read in this pass
    /// The field pages this pass wrote or kept.
    std::set<std::u16string> mFieldPages;
    /// Every page this pass wrote, kept or left alone, whatever became of it.
    std::set<std::u16string> mPagesSeen;
    /// What the runs wrote into the site, and the login as it is for this run (LoginFingerprint).
    SiteRecord mRecord;
    std::u16string mLogin;
    /// Whether pages are built only to be compared with those in the site, never written or
    /// counted: an existing page that comes out the same is taken as seen, a failed build is
    /// forgotten.
    bool mLookOnly = false;
    /// Whether the last page that failed was stopped by the template code rather than its engine.
    bool mStoppedByPackage = false;
    std::int32_t mPagesBuilt = 0;
    std::chrono::steady_clock::duration mPageScriptTime{};
    OutputTally mTally;
};

} // namespace qv
