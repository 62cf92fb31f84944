#include "project/internal/QelCustomScripts.h"

#include "project/OutputCleanup.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelTables.h"

#include "template/QelCodeBase.h"
#include "template/QelControls.h"
#include "template/TemplateConversion.h"

#include "core/Apartment.h"
#include "core/RegistryValues.h"
#include "core/VbText.h"

#include "platform/automation/Text.h"
#include "platform/system/FileSystem.h"

#include <array>

namespace qv {

using automation::Variant;

namespace {

constexpr std::size_t PlaceTextCount = 6;
using PlaceNames = std::array<std::u16string_view, PlaceTextCount>;

PlaceNames NamesOf(const ScriptPlace& place) {
    return {place.scriptType, place.codeType, place.name, place.ctrlID, place.l1Key, place.l2Key};
}

ScriptPlace PlaceOf(EntryNames names) {
    return ScriptPlace{names[0], names[1], names[2], names[3], names[4], names[5]};
}

bool HasIdentity(const ScriptPlace& place) {
    return !place.scriptType.empty() && !place.codeType.empty() && !place.name.empty();
}

/// Initialisation kind of the expression engine: the current table and field in scope, no
/// control.
constexpr std::int16_t TableAndFieldInScope = 3;

} // namespace

const automation::ClassInfo& QelCustomScripts::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelCustomScripts",
                                {
                                    Method<&QelCustomScripts::curName>(u"curName"),
                                    Method<&QelCustomScripts::curSeq>(u"curSeq"),
                                    Method<&QelCustomScripts::AddMember>(u"Add"),
                                    Method<&QelCustomScripts::Count>(u"Count"),
                                    Method<&QelCustomScripts::DeleteMember>(u"Delete"),
                                    Method<&QelCustomScripts::ExistMember>(u"ScriptExist"),
                                    Default(Method<&QelCustomScripts::ItemMember>(u"ScriptItem")),
                                    Method<&QelCustomScripts::Seq>(u"Seq"),
                                    Method<&QelCustomScripts::NewEnumMember>(u"NewEnum_scrpt"),
                                });
    return info;
}

bool QelCustomScripts::Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const {
    const QelCustomScript::PlaceTexts texts = Cast(entry).Place();
    const std::array<std::u16string_view, PlaceTextCount> own{texts.scriptType, texts.codeType, texts.name,
                                                              texts.ctrlID,     texts.l1Key,    texts.l2Key};
    // Type, code type, name and control id never depend on letter case; the two keys name
    // tables and fields, which the project compares exactly.
    constexpr std::size_t FirstExactText = 4;
    for (std::size_t index = 0; index < PlaceTextCount; ++index) {
        const bool exact = compare == NameCompare::Exact && index >= FirstExactText;
        if (exact ? own[index] != names[index] : !automation::EqualsNoCase(own[index], names[index])) {
            return false;
        }
    }
    return true;
}

std::optional<std::int16_t> QelCustomScripts::EntrySeq(const automation::Object& entry) const {
    return Cast(entry).Seq();
}

void QelCustomScripts::SetEntrySeq(automation::Object& entry, std::int16_t seq) {
    Cast(entry).SetSettingValue(static_cast<std::size_t>(QelCustomScript::Setting::Seq), Variant(seq));
}

void QelCustomScripts::MakeCurrent(const automation::Object& entry) {
    const QelCustomScript& script = Cast(entry);
    try {
        const QelCustomScript::PlaceTexts texts = script.Place();
        const std::int16_t seq = script.Seq();
        SetCursor(ScriptPlaceText(ScriptPlace{texts.scriptType, texts.codeType, texts.name, texts.ctrlID,
                                              texts.l1Key, texts.l2Key}),
                  seq);
    } catch (const automation::Error&) {
        // A setting made unreadable through the bag leaves the cursor as it was.
    }
}

automation::Ref<automation::Object> QelCustomScripts::CreateEntry(EntryNames names) {
    automation::Ref<QelCustomScript> script = automation::MakeRef<QelCustomScript>();
    script->SetPlace(PlaceOf(names));
    return script;
}

automation::Ref<QelCustomScript> QelCustomScripts::AddOrFind(const ScriptPlace& place) {
    if (!HasIdentity(place)) {
        return nullptr;
    }
    const PlaceNames names = NamesOf(place);
    return automation::Ref<QelCustomScript>(Cast(AdmitEntry(names)));
}

bool QelCustomScripts::Delete(const ScriptPlace& place) {
    if (!HasIdentity(place)) {
        return false;
    }
    automation::Ref<QelCustomScript> script = ScriptItem(place);
    return script && RemoveEntry(*script);
}

