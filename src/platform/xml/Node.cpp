#include "platform/xml/Node.h"

#include "platform/xml/internal/LibxmlText.h"
#include "platform/xml/internal/XmlText.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <libxml/tree.h>

#include <cassert>

namespace qv::xml {

namespace {

xmlNode* AsXml(void* node) {
    assert(node != nullptr && "using a null node");
    return static_cast<xmlNode*>(node);
}

bool IsCharacterData(const xmlNode* node) {
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

} // namespace

NodeKind Node::Kind() const {
    switch (AsXml(mNode)->type) {
    case XML_ELEMENT_NODE:
        return NodeKind::Element;
    case XML_TEXT_NODE:
        return NodeKind::Text;
    case XML_CDATA_SECTION_NODE:
        return NodeKind::CData;
    case XML_COMMENT_NODE:
        return NodeKind::Comment;
    case XML_PI_NODE:
        return NodeKind::ProcessingInstruction;
    case XML_DOCUMENT_NODE:
        return NodeKind::Document;
    default:
        return NodeKind::Other;
    }
}

std::u16string Node::Name() const {
    const xmlNode* node = AsXml(mNode);
    switch (Kind()) {
    case NodeKind::Element:
        return internal::QualifiedName(node);
    case NodeKind::ProcessingInstruction:
        return internal::FromXmlChars(node->name);
    case NodeKind::Text:
        return u"#text";
    case NodeKind::CData:
        return u"#cdata-section";
    case NodeKind::Comment:
        return u"#comment";
    case NodeKind::Document:
        return u"#document";
    case NodeKind::Other:
        return internal::FromXmlChars(node->name);
    }
    return {};
}

std::u16string Node::LocalName() const {
    const xmlNode* node = AsXml(mNode);
    if (node->type != XML_ELEMENT_NODE && node->type != XML_PI_NODE) {
        return {};
    }
    // An undeclared prefix stays part of the name; the local name is still what follows it.
    std::u16string name = internal::FromXmlChars(node->name);
    const std::size_t colon = name.find(u':');
    return colon == std::u16string::npos ? name : name.substr(colon + 1);
}

std::u16string Node::Value() const {
    const xmlNode* node = AsXml(mNode);
    switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        return internal::FromXmlChars(node->content);
    default:
        return {};
    }
}

std::u16string Node::Text() const {
    const xmlNode* top = AsXml(mNode);
    if (IsCharacterData(top)) {
        return internal::FromXmlChars(top->content);
    }
    // Walk the subtree in document order without recursion.
    std::string text;
    const xmlNode* node = top->children;
    while (node != nullptr) {
        if (IsCharacterData(node) && node->content != nullptr) {
            text += reinterpret_cast<const char*>(node->content);
        }
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != nullptr && node->next == nullptr) {
            node = node->parent;
            if (node == top) {
                node = nullptr;
            }
        }
        if (node != nullptr) {
            node = node->next;
        }
    }
    return automation::FromUtf8(text);
}

int Node::Line() const {
    return static_cast<int>(xmlGetLineNo(AsXml(mNode)));
}

Node Node::Parent() const {
    return Node(AsXml(mNode)->parent);
}

Node Node::FirstChild() const {
    const xmlNode* node = AsXml(mNode);
    // The document's children are its top-level nodes; attributes are no children here.
    return Node(node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE ? node->children : nullptr);
}

Node Node::NextSibling() const {
    return Node(AsXml(mNode)->next);
}

std::vector<Node> Node::Children() const {
    std::vector<Node> children;
    for (Node child = FirstChild(); child; child = child.NextSibling()) {
        children.push_back(child);
    }
    return children;
}

Element Node::AsElement() const {
    return Element(mNode != nullptr && IsElement() ? mNode : nullptr);
}

std::vector<Element> Element::ChildElements() const {
    std::vector<Element> children;
    for (xmlNode* child = AsXml(Handle())->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            children.push_back(Element(child));
        }
    }
    return children;
}

std::optional<std::u16string> Element::GetAttribute(std::u16string_view name) const {
    for (const xmlAttr* attribute = AsXml(Handle())->properties; attribute != nullptr;
         attribute = attribute->next) {
        if (internal::QualifiedName(attribute) == name) {
            return internal::AttributeValue(attribute);
        }
    }
    return std::nullopt;
}

std::vector<Attribute> Element::Attributes() const {
    std::vector<Attribute> attributes;
    for (const xmlAttr* attribute = AsXml(Handle())->properties; attribute != nullptr;
         attribute = attribute->next) {
        attributes.push_back({internal::QualifiedName(attribute), internal::AttributeValue(attribute)});
    }
    return attributes;
}

void Element::SetAttribute(std::u16string_view name, std::u16string_view value) {
    internal::CheckXmlName(name);
    internal::CheckXmlText(value, u"attribute \"" + std::u16string(name) + u"\"");
    xmlNode* element = AsXml(Handle());
    const std::string value8 = internal::ToXmlChars(value);
    for (xmlAttr* attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        if (internal::QualifiedName(attribute) == name) {
            // Replaces the value in place, so the attribute keeps its position.
            xmlFreeNodeList(attribute->children);
            attribute->children = xmlNewDocText(element->doc, internal::XmlChars(value8));
            attribute->last = attribute->children;
            if (attribute->children != nullptr) {
                attribute->children->parent = reinterpret_cast<xmlNode*>(attribute);
            }
            return;
        }
    }
    // xmlNewProp stores the value as it is: no entity parsing.
    const std::string name8 = internal::ToXmlChars(name);
    if (xmlNewProp(element, internal::XmlChars(name8), internal::XmlChars(value8)) == nullptr) {
        automation::Raise(automation::ErrorNumber::OutOfMemory);
    }
}

namespace {

void AppendChild(xmlNode* parent, xmlNode* child) {
    if (child == nullptr) {
        automation::Raise(automation::ErrorNumber::OutOfMemory);
    }
    // Adjacent text merges into one node, as a parser would have made it.
    xmlAddChild(parent, child);
}

} // namespace

Element Element::AppendElement(std::u16string_view name) {
    internal::CheckXmlName(name);
    xmlNode* element = AsXml(Handle());
    const std::string name8 = internal::ToXmlChars(name);
    xmlNode* child = xmlNewDocNode(element->doc, nullptr, internal::XmlChars(name8), nullptr);
    AppendChild(element, child);
    return Element(child);
}

void Element::AppendText(std::u16string_view text) {
    internal::CheckXmlText(text, u"a text");
    xmlNode* element = AsXml(Handle());
    const std::string text8 = internal::ToXmlChars(text);
    AppendChild(element, xmlNewDocText(element->doc, internal::XmlChars(text8)));
}

void Element::AppendCData(std::u16string_view text) {
    internal::CheckXmlText(text, u"a CDATA section");
    xmlNode* element = AsXml(Handle());
    const std::string text8 = internal::ToXmlChars(text);
    AppendChild(element,
                xmlNewCDataBlock(element->doc, internal::XmlChars(text8), static_cast<int>(text8.size())));
}

void Element::AppendComment(std::u16string_view text) {
    internal::CheckXmlText(text, u"a comment");
    xmlNode* element = AsXml(Handle());
    const std::string text8 = internal::ToXmlChars(text);
    AppendChild(element, xmlNewDocComment(element->doc, internal::XmlChars(text8)));
}

} // namespace qv::xml
