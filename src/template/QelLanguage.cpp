#include "template/QelLanguage.h"

#include "core/FileLookup.h"

#include "platform/xml/Document.h"
#include "platform/xml/Node.h"

#include "platform/automation/Text.h"

#include <optional>

namespace qv {

const automation::ClassInfo& QelLanguage::GetClassInfo() const {
    using namespace automation;
    using C = QelLanguage;
    static const ClassInfo info(u"QelLanguage", {
                                                    Method<&C::curIndex>(u"curIndex"),
                                                    Method<&C::Count>(u"Count"),
                                                    Method<&C::PhraseMember>(u"Phrase"),
                                                    Method<&C::AddPhraseMember>(u"AddPhrase"),
                                                    Method<&C::ReplacePhraseMember>(u"ReplacePhrase"),
                                                    Method<&C::LoadMember>(u"Load"),
                                                    Method<&C::LoadExtensionMember>(u"LoadExtension"),
                                                });
    return info;
}

std::u16string QelLanguage::Phrase(std::u16string_view Id) const {
    const Entry* entry = mTable.Find(automation::ToLower(Id));
    return entry ? entry->value : std::u16string();
}

bool QelLanguage::AddPhrase(std::u16string_view sId, std::u16string_view sPhrase) {
    std::u16string key = automation::ToLower(sId);
    if (mTable.Find(key)) {
        return false;
    }
    return mTable.Append(std::move(key), {std::u16string(sId), std::u16string(sPhrase)});
}

bool QelLanguage::ReplacePhrase(std::u16string_view sId, std::u16string_view sPhrase) {
    Entry* entry = mTable.Find(automation::ToLower(sId));
    if (!entry) {
        return false;
    }
    entry->value = sPhrase;
    return true;
}

bool QelLanguage::Load(std::u16string_view file) {
    return LoadFile(file, /*clear=*/true);
}

bool QelLanguage::LoadExtension(std::u16string_view file) {
    return LoadFile(file, /*clear=*/false);
}

bool QelLanguage::LoadFile(std::u16string_view file, bool clear) {
    const std::optional<xml::Document> document = LoadProductFile(file, u"language");
    if (!document) {
        return false;
    }
    // Filled aside and swapped in, so that a failure leaves the table as it was.
    Table table = clear ? Table() : mTable;
    for (const xml::Element& child : document->DocumentElement().ChildElements()) {
        if (automation::ToLower(child.Name()) != u"phrase") {
            continue;
        }
        if (!AddPhraseNode(table, child)) {
            return false;
        }
    }
    mTable = std::move(table);
    return true;
}

bool QelLanguage::AddPhraseNode(Table& table, const xml::Element& phrase) {
    std::u16string id;
    std::u16string value;
    for (const xml::Attribute& attribute : phrase.Attributes()) {
        const std::u16string name = automation::ToLower(attribute.name);
        if (name == u"id") {
            id = attribute.value;
        } else if (name == u"value") {
            value = attribute.value;
        }
    }
    return SetOrAppendPhrase(table, std::move(id), std::move(value));
}

bool QelLanguage::SetOrAppendPhrase(Table& table, std::u16string id, std::u16string value) {
    std::u16string key = automation::ToLower(id);
    if (Entry* entry = table.Find(key)) {
        // The stored id keeps its first letter case.
        entry->value = std::move(value);
        return true;
    }
    return table.Append(std::move(key), {std::move(id), std::move(value)});
}

} // namespace qv
