#include "platform/xml/Document.h"

#include "platform/xml/XmlWriter.h"
#include "platform/xml/internal/LibxmlText.h"
#include "platform/xml/internal/XmlText.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "platform/system/FileSystem.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <string>
#include <utility>

namespace qv::xml {

namespace {

xmlDoc* AsXml(void* doc) {
    return static_cast<xmlDoc*>(doc);
}

std::u16string NumberText(long number) {
    return automation::FromUtf8(std::to_string(number));
}

/// What the parser reported during one load: the first error, or the reason we stopped it.
struct ParseReport {
    bool failed = false;
    ParseError error;
};

ParseReport& ReportOf(void* userData) {
    auto* context = static_cast<xmlParserCtxt*>(userData);
    return *static_cast<ParseReport*>(context->_private);
}

void Fail(ParseReport& report, int line, int column, std::u16string reason) {
    if (report.failed) {
        return;
    }
    report.failed = true;
    report.error.line = line;
    report.error.column = column;
    report.error.reason = std::move(reason);
}

// Messages of this load's parser come here instead of being printed. Warnings are ignored;
// anything worse fails the load, including the namespace and undeclared-entity errors that the
// parser itself would let pass.
void OnParserMessage(void* userData, xmlError* message) {
    if (message == nullptr || message->level < XML_ERR_ERROR) {
        return;
    }
    std::u16string reason = internal::FromXmlChars(reinterpret_cast<const xmlChar*>(message->message));
    while (!reason.empty() && (reason.back() == u'\n' || reason.back() == u'\r' || reason.back() == u' ')) {
        reason.pop_back();
    }
    Fail(ReportOf(userData), message->line, message->int2, std::move(reason));
}

// Entity declarations are refused outright: nothing declared can be expanded or fetched, so a
// "billion laughs" or an external entity never gets past its declaration.
void OnEntityDeclaration(void* userData, const xmlChar* name, int, const xmlChar*, const xmlChar*, xmlChar*) {
    auto* context = static_cast<xmlParserCtxt*>(userData);
    Fail(ReportOf(userData), xmlSAX2GetLineNumber(context), xmlSAX2GetColumnNumber(context),
         u"Entity declarations are not allowed (entity \"" + internal::FromXmlChars(name) + u"\")");
    xmlStopParser(context);
}

/// Owns one parser context for the length of a load.
class ParserContext {
public:
    ParserContext() : mContext(xmlNewParserCtxt()) {
        if (mContext == nullptr) {
            automation::Raise(automation::ErrorNumber::OutOfMemory);
        }
    }
    ~ParserContext() {
        if (mContext->myDoc != nullptr) {
            xmlFreeDoc(mContext->myDoc);
        }
        xmlFreeParserCtxt(mContext);
    }
    ParserContext(const ParserContext&) = delete;
    ParserContext& operator=(const ParserContext&) = delete;

    xmlParserCtxt* Get() const noexcept { return mContext; }

private:
    xmlParserCtxt* mContext;
};

bool IsBlankText(const xmlNode* node) {
    if (node->type != XML_TEXT_NODE || node->content == nullptr) {
        return false;
    }
    for (const xmlChar* c = node->content; *c != 0; ++c) {
        if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n') {
            return false;
        }
    }
    return true;
}

/// Drops whitespace-only text nodes except where xml:space="preserve" is in force.
void DropBlankText(xmlDoc* doc) {
    xmlNode* node = doc->children;
    while (node != nullptr) {
        xmlNode* next = nullptr;
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            next = node->children;
        } else {
            for (xmlNode* up = node; up != nullptr && up != reinterpret_cast<xmlNode*>(doc);
                 up = up->parent) {
                if (up->next != nullptr) {
                    next = up->next;
                    break;
                }
            }
        }
        if (IsBlankText(node) && xmlNodeGetSpacePreserve(node->parent) != 1) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
        node = next;
    }
}