bool QelCustomScripts::ScriptExist(const ScriptPlace& place) const {
    const PlaceNames names = NamesOf(place);
    return FindEntry(names, NameCompare::Exact) != nullptr;
}

automation::Ref<QelCustomScript> QelCustomScripts::ScriptItem(const ScriptPlace& place) {
    const PlaceNames names = NamesOf(place);
    automation::Object* entry = FindEntry(names, NameCompare::Exact);
    if (entry == nullptr) {
        return nullptr;
    }
    MakeCurrent(*entry);
    return automation::Ref<QelCustomScript>(Cast(entry));
}

bool QelCustomScripts::AddCustomScript(const ScriptPlace& place, std::u16string_view sCode) {
    automation::Ref<QelCustomScript> script = AddOrFind(place);
    if (!script) {
        return false;
    }
    script->SetScriptCode(sCode);
    return true;
}

bool QelCustomScripts::UpdateCustomScript(const ScriptPlace& place, std::u16string_view sCode) {
    automation::Ref<QelCustomScript> script = ScriptItem(place);
    if (!script) {
        return false;
    }
    script->SetScriptCode(sCode);
    return true;
}

bool QelCustomScripts::AddMember(std::u16string t, std::u16string c, std::u16string n, std::u16string i,
                                 std::u16string k1, std::u16string k2) {
    return Add(ScriptPlace{t, c, n, i, k1, k2});
}

bool QelCustomScripts::DeleteMember(std::u16string t, std::u16string c, std::u16string n, std::u16string i,
                                    std::u16string k1, std::u16string k2) {
    return Delete(ScriptPlace{t, c, n, i, k1, k2});
}

bool QelCustomScripts::ExistMember(std::u16string t, std::u16string c, std::u16string n, std::u16string i,
                                   std::u16string k1, std::u16string k2) const {
    return ScriptExist(ScriptPlace{t, c, n, i, k1, k2});
}

automation::Ref<QelCustomScript> QelCustomScripts::ItemMember(std::u16string t, std::u16string c,
                                                              std::u16string n, std::u16string i,
                                                              std::u16string k1, std::u16string k2) {
    return ScriptItem(ScriptPlace{t, c, n, i, k1, k2});
}

bool CodeBaseExist(std::u16string_view sScriptType, std::u16string_view sCodeType,
                   std::u16string_view sName) {
    return GetCodeBase().CodeExist(sScriptType, sCodeType, sName);
}

std::u16string LoadCodeBase(TemplateConversion& conversion, std::u16string_view sScriptType,
                            std::u16string_view sCodeType, std::u16string_view sName) {
    const std::u16string code = GetCodeBase().CodeSource(sScriptType, sCodeType, sName);
    return conversion.EvalScriptCode(code, TableAndFieldInScope);
}

namespace {

/// Makes the place's table, and for a field snippet its field, current; nothing for what is
/// not there.
void SelectPlaceTable(QelDatabase* database, const ScriptPlace& place) {
    const std::u16string codeType = automation::ToLower(place.codeType);
    const bool isTable = codeType == u"table";
    const bool isField = codeType == u"field";
    if (database == nullptr || (!isTable && !isField)) {
        return;
    }
    QelTables& tables = *database->tables();
    automation::Ref<QelTable> table = tables.Item(Variant(place.l1Key));
    if (!table || !isField) {
        return;
    }
    table->Fields()->Item(Variant(place.l2Key));
}

} // namespace

std::u16string LoadCustomScriptCode(CustomScriptContext& context, const ScriptPlace& place) {
    ModuleState& state = State();
    state.gProjErr.clear();
    const std::optional<std::u16string> registered =
        TextOf(GetRegValue(u"HKCU", state.gRegKeyGeneral, u"CodeBase"));
    const std::u16string name = registered.value_or(std::u16string());
    context.codeBaseFile = context.resolveFileName && !name.empty() ? context.resolveFileName(name) : name;
    if (context.codeBaseFile.empty() || !system::FileExists(context.codeBaseFile)) {
        return std::u16string();
    }
    // A file that does not load would leave the snippets of the file loaded before, and the code
    // they make would pass for this file's: say so and give nothing instead.
    if (!GetCodeBase().Load(context.codeBaseFile)) {
        state.gProjErr = u"Load code base file failed!";
        return std::u16string();
    }
    if (context.controls.ControlExist(place.ctrlID)) {
        context.controls.Item(Variant(place.ctrlID));
    }
    SelectPlaceTable(context.database, place);
    const std::u16string code =
        LoadCodeBase(context.conversion, place.scriptType, place.codeType, place.name);
    return FormatOutputText(code, state.gMsgPrefix, context.generatorVersion);
}

} // namespace qv
