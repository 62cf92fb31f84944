// Loading the project's database, single tables, and unloading them again.

#include "project/Qel.h"

#include "core/ErrorBoundary.h"
#include "project/QelExtension.h"
#include "project/QelExtensions.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/Apartment.h"
#include "core/QelKeyword.h"
#include "core/QelStatus.h"
#include "core/RegistryFiles.h"
#include "core/RegistryValues.h"
#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/system/Paths.h"

#include <string>
#include <vector>

namespace qv {

using automation::Ref;
using automation::Variant;

namespace {

constexpr std::u16string_view AccessType = u"ACCESS";
constexpr std::u16string_view OdbcType = u"ODBC";
constexpr std::u16string_view ConnectionStringType = u"CONNECTIONSTRING";
constexpr std::u16string_view LoadFailed = u"Load Database failed!";

/// How a database loader's result code ended the load, by what the loader promises: LoadDAODB
/// gives its reason with every failure (1), LoadADODB with an error (3) but none when the
/// connection did not open (1).
enum class LoaderEnd : std::uint8_t { Loaded, FailedWithoutReason, FailedWithReason };

LoaderEnd DaoLoaderEnd(std::int16_t result) {
    return result == 0 ? LoaderEnd::Loaded : LoaderEnd::FailedWithReason;
}

LoaderEnd AdoLoaderEnd(std::int16_t result) {
    switch (result) {
    case 0:
        return LoaderEnd::Loaded;
    case 1:
        return LoaderEnd::FailedWithoutReason;
    default:
        return LoaderEnd::FailedWithReason;
    }
}

/// True when the argument equals "" as VB compares: Empty does too. Null is no text at all and
/// counts as missing as well.
bool IsBlank(const Variant& value) {
    const Variant& plain = value.Deref();
    if (plain.IsEmpty() || plain.IsNull()) {
        return true;
    }
    const std::optional<std::u16string> text = TextOf(plain);
    return text && text->empty();
}

/// The argument's text; "" for one that has none.
std::u16string TextArgument(const Variant& value) {
    const Variant& plain = value.Deref();
    if (plain.IsEmpty() || plain.IsNull()) {
        return {};
    }
    return TextOf(plain).value_or(std::u16string());
}

/// Exact, case-sensitive equality of a name with an argument, as VB compares a text with a
/// Variant; a value without text never equals.
bool SameName(std::u16string_view name, const Variant& value) {
    const Variant& plain = value.Deref();
    if (plain.IsNull()) {
        return false;
    }
    const std::optional<std::u16string> text = plain.IsEmpty() ? std::u16string() : TextOf(plain);
    return text && *text == name;
}

} // namespace

void Qel::ReloadKeywords() {
    ModuleState& state = State();
    const Variant value = GetRegValue(u"HKCU", state.gRegKeyGeneral, u"Keyword");
    mKeywordFile = value.IsEmpty() ? std::u16string() : TextOf(value).value_or(std::u16string());
    // The shipped value names a file beside the machine hive.
    GetKeyword().Load(ResolveRegistryFile(mKeywordFile));
}

void Qel::CopyLoaderSettings() {
    ModuleState& state = State();
    state.gSqlQuote = SQLQuote();
    CurrentLoadSettings().defaultDateFormat = defaultDateFormat();
    // Every load reads it, so that a table loaded later or a custom view gets the project's
    // value as the first load's fields did.
    CurrentLoadSettings().repeatColumns = RepeatColumns();
}

void Qel::ClearSecuritySettings() {
    SetSecTbl(u"");
    SetSecLoginIDFld(u"");
    SetSecPasswdFld(u"");
}

void Qel::LoadDBMember(const Variant& sDBName, const Variant& sDBType, const Variant& sPath,
                       const Variant& sPhyPath, const Variant& bDBUseServerMapPath, const Variant& sUID,
                       const Variant& sPwd, const Variant& sConnStr, const Variant& sSchema) {
    LoadDB(sDBName, sDBType, sPath, sPhyPath, bDBUseServerMapPath, sUID, sPwd, sConnStr, sSchema);
}

void Qel::LoadDB(const Variant& sDBName, const Variant& sDBType, const Variant& sPath,
                 const Variant& sPhyPath, const Variant& bDBUseServerMapPath, const Variant& sUID,
                 const Variant& sPwd, const Variant& sConnStr, const Variant& sSchema) {
    ModuleState& state = State();
    state.gStatusCaption = state.gMsgPrefix + u" - Loading Database...";
    if (DBCnt() > 0) {
        state.gProjErr = u"database already loaded!";
        return;
    }

    std::u16string type;
    for (std::u16string_view known : {AccessType, OdbcType, ConnectionStringType}) {
        if (SameName(known, sDBType)) {
            type = known;
        }
    }
    // Any other type would load nothing and still report success.
    if (type.empty()) {
        state.gProjErr = u"invalid database type specified!";
        return;
    }
    std::u16string key;
    if (type == AccessType) {
        if (IsBlank(sPhyPath)) {
            state.gProjErr = u"invalid database path!";
            return;
        }
        // The file's name, after the last separator of either kind.
        key = system::BaseName(TextArgument(sPhyPath));
    } else if (type == OdbcType) {
        if (IsBlank(sDBName)) {
            state.gProjErr = u"invalid DBName specified!";
            return;
        }
        key = TextArgument(sDBName);
    } else {
        if (IsBlank(sConnStr)) {
            state.gProjErr = u"invalid connection string specified!";
            return;
        }
        key = u"DB";
    }
    mDBName = key;

    ReportFailures([&] {
        ReloadKeywords();
        GetStatus().ShowStatus(mWindow, FrameText(state.gStatusCaption));
        Databases().Add(mDBName);
        // Whatever happens from here, a failed load leaves no database behind.
        LoaderEnd end = LoaderEnd::FailedWithoutReason;
        try {
            CopyLoaderSettings();
            CurrentLoadSettings().dynamicLoadDB = DynamicLoadDB();
            QelDatabase& database = Database();
            if (type == AccessType) {
                end = DaoLoaderEnd(
                    database.LoadDAODB(sPath, sPhyPath, bDBUseServerMapPath, sUID, sPwd, Variant(u"")));
            } else {
                end = AdoLoaderEnd(
                    database.LoadADODB(sDBType, sDBName, sUID, sPwd, sConnStr, Variant(u""), sSchema));
            }
        } catch (const automation::Error&) {
            GetStatus().CloseStatus();
            Databases().Delete(Variant(std::int32_t{1}));
            throw;
        }
        GetStatus().CloseStatus();
        if (end != LoaderEnd::Loaded) {
            Databases().Delete(Variant(std::int32_t{1}));
            if (end == LoaderEnd::FailedWithoutReason) {
                state.gProjErr = LoadFailed;
            }
            return;
        }
        LoadRegisteredExtensions();
        state.gProjErr.clear();
    });
}

void Qel::LoadRegisteredExtensions() {
    // A registered name already listed in another letter case takes the registered package
    // instead of failing the load.
    qv::LoadRegisteredExtensions(GetExtensions());
}

Variant Qel::CustomViewConnStr() const {
    QelDatabase& database = Database();
    const std::u16string type = database.DBType();
    if (type == AccessType) {
        std::u16string text = u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + database.DBPhyPath();
        if (!database.DBPwd().empty()) {
            text += u";Jet OLEDB:Database Password=" + database.DBPwd();
        }
        return Variant(text + u";");
    }
    if (type == OdbcType) {
        return Variant(u"dsn=" + database.DBName() + u";uid=" + database.DBUID() + u";pwd=" +
                       database.DBPwd());
    }
    if (type == ConnectionStringType) {
        return Variant(database.DBConnstr());
    }
    return Variant(u"");
}

QelTable* Qel::FindTableForLoad(const Variant& name) {
    ModuleState& state = State();
    if (DBCnt() < 1) {
        state.gProjErr = state.gMsgPrefix + u": Database not loaded!";
        return nullptr;
    }
    QelTables& tables = *Database().tables();
    for (std::int32_t seq = 1; seq <= tables.Count(); ++seq) {
        Ref<QelTable> table = tables.Seq(static_cast<std::int16_t>(seq));
        if (table && SameName(table->TblName(), name)) {
            return table.Get();
        }
    }
    state.gProjErr = state.gMsgPrefix + u": Table " + TextArgument(name) + u" not found!";
    return nullptr;
}

void Qel::LoadTable(const Variant& sTableName) {
    ReportFailures([&] {
        QelTable* table = FindTableForLoad(sTableName);
        if (!table) {
            return;
        }
        ModuleState& state = State();
        if (table->TblLoaded()) {
            state.gProjErr = state.gMsgPrefix + u": Table " + TextArgument(sTableName) + u" already loaded!";
            return;
        }
        ReloadKeywords();
        CopyLoaderSettings();
        QelDatabase& database = Database();
        const std::u16string type = database.DBType();
        LoaderEnd end = LoaderEnd::Loaded;
        if (type == AccessType) {
            end = DaoLoaderEnd(database.LoadDAODB(Variant(database.DBPath()), Variant(database.DBPhyPath()),
                                                  Variant(database.DBUseServerMapPath()),
                                                  Variant(database.DBUID()), Variant(database.DBPwd()),
                                                  sTableName));
        } else if (type == OdbcType || type == ConnectionStringType) {
            end = AdoLoaderEnd(database.LoadADODB(Variant(type), Variant(database.DBName()),
                                                  Variant(database.DBUID()), Variant(database.DBPwd()),
                                                  Variant(database.DBConnstr()), sTableName, Variant(u"")));
        }
        switch (end) {
        case LoaderEnd::Loaded:
            state.gProjErr.clear();
            return;
        case LoaderEnd::FailedWithoutReason:
            state.gProjErr = LoadFailed;
            return;
        case LoaderEnd::FailedWithReason:
            return;
        }
    });
}

void Qel::UnLoadTable(const Variant& sTableName) {
    ReportFailures([&] {
        QelTable* table = FindTableForLoad(sTableName);
        if (!table) {
            return;
        }
        ModuleState& state = State();
        if (!table->TblLoaded()) {
            state.gProjErr = state.gMsgPrefix + u": Table " + TextArgument(sTableName) + u" not loaded!";
            return;
        }
        state.gStatusCaption = state.gMsgPrefix + u" - Unloading " + TextArgument(sTableName) + u"...";
        QelStatus& status = GetStatus();
        status.ShowStatus2(mWindow, FrameText(state.gStatusCaption));
        status.DispStatus(u"Please wait...");
        // Each field goes by identity: a field renamed through its setting may no longer stand
        // under its name in the list.
        QelFields& fields = *table->Fields();
        std::vector<Ref<QelField>> snapshot;
        for (QelField& field : fields) {
            snapshot.emplace_back(&field);
        }
        for (const Ref<QelField>& field : snapshot) {
            fields.Remove(*field);
        }
        table->SetTblLoaded(false);
        table->SetTblGen(false);
        status.CloseStatus();
        state.gProjErr.clear();
    });
}

void Qel::UnLoadDB() {
    if (DBCnt() < 1) {
        return;
    }
    ReportFailures([&] {
        Databases().Delete(Variant(std::int32_t{1}));
        ModuleState& state = State();
        // Emptied entry by entry, each found by identity: an entry whose names were changed
        // through its settings still goes.
        QelExtensions& extensions = GetExtensions();
        while (QelExtension* extension = extensions.At(extensions.Count())) {
            const Ref<QelExtension> held(extension);
            if (!extensions.Remove(*held)) {
                break;
            }
        }
        RemoveAllMasterDetails();
        RemoveAllCustomScripts();
        state.gProjErr.clear();
        ClearSecuritySettings();
    });
}

} // namespace qv
