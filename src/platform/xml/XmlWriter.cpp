#include "platform/xml/XmlWriter.h"

#include "platform/xml/internal/XmlText.h"

#include "platform/automation/Text.h"
#include "platform/system/CodePage.h"
#include "platform/system/FileSystem.h"
#include "platform/system/TextCodec.h"

#include <cassert>
#include <optional>
#include <string>
#include <unordered_set>

namespace qv::xml {

namespace {

constexpr int Utf8CodePage = 65001;
constexpr int Utf16LeCodePage = 1200;
constexpr int Utf16BeCodePage = 1201;

system::TextCodec CodecFor(std::u16string_view encoding) {
    if (encoding.empty()) {
        return system::TextCodec::ForCodePage(Utf8CodePage);
    }
    std::optional<system::TextCodec> codec = system::TextCodec::ForCharset(encoding);
    if (!codec) {
        internal::RaiseInvalid(u"Unknown XML encoding \"" + std::u16string(encoding) + u"\"");
    }
    // A reader decodes with the charset's own table: a byte it leaves undefined would stop it.
    return codec->Strict();
}

std::string CharacterReference(char32_t codePoint) {
    return "&#" + std::to_string(static_cast<std::uint32_t>(codePoint)) + ";";
}

bool IsBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

/// The length of the character at `index`: 2 for a surrogate pair, else 1. Lone surrogates
/// never get here (CheckXmlText refuses them).
std::size_t CharLength(std::u16string_view text, std::size_t index) {
    const char16_t unit = text[index];
    return unit >= 0xD800 && unit <= 0xDBFF && index + 1 < text.size() ? 2 : 1;
}

char32_t CodePointAt(std::u16string_view text, std::size_t index) {
    if (CharLength(text, index) == 2) {
        return 0x10000 + ((static_cast<char32_t>(text[index]) - 0xD800) << 10) + (text[index + 1] - 0xDC00);
    }
    return text[index];
}

enum class EscapeContext { Attribute, Text };

/// The reference written for a character, or "" when it stands for itself. In an attribute a
/// parser would turn tab, CR and LF into blanks, in text CR LF into LF: references keep them.
/// ">" is escaped in text so that "]]>" never appears there.
std::u16string_view ReferenceFor(char16_t unit, EscapeContext context) {
    const bool attribute = context == EscapeContext::Attribute;
    switch (unit) {
    case u'&':
        return u"&amp;";
    case u'<':
        return u"&lt;";
    case u'>':
        return attribute ? u"" : u"&gt;";
    case u'"':
        return attribute ? u"&quot;" : u"";
    case u'\t':
        return attribute ? u"&#9;" : u"";
    case u'\n':
        return attribute ? u"&#10;" : u"";
    case u'\r':
        return u"&#13;";
    default:
        return u"";
    }
}

void AppendEscaped(std::u16string& out, std::u16string_view text, EscapeContext context) {
    for (const char16_t unit : text) {
        const std::u16string_view reference = ReferenceFor(unit, context);
        if (reference.empty()) {
            out += unit;
        } else {
            out += reference;
        }
    }
}

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view name) const noexcept {
        return std::hash<std::u16string_view>{}(name);
    }
};

} // namespace

struct XmlWriter::State {
    State(std::u16string_view encodingName, system::TextCodec textCodec)
        : encoding(encodingName), codec(std::move(textCodec)) {}

    /// Markup and escaped text. It is gathered and encoded in large chunks, since a conversion
    /// has a fixed cost; a character the charset cannot hold becomes a reference then.
    void Put(std::u16string_view text) {
        pending += text;
        if (pending.size() >= FlushSize) {
            Flush();
        }
    }

    void Flush() const {
        bytes += codec.Encode(pending, CharacterReference);
        pending.clear();
    }

    /// Text that must come out exactly (names, comments): no reference can stand in for it.
    void PutExact(std::u16string_view text, std::u16string_view what) {
        if (!codec.CanEncode(text)) {
            internal::RaiseInvalid(std::u16string(what) + u" \"" + std::u16string(text) +
                                   u"\" cannot be written in the encoding \"" + encoding + u"\"");
        }
        Put(text);
    }

    /// Names repeat on every element, so each is checked once.
    void PutName(std::u16string_view name) {
        if (!checkedNames.contains(name)) {
            internal::CheckXmlName(name);
            PutExact(name, u"The name");
            checkedNames.emplace(name);
            return;
        }
        Put(name);
    }

    static constexpr std::size_t FlushSize = 1 << 16;

    std::u16string encoding;
    system::TextCodec codec;
    mutable std::u16string pending;
    mutable std::string bytes;
    bool tagOpen = false;
    std::u16string scratch; // reused for escaping, so that writing attributes does not allocate
    std::unordered_set<std::u16string, NameHash, std::equal_to<>> checkedNames;
};

XmlWriter::XmlWriter(std::u16string_view encoding)
    : mState(std::make_unique<State>(encoding, CodecFor(encoding))) {}

XmlWriter::~XmlWriter() = default;
XmlWriter::XmlWriter(XmlWriter&&) noexcept = default;
XmlWriter& XmlWriter::operator=(XmlWriter&&) noexcept = default;

void XmlWriter::ByteOrderMark() {
    assert(mState->bytes.empty() && mState->pending.empty() && "the byte-order mark comes first");
    switch (mState->codec.CodePage()) {
    case Utf8CodePage:
        mState->bytes += "\xEF\xBB\xBF";
        break;
    case Utf16LeCodePage:
        mState->bytes += "\xFF\xFE";
        break;
    case Utf16BeCodePage:
        mState->bytes += "\xFE\xFF";
        break;
    default:
        break;
    }
}

