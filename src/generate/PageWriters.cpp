#include "generate/OverwritePolicy.h"
#include "generate/internal/CopySupport.h"
#include "generate/internal/GenerationAbort.h"
#include "generate/internal/GenerationPass.h"
#include "generate/internal/OutputContent.h"
#include "generate/internal/OutputNames.h"
#include "generate/internal/RebuildDecision.h"

#include "project/OutputCleanup.h"
#include "project/ProjectFileStorage.h"
#include "project/Qel.h"

#include "core/Apartment.h"
#include "core/Formatting.h"
#include "core/QelStatus.h"
#include "core/VbText.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"
#include "template/QelControls.h"
#include "template/ScriptHost.h"
#include "template/TemplateState.h"
#include "template/TemplateText.h"

#include "platform/host/Host.h"
#include "platform/system/Digest.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <map>
#include <optional>

// The page writers of the generation pass: one loop per page kind over the control list, and
// the one writer of a page that they share.

namespace qv {

namespace {

constexpr std::int16_t OtherPageInit = 1;
constexpr std::int16_t TablePageInit = 2;

ScriptHost& PageEngine() {
    ScriptHost* engine = CurrentTemplateState().pageScript.Get();
    if (engine == nullptr) {
        // The driver creates the engine before the pass; a pass without one is a caller's fault.
        automation::Raise(automation::ErrorNumber::ObjectVariableNotSet);
    }
    return *engine;
}

std::u16string Generating(std::u16string_view fileName) {
    return u"Generating " + std::u16string(fileName) + u"...";
}

} // namespace

std::u16string GenerationPass::OutputPath(const QelControl& control, std::u16string_view fileName) const {
    return ResolveOutputFolder(mSettings, control.CtrlOFolder(), fileName, mCheckOnly);
}

std::optional<std::u16string> GenerationPass::WritablePath(const QelControl& control,
                                                           std::u16string_view fileName) {
    // A file or a link where the page's folder should be is the user's: the page is named and
    // counted, nothing is written through the link, and the pass goes on.
    if (std::optional<FolderObstacle> obstacle =
            OutputFolderObstacle(mSettings, control.CtrlOFolder(), fileName)) {
        if (mLookOnly) {
            return std::nullopt;
        }
        ReportFolderObstacle(
            u"Writing to file ",
            ResolveOutputFolder(mSettings, control.CtrlOFolder(), fileName, /*checkOnly=*/true), *obstacle,
            &mTally);
        return std::nullopt;
    }
    // A page only looked at makes no folder.
    return mLookOnly ? ResolveOutputFolder(mSettings, control.CtrlOFolder(), fileName, /*checkOnly=*/true)
                     : OutputPath(control, fileName);
}

bool GenerationPass::OutputExists(const QelControl& control, std::u16string_view fileName) const {
    return CheckFileOverwrite(OutputPath(control, fileName), true, true, /*checkOnly=*/true, false);
}

void GenerationPass::WritePage(QelControl& control, std::u16string_view outPath, bool overwrite,
                               std::int16_t initType, std::u16string_view missingEnd,
                               const std::function<void()>& selectCurrent, const QelTable* table,
                               bool neverKept) {
    if (mLookOnly) {
        // Only an existing page that the record does not vouch for needs building, to tell one
        // that already is what the login needs.
        if (system::IsSymbolicLink(outPath) || !system::FileExists(outPath)) {
            return;
        }
        if (mRecord.Vouches(outPath, mLogin)) {
            mPagesSeen.insert(std::u16string(outPath));
            return;
        }
    } else {
        mPagesSeen.insert(std::u16string(outPath));
    }
    const std::u16string leavesOpen = neverKept ? std::u16string() : LeftOpenByEarlierPage(outPath, table);
    // A page that stays as it is whatever it would say is not built at all; under a login it is
    // built all the same, to tell whether the page kept differs from what the login needs.
    if (!mLookOnly && !neverKept && leavesOpen.empty() && KeepsExistingFile(outPath, overwrite, &mTally)) {
        return;
    }
    ModuleState& state = State();
    const std::u16string& script = PreparedScript(control, missingEnd);
    selectCurrent();
    const auto started = std::chrono::steady_clock::now();
    std::u16string text =
        PageEngine().BuildNewCode(script, initType, CurrentTemplateState().scriptEngineTimeout);
    mPageScriptTime += std::chrono::steady_clock::now() - started;
    ++mPagesBuilt;
    // A page whose script failed is not written: an empty text would replace a good page.
    if (ScriptReportedError()) {
        if (mLookOnly) {
            // Nothing was to be written: the page is named as not known to check the login, and
            // the run goes on.
            state.gProjErr.clear();
            return;
        }
        mStoppedByPackage = !PageEngine().LastBuildFailedInEngine();
        return;
    }
    text = control.CtrlSpace() ? FormatOutputText(text, state.gProductName, mProject.DllVersion())
                               : TrimLeadingBlankLines(text);
    // The page is built before anyone is asked about replacing it: a page that comes out the
    // same is left alone without a question.
    const std::string bytes = TextFileBytes(text, /*ansiOnly=*/false);
    if (mLookOnly) {
        if (OutputContent::Bytes(bytes).IsAlreadyAt(outPath)) {
            mPagesSeen.insert(std::u16string(outPath));
            mRecord.Note(outPath, system::Sha256Hex(bytes), mLogin);
        }
        return;
    }
    if (neverKept && system::FileExists(outPath) && !OutputContent::Bytes(bytes).IsAlreadyAt(outPath)) {
        // Neither a switch nor an answer keeps it: what an earlier generation wrote there may
        // send the column. Gone first, the page is then written as a new one.
        RemovePasswordPage(outPath, u"replaced");
    }
    // A page the file system refuses (a name longer than it takes) is shown and counted; the
    // pages after it are still written.
    const std::int32_t unchanged = mTally.unchanged;
    const bool written = WriteOutput(
        outPath, OutputContent::Bytes(bytes), overwrite, mSettings.PromptOnOverwrite, mSettings.backupFile,
        &mTally,
        [&] {
            CreateFolderPath(system::FolderOf(outPath));
            system::WriteFileAtomic(outPath, bytes, system::Durability::RenameOnly);
        },
        leavesOpen);
    // A page that holds what this run made of it is the generator's own under the login as it is.
    // Without a login only its name is kept: no page is vouched for then, and a later run under a
    // login still learns what an earlier one put into the site.
    if (written || mTally.unchanged > unchanged) {
        mRecord.Note(outPath, mLogin.empty() ? std::string() : system::Sha256Hex(bytes), mLogin);
    }
}

bool GenerationPass::IsGuardedPage(std::u16string_view path) const {
    // Only pages that run on the server can give anything away; files of other kinds are left to
    // their switches and answers.
    return !mLogin.empty() &&
           automation::EqualsNoCase(system::ExtensionOf(path), u"." + mProject.DefaultExt());
}

std::u16string GenerationPass::LeftOpenByEarlierPage(std::u16string_view outPath,
                                                     const QelTable* table) const {
    // The pages check the login themselves, and a user may have edited the check out of one: an
    // earlier page that differs from this run's is taken for one without it, unless it holds
    // exactly what a run wrote there under the login as it is now.
    if (!IsGuardedPage(outPath) || mRecord.Vouches(outPath, mLogin)) {
        return {};
    }
    return LeavesOpenText(table);
}

std::u16string GenerationPass::LeavesOpenText(const QelTable* table) const {
    std::u16string text = u"serve visitors who have not logged in";
    if (automation::ToLower(TrimBlanks(mProject.SecType())) == u"dynamic" && table != nullptr &&
        table->TblName() == mProject.SecTbl()) {
        text += u", and show the password column \"";
        text += mProject.SecPasswdFld();
        text += u"\" of the user table \"";
        text += mProject.SecTbl();
        text += u"\"";
    }
    return text;
}

const std::u16string& GenerationPass::PreparedScript(const QelControl& control,
                                                     std::u16string_view missingEnd) {
    std::u16string tempFile = PreparedScriptFile(control);
    // Nothing writes the prepared scripts while a pass runs: each is read once, not once a page.
    if (auto found = mPreparedScripts.find(tempFile); found != mPreparedScripts.end()) {
        return found->second;
    }
    if (!system::FileExists(tempFile)) {
        State().gProjErr = u"File " + tempFile + std::u16string(missingEnd);
        RaiseGenerationError();
    }
    std::u16string script = ReadSingleByteFile(tempFile);
    return mPreparedScripts.emplace(std::move(tempFile), std::move(script)).first->second;
}

std::int32_t GenerationPass::GenerateTablePages(QelTable& table) {
    ModuleState& state = State();
    QelControls& controls = mProject.Controls();
    QelTables& tables = *mProject.db()->tables();
    std::int32_t count = 0;
    for (std::int32_t position = 1; position <= controls.Count(); ++position) {
        automation::Ref<QelControl> control = controls.Item(automation::Variant(position));
        if (!control) {
            continue;
        }
        const bool applies = IsControlForTable(table, *control);
        const bool looked = !applies && !table.TblGen() && LooksAtSwitchedOffPages(table) &&
                            IsControlForTable(table, *control, /*whateverTblGen=*/true);
        if (!applies && !looked) {
            continue;
        }
        const std::u16string fileName = BuildOutputFileName(
            mSettings, table.TblVar(), u"", control->CtrlOFile(), ResolveExtension(control->CtrlOExt()));
        if (mCheckOnly) {
            count += OutputExists(*control, fileName) ? 1 : 0;
            continue;
        }
        GetStatus().DispStatus(Generating(fileName));
        if (GetStatus().StatusIsCancelled()) {
            RaiseCancelled();
        }
        mLookOnly = looked;
        const std::optional<std::u16string> outPath = WritablePath(*control, fileName);
        control = controls.Item(automation::Variant(position));
        const bool overwrite = control->CtrlOverwrite() && table.TblOverwrite();
        if (outPath) {
            WritePage(
                *control, *outPath, overwrite, TablePageInit, u" not found. Generation aborted.",
                [&] { tables.Item(automation::Variant(table.TblName())); }, &table);
        }
        mLookOnly = false;
        if (looked) {
            continue;
        }
        // Written or skipped, the page counts for the bar.
        ++state.gProgressPos;
        GetStatus().SetStatus(Percent(state.gProgressPos, state.gProgressTotal));
        if (ScriptReportedError()) {
            PrefixPageError(u": Generate Table " + table.TblName() + u" " + control->CtrlID() +
                            u" page error");
            break;
        }
    }
    return count;
}

std::int32_t GenerationPass::GenerateFieldPages(QelField& field, bool looked) {
    mProject.SetCurrentField(&field);
    if (!field.FldGenerate() && !looked) {
        return 0;
    }
    QelControls& controls = mProject.Controls();
    QelTables& tables = *mProject.db()->tables();
    std::int32_t count = 0;
    for (std::int32_t position = 1; position <= controls.Count(); ++position) {
        automation::Ref<QelControl> control = controls.Item(automation::Variant(position));
        if (!control || control->CtrlType() != u"field" || !mProject.EvaluateCondition(control->CtrlCond())) {
            continue;
        }
        const std::u16string fileName =
            BuildOutputFileName(mSettings, mCurTblVar, field.FldParm(), control->CtrlOFile(),
                                ResolveExtension(control->CtrlOExt()));
        if (mCheckOnly) {
            count += OutputExists(*control, fileName) ? 1 : 0;
            continue;
        }
        GetStatus().DispStatus(Generating(fileName));
        mLookOnly = looked;
        const std::optional<std::u16string> outPath = WritablePath(*control, fileName);
        if (!outPath) {
            mLookOnly = false;
            continue;
        }
        control = controls.Item(automation::Variant(position));
        QelTable* table = mProject.CurrentTable();
        const bool overwrite = control->CtrlOverwrite() && table != nullptr && table->TblOverwrite();
        const bool password = table != nullptr && IsLoginPasswordField(*table, field);
        if (!looked) {
            mFieldPages.insert(*outPath);
        }
        WritePage(
            *control, *outPath, overwrite, TablePageInit, u" not found. Generation aborted",
            [&] {
                if (automation::Ref<QelTable> current = tables.Item(automation::Variant(tables.curName()))) {
                    current->Fields()->Item(automation::Variant(field.FldName()));
                }
            },
            /*table=*/nullptr, password);
        mLookOnly = false;
    }
    return count;
}

bool GenerationPass::IsLoginPasswordField(const QelTable& table, const QelField& field) const {
    // Compared as the template's own test compares them, so that the pages it leaves out are the
    // ones looked for here.
    return automation::ToLower(TrimBlanks(mProject.SecType())) == u"dynamic" &&
           table.TblName() == mProject.SecTbl() && field.FldName() == mProject.SecPasswdFld();
}

void GenerationPass::RemovePasswordPage(std::u16string_view path, std::u16string_view done) const {
    try {
        system::DeleteFile(path);
    } catch (const automation::Error& error) {
        // The site would still send the password: the run fails.
        SetCopyFailed(u"Removing file ", path, error.Description());
        RaiseGenerationError();
    }
    std::u16string text = u"The page \"";
    text += path;
    text += u"\" that an earlier generation wrote for the password column \"";
    text += mProject.SecPasswdFld();
    text += u"\" of the user table \"";
    text += mProject.SecTbl();
    text += u"\" is ";
    text += done;
    text += u": it could send every user's password to anyone who asks for it.";
    CurrentHost().ShowMessage(
        {State().gMsgPrefix, std::move(text), host::MessageIcon::Information, host::MessageButtons::Ok});
}

void GenerationPass::RemovePasswordPages() {
    if (mCheckOnly) {
        return;
    }
    for (QelTable& table : *mProject.db()->tables()) {
        for (QelField& field : *table.Fields()) {
            if (!IsLoginPasswordField(table, field)) {
                continue;
            }
            QelControls& controls = mProject.Controls();
            for (std::int32_t position = 1; position <= controls.Count(); ++position) {
                const automation::Ref<QelControl> control = controls.Item(automation::Variant(position));
                if (!control || control->CtrlType() != u"field") {
                    continue;
                }
                // The page's name as a field page of that column gets it, in whatever folder
                // that may be reached without following a link.
                const std::u16string fileName =
                    BuildOutputFileName(mSettings, table.TblVar(), field.FldParm(), control->CtrlOFile(),
                                        ResolveExtension(control->CtrlOExt()));
                if (OutputFolderObstacle(mSettings, control->CtrlOFolder(), fileName)) {
                    continue;
                }
                const std::u16string path =
                    ResolveOutputFolder(mSettings, control->CtrlOFolder(), fileName, /*checkOnly=*/true);
                // A page this run wrote is its own, also one of another column whose page has
                // the same name ("a_b" + "c" beside "a" + "b_c").
                if (mFieldPages.contains(path) ||
                    !(system::FileExists(path) || system::IsSymbolicLink(path))) {
                    continue;
                }
                RemovePasswordPage(path, u"removed");
            }
        }
    }
}

void GenerationPass::NameUnguardedPages() {
    if (mCheckOnly || mLogin.empty()) {
        return;
    }
    // Every page name the project's controls give, with why this run did not write it when it
    // did not; then what the earlier runs wrote.
    struct Unwritten {
        std::u16string reason;
        const QelTable* table = nullptr; ///< the table whose table page it is
    };
    std::map<std::u16string, Unwritten> unwritten;
    const auto consider = [&](const QelControl& control, std::u16string_view fileName, std::u16string reason,
                              const QelTable* table = nullptr) {
        if (OutputFolderObstacle(mSettings, control.CtrlOFolder(), fileName)) {
            return;
        }
        unwritten.try_emplace(
            ResolveOutputFolder(mSettings, control.CtrlOFolder(), fileName, /*checkOnly=*/true),
            Unwritten{std::move(reason), table});
    };
    const auto tableReason = [](const QelTable& table) -> std::optional<std::u16string> {
        const std::u16string name = u"the table \"" + table.TblName() + u"\"";
        if (table.Fields()->Count() <= 0) {
            return name + u" is not loaded (DynamicLoadDB) or has no columns";
        }
        if (!table.TblCustomError().empty()) {
            return name + u" cannot be generated (TblCustomError)";
        }
        if (!table.TblGen()) {
            return u"TblGen of " + name + u" is False";
        }
        return std::nullopt;
    };
    QelControls& controls = mProject.Controls();
    for (std::int32_t position = 1; position <= controls.Count(); ++position) {
        const automation::Ref<QelControl> control = controls.Item(automation::Variant(position));
        if (!control) {
            continue;
        }
        const std::u16string extension = ResolveExtension(control->CtrlOExt());
        const std::u16string kind = automation::ToLower(control->CtrlType());
        const std::u16string condition = u"the condition of its control \"" + control->CtrlID() + u"\" (" +
                                         control->CtrlCond() + u") does not hold";
        if (kind == u"table" || kind == u"report") {
            for (QelTable& table : *mProject.db()->tables()) {
                if ((table.TblType() == u"REPORT") != (kind == u"report")) {
                    continue;
                }
                consider(*control,
                         BuildOutputFileName(mSettings, table.TblVar(), u"", control->CtrlOFile(), extension),
                         tableReason(table).value_or(condition), &table);
            }
        } else if (kind == u"field") {
            for (QelTable& table : *mProject.db()->tables()) {
                const std::optional<std::u16string> notGenerated = tableReason(table);
                for (QelField& field : *table.Fields()) {
                    consider(*control,
                             BuildOutputFileName(mSettings, table.TblVar(), field.FldParm(),
                                                 control->CtrlOFile(), extension),
                             notGenerated          ? *notGenerated
                             : field.FldGenerate() ? condition
                                                   : u"FldGenerate of the field \"" + table.TblName() + u"." +
                                                         field.FldName() + u"\" is False");
                }
            }
        } else if (kind == u"other" || kind == u"simple") {
            consider(*control,
                     kind == u"simple"
                         ? control->CtrlOFile() + u"." + extension
                         : BuildOutputFileName(mSettings, u"", u"", control->CtrlOFile(), extension),
                     mProject.OtherGen() ? condition : u"OtherGen is False");
        }
    }
    for (std::u16string& page : mRecord.Pages()) {
        unwritten.try_emplace(std::move(page), Unwritten{u"the project no longer writes it"});
    }
    for (const auto& [path, page] : unwritten) {
        if (mPagesSeen.contains(path) || !IsGuardedPage(path) ||
            !(system::FileExists(path) || system::IsSymbolicLink(path)) || mRecord.Vouches(path, mLogin)) {
            continue;
        }
        std::u16string text =
            u"The page \"" + path + u"\" is not written, as " + page.reason +
            u"; nothing shows that it checks the project's login as it is now: as it is, it "
            u"may " +
            LeavesOpenText(page.table) + u". Let the run write it, or remove it.";
        CurrentHost().ShowMessage(
            {State().gMsgPrefix, std::move(text), host::MessageIcon::Exclamation, host::MessageButtons::Ok});
        CountOutput(&mTally, &OutputTally::leftOpen);
    }
}

std::int32_t GenerationPass::GenerateOtherPages(std::u16string_view typeList, bool overwrite) {
    QelControls& controls = mProject.Controls();
    std::int32_t count = 0;
    const std::vector<std::u16string_view> types = SplitText(typeList, u",");
    for (std::int32_t position = 1; position <= controls.Count(); ++position) {
        automation::Ref<QelControl> control = controls.Item(automation::Variant(position));
        if (!control) {
            continue;
        }
        bool selected = false;
        for (std::u16string_view type : types) {
            selected = selected || automation::EqualsNoCase(TrimBlanks(type), control->CtrlType());
        }
        if (!selected || !mProject.EvaluateCondition(control->CtrlCond())) {
            continue;
        }
        const std::u16string extension = ResolveExtension(control->CtrlOExt());
        const std::u16string kind = automation::ToLower(control->CtrlType());
        // Simple pages and web.config keep their own names whatever the naming settings say.
        const std::u16string fileName =
            (kind == u"simple" || kind == u"web.config")
                ? control->CtrlOFile() + u"." + extension
                : BuildOutputFileName(mSettings, u"", u"", control->CtrlOFile(), extension);
        if (mCheckOnly) {
            count += OutputExists(*control, fileName) ? 1 : 0;
            continue;
        }
        GetStatus().DispStatus(Generating(fileName));
        const std::optional<std::u16string> outPath = WritablePath(*control, fileName);
        if (!outPath) {
            continue;
        }
        control = controls.Item(automation::Variant(position));
        WritePage(*control, *outPath, control->CtrlOverwrite() && overwrite, OtherPageInit,
                  u" not found. Generation aborted.", [] {});
        if (ScriptReportedError()) {
            PrefixPageError(u": Generate " + control->CtrlID() + u" page error");
            break;
        }
    }
    return count;
}

} // namespace qv
