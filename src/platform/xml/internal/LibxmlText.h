#pragma once

#include <libxml/tree.h>

#include <string>
#include <string_view>

namespace qv::xml::internal {

// The parser keeps text as UTF-8; these convert at the edge of this layer.

std::u16string FromXmlChars(const xmlChar* text);
std::string ToXmlChars(std::u16string_view text);
inline const xmlChar* XmlChars(const std::string& utf8) {
    return reinterpret_cast<const xmlChar*>(utf8.c_str());
}

/// The qualified name of an element or attribute: "prefix:name" or "name".
std::u16string QualifiedName(const xmlNode* node);
std::u16string QualifiedName(const xmlAttr* attribute);

/// The value of an attribute: the text of its children (no entity can occur in our trees).
std::u16string AttributeValue(const xmlAttr* attribute);

} // namespace qv::xml::internal
