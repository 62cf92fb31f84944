#include "core/QelKeyword.h"

#include "core/Apartment.h"
#include "core/FileLookup.h"
#include "core/VbText.h"

#include "platform/xml/Document.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <optional>

namespace qv {

using automation::Variant;

QelKeyword& GetKeyword() {
    ModuleState& state = State();
    if (!state.gKeyword) {
        state.gKeyword = automation::MakeRef<QelKeyword>();
    }
    return *state.gKeyword;
}

const automation::ClassInfo& QelKeyword::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelKeyword", {
                                                   Method<&QelKeyword::curIndex>(u"curIndex"),
                                                   Method<&QelKeyword::Count>(u"Count"),
                                                   Method<&QelKeyword::IsKeywordMember>(u"IsKeyword"),
                                                   Method<&QelKeyword::LoadMember>(u"Load"),
                                               });
    return info;
}

bool QelKeyword::IsKeyword(std::u16string_view k) const {
    return mIndex.contains(automation::ToLower(k));
}

void QelKeyword::AddWord(std::u16string word) {
    std::u16string lower = automation::ToLower(word);
    if (auto found = mIndex.find(lower); found != mIndex.end()) {
        mWords[found->second].second = std::move(word);
        return;
    }
    mIndex.emplace(std::move(lower), mWords.size());
    mWords.emplace_back(u"VB", std::move(word));
}

bool QelKeyword::Load(std::u16string_view file) {
    const std::optional<xml::Document> document = LoadProductFile(file, u"keyword");
    if (!document) {
        return false;
    }
    for (const xml::Element& child : document->DocumentElement().ChildElements()) {
        if (automation::ToLower(child.Name()) != u"keyword") {
            continue;
        }
        std::u16string word;
        for (const xml::Attribute& attribute : child.Attributes()) {
            if (automation::ToLower(attribute.name) == u"value") {
                word = attribute.value;
                break;
            }
        }
        AddWord(std::move(word));
    }
    return true;
}

bool QelKeyword::LoadMember(const Variant& file) {
    // A path that is no text (Null) names no file: the load fails quietly like any other.
    std::optional<std::u16string> path = TextOf(file);
    return path && Load(*path);
}

} // namespace qv
