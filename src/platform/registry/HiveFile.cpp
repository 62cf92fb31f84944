#include "platform/registry/HiveFile.h"

#include "platform/system/Utf16.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace qv::registry {

namespace {

constexpr std::string_view Header =
    "; Quorvane registry hive, UTF-8. Keys are [path] sections; each value line reads\n"
    "; \"name\"=type:data (@ names the key's default value). Types: 1 text, 2 text with\n"
    "; %VARIABLE% references, 7 list of texts (\"a\",\"b\"), 4 number, 5 big-endian number,\n"
    "; any other type hexadecimal bytes (3 binary: 01,02,ff).\n";

// The offset of the first byte that is not part of well-formed UTF-8, or npos.
std::size_t FirstInvalidUtf8(std::string_view text) {
    std::size_t index = 0;
    while (index < text.size()) {
        auto lead = static_cast<std::uint8_t>(text[index]);
        std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
        if (length == 0 || index + length > text.size()) {
            return index;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t offset = 1; offset < length; ++offset) {
            auto next = static_cast<std::uint8_t>(text[index + offset]);
            if ((next & 0xC0) != 0x80) {
                return index;
            }
            code = (code << 6) | (next & 0x3F);
        }
        bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return index;
        }
        index += length;
    }
    return std::string_view::npos;
}

// Reads one line of a hive; every failure names the file and the line.
class LineReader {
public:
    LineReader(std::string_view line, std::u16string_view fileName, std::size_t lineNumber)
        : mRest(line), mFileName(fileName), mLineNumber(lineNumber) {}

    [[noreturn]] void Fail(std::u16string_view what) const {
        std::u16string number = automation::FromUtf8(std::to_string(mLineNumber));
        automation::Raise(DamagedHiveError, u"",
                          u"Damaged registry hive '" + std::u16string(mFileName) + u"', line " + number +
                              u": " + std::u16string(what));
    }

    bool AtEnd() const { return mRest.empty(); }
    char Peek() const { return mRest.empty() ? '\0' : mRest.front(); }
    void SkipBlanks() {
        while (!mRest.empty() && (mRest.front() == ' ' || mRest.front() == '\t')) {
            mRest.remove_prefix(1);
        }
    }
    bool Accept(char c) {
        SkipBlanks();
        if (Peek() != c) {
            return false;
        }
        mRest.remove_prefix(1);
        return true;
    }
    void Expect(char c, std::u16string_view what) {
        if (!Accept(c)) {
            Fail(what);
        }
    }
    /// Nothing but blanks, or a comment, is left.
    void ExpectEnd() {
        SkipBlanks();
        if (!AtEnd() && Peek() != ';') {
            Fail(u"unexpected text after the value");
        }
    }
    std::string_view Rest() const { return mRest; }

    /// A double-quoted text with escapes.
    std::u16string QuotedText() {
        Expect('"', u"expected a text in double quotes");
        std::u16string text;
        for (;;) {
            std::size_t special = mRest.find_first_of("\"\\");
            if (special == std::string_view::npos) {
                Fail(u"a text is missing its closing '\"'");
            }
            text += automation::FromUtf8(mRest.substr(0, special));
            char c = mRest[special];
            mRest.remove_prefix(special + 1);
            if (c == '"') {
                return text;
            }
            text += Escape();
        }
    }

    /// A decimal or 0x-hexadecimal number of 32 bits.
    std::uint32_t Number() {
        SkipBlanks();
        int base = 10;
        if (mRest.starts_with("0x") || mRest.starts_with("0X")) {
            base = 16;
            mRest.remove_prefix(2);
        }
        std::uint32_t number = 0;
        auto [end, error] = std::from_chars(mRest.data(), mRest.data() + mRest.size(), number, base);
        if (error == std::errc::result_out_of_range) {
            Fail(u"a number larger than 32 bits");
        }
        if (error != std::errc() || end == mRest.data()) {
            Fail(u"expected a number");
        }
        mRest.remove_prefix(static_cast<std::size_t>(end - mRest.data()));
        return number;
    }

    /// Items separated by commas; none when the line ends here.
    template <typename ReadItem> auto List(ReadItem&& readItem) {
        std::vector<decltype(readItem())> items;
        SkipBlanks();
        if (AtEnd() || Peek() == ';') {
            return items;
        }
        do {
            SkipBlanks();
            items.push_back(readItem());
        } while (Accept(','));
        return items;
    }

