#pragma once

#include "platform/xml/Node.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::xml {

/// Error numbers raised by this layer besides the runtime's 5 for bad arguments and the file
/// errors of the system layer.
namespace ErrorNumber {
/// A document that is not well-formed or that the loader refuses.
inline constexpr std::int32_t ParseFailed = static_cast<std::int32_t>(0x80004005);
} // namespace ErrorNumber

struct LoadOptions {
    /// Whitespace-only text nodes are dropped unless this is set or xml:space="preserve" is in
    /// force, so that indentation never shows up as children.
    bool preserveWhitespace = false;
};

struct SaveOptions {
    /// The charset to write in and to name in the declaration ("utf-8", "windows-1252",
    /// "iso-8859-1", "ibm437", ...). Empty: UTF-8 with no encoding in the declaration.
    std::u16string encoding = u"utf-8";
    bool declaration = true;
    bool standalone = false;
    bool byteOrderMark = false;
    /// Written after the declaration and after each top-level node.
    std::u16string lineBreak = u"\r\n";
};

/// Why a document did not load: the file (empty for text), the line and column where the
/// parser stopped (0 when unknown) and the parser's reason.
struct ParseError {
    std::u16string file;
    int line = 0;
    int column = 0;
    std::u16string reason;

    /// "<file>, line <n>, column <c>: <reason>", parts left out when unknown.
    std::u16string Description() const;
};

/// An XML document in memory: the one owner of a parsed or built tree. Movable, not copyable;
/// Node handles into it stay valid while it lives.
///
/// Loading is safe on hostile input: no network access, no external DTD or entity is ever
/// read, and a document that declares entities is refused, so nothing is ever expanded (no
/// "billion laughs", no external fetch). Parser messages are caught per load and become the
/// ParseError or the raised error, never output.
class Document {
public:
    /// An empty document, with no document element yet.
    Document();
    ~Document();
    Document(Document&& other) noexcept;
    Document& operator=(Document&& other) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    /// Loads a file (a library path, either separator) in the encoding its declaration names.
    /// Raises the file errors of the system layer (53, 70, 75, 76) or ParseFailed, with a
    /// description naming the file and line.
    static Document Load(std::u16string_view file, const LoadOptions& options = {});
    /// As Load, but a file that is missing, unreadable or not well-formed is an expected
    /// outcome: nullopt, with the reason in `error` when given.
    static std::optional<Document> TryLoad(std::u16string_view file, ParseError* error = nullptr,
                                           const LoadOptions& options = {});
    /// As TryLoad, for the bytes of a file the caller has read already (`file` names it in the
    /// error), in the encoding their declaration names.
    static std::optional<Document> TryLoadBytes(const std::string& bytes, std::u16string_view file,
                                                ParseError* error = nullptr, const LoadOptions& options = {});
    /// Parses text held in memory; an encoding in its declaration is ignored.
    static Document Parse(std::u16string_view xml, const LoadOptions& options = {});
    static std::optional<Document> TryParse(std::u16string_view xml, ParseError* error = nullptr,
                                            const LoadOptions& options = {});

    /// The root element, or a null Element when there is none.
    Element DocumentElement() const;
    /// Creates the root element, replacing any existing one with its subtree.
    Element CreateDocumentElement(std::u16string_view name);
    /// The top-level nodes in order: comments, processing instructions and the root element.
    std::vector<Node> Children() const;

    /// The document as text, as Save would write it but without encoding it: the declaration
    /// when asked for, then the nodes.
    std::u16string Xml(const SaveOptions& options = {}) const;
    /// The bytes Save writes.
    std::string SaveToBytes(const SaveOptions& options) const;
    /// Writes the document to a file beside `file` and renames it over `file`, so that a
    /// failure never leaves half a file. Characters the encoding cannot hold are written as
    /// character references. In a CDATA section, where a reference would be read back as
    /// literal text, the section is closed before such a character (and inside any "]]>"),
    /// the character is written as a reference and a new section opened; Node::Text reads the
    /// parts back as the original text.
    void Save(std::u16string_view file, const SaveOptions& options) const;

private:
    explicit Document(void* doc) noexcept : mDoc(doc) {}
    static std::optional<Document> ParseBytes(const std::string& bytes, const std::u16string& file,
                                              const char* forcedEncoding, const LoadOptions& options,
                                              ParseError& error);

    void* mDoc = nullptr; // the library's document, owned
};

} // namespace qv::xml
