#include "platform/xml/internal/LibxmlText.h"

#include "platform/automation/Text.h"

namespace qv::xml::internal {

std::u16string FromXmlChars(const xmlChar* text) {
    return text == nullptr ? std::u16string() : automation::FromUtf8(reinterpret_cast<const char*>(text));
}

std::string ToXmlChars(std::u16string_view text) {
    return automation::ToUtf8(text);
}

namespace {
std::u16string JoinName(const xmlNs* ns, const xmlChar* name) {
    std::u16string result;
    if (ns != nullptr && ns->prefix != nullptr) {
        result = FromXmlChars(ns->prefix);
        result += u':';
    }
    result += FromXmlChars(name);
    return result;
}
} // namespace

std::u16string QualifiedName(const xmlNode* node) {
    return JoinName(node->ns, node->name);
}
std::u16string QualifiedName(const xmlAttr* attribute) {
    return JoinName(attribute->ns, attribute->name);
}

std::u16string AttributeValue(const xmlAttr* attribute) {
    std::string value;
    for (const xmlNode* child = attribute->children; child != nullptr; child = child->next) {
        if (child->content != nullptr) {
            value += reinterpret_cast<const char*>(child->content);
        }
    }
    return automation::FromUtf8(value);
}

} // namespace qv::xml::internal