    /// Exactly `digits` hexadecimal digits.
    template <typename Number> Number FixedHex(std::size_t digits, std::u16string_view what) {
        Number number = 0;
        const char* last = mRest.data() + std::min(digits, mRest.size());
        auto [end, error] = std::from_chars(mRest.data(), last, number, 16);
        if (error != std::errc() || end != mRest.data() + digits) {
            Fail(what);
        }
        mRest.remove_prefix(digits);
        return number;
    }

private:
    std::u16string Escape() {
        if (mRest.empty()) {
            Fail(u"a text is missing its closing '\"'");
        }
        char c = mRest.front();
        mRest.remove_prefix(1);
        switch (c) {
        case '\\':
            return u"\\";
        case '"':
            return u"\"";
        case 'n':
            return u"\n";
        case 'r':
            return u"\r";
        case 't':
            return u"\t";
        case '0':
            return std::u16string(1, u'\0');
        case 'u':
            return std::u16string(1, static_cast<char16_t>(FixedHex<std::uint16_t>(
                                         4, u"expected four hexadecimal digits after \\u")));
        default:
            Fail(u"unknown escape sequence in a text");
        }
    }

    std::string_view mRest;
    std::u16string_view mFileName;
    std::size_t mLineNumber;
};

void ParseValueLine(LineReader& reader, Key& key) {
    std::u16string name;
    if (!reader.Accept('@')) {
        name = reader.QuotedText();
    }
    reader.Expect('=', u"expected '=' after the value name");
    std::uint32_t type = reader.Number();
    reader.Expect(':', u"expected ':' after the type number");
    if (key.FindValue(name) != nullptr) {
        reader.Fail(u"the value '" + name + u"' is given twice");
    }
    switch (DataKindOf(type)) {
    case DataKind::Text:
        key.SetValue(name, Value::Text(reader.QuotedText(), type));
        break;
    case DataKind::MultiText:
        key.SetValue(name, Value::MultiText(reader.List([&reader] { return reader.QuotedText(); })));
        break;
    case DataKind::Number:
        key.SetValue(name, Value::Number(reader.Number(), type));
        break;
    case DataKind::Bytes:
        key.SetValue(name, Value::Bytes(reader.List([&reader] {
                         return reader.FixedHex<std::uint8_t>(2,
                                                              u"expected a byte as two hexadecimal digits");
                     }),
                                        type));
        break;
    }
    reader.ExpectEnd();
}

Key& ParseSectionLine(LineReader& reader, Key& root) {
    std::string_view rest = reader.Rest();
    std::size_t close = rest.rfind(']');
    if (close == std::string_view::npos) {
        reader.Fail(u"a key path is missing its closing ']'");
    }
    LineReader after(rest.substr(close + 1), {}, 0);
    after.SkipBlanks();
    if (!after.AtEnd() && after.Peek() != ';') {
        reader.Fail(u"unexpected text after the key path");
    }
    std::u16string path = automation::FromUtf8(rest.substr(1, close - 1));
    if (path.empty()) {
        reader.Fail(u"an empty key path");
    }
    std::size_t depth = 0;
    for (std::size_t start = 0;;) {
        std::size_t separator = path.find(u'\\', start);
        if (separator == start || (separator == std::u16string::npos && start == path.size())) {
            reader.Fail(u"an empty key name in the path '" + path + u"'");
        }
        if (++depth > MaxKeyDepth) {
            reader.Fail(u"a key path deeper than " + automation::FromUtf8(std::to_string(MaxKeyDepth)) +
                        u" keys");
        }
        if (separator == std::u16string::npos) {
            break;
        }
        start = separator + 1;
    }
    return root.CreatePath(path);
}

// A unit that cannot stand in the file as itself (surrogate pairs are taken whole before).
bool IsUnwritable(char16_t c) noexcept {
    return c < 0x20 || c == 0x7F || system::IsSurrogate(c);
}

