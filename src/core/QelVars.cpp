#include "core/QelVars.h"

#include "core/Apartment.h"
#include "core/QelKeyword.h"
#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <array>

namespace qv {

using automation::Variant;

namespace {

bool IsAsciiLetter(char16_t c) noexcept {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsAsciiDigit(char16_t c) noexcept {
    return c >= u'0' && c <= u'9';
}

void AppendHex(std::u16string& out, char16_t c) {
    static constexpr std::u16string_view digits = u"0123456789ABCDEF";
    char16_t buffer[4];
    int length = 0;
    unsigned value = c;
    do {
        buffer[length++] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (length > 0) {
        out.push_back(buffer[--length]);
    }
}

/// The VBScript constant of the line break that starts at `text[index]`, and its length.
struct LineBreak {
    std::u16string_view constant;
    std::size_t length = 0;
};
LineBreak LineBreakAt(std::u16string_view text, std::size_t index) noexcept {
    if (text[index] == u'\r') {
        if (index + 1 < text.size() && text[index + 1] == u'\n') {
            return {u"vbCrLf", 2};
        }
        return {u"vbCr", 1};
    }
    if (text[index] == u'\n') {
        return {u"vbLf", 1};
    }
    return {};
}

/// `text` as VBScript string literals framed by `quotes` on each side, one per line, joined by
/// "&" and the constant of each line break (followed by "&" and `indent` when there is one), so
/// that the expression's value is exactly `text`, whatever line breaks it holds.
std::u16string JoinLiterals(std::u16string_view text, std::u16string_view quotes,
                            std::u16string_view indent) {
    std::u16string result;
    result.reserve(text.size() + 2 * quotes.size() + 8);
    std::size_t lineStart = 0;
    for (;;) {
        std::size_t index = lineStart;
        LineBreak lineBreak;
        while (index < text.size() && (lineBreak = LineBreakAt(text, index)).length == 0) {
            ++index;
        }
        if (!result.empty()) {
            result.push_back(u'&');
        }
        result.append(quotes);
        result += DoubleQuotes(text.substr(lineStart, index - lineStart));
        result.append(quotes);
        if (index >= text.size()) {
            return result;
        }
        result.push_back(u'&');
        result.append(lineBreak.constant);
        if (!indent.empty()) {
            result.push_back(u'&');
            result.append(indent);
        }
        lineStart = index + lineBreak.length;
    }
}

std::u16string QuoteName(std::u16string_view name) {
    const ModuleState& state = State();
    std::u16string result = state.gQuoteStart;
    const std::u16string_view close = state.gQuoteEnd;
    if (close.empty()) {
        result.append(name);
    } else {
        // A closing quote inside the name is doubled; otherwise it would end the name early.
        std::size_t from = 0;
        for (std::size_t found = name.find(close); found != std::u16string_view::npos;
             found = name.find(close, from)) {
            result.append(name.substr(from, found + close.size() - from));
            result.append(close);
            from = found + close.size();
        }
        result.append(name.substr(from));
    }
    result.append(close);
    return result;
}

bool ContainsNoCase(std::u16string_view text, std::u16string_view part) {
    return automation::ToLower(text).find(automation::ToLower(part)) != std::u16string::npos;
}

} // namespace

std::int16_t GetFieldTypeClass(std::int32_t typeCode) noexcept {
    switch (typeCode) {
    case 20:
    case 3:
    case 2:
    case 16:
    case 4:
    case 5:
    case 131:
    case 6:
        return FieldTypeClass::Numeric;
    case 7:
    case 133:
    case 134:
    case 135:
        return FieldTypeClass::DateTime;
    case 201:
    case 203:
    case 129:
    case 130:
    case 200:
    case 202:
        return FieldTypeClass::Text;
    case 11:
        return FieldTypeClass::Boolean;
    case 72:
        return FieldTypeClass::Guid;
    default:
        return FieldTypeClass::Other;
    }
}

std::int16_t GetFieldTypeClass(const Variant& typeCode) {
    if (!typeCode.IsNumeric()) {
        if (!typeCode.IsString()) {
            return FieldTypeClass::Other;
        }
        std::optional<double> number = automation::ParseNumber(typeCode.StringValue());
        if (!number || *number != static_cast<double>(static_cast<std::int32_t>(*number))) {
            return FieldTypeClass::Other;
        }
        return GetFieldTypeClass(static_cast<std::int32_t>(*number));
    }
    const double number = automation::ToDouble(typeCode);
    if (number < -2147483648.0 || number > 2147483647.0 ||
        number != static_cast<double>(static_cast<std::int32_t>(number))) {
        return FieldTypeClass::Other;
    }
    return GetFieldTypeClass(static_cast<std::int32_t>(number));
}

std::u16string QuoteNameA(std::u16string_view name) {
    return QuoteName(name);
}

std::u16string QuoteNameB(std::u16string_view name) {
    return QuoteName(name);
}

std::u16string ToIdentifier(std::u16string_view name, std::u16string_view prefix) {
    std::u16string text;
    // Reserved words are checked on the name as given, before any character is replaced.
    if (GetKeyword().IsKeyword(name)) {
        text.push_back(u'_');
    }
    text.append(name);

    std::u16string body;
    body.reserve(text.size() + 1);
    for (char16_t c : text) {
        if (c == u' ') {
            body.push_back(u'_');
        } else if (IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'_') {
            body.push_back(c);
        } else {
            AppendHex(body, c);
        }
    }
    std::u16string result(prefix);
    if (!body.empty() && !IsAsciiLetter(body.front())) {
        result.push_back(u'x');
    }
    result.append(body);
    return result;
}

std::u16string ToVBStringLiteral(std::u16string_view value, std::int32_t quoteCount) {
    std::u16string text = Unquote(value);
    if (quoteCount <= 0) {
        return text;
    }
    const std::u16string quotes(static_cast<std::size_t>(quoteCount), u'"');
    return JoinLiterals(text, quotes, {});
}

std::u16string ToVBStringExpression(std::u16string_view text, std::u16string_view indent) {
    if (text.empty()) {
        return {};
    }
    return JoinLiterals(text, u"\"", indent);
}

namespace {

struct QuoteStyle {
    std::u16string_view name;
    std::u16string_view start;
    std::u16string_view end;
};

constexpr std::array<QuoteStyle, 5> QuoteStyles = {{
    {u"Square Bracket", u"[", u"]"},
    {u"Double Quote", u"\"", u"\""},
    {u"Single Quote", u"'", u"'"},
    {u"Backquote", u"`", u"`"},
    {u"None", u"", u""},
}};

} // namespace

bool IsQuoteStyleName(std::u16string_view name) {
    return name.empty() || std::any_of(QuoteStyles.begin(), QuoteStyles.end(),
                                       [&](const QuoteStyle& style) { return style.name == name; });
}

std::u16string QuoteStyleNames() {
    std::u16string names;
    for (const QuoteStyle& style : QuoteStyles) {
        if (!names.empty()) {
            names += &style == &QuoteStyles.back() ? u" or " : u", ";
        }
        names += style.name;
    }
    return names;
}

void SetQuoteStyle(std::u16string_view dbmsName) {
    ModuleState& state = State();
    for (const QuoteStyle& style : QuoteStyles) {
        if (state.gSqlQuote == style.name) {
            state.gQuoteStart = style.start;
            state.gQuoteEnd = style.end;
            return;
        }
    }
    switch (GetDBTypeId(dbmsName)) {
    case DBTypeCode::Access:
    case DBTypeCode::SqlServer:
        state.gQuoteStart = u"[";
        state.gQuoteEnd = u"]";
        return;
    case DBTypeCode::MySql:
        state.gQuoteStart = u"`";
        state.gQuoteEnd = u"`";
        return;
    default:
        // Every other database takes the standard's double quote. Unquoted, a reserved word
        // ("user"), a name with a space or a dash, or a mixed-case PostgreSQL name would break
        // the statements of every page that names it.
        state.gQuoteStart = u"\"";
        state.gQuoteEnd = u"\"";
        return;
    }
}

std::int16_t GetDBTypeId(std::u16string_view name) {
    if (name == u"ACCESS" || name == u"MS Jet") {
        return DBTypeCode::Access;
    }
    if (ContainsNoCase(name, u"Microsoft") && ContainsNoCase(name, u"SQL")) {
        return DBTypeCode::SqlServer;
    }
    // MariaDB servers name themselves so, and speak MySQL's dialect.
    if (ContainsNoCase(name, u"MySQL") || ContainsNoCase(name, u"MariaDB")) {
        return DBTypeCode::MySql;
    }
    if (ContainsNoCase(name, u"ORA")) {
        return DBTypeCode::Oracle;
    }
    return DBTypeCode::Other;
}

} // namespace qv
