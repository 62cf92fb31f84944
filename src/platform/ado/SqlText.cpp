#include "platform/ado/SqlText.h"

#include "platform/automation/Text.h"

#include <array>
#include <vector>

namespace qv::ado {

std::u16string QuoteIdentifier(std::u16string_view name, std::u16string_view openQuote,
                               std::u16string_view closeQuote) {
    if (openQuote.empty() || closeQuote.empty()) {
        return std::u16string(name);
    }
    std::u16string quoted(openQuote);
    std::size_t position = 0;
    while (position < name.size()) {
        if (name.substr(position, closeQuote.size()) == closeQuote) {
            quoted += closeQuote;
            quoted += closeQuote;
            position += closeQuote.size();
            continue;
        }
        quoted += name[position++];
    }
    quoted += closeQuote;
    return quoted;
}

std::u16string QuoteIdentifier(std::u16string_view name, std::u16string_view quote) {
    return QuoteIdentifier(name, quote, quote);
}

std::u16string EscapeSearchPattern(std::u16string_view name, std::u16string_view escape) {
    if (escape.empty()) {
        return std::u16string(name);
    }
    std::u16string pattern;
    std::size_t position = 0;
    while (position < name.size()) {
        if (name[position] == u'_' || name[position] == u'%') {
            pattern += escape;
            pattern += name[position++];
            continue;
        }
        if (name.substr(position, escape.size()) == escape) {
            pattern += escape;
            pattern += escape;
            position += escape.size();
            continue;
        }
        pattern += name[position++];
    }
    return pattern;
}

namespace {

/// The lexical rules on which dialects differ, one flag each.
struct Lexicon {
    bool backslashEscapes; // '\'' and "\"" continue a literal (MySQL, PostgreSQL's E'...')
    bool brackets;         // [name] quotes a name (SQL Server, Access)
    bool dollarQuotes;     // $tag$...$tag$ is a literal (PostgreSQL)
    bool mysqlComments;    // "#" starts a comment, "--" needs a blank after it, /*! ... */ is code
};

/// What one reading of the text found: its words outside literals and comments, and where its
/// first statement ends.
struct Reading {
    std::vector<std::u16string> words;
    bool leadingJunk = false; // something other than "(" before the first word
    bool unterminated = false;
    bool secondStatement = false;
    std::size_t statementEnd = 0;
};

bool IsWordStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c > 0x7F;
}
bool IsWordPart(char16_t c) {
    return IsWordStart(c) || (c >= u'0' && c <= u'9') || c == u'$';
}
bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

/// Skips a literal or quoted name that opens at `position` and closes with `close` (doubled
/// inside, and escaped by a backslash when the lexicon says so). Returns the position after it,
/// or npos when it never closes.
std::size_t SkipQuoted(std::u16string_view text, std::size_t position, char16_t close, bool backslash) {
    for (++position; position < text.size(); ++position) {
        char16_t c = text[position];
        if (backslash && c == u'\\') {
            ++position;
            continue;
        }
        if (c != close) {
            continue;
        }
        if (position + 1 < text.size() && text[position + 1] == close) {
            ++position;
            continue;
        }
        return position + 1;
    }
    return std::u16string_view::npos;
}

Reading Read(std::u16string_view text, const Lexicon& lexicon) {
    Reading reading;
    bool statementEnded = false;
    bool sawWord = false;
    std::size_t position = 0;
    auto token = [&](bool isWord, bool isParenthesis) {
        if (statementEnded) {
            reading.secondStatement = true;
        }
        if (!sawWord && !isWord && !isParenthesis) {
            reading.leadingJunk = true;
        }
        sawWord = sawWord || isWord;
    };
    while (position < text.size()) {
        char16_t c = text[position];
        char16_t next = position + 1 < text.size() ? text[position + 1] : u'\0';
        if (IsBlank(c)) {
            ++position;
            continue;
        }
        bool lineComment = (c == u'-' && next == u'-') || (lexicon.mysqlComments && c == u'#');
        if (lineComment && lexicon.mysqlComments && c == u'-') {
            char16_t after = position + 2 < text.size() ? text[position + 2] : u' ';
            lineComment = IsBlank(after);
        }
        if (lineComment) {
            std::size_t end = text.find(u'\n', position);
            position = end == std::u16string_view::npos ? text.size() : end + 1;
            continue;
        }
        if (c == u'/' && next == u'*') {
            bool executable =
                lexicon.mysqlComments && position + 2 < text.size() && text[position + 2] == u'!';
            if (executable) {
                // MySQL runs what such a comment holds: read it as code.
                position += 3;
                continue;
            }
            std::size_t end = text.find(u"*/", position + 2);
            if (end == std::u16string_view::npos) {
                reading.unterminated = true;
                return reading;
            }
            position = end + 2;
            continue;
        }
        if (c == u'\'' || c == u'"' || c == u'`' || (lexicon.brackets && c == u'[')) {
            token(false, false);
            char16_t close = c == u'[' ? u']' : c;
            position = SkipQuoted(text, position, close, lexicon.backslashEscapes && c != u'`' && c != u'[');
            if (position == std::u16string_view::npos) {
                reading.unterminated = true;
                return reading;
            }
            continue;
        }
        if (lexicon.dollarQuotes && c == u'$') {
            std::size_t tagEnd = position + 1;
            while (tagEnd < text.size() && IsWordPart(text[tagEnd]) && text[tagEnd] != u'$') {
                ++tagEnd;
            }
            if (tagEnd < text.size() && text[tagEnd] == u'$') {
                std::u16string_view tag = text.substr(position, tagEnd - position + 1);
                std::size_t end = text.find(tag, tagEnd + 1);
                if (end == std::u16string_view::npos) {
                    reading.unterminated = true;
                    return reading;
                }
                token(false, false);
                position = end + tag.size();
                continue;
            }
        }
        if (c == u';') {
            if (!statementEnded) {
                reading.statementEnd = position;
            }
            statementEnded = true;
            ++position;
            continue;
        }
        if (IsWordStart(c)) {
            std::size_t end = position + 1;
            while (end < text.size() && IsWordPart(text[end])) {
                ++end;
            }
            token(true, false);
            reading.words.push_back(automation::ToUpper(text.substr(position, end - position)));
            position = end;
            continue;
        }
        token(false, c == u'(');
        ++position;
    }
    if (!statementEnded) {
        reading.statementEnd = text.size();
    }
    return reading;
}

/// Words that make a statement change data or definitions, wherever they stand in it.
constexpr std::array<std::u16string_view, 15> ChangingWords{
    u"INSERT", u"UPDATE",   u"DELETE", u"MERGE",  u"UPSERT", u"INTO", u"CREATE",  u"DROP",
    u"ALTER",  u"TRUNCATE", u"GRANT",  u"REVOKE", u"CALL",   u"EXEC", u"EXECUTE",
};

/// Why a reading is not one query. `checkWords` is false for readings that take "[" as an
/// operator: only PostgreSQL reads it so, where a bracket holds an array subscript, which can
/// never hold a data-changing statement, while "[Update Date]" is an ordinary name elsewhere.
///
/// A reading that meets a literal or comment it never sees closed is judged by what it read
/// before it: a dialect that reads the text so takes it for one statement that fails as a whole
/// (a backslash ends no double-quoted name, "tb\", but it escapes the quote of MySQL's "..."
/// string), so that it runs nothing as long as nothing before that point is a second statement
/// or a change. Whether any dialect reads the text to its end is the caller's question.
std::u16string Refusal(const Reading& reading, bool checkWords) {
    if (reading.words.empty()) {
        return reading.unterminated ? u"" : u"it holds no statement";
    }
    if (reading.secondStatement) {
        return u"it holds more than one statement";
    }
    const std::u16string& first = reading.words.front();
    if (reading.leadingJunk) {
        return u"it does not begin with SELECT";
    }
    if (first != u"SELECT" && first != u"WITH") {
        return u"it begins with " + first + u", not SELECT";
    }
    if (!checkWords) {
        return u"";
    }
    for (const std::u16string& word : reading.words) {
        for (std::u16string_view changing : ChangingWords) {
            if (word == changing) {
                return u"it contains " + word + u", which would change the database";
            }
        }
    }
    return u"";
}

} // namespace

QueryCheck CheckSingleQuery(std::u16string_view sql) {
    QueryCheck check;
    bool readToTheEnd = false;
    for (int variant = 0; variant < 16; ++variant) {
        Lexicon lexicon{(variant & 1) != 0, (variant & 2) != 0, (variant & 4) != 0, (variant & 8) != 0};
        Reading reading = Read(sql, lexicon);
        std::u16string refusal = Refusal(reading, lexicon.brackets);
        if (!refusal.empty()) {
            check.refusal = std::move(refusal);
            return check;
        }
        if (!reading.unterminated && !readToTheEnd) {
            check.statement = std::u16string(sql.substr(0, reading.statementEnd));
            readToTheEnd = true;
        }
    }
    if (!readToTheEnd) {
        check.statement.clear();
        check.refusal = u"it has a literal, quoted name or comment that is never closed";
    }
    return check;
}

} // namespace qv::ado
