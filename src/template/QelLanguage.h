#pragma once

#include "template/ResourceList.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::xml {
class Element;
}

namespace qv {

/// The phrases of the generated application, keyed by an id (letter case ignored), read from
/// the language file and the extensions' language files. Scripts see it as "LANG". One per
/// apartment (GetLanguage), at most 32,767 phrases.
class QelLanguage final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    /// Nothing sets it; always 0.
    std::int16_t curIndex() const { return 0; }
    std::int32_t Count() const { return mTable.Count(); }
    /// The phrase of an id; "" when there is none.
    std::u16string Phrase(std::u16string_view Id) const;
    /// Appends a phrase; False, adding nothing, when the id exists or the table is full.
    bool AddPhrase(std::u16string_view sId, std::u16string_view sPhrase);
    /// Sets the phrase of an existing id; False when there is none.
    bool ReplacePhrase(std::u16string_view sId, std::u16string_view sPhrase);
    /// Replaces the table with the phrases of a language file (a duplicate id keeps the last
    /// phrase). False, with the table unchanged, when the file does not load, its root is wrong
    /// or it holds more phrases than the table can.
    bool Load(std::u16string_view file);
    /// Merges a language file in: a known id takes the new phrase, a new id is appended. Fails
    /// as Load does, with the table unchanged.
    bool LoadExtension(std::u16string_view file);

private:
    struct Entry {
        std::u16string id;
        std::u16string value;
    };
    /// Keyed by the lower-case id.
    using Table = KeyedResourceList<Entry>;

    bool LoadFile(std::u16string_view file, bool clear);
    static bool AddPhraseNode(Table& table, const xml::Element& phrase);
    /// Sets the phrase of a known id or appends; false when a new id does not fit.
    static bool SetOrAppendPhrase(Table& table, std::u16string id, std::u16string value);

    std::u16string PhraseMember(std::u16string Id) const { return Phrase(Id); }
    bool AddPhraseMember(std::u16string sId, std::u16string sPhrase) { return AddPhrase(sId, sPhrase); }
    bool ReplacePhraseMember(std::u16string sId, std::u16string sPhrase) {
        return ReplacePhrase(sId, sPhrase);
    }
    bool LoadMember(std::u16string file) { return Load(file); }
    bool LoadExtensionMember(std::u16string file) { return LoadExtension(file); }

    Table mTable;
};

/// The apartment's language object (gLanguage), created on first use.
QelLanguage& GetLanguage();

} // namespace qv