void XmlWriter::Declaration(bool standalone) {
    assert(!mState->tagOpen);
    mState->Put(internal::DeclarationText(mState->encoding, standalone));
}

void XmlWriter::OpenTag(std::u16string_view name) {
    assert(!mState->tagOpen && "the previous tag is still open");
    mState->Put(u"<");
    mState->PutName(name);
    mState->tagOpen = true;
}

void XmlWriter::WriteAttribute(std::u16string_view name, std::u16string_view value) {
    assert(mState->tagOpen && "attributes belong inside an open tag");
    internal::CheckXmlText(value, u"attribute \"" + std::u16string(name) + u"\"");
    mState->Put(u" ");
    mState->PutName(name);
    std::u16string& escaped = mState->scratch;
    escaped.assign(u"=\"");
    AppendEscaped(escaped, value, EscapeContext::Attribute);
    escaped += u'"';
    mState->Put(escaped);
}

void XmlWriter::CloseTag(TagClose close) {
    assert(mState->tagOpen);
    mState->Put(close == TagClose::Spaced ? u" >" : u">");
    mState->tagOpen = false;
}

void XmlWriter::CloseEmptyTag(TagClose close) {
    assert(mState->tagOpen);
    mState->Put(close == TagClose::Spaced ? u" />" : u"/>");
    mState->tagOpen = false;
}

void XmlWriter::EndTag(std::u16string_view name) {
    assert(!mState->tagOpen);
    mState->Put(u"</");
    mState->PutName(name);
    mState->Put(u">");
}

void XmlWriter::Text(std::u16string_view text) {
    assert(!mState->tagOpen);
    internal::CheckXmlText(text, u"a text");
    std::u16string& escaped = mState->scratch;
    escaped.clear();
    AppendEscaped(escaped, text, EscapeContext::Text);
    mState->Put(escaped);
}

void XmlWriter::CData(std::u16string_view text) {
    assert(!mState->tagOpen);
    internal::CheckXmlText(text, u"a CDATA section");
    State& state = *mState;
    const bool encodable = state.codec.CanEncode(text);
    if (encodable && text.find(u"]]>") == std::u16string_view::npos) {
        state.Put(u"<![CDATA[");
        state.Put(text);
        state.Put(u"]]>");
        return;
    }
    // A reference inside a section would be read back as literal text, and "]]>" would end
    // it: close the section before either and open a new one after. The first section is
    // always written, even empty, so that the content still starts with a CDATA section.
    state.Put(u"<![CDATA[");
    bool open = true;
    std::size_t runStart = 0;
    auto flushRun = [&](std::size_t end) {
        if (end > runStart) {
            if (!open) {
                state.Put(u"<![CDATA[");
                open = true;
            }
            state.Put(text.substr(runStart, end - runStart));
        }
    };
    std::size_t index = 0;
    while (index < text.size()) {
        if (text.compare(index, 3, u"]]>") == 0) {
            // "]]" ends this section and ">" starts the next.
            flushRun(index + 2);
            state.Put(u"]]>");
            open = false;
            runStart = index + 2;
            index += 2;
            continue;
        }
        const std::size_t length = CharLength(text, index);
        if (encodable || state.codec.CanEncode(text.substr(index, length))) {
            index += length;
            continue;
        }
        flushRun(index);
        if (open) {
            state.Put(u"]]>");
            open = false;
        }
        state.Put(automation::FromUtf8(CharacterReference(CodePointAt(text, index))));
        index += length;
        runStart = index;
    }
    flushRun(text.size());
    if (open) {
        state.Put(u"]]>");
    }
}

void XmlWriter::Comment(std::u16string_view text) {
    assert(!mState->tagOpen);
    internal::CheckXmlText(text, u"a comment");
    if (text.find(u"--") != std::u16string_view::npos || (!text.empty() && text.back() == u'-')) {
        internal::RaiseInvalid(u"A comment cannot hold \"--\" or end with \"-\"");
    }
    mState->Put(u"<!--");
    mState->PutExact(text, u"The comment");
    mState->Put(u"-->");
}

void XmlWriter::ProcessingInstruction(std::u16string_view target, std::u16string_view data) {
    assert(!mState->tagOpen);
    internal::CheckXmlText(data, u"a processing instruction");
    if (data.find(u"?>") != std::u16string_view::npos) {
        internal::RaiseInvalid(u"A processing instruction cannot hold \"?>\"");
    }
    mState->Put(u"<?");
    mState->PutName(target);
    if (!data.empty()) {
        mState->Put(u" ");
        mState->PutExact(data, u"The processing instruction");
    }
    mState->Put(u"?>");
}

void XmlWriter::Whitespace(std::u16string_view whitespace) {
    assert(!mState->tagOpen);
    for (const char16_t unit : whitespace) {
        if (!IsBlank(unit)) {
            internal::RaiseInvalid(u"Only blanks, tabs and line breaks can be written as layout");
        }
    }
    mState->Put(whitespace);
}

const std::string& XmlWriter::Bytes() const {
    mState->Flush();
    return mState->bytes;
}

void XmlWriter::SaveTo(std::u16string_view file) const {
    system::WriteFileAtomic(file, Bytes());
}

} // namespace qv::xml