/// Writes one node and its subtree.
void WriteNode(XmlWriter& writer, const xmlNode* node) {
    switch (node->type) {
    case XML_ELEMENT_NODE: {
        const std::u16string name = internal::QualifiedName(node);
        writer.OpenTag(name);
        for (const xmlNs* ns = node->nsDef; ns != nullptr; ns = ns->next) {
            writer.WriteAttribute(ns->prefix == nullptr ? u"xmlns"
                                                        : u"xmlns:" + internal::FromXmlChars(ns->prefix),
                                  internal::FromXmlChars(ns->href));
        }
        for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
            writer.WriteAttribute(internal::QualifiedName(attribute), internal::AttributeValue(attribute));
        }
        if (node->children == nullptr) {
            writer.CloseEmptyTag();
            return;
        }
        writer.CloseTag();
        for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
            WriteNode(writer, child);
        }
        writer.EndTag(name);
        return;
    }
    case XML_TEXT_NODE:
        writer.Text(internal::FromXmlChars(node->content));
        return;
    case XML_CDATA_SECTION_NODE:
        writer.CData(internal::FromXmlChars(node->content));
        return;
    case XML_COMMENT_NODE:
        writer.Comment(internal::FromXmlChars(node->content));
        return;
    case XML_PI_NODE:
        writer.ProcessingInstruction(internal::FromXmlChars(node->name),
                                     internal::FromXmlChars(node->content));
        return;
    default:
        // Document type nodes and the like carry nothing we write.
        return;
    }
}

/// Writes the top-level nodes, each followed by the line break.
void WriteTopLevel(XmlWriter& writer, const xmlDoc* doc, const SaveOptions& options) {
    for (const xmlNode* node = doc->children; node != nullptr; node = node->next) {
        if (node->type == XML_DTD_NODE) {
            continue;
        }
        WriteNode(writer, node);
        writer.Whitespace(options.lineBreak);
    }
}

} // namespace

std::u16string ParseError::Description() const {
    std::u16string text = file;
    if (line > 0) {
        text += text.empty() ? u"Line " : u", line ";
        text += NumberText(line);
        if (column > 0) {
            text += u", column " + NumberText(column);
        }
    }
    if (!text.empty()) {
        text += u": ";
    }
    return text + reason;
}

Document::Document() {
    xmlInitParser();
    mDoc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (mDoc == nullptr) {
        automation::Raise(automation::ErrorNumber::OutOfMemory);
    }
}

Document::~Document() {
    if (mDoc != nullptr) {
        xmlFreeDoc(AsXml(mDoc));
    }
}

Document::Document(Document&& other) noexcept : mDoc(std::exchange(other.mDoc, nullptr)) {}

Document& Document::operator=(Document&& other) noexcept {
    std::swap(mDoc, other.mDoc);
    return *this;
}

std::optional<Document> Document::ParseBytes(const std::string& bytes, const std::u16string& file,
                                             const char* forcedEncoding, const LoadOptions& options,
                                             ParseError& error) {
    xmlInitParser();
    error = ParseError{};
    error.file = file;
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        error.reason = u"The document is too large";
        return std::nullopt;
    }
    ParserContext context;
    ParseReport report;
    report.error.file = file;
    xmlParserCtxt* parser = context.Get();
    parser->_private = &report;
    parser->sax->serror = OnParserMessage;
    parser->sax->entityDecl = OnEntityDeclaration;

    // No network, no external DTD, no entity substitution: XML_PARSE_NOENT, XML_PARSE_DTDLOAD,
    // XML_PARSE_DTDATTR and XML_PARSE_XINCLUDE stay off. The parser's size limits (10 MB of input
    // looked ahead, of one text or of one name) are lifted, so that every file we write loads
    // again, a project of some hundred tables among them. They guard against entity expansion,
    // which cannot happen here: a document that declares an entity is refused above.
    int parseOptions = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_HUGE;
    if (forcedEncoding != nullptr) {
        parseOptions |= XML_PARSE_IGNORE_ENC;
    }
    const std::string url = automation::ToUtf8(file);
    xmlDoc* doc = xmlCtxtReadMemory(parser, bytes.data(), static_cast<int>(bytes.size()),
                                    url.empty() ? nullptr : url.c_str(), forcedEncoding, parseOptions);
    if (doc != nullptr) {
        // The context would free it again on release.
        parser->myDoc = nullptr;
    }
    Document document{static_cast<void*>(doc)};
    if (doc == nullptr || report.failed) {
        if (!report.failed) {
            Fail(report, 0, 0, u"The document is not well-formed");
        }
        error = std::move(report.error);
        return std::nullopt;
    }
    if (!options.preserveWhitespace) {
        DropBlankText(doc);
    }
    return document;
}

