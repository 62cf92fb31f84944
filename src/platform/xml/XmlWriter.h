#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qv::xml {

/// How a start or empty tag ends: `<a x="1">`, `<a/>` (Tight) or `<a x="1" >`, `<a />`
/// (Spaced).
enum class TagClose : std::uint8_t { Tight, Spaced };

/// Writes XML whose exact bytes matter (the project file, the cache file): every character is
/// the caller's, in the order of the calls. Nothing is added: no line breaks, no indentation,
/// attributes in the order written. Text is encoded into the named charset as it is written.
///
/// Escaping: in attribute values &, < and " become &amp; &lt; &quot;, and tab, CR and LF
/// become &#9; &#13; &#10; (a parser would otherwise turn them into blanks); in text &, < and
/// > become &amp; &lt; &gt; and CR becomes &#13; (a parser would otherwise drop it). A
/// character the charset cannot hold becomes a decimal character reference (&#8364;); inside
/// CDATA, where a reference would not be one, the section is split around it, and around
/// "]]>". A name the charset cannot hold, or text XML cannot hold at all (see Element), raises
/// error 5.
class XmlWriter {
public:
    /// `encoding` names the charset ("utf-8", "windows-1252", "iso-8859-1", ...) exactly as the
    /// declaration shall show it; empty means UTF-8 with no encoding in the declaration. An
    /// unknown charset raises error 5.
    explicit XmlWriter(std::u16string_view encoding = u"utf-8");
    ~XmlWriter();
    XmlWriter(XmlWriter&&) noexcept;
    XmlWriter& operator=(XmlWriter&&) noexcept;

    /// The byte-order mark of a Unicode charset (nothing for other charsets). Call first.
    void ByteOrderMark();
    /// `<?xml version="1.0" encoding="<encoding>" standalone="yes"?>`; the encoding when there
    /// is one, standalone when asked.
    void Declaration(bool standalone);
    /// `<name`: opens a start or empty tag; attributes follow, then CloseTag or CloseEmptyTag.
    void OpenTag(std::u16string_view name);
    /// ` name="value"` inside an open tag.
    void WriteAttribute(std::u16string_view name, std::u16string_view value);
    void CloseTag(TagClose close = TagClose::Tight);
    void CloseEmptyTag(TagClose close = TagClose::Tight);
    /// `</name>`.
    void EndTag(std::u16string_view name);
    void Text(std::u16string_view text);
    void CData(std::u16string_view text);
    /// `<!--text-->`; a "--" inside raises error 5.
    void Comment(std::u16string_view text);
    /// `<?target data?>`; a "?>" inside the data raises error 5.
    void ProcessingInstruction(std::u16string_view target, std::u16string_view data);
    /// Line breaks and indentation exactly as given; only blanks, tabs, CR and LF.
    void Whitespace(std::u16string_view whitespace);

    /// Everything written so far, encoded.
    const std::string& Bytes() const;
    /// Writes the bytes to a file beside `file` and renames it over `file`.
    void SaveTo(std::u16string_view file) const;

private:
    struct State;
    std::unique_ptr<State> mState;
};

} // namespace qv::xml