void AppendQuoted(std::string& out, std::u16string_view text) {
    std::u16string escaped;
    escaped.reserve(text.size() + 2);
    for (std::size_t index = 0; index < text.size(); ++index) {
        char16_t c = text[index];
        switch (c) {
        case u'\\':
            escaped += u"\\\\";
            continue;
        case u'"':
            escaped += u"\\\"";
            continue;
        case u'\n':
            escaped += u"\\n";
            continue;
        case u'\r':
            escaped += u"\\r";
            continue;
        case u'\t':
            escaped += u"\\t";
            continue;
        case u'\0':
            escaped += u"\\0";
            continue;
        default:
            break;
        }
        if (system::StartsSurrogatePair(text, index)) {
            escaped += c;
            escaped += text[++index];
            continue;
        }
        if (IsUnwritable(c)) {
            static constexpr char16_t Digits[] = u"0123456789abcdef";
            escaped += u"\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                escaped += Digits[(c >> shift) & 0xF];
            }
            continue;
        }
        escaped += c;
    }
    out += '"';
    out += automation::ToUtf8(escaped);
    out += '"';
}

void AppendValue(std::string& out, const Key::NamedValue& entry) {
    if (entry.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, entry.name);
    }
    const Value& value = entry.value;
    out += '=';
    out += std::to_string(value.Type());
    out += ':';
    switch (value.Kind()) {
    case DataKind::Text:
        AppendQuoted(out, value.AsText());
        break;
    case DataKind::MultiText:
        for (std::size_t index = 0; index < value.AsMultiText().size(); ++index) {
            if (index > 0) {
                out += ',';
            }
            AppendQuoted(out, value.AsMultiText()[index]);
        }
        break;
    case DataKind::Number:
        out += std::to_string(value.AsNumber());
        break;
    case DataKind::Bytes:
        for (std::size_t index = 0; index < value.AsBytes().size(); ++index) {
            static constexpr char Digits[] = "0123456789abcdef";
            if (index > 0) {
                out += ',';
            }
            out += Digits[value.AsBytes()[index] >> 4];
            out += Digits[value.AsBytes()[index] & 0xF];
        }
        break;
    }
    out += '\n';
}

void AppendKey(std::string& out, const Key& key, const std::u16string& path) {
    if (!path.empty()) {
        out += "\n[";
        out += automation::ToUtf8(path);
        out += "]\n";
    }
    for (const Key::NamedValue& entry : key.Values()) {
        AppendValue(out, entry);
    }
    for (const std::unique_ptr<Key>& subkey : key.Subkeys()) {
        AppendKey(out, *subkey, path.empty() ? subkey->Name() : path + u"\\" + subkey->Name());
    }
}

} // namespace

std::unique_ptr<Key> ParseHive(std::string_view text, std::u16string_view fileName) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (std::size_t invalid = FirstInvalidUtf8(text); invalid != std::string_view::npos) {
        std::size_t line =
            1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + invalid, '\n'));
        LineReader(text, fileName, line).Fail(u"the text is not UTF-8");
    }
    auto root = std::make_unique<Key>(u"");
    Key* section = root.get();
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        LineReader reader(line, fileName, lineNumber);
        if (line.find('\0') != std::string_view::npos) {
            reader.Fail(u"a NUL character");
        }
        reader.SkipBlanks();
        char first = reader.Peek();
        if (reader.AtEnd() || first == ';' || first == '#') {
            continue;
        }
        if (first == '[') {
            section = &ParseSectionLine(reader, *root);
            continue;
        }
        if (first != '"' && first != '@') {
            reader.Fail(u"expected a [key path] or a value line \"name\"=type:data");
        }
        ParseValueLine(reader, *section);
    }
    return root;
}

std::size_t KeyPathDepth(std::u16string_view keyPath) noexcept {
    std::size_t depth = 0;
    bool inName = false;
    for (char16_t c : keyPath) {
        if (c == u'\\') {
            inName = false;
        } else if (!inName) {
            inName = true;
            ++depth;
        }
    }
    return depth;
}

bool IsValidKeyPath(std::u16string_view keyPath) noexcept {
    for (std::size_t index = 0; index < keyPath.size(); ++index) {
        if (system::StartsSurrogatePair(keyPath, index)) {
            ++index;
            continue;
        }
        if (IsUnwritable(keyPath[index])) {
            return false;
        }
    }
    return true;
}

std::string FormatHive(const Key& root) {
    std::string out(Header);
    AppendKey(out, root, u"");
    return out;
}

} // namespace qv::registry