std::optional<Document> Document::TryLoad(std::u16string_view file, ParseError* error,
                                          const LoadOptions& options) {
    ParseError local;
    ParseError& report = error != nullptr ? *error : local;
    std::string bytes;
    try {
        bytes = system::ReadFileBytes(file);
    } catch (const automation::Error& failure) {
        // A missing or unreadable file is an expected outcome for the caller here.
        report = ParseError{std::u16string(file), 0, 0, failure.Description()};
        return std::nullopt;
    }
    return ParseBytes(bytes, std::u16string(file), nullptr, options, report);
}

std::optional<Document> Document::TryLoadBytes(const std::string& bytes, std::u16string_view file,
                                               ParseError* error, const LoadOptions& options) {
    ParseError local;
    return ParseBytes(bytes, std::u16string(file), nullptr, options, error != nullptr ? *error : local);
}

Document Document::Load(std::u16string_view file, const LoadOptions& options) {
    ParseError error;
    std::optional<Document> document =
        ParseBytes(system::ReadFileBytes(file), std::u16string(file), nullptr, options, error);
    if (!document) {
        automation::Raise(ErrorNumber::ParseFailed, std::u16string(internal::ErrorSource),
                          u"The XML file " + error.Description());
    }
    return std::move(*document);
}

std::optional<Document> Document::TryParse(std::u16string_view xml, ParseError* error,
                                           const LoadOptions& options) {
    ParseError local;
    return ParseBytes(automation::ToUtf8(xml), {}, "UTF-8", options, error != nullptr ? *error : local);
}

Document Document::Parse(std::u16string_view xml, const LoadOptions& options) {
    ParseError error;
    std::optional<Document> document = TryParse(xml, &error, options);
    if (!document) {
        automation::Raise(ErrorNumber::ParseFailed, std::u16string(internal::ErrorSource),
                          u"The XML text is not valid: " + error.Description());
    }
    return std::move(*document);
}

Element Document::DocumentElement() const {
    return Element(xmlDocGetRootElement(AsXml(mDoc)));
}

Element Document::CreateDocumentElement(std::u16string_view name) {
    internal::CheckXmlName(name);
    xmlDoc* doc = AsXml(mDoc);
    const std::string name8 = internal::ToXmlChars(name);
    xmlNode* root = xmlNewDocNode(doc, nullptr, internal::XmlChars(name8), nullptr);
    if (root == nullptr) {
        automation::Raise(automation::ErrorNumber::OutOfMemory);
    }
    if (xmlNode* old = xmlDocSetRootElement(doc, root); old != nullptr) {
        xmlFreeNode(old);
    }
    return Element(root);
}

std::vector<Node> Document::Children() const {
    std::vector<Node> children;
    for (xmlNode* node = AsXml(mDoc)->children; node != nullptr; node = node->next) {
        if (node->type != XML_DTD_NODE) {
            children.push_back(Node(node));
        }
    }
    return children;
}

std::u16string Document::Xml(const SaveOptions& options) const {
    // Written as UTF-8, where every character is encodable, then turned back into text.
    XmlWriter writer(u"utf-8");
    WriteTopLevel(writer, AsXml(mDoc), options);
    std::u16string text;
    if (options.declaration) {
        text = internal::DeclarationText(options.encoding, options.standalone) + options.lineBreak;
    }
    return text + automation::FromUtf8(writer.Bytes());
}

std::string Document::SaveToBytes(const SaveOptions& options) const {
    XmlWriter writer(options.encoding);
    if (options.byteOrderMark) {
        writer.ByteOrderMark();
    }
    if (options.declaration) {
        writer.Declaration(options.standalone);
        writer.Whitespace(options.lineBreak);
    }
    WriteTopLevel(writer, AsXml(mDoc), options);
    return writer.Bytes();
}

void Document::Save(std::u16string_view file, const SaveOptions& options) const {
    system::WriteFileAtomic(file, SaveToBytes(options));
}

} // namespace qv::xml
