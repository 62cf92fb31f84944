#include "template/QelCodeBase.h"

#include "core/FileLookup.h"

#include "platform/xml/Document.h"
#include "platform/xml/Node.h"

#include "platform/automation/Text.h"

#include <optional>

namespace qv {

const automation::ClassInfo& QelCodeBase::GetClassInfo() const {
    using namespace automation;
    using C = QelCodeBase;
    static const ClassInfo info(u"QelCodeBase", {
                                                    Method<&C::curIndex>(u"curIndex"),
                                                    Method<&C::Count>(u"Count"),
                                                    Method<&C::CodeExistMember>(u"CodeExist"),
                                                    Method<&C::CodeSourceMember>(u"CodeSource"),
                                                    Method<&C::LoadMember>(u"Load"),
                                                });
    return info;
}

std::u16string QelCodeBase::IndexKey(std::u16string_view scriptType, std::u16string_view codeType,
                                     std::u16string_view name) {
    // NUL cannot occur in an XML attribute, so the three parts never run into each other.
    std::u16string key = automation::ToLower(scriptType);
    key.push_back(u'\0');
    key += automation::ToLower(codeType);
    key.push_back(u'\0');
    key += automation::ToLower(name);
    return key;
}

const QelCodeBase::Entry* QelCodeBase::Find(std::u16string_view scriptType, std::u16string_view codeType,
                                            std::u16string_view name) const {
    return mTable.Find(IndexKey(scriptType, codeType, name));
}

bool QelCodeBase::CodeExist(std::u16string_view sScriptType, std::u16string_view sCodeType,
                            std::u16string_view sName) const {
    return Find(sScriptType, sCodeType, sName) != nullptr;
}

std::u16string QelCodeBase::CodeSource(std::u16string_view ScriptType, std::u16string_view CodeType,
                                       std::u16string_view CodeName) const {
    const Entry* entry = Find(ScriptType, CodeType, CodeName);
    if (!entry) {
        return {};
    }
    // XML hands the code over with LF line ends; scripts are kept with CR LF.
    std::u16string code;
    code.reserve(entry->code.size() + 16);
    for (char16_t c : entry->code) {
        if (c == u'\n') {
            code.push_back(u'\r');
        }
        code.push_back(c);
    }
    return code;
}

bool QelCodeBase::Load(std::u16string_view file) {
    const std::optional<xml::Document> document = LoadProductFile(file, u"codebase");
    if (!document) {
        return false;
    }
    // Filled aside and swapped in, so that a failure leaves the table as it was.
    Table table;
    for (const xml::Element& child : document->DocumentElement().ChildElements()) {
        if (automation::ToLower(child.Name()) != u"code") {
            continue;
        }
        if (!AddCodeNode(table, child)) {
            return false;
        }
    }
    mTable = std::move(table);
    return true;
}

bool QelCodeBase::AddCodeNode(Table& table, const xml::Element& code) {
    Entry entry;
    for (const xml::Attribute& attribute : code.Attributes()) {
        const std::u16string name = automation::ToLower(attribute.name);
        if (name == u"scripttype") {
            entry.scriptType = attribute.value;
        } else if (name == u"codetype") {
            entry.codeType = attribute.value;
        } else if (name == u"name") {
            entry.name = attribute.value;
        }
    }
    // The code is the character data of the first child, normally a CDATA section; an element
    // without one (empty, or starting with another element) holds no code.
    const xml::Node first = code.FirstChild();
    if (first && (first.Kind() == xml::NodeKind::CData || first.Kind() == xml::NodeKind::Text)) {
        entry.code = first.Value();
    }
    std::u16string key = IndexKey(entry.scriptType, entry.codeType, entry.name);
    if (Entry* known = table.Find(key)) {
        // A later duplicate replaces the code; the keys keep their first letter case.
        known->code = std::move(entry.code);
        return true;
    }
    return table.Append(std::move(key), std::move(entry));
}

} // namespace qv
