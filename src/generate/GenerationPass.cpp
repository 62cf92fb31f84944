#include "generate/internal/GenerationPass.h"

#include "generate/internal/CopyControls.h"
#include "generate/internal/DatabaseCopy.h"
#include "generate/internal/GenerationRun.h"
#include "generate/internal/OutputNames.h"
#include "generate/internal/StyleSheetCopy.h"

#include "project/ProjectFileStorage.h"
#include "project/Qel.h"

#include "core/Apartment.h"
#include "core/VbText.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"
#include "template/QelControls.h"
#include "template/ScriptHost.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cassert>
#include <map>
#include <optional>

namespace qv {

GenerationPass::GenerationPass(Qel& project, GenerationSettings settings, bool checkOnly)
    : mProject(project), mSettings(std::move(settings)), mCheckOnly(checkOnly) {}

bool GenerationPass::IsControlForTable(QelTable& table, const QelControl& control, bool whateverTblGen) {
    bool applies = whateverTblGen || table.TblGen();
    const std::u16string units = table.TblSysGenUnits();
    if (!units.empty()) {
        // Listed ids open a table's pages whatever its TblGen says; the pieces are not trimmed.
        for (std::u16string_view unit : SplitText(units, u",")) {
            if (unit == control.CtrlID()) {
                applies = true;
            }
        }
    }
    if (!applies) {
        return false;
    }
    const std::u16string type = table.TblType();
    const bool pageKind = (type == u"CUSTOMVIEW" || type == u"VIEW" || type == u"TABLE")
                              ? control.CtrlType() == u"table"
                              : type == u"REPORT" && control.CtrlType() == u"report";
    return pageKind && mProject.EvaluateCondition(control.CtrlCond());
}

bool GenerationPass::LooksAtSwitchedOffPages(const QelTable& table) const {
    // A table that is not loaded or cannot be generated has no pages to build: its pages from
    // before are named all the same.
    return !mCheckOnly && !mLogin.empty() && table.Fields()->Count() > 0 && table.TblCustomError().empty();
}

std::u16string GenerationPass::ResolveExtension(std::u16string_view extension) const {
    return extension == u"*" ? mProject.DefaultExt() : std::u16string(extension);
}

void GenerationPass::SetTableContext(QelTable& table) {
    mCurTblVar = table.TblVar();
    if (!table.TblKey().empty()) {
        return;
    }
    table.SetTblAdd(false);
    table.SetTblCopy(false);
    table.SetTblView(false);
    table.SetTblEdit(false);
    table.SetTblInlineEdit(false);
    table.SetTblDelete(false);
}

void GenerationPass::PrefixError(std::u16string_view context) {
    ModuleState& state = State();
    std::u16string text = state.gMsgPrefix;
    text += context;
    text += u"\r\n";
    text += state.gProjErr;
    state.gProjErr = std::move(text);
}

void GenerationPass::PrefixPageError(std::u16string_view page) const {
    // The package's own stop (a setting it cannot work with, a system code without its helpers)
    // comes with the first page it builds, which is at no fault of its own.
    PrefixError(mStoppedByPackage ? std::u16string_view(u": The template package stopped the generation")
                                  : page);
}

bool GenerationPass::FieldPageNamesAreDistinct() {
    QelControls& controls = mProject.Controls();
    std::map<std::u16string, std::u16string> fieldByPage;
    QelTables& tables = *mProject.db()->tables();
    for (QelTable& table : tables) {
        if (!table.TblGen()) {
            continue;
        }
        // Made current as the generation loop makes them, so that the system function of a
        // "custom:" term answers for the field whose page name is checked.
        tables.Item(automation::Variant(table.TblName()));
        mProject.SetCurrentTable(&table);
        for (QelField& field : *table.Fields()) {
            if (!field.FldGenerate()) {
                continue;
            }
            table.Fields()->SetItem(automation::Variant(field.FldName()));
            mProject.SetCurrentField(&field);
            for (std::int32_t position = 1; position <= controls.Count(); ++position) {
                const automation::Ref<QelControl> control = controls.Item(automation::Variant(position));
                if (!control || control->CtrlType() != u"field" ||
                    !mProject.EvaluateCondition(control->CtrlCond())) {
                    continue;
                }
                const std::u16string page =
                    control->CtrlOFolder() + u"|" +
                    BuildOutputFileName(mSettings, table.TblVar(), field.FldParm(), control->CtrlOFile(),
                                        ResolveExtension(control->CtrlOExt()));
                std::u16string owner = table.TblName() + u"." + field.FldName();
                const auto [found, added] = fieldByPage.emplace(automation::ToLower(page), owner);
                if (!added && found->second != owner) {
                    State().gProjErr = State().gMsgPrefix + u": Fields \"" + found->second + u"\" and \"" +
                                       owner + u"\" give the same page name (" +
                                       page.substr(page.find(u'|') + 1) + u")!";
                    return false;
                }
            }
        }
    }
    return true;
}

std::int16_t GenerationPass::Run() {
    ModuleState& state = State();
    CurrentRun().overwriteAnswer = OverwriteForAll::None;
    if (!mCheckOnly) {
        // What the pages' check is made of: the login's settings and the code that writes it.
        const std::u16string sources = SourcesDigest(mPageSources);
        mLogin = LoginFingerprint(mProject.SecType(),
                                  {mProject.SecLoginID(), mProject.SecPasswd(), mProject.SecTbl(),
                                   mProject.SecLoginIDFld(), mProject.SecPasswdFld(), sources});
        mRecord = SiteRecord::Load(CurrentRun().siteRecordFolder, mSettings.Destination);
    }
    // What was written is recorded however the pass ends: a cancel or a failure leaves pages too.
    struct SaveRecord {
        const SiteRecord& record;
        ~SaveRecord() { record.Save(); }
    } saveRecord{mRecord};
    state.gProgressTotal = 0;
    // GenScript and GenCheck stop before the pass when the project has no database.
    assert(mProject.db() && "the pass needs the project's database");
    QelDatabase& database = *mProject.db();
    QelTables& tables = *database.tables();
    QelControls& controls = mProject.Controls();

    // Counting pass: the progress total, and the tables that cannot be generated switched off.
    for (QelTable& table : tables) {
        if (table.Fields()->Count() <= 0 || !table.TblCustomError().empty()) {
            table.SetTblGen(false);
        }
        mProject.SetCurrentTable(&table);
        SetTableContext(table);
        for (std::int32_t position = 1; position <= controls.Count(); ++position) {
            const automation::Ref<QelControl> control = controls.Item(automation::Variant(position));
            if (control && (control->CtrlType() == u"report" || control->CtrlType() == u"table") &&
                IsControlForTable(table, *control)) {
                ++state.gProgressTotal;
            }
        }
    }
    state.gProgressPos = 0;
    const bool distinct = FieldPageNamesAreDistinct();
    mProject.SetCurrentTable(nullptr);
    mProject.SetCurrentField(nullptr);
    if (!distinct) {
        return 0;
    }
    std::int32_t count = 0;
    const auto result = [&count]() -> std::int16_t {
        if (count > INT16_MAX) {
            automation::Raise(automation::ErrorNumber::Overflow);
        }
        return static_cast<std::int16_t>(count);
    };

    if (mProject.OtherGen()) {
        DatabaseFileInfo file{database.DBType(), database.DBPath(), database.DBPhyPath(),
                              database.DBConnstr()};
        const std::optional<std::int16_t> copied = CopyDatabase(mSettings, file, mCheckOnly, &mTally);
        if (!copied) {
            return 0;
        }
        count += *copied;
    }

    for (const automation::Ref<QelTable>& table : tables.InSequenceOrder()) {
        if (!table) {
            continue;
        }
        const bool looked = LooksAtSwitchedOffPages(*table);
        if (table->TblGen() || !table->TblSysGenUnits().empty() || looked) {
            mProject.SetCurrentTable(table.Get());
            SetTableContext(*table);
            count += GenerateTablePages(*table);
            if (count > 0) {
                return result();
            }
            if (ScriptReportedError()) {
                return 0;
            }
        }
        if (!table->TblGen() && !looked) {
            continue;
        }
        QelFields& fields = *table->Fields();
        for (const automation::Ref<QelField>& field : fields.InSequenceOrder()) {
            if (!field) {
                continue;
            }
            const bool lookedField = !table->TblGen() || !field->FldGenerate();
            if (lookedField && !looked) {
                continue;
            }
            mProject.SetCurrentTable(tables.Item(automation::Variant(table->TblName())).Get());
            mProject.SetCurrentField(field.Get());
            fields.SetItem(automation::Variant(field->FldName()));
            count += GenerateFieldPages(*field, lookedField);
            if (ScriptReportedError()) {
                PrefixPageError(u": Generate Table " + table->TblName() + u" Field " + field->FldName() +
                                u" page error");
                return 0;
            }
        }
    }

    RemovePasswordPages();

    if (!mProject.OtherGen()) {
        if (!mLogin.empty()) {
            // The other pages carry the login's check and its form: each one kept from before is
            // built, not written, to tell whether it already is what the login needs.
            mLookOnly = true;
            GenerateOtherPages(u"other,simple", /*overwrite=*/false);
            mLookOnly = false;
        }
        NameUnguardedPages();
        return result();
    }
    mProject.SetCurrentTable(nullptr);
    StyleSheetServices services;
    services.evaluate = [this](std::u16string_view text) { return mProject.EvalScriptCode(text, 0); };
    services.fileBytes = [](std::u16string_view text) { return TextFileBytes(text, /*ansiOnly=*/false); };
    const std::optional<std::int16_t> styleSheet =
        CopyCssAndLogo(mSettings, mStyleSheetTemplate, services, mCheckOnly, &mTally);
    if (!styleSheet) {
        return 0;
    }
    count += *styleSheet;
    count += GenerateOtherPages(u"other,simple", mSettings.OtherOverwrite);
    if (ScriptReportedError()) {
        return 0;
    }
    const std::optional<std::int16_t> copies = CopyControlFiles(controls, mSettings, mCheckOnly, &mTally);
    if (!copies) {
        return 0;
    }
    count += *copies;
    NameUnguardedPages();
    return result();
}

} // namespace qv
