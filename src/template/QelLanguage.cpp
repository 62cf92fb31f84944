#include "template/QelLanguage.h"

#include "core/Apartment.h"
#include "core/Common.h"

#include "platform/xml/Document.h"
#include "platform/xml/Node.h"

#include "platform/automation/Text.h"

#include <optional>

namespace qv {

QelLanguage& GetLanguage() {
    ModuleState& state = State();
    automation::Ref<QelLanguage> language = automation::DynamicRefCast<QelLanguage>(state.gLanguage);
    if (!language) {
        language = automation::MakeRef<QelLanguage>();
        state.gLanguage = language;
    }
    return *language;
}

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
    const auto found = mTable.index.find(automation::ToLower(Id));
    return found == mTable.index.end() ? std::u16string() : mTable.entries.At(found->second).value;
}

bool QelLanguage::AddPhrase(std::u16string_view sId, std::u16string_view sPhrase) {
    if (mTable.index.contains(automation::ToLower(sId))) {
        return false;
    }
    return AppendPhrase(mTable, std::u16string(sId), std::u16string(sPhrase));
}

bool QelLanguage::ReplacePhrase(std::u16string_view sId, std::u16string_view sPhrase) {
    const auto found = mTable.index.find(automation::ToLower(sId));
    if (found == mTable.index.end()) {
        return false;
    }
    mTable.entries.At(found->second).value = sPhrase;
    return true;
}

bool QelLanguage::Load(std::u16string_view file) {
    return LoadFile(file, /*clear=*/true);
}

bool QelLanguage::LoadExtension(std::u16string_view file) {
    return LoadFile(file, /*clear=*/false);
}

bool QelLanguage::LoadFile(std::u16string_view file, bool clear) {
    std::optional<xml::Document> document = xml::Document::TryLoad(file);
    if (!document) {
        return false;
    }
    const xml::Element root = document->DocumentElement();
    const std::u16string expectedRoot =
        automation::ToLower(RemoveSlashesAndSpaces(State().gProductName)) + u".language";
    if (!root || automation::ToLower(root.LocalName()) != expectedRoot) {
        return false;
    }
    // Filled aside and swapped in, so that a failure leaves the table as it was.
    Table table = clear ? Table() : mTable;
    for (const xml::Element& child : root.ChildElements()) {
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
    if (const auto found = table.index.find(automation::ToLower(id)); found != table.index.end()) {
        // The stored id keeps its first letter case.
        table.entries.At(found->second).value = std::move(value);
        return true;
    }
    return AppendPhrase(table, std::move(id), std::move(value));
}

bool QelLanguage::AppendPhrase(Table& table, std::u16string id, std::u16string value) {
    std::u16string key = automation::ToLower(id);
    if (!table.entries.Append({std::move(id), std::move(value)})) {
        return false;
    }
    table.index.emplace(std::move(key), table.entries.Count());
    return true;
}

} // namespace qv
