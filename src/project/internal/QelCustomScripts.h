#pragma once

#include "project/SequencedList.h"
#include "project/internal/QelCustomScript.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qv {

class QelControls;
class QelDatabase;
class TemplateConversion;

/// The project's custom scripts, in the order they were added, numbered 1 to Count by their
/// Seq, with a cursor (curName, curSeq). Each project object owns one; scripts see it as
/// "CUSTOMSCRIPTS".
///
/// A script matches a place when its script type, code type, name and control id equal the
/// place's without regard to letter case and its two keys equal the place's exactly
/// (ScriptExist, ScriptItem, Delete). Add follows the lists' case rule (SequencedList): a place
/// whose keys differ from a listed script's only in letter case denotes that script.
class QelCustomScripts final : public NamedCursorListOf<QelCustomScript> {
public:
    QelCustomScripts() = default;

    const automation::ClassInfo& GetClassInfo() const override;

    /// Appends a new script for the place, or makes the script the place denotes current.
    /// False, changing nothing, when the script type, code type or name is "".
    bool Add(const ScriptPlace& place) { return static_cast<bool>(AddOrFind(place)); }
    /// Removes the matching script (made current first) and numbers the rest 1 to Count again.
    /// False when the script type, code type or name is "" or no script matches.
    bool Delete(const ScriptPlace& place);
    bool ScriptExist(const ScriptPlace& place) const;
    /// The first matching script, made current; no object (cursor unchanged) when none.
    automation::Ref<QelCustomScript> ScriptItem(const ScriptPlace& place);

    /// The lists' case rule for a place: the script the place denotes, made current, or a new
    /// one with no code; no object when the script type, code type or name is "". Add, the
    /// project-file reader and AddCustomScript call this.
    automation::Ref<QelCustomScript> AddOrFind(const ScriptPlace& place);

    /// The project's AddCustomScript: adds the script, or takes the one the place denotes, and
    /// gives it the code. False only when the place lacks its type, code type or name.
    bool AddCustomScript(const ScriptPlace& place, std::u16string_view sCode);
    /// The project's UpdateCustomScript: replaces the code of the matching script; False, adding
    /// nothing, when none matches.
    bool UpdateCustomScript(const ScriptPlace& place, std::u16string_view sCode);
    /// The project's DeleteCustomScript.
    bool DeleteCustomScript(const ScriptPlace& place) { return Delete(place); }

protected:
    bool Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const override;
    std::optional<std::int16_t> EntrySeq(const automation::Object& entry) const override;
    void SetEntrySeq(automation::Object& entry, std::int16_t seq) override;
    void MakeCurrent(const automation::Object& entry) override;
    automation::Ref<automation::Object> CreateEntry(EntryNames names) override;

private:
    // Members the automation table calls: the six texts as separate arguments.
    bool AddMember(std::u16string t, std::u16string c, std::u16string n, std::u16string i, std::u16string k1,
                   std::u16string k2);
    bool DeleteMember(std::u16string t, std::u16string c, std::u16string n, std::u16string i,
                      std::u16string k1, std::u16string k2);
    bool ExistMember(std::u16string t, std::u16string c, std::u16string n, std::u16string i,
                     std::u16string k1, std::u16string k2) const;
    automation::Ref<QelCustomScript> ItemMember(std::u16string t, std::u16string c, std::u16string n,
                                                std::u16string i, std::u16string k1, std::u16string k2);
};

/// What LoadCustomScriptCode needs of the project object.
struct CustomScriptContext {
    /// The project's control list, whose current control the place's control id selects.
    QelControls& controls;
    /// The project's database, whose current table and field the place's keys select; nullptr
    /// while none is loaded.
    QelDatabase* database = nullptr;
    /// The project's template conversion, which evaluates the snippet.
    TemplateConversion& conversion;
    /// The project's code-base file name, which the call reads from the registry into.
    std::u16string& codeBaseFile;
    /// The library's version for the generator tag of the clean-up (the project's mDllVersion).
    std::u16string_view generatorVersion;
    /// Makes a file name read from the registry a path (a relative name is taken from the
    /// installation); empty: the name as it stands.
    std::function<std::u16string(std::u16string_view)> resolveFileName;
};

/// The project's CodeBaseExist: whether the apartment's code base (as last loaded) has the
/// snippet; letter case ignored.
bool CodeBaseExist(std::u16string_view sScriptType, std::u16string_view sCodeType, std::u16string_view sName);

/// The project's LoadCodeBase: the text the snippet produces when evaluated with the current
/// table and field in scope; "" for a snippet the code base lacks. Errors of the evaluation are
/// left in gProjErr.
std::u16string LoadCodeBase(TemplateConversion& conversion, std::u16string_view sScriptType,
                            std::u16string_view sCodeType, std::u16string_view sName);

/// The project's LoadCustomScriptCode: clears gProjErr, loads the code-base file the registry
/// names ("" when there is none; "" and "Load code base file failed!" in gProjErr when it does
/// not load), selects the place's control, table and field (the code type
/// compared without regard to letter case), evaluates the snippet and cleans the result up as
/// a generated page is (FormatOutputText). The selections stay in force.
std::u16string LoadCustomScriptCode(CustomScriptContext& context, const ScriptPlace& place);

} // namespace qv
