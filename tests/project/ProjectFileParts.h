#pragma once

#include "platform/xml/Node.h"

#include <set>
#include <string>

namespace qv::test {

/// What a project file holds, as a save must write it again: each element by name, each of its
/// attributes by name, and each attribute once more when its value is not empty. Names, not
/// places: the reader puts a table that stands outside its Database element where it belongs.
/// A multiset, so that a repeated element counts.
inline std::multiset<std::u16string> FileParts(const xml::Element& element) {
    std::multiset<std::u16string> parts{element.Name()};
    for (const xml::Attribute& attribute : element.Attributes()) {
        const std::u16string name = element.Name() + u"@" + attribute.name;
        parts.insert(name);
        if (!attribute.value.empty()) {
            parts.insert(name + u"=...");
        }
    }
    for (const xml::Element& child : element.ChildElements()) {
        parts.merge(FileParts(child));
    }
    return parts;
}

} // namespace qv::test
