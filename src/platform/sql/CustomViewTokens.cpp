#include "platform/sql/CustomViewTokens.h"

#include "platform/automation/Text.h"

namespace qv::sql {

bool CustomViewToken::IsKeyword(std::u16string_view keyword) const noexcept {
    return kind == CustomViewTokenKind::Word && automation::EqualsNoCase(text, keyword);
}

bool CustomViewToken::IsSymbol(std::u16string_view symbol) const noexcept {
    return kind == CustomViewTokenKind::Symbol && text == symbol;
}

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsWordStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'@' || c > 0x7F;
}
bool IsWordPart(char16_t c) {
    return IsWordStart(c) || IsDigit(c) || c == u'$' || c == u'#';
}

/// Reads a quoted token opening at `position`; the closing character doubled inside stands for
/// itself, and with `backslash` a backslash escapes the next character. Returns false when the
/// quote never closes.
bool ReadQuoted(std::u16string_view sql, std::size_t& position, char16_t close, bool backslash,
                std::u16string& text) {
    for (++position; position < sql.size(); ++position) {
        char16_t c = sql[position];
        if (backslash && c == u'\\' && position + 1 < sql.size()) {
            text += sql[++position];
            continue;
        }
        if (c != close) {
            text += c;
            continue;
        }
        if (position + 1 < sql.size() && sql[position + 1] == close) {
            text += close;
            ++position;
            continue;
        }
        ++position;
        return true;
    }
    return false;
}

} // namespace

bool TokenizeCustomView(std::u16string_view sql, CustomViewDialect dialect,
                        std::vector<CustomViewToken>& tokens) {
    const bool brackets = dialect == CustomViewDialect::Access || dialect == CustomViewDialect::SqlServer;
    const bool backquotes = dialect == CustomViewDialect::Access || dialect == CustomViewDialect::MySql;
    // Access and MySQL read "..." as a string; the others as a name.
    const bool doubleQuotedNames =
        dialect == CustomViewDialect::SqlServer || dialect == CustomViewDialect::Oracle;
    const bool mysql = dialect == CustomViewDialect::MySql;

    std::size_t position = 0;
    auto finish = [&](bool complete) {
        tokens.push_back({CustomViewTokenKind::End, u"", sql.size(), 0});
        return complete;
    };
    while (position < sql.size()) {
        char16_t c = sql[position];
        char16_t next = position + 1 < sql.size() ? sql[position + 1] : u'\0';
        if (IsBlank(c)) {
            ++position;
            continue;
        }
        bool lineComment =
            dialect != CustomViewDialect::Access && ((c == u'-' && next == u'-') || (mysql && c == u'#'));
        if (lineComment) {
            std::size_t end = sql.find(u'\n', position);
            position = end == std::u16string_view::npos ? sql.size() : end + 1;
            continue;
        }
        if (dialect != CustomViewDialect::Access && c == u'/' && next == u'*') {
            std::size_t end = sql.find(u"*/", position + 2);
            if (end == std::u16string_view::npos) {
                return finish(false);
            }
            position = end + 2;
            continue;
        }
        std::size_t start = position;
        CustomViewToken token;
        token.offset = start;
        if ((brackets && c == u'[') || (backquotes && c == u'`') || (doubleQuotedNames && c == u'"')) {
            token.kind = CustomViewTokenKind::QuotedName;
            if (!ReadQuoted(sql, position, c == u'[' ? u']' : c, false, token.text)) {
                return finish(false);
            }
        } else if (c == u'\'' || c == u'"') {
            token.kind = CustomViewTokenKind::Literal;
            if (!ReadQuoted(sql, position, c, mysql, token.text)) {
                return finish(false);
            }
        } else if (dialect == CustomViewDialect::Access && c == u'#') {
            token.kind = CustomViewTokenKind::Literal;
            std::size_t end = sql.find(u'#', position + 1);
            if (end == std::u16string_view::npos) {
                return finish(false);
            }
            token.text = sql.substr(position + 1, end - position - 1);
            position = end + 1;
        } else if (IsDigit(c) || (c == u'.' && IsDigit(next))) {
            token.kind = CustomViewTokenKind::Literal;
            while (position < sql.size() && (IsDigit(sql[position]) || sql[position] == u'.' ||
                                             sql[position] == u'e' || sql[position] == u'E')) {
                ++position;
            }
            token.text = sql.substr(start, position - start);
        } else if (IsWordStart(c)) {
            token.kind = CustomViewTokenKind::Word;
            while (position < sql.size() && IsWordPart(sql[position])) {
                ++position;
            }
            token.text = sql.substr(start, position - start);
        } else {
            token.kind = CustomViewTokenKind::Symbol;
            static constexpr std::u16string_view TwoCharacterSymbols[] = {u"<=", u">=", u"<>",
                                                                          u"!=", u"||", u"::"};
            std::u16string_view pair = sql.substr(position, 2);
            bool isPair = false;
            for (std::u16string_view symbol : TwoCharacterSymbols) {
                isPair = isPair || pair == symbol;
            }
            position += isPair ? 2 : 1;
            token.text = sql.substr(start, position - start);
        }
        token.length = position - start;
        tokens.push_back(std::move(token));
    }
    return finish(true);
}

} // namespace qv::sql
