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

/// Named pieces of script code keyed by script type, code type and name (letter case ignored),
/// read from the code-base file; custom scripts take their default code from it. One per
/// apartment (GetCodeBase), at most 32,767 entries, in file order.
class QelCodeBase final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    /// Nothing sets it; always 0.
    std::int16_t curIndex() const { return 0; }
    std::int32_t Count() const { return mTable.Count(); }
    bool CodeExist(std::u16string_view sScriptType, std::u16string_view sCodeType,
                   std::u16string_view sName) const;
    /// The code of the entry with every LF made CR LF; "" when there is none.
    std::u16string CodeSource(std::u16string_view ScriptType, std::u16string_view CodeType,
                              std::u16string_view CodeName) const;
    /// Replaces the table with the entries of a code-base file. False, with the table unchanged
    /// and no message, when the file does not load, its root is wrong or it holds more entries
    /// than the table can.
    bool Load(std::u16string_view file);

private:
    struct Entry {
        std::u16string scriptType;
        std::u16string codeType;
        std::u16string name;
        std::u16string code;
    };
    /// Keyed by IndexKey.
    using Table = KeyedResourceList<Entry>;

    static std::u16string IndexKey(std::u16string_view scriptType, std::u16string_view codeType,
                                   std::u16string_view name);
    static bool AddCodeNode(Table& table, const xml::Element& code);
    const Entry* Find(std::u16string_view scriptType, std::u16string_view codeType,
                      std::u16string_view name) const;

    bool CodeExistMember(std::u16string sScriptType, std::u16string sCodeType, std::u16string sName) const {
        return CodeExist(sScriptType, sCodeType, sName);
    }
    std::u16string CodeSourceMember(std::u16string ScriptType, std::u16string CodeType,
                                    std::u16string CodeName) const {
        return CodeSource(ScriptType, CodeType, CodeName);
    }
    bool LoadMember(const automation::Variant& file) { return Load(automation::ToString(file)); }

    Table mTable;
};

/// The apartment's code base (gCodeBase), created on first use.
QelCodeBase& GetCodeBase();

} // namespace qv
