#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::xml {

class Element;

enum class NodeKind : std::uint8_t { Element, Text, CData, Comment, ProcessingInstruction, Document, Other };

/// An attribute as a name (with its prefix, if any) and its value.
struct Attribute {
    std::u16string name;
    std::u16string value;
};

/// A node of a Document: a borrowed handle that stays valid while its document lives. A
/// default-constructed Node is null (no node); navigation past the ends returns null nodes.
/// Names and values are UTF-16; character references and the predefined entities arrive
/// already replaced, line ends as LF.
class Node {
public:
    Node() = default;

    explicit operator bool() const noexcept { return mNode != nullptr; }
    bool operator==(const Node& other) const noexcept { return mNode == other.mNode; }

    NodeKind Kind() const;
    /// The DOM node name: the qualified name of an element or processing instruction, and
    /// "#text", "#cdata-section", "#comment" or "#document" for the others.
    std::u16string Name() const;
    /// The name without its namespace prefix ("baseName"); "" for nodes without a name.
    std::u16string LocalName() const;
    /// The character data of a text, CDATA, comment or processing-instruction node; "" for an
    /// element or the document.
    std::u16string Value() const;
    /// The character data of all text and CDATA nodes at or below this node, joined in order.
    /// Reads back a CDATA section that the writer had to split (see Document::Save).
    std::u16string Text() const;
    /// The line of the node in the source text; 0 for nodes built in memory.
    int Line() const;

    Node Parent() const;
    Node FirstChild() const;
    Node NextSibling() const;
    /// All child nodes in document order.
    std::vector<Node> Children() const;

    bool IsElement() const { return Kind() == NodeKind::Element; }
    /// This node as an element, or a null Element when it is none.
    Element AsElement() const;

protected:
    explicit Node(void* node) noexcept : mNode(node) {}
    void* Handle() const noexcept { return mNode; }

private:
    friend class Document;
    friend class Element;
    void* mNode = nullptr; // the library's node; opaque so that no parser header leaks out
};

/// An element node: its attributes in document order, its child elements, and the calls that
/// build a document. Names must be XML names; text that XML cannot hold (control characters
/// other than tab, CR and LF, U+FFFE, U+FFFF, lone surrogates) raises error 5 naming the
/// character, so that a saved file always loads again.
class Element : public Node {
public:
    Element() = default;

    /// Child elements in document order.
    std::vector<Element> ChildElements() const;
    /// The value of the attribute with exactly this (qualified) name, or nullopt.
    std::optional<std::u16string> GetAttribute(std::u16string_view name) const;
    /// All attributes in document order (namespace declarations are not attributes here).
    std::vector<Attribute> Attributes() const;

    /// Sets an attribute; an existing one of that name keeps its position, a new one goes last.
    void SetAttribute(std::u16string_view name, std::u16string_view value);
    /// Appends a new child element and returns it.
    Element AppendElement(std::u16string_view name);
    void AppendText(std::u16string_view text);
    /// Appends a CDATA section. Any text is accepted; see Document::Save for text that one
    /// section cannot hold.
    void AppendCData(std::u16string_view text);
    void AppendComment(std::u16string_view text);

private:
    friend class Node;
    friend class Document;
    explicit Element(void* node) noexcept : Node(node) {}
};

} // namespace qv::xml
