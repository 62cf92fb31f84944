#include "platform/ado/SqlText.h"

#include "platform/automation/Text.h"

#include <array>
#include <cstdint>

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

/// How a reading takes E'...', a string in which a backslash escapes the next character.
enum class EStrings : std::uint8_t {
    None,    ///< E is a name like any other
    Word,    ///< an E (or e) that stands alone before the quote (PostgreSQL)
    WordEnd, ///< any word that ends in E before the quote (the PostgreSQL driver's own reading)
};

/// How a reading takes $tag$...$tag$.
enum class DollarQuotes : std::uint8_t {
    None,
    Server, ///< a tag that is a name or nothing, also right after a digit (PostgreSQL)
    Driver, ///< a tag of letters and digits, never right after one (the PostgreSQL driver's own reading)
    Any,    ///< a tag of letters and digits wherever a "$" is no part of a name: both, and more
};

/// Where a reading takes "--" for the start of a comment.
enum class DashDash : std::uint8_t {
    Always,
    BeforeBlank,          ///< before a blank or at the end (MySQL, as our readings always took it)
    BeforeBlankOrControl, ///< before a blank, a control character or the end (MySQL)
};

/// The lexical rules on which the servers and the drivers we talk to differ, one choice each.
/// The drivers read a text too, by rules of their own: they rewrite escapes, and split it at
/// what they take for a ";" between statements, sending the pieces one by one.
struct Lexicon {
    bool singleQuoteBackslash = false; // '\'' continues a string (MySQL; PostgreSQL without standard strings)
    bool doubleQuoteBackslash = false; // "..." is a string that "\"" continues (MySQL without ANSI_QUOTES)
    EStrings eStrings = EStrings::None;
    bool brackets = false;  // [name] (SQL Server, Access, SQLite)
    bool backquotes = true; // `name` (MySQL, SQLite); otherwise an operator character (PostgreSQL)
    DollarQuotes dollarQuotes = DollarQuotes::None;
    bool nestedComments = false; // /* /* */ */ is one comment (PostgreSQL, SQL Server)
    bool hashComments = false;   // "#" starts a line comment (MySQL)
    DashDash dashDash = DashDash::Always;
    bool executableComments = false;    // /*! ... */ holds code (MySQL, MariaDB)
    bool mariaDbComments = false;       // and so does /*M! ... */ (MariaDB)
    bool returnEndsLineComment = false; // a line comment ends at a carriage return too (PostgreSQL)
    bool reopenUnclosedQuote = false;   // a quote never closed is one character, and the text after
                                        // it is read on (MariaDB's driver)
};

/// What one reading of the text found: its first word, the first word outside names that would
/// make the statement change something, and where its first statement ends.
struct Reading {
    std::u16string_view firstWord;
    std::u16string_view changingWord;
    bool leadingJunk = false; // something other than "(" before the first word
    bool brace = false;       // "{" or "}" outside literals, names and comments
    bool unterminated = false;
    bool unclosedQuote = false; // what is never closed is a quote, which a reopening reading reads on
    bool secondStatement = false;
    std::size_t statementEnd = 0;
};

bool IsWordStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c > 0x7F;
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsWordPart(char16_t c) {
    return IsWordStart(c) || IsDigit(c) || c == u'$';
}
bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}
bool IsBrace(char16_t c) {
    return c == u'{' || c == u'}';
}

/// Words that make a statement change data or definitions, wherever they stand in it.
constexpr std::array<std::u16string_view, 15> ChangingWords{
    u"INSERT", u"UPDATE",   u"DELETE", u"MERGE",  u"UPSERT", u"INTO", u"CREATE",  u"DROP",
    u"ALTER",  u"TRUNCATE", u"GRANT",  u"REVOKE", u"CALL",   u"EXEC", u"EXECUTE",
};

bool IsChangingWord(std::u16string_view word) {
    if (word.size() < 4 || word.size() > 8) {
        return false;
    }
    for (std::u16string_view changing : ChangingWords) {
        if (automation::EqualsNoCase(word, changing)) {
            return true;
        }
    }
    return false;
}

/// The position after a literal or quoted name that opens at `position` and closes with `close`
/// (doubled inside, and escaped by a backslash when `backslash`); npos when it never closes.
std::size_t QuotedEnd(std::u16string_view text, std::size_t position, char16_t close, bool backslash) {
    for (++position; position < text.size(); ++position) {
        const char16_t c = text[position];
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

/// The length of the $tag$ that opens at `position`, 0 when none does there.
std::size_t DollarTagLength(std::u16string_view text, std::size_t position, DollarQuotes rule) {
    const bool afterWordCharacter = position > 0 && IsWordPart(text[position - 1]);
    if (rule == DollarQuotes::None || (rule == DollarQuotes::Driver && afterWordCharacter)) {
        return 0;
    }
    std::size_t end = position + 1;
    // A server's tag is a name: "$1" is a parameter there.
    if (rule == DollarQuotes::Server && end < text.size() && IsDigit(text[end])) {
        return 0;
    }
    while (end < text.size() && IsWordPart(text[end]) && text[end] != u'$') {
        ++end;
    }
    return end < text.size() && text[end] == u'$' ? end - position + 1 : 0;
}

/// Reads `text` under one lexicon.
class Reader {
public:
    Reader(std::u16string_view text, const Lexicon& lexicon) : mText(text), mLexicon(lexicon) {}

    Reading Read() {
        while (mPosition < mText.size() && !mReading.unterminated) {
            Step();
        }
        if (!mStatementEnded) {
            mReading.statementEnd = mText.size();
        }
        return mReading;
    }

private:
    char16_t At(std::size_t position) const { return position < mText.size() ? mText[position] : u'\0'; }

    void Token(bool isWord, bool isParenthesis) {
        if (mStatementEnded) {
            mReading.secondStatement = true;
        }
        if (!mSawWord && !isWord && !isParenthesis) {
            mReading.leadingJunk = true;
        }
        mSawWord = mSawWord || isWord;
    }

    /// A literal or quoted name from the current position to `end`, or one never closed.
    void Quoted(std::size_t end, bool reopens) {
        Token(false, false);
        if (end != std::u16string_view::npos) {
            mPosition = end;
            return;
        }
        if (reopens && mLexicon.reopenUnclosedQuote) {
            ++mPosition;
            return;
        }
        mReading.unterminated = true;
        mReading.unclosedQuote = reopens;
    }

    bool AtLineComment() const {
        const char16_t c = At(mPosition);
        if (c == u'#') {
            return mLexicon.hashComments;
        }
        if (c != u'-' || At(mPosition + 1) != u'-') {
            return false;
        }
        if (mLexicon.dashDash == DashDash::Always || mPosition + 2 >= mText.size()) {
            return true;
        }
        const char16_t after = mText[mPosition + 2];
        return IsBlank(after) ||
               (mLexicon.dashDash == DashDash::BeforeBlankOrControl && (after < 0x20 || after == 0x7F));
    }

    void SkipLineComment() {
        while (mPosition < mText.size() && mText[mPosition] != u'\n' &&
               !(mLexicon.returnEndsLineComment && mText[mPosition] == u'\r')) {
            ++mPosition;
        }
    }

    /// At "/*": a comment, or with executable comments the opening of code.
    void SkipBlockComment() {
        if (mLexicon.executableComments) {
            std::size_t code = mPosition + 2;
            if (mLexicon.mariaDbComments && At(code) == u'M') {
                ++code;
            }
            // The code is read on from the "!": a version that gates it, and the "*/" that ends
            // it, count as code too, which can only refuse more.
            if (At(code) == u'!') {
                mPosition = code + 1;
                return;
            }
        }
        std::size_t depth = 0;
        while (mPosition < mText.size()) {
            if (At(mPosition) == u'/' && At(mPosition + 1) == u'*' &&
                (depth == 0 || mLexicon.nestedComments)) {
                ++depth;
                mPosition += 2;
                continue;
            }
            if (At(mPosition) == u'*' && At(mPosition + 1) == u'/') {
                mPosition += 2;
                if (--depth == 0) {
                    return;
                }
                continue;
            }
            ++mPosition;
        }
        mReading.unterminated = true;
    }

    void Word() {
        std::size_t end = mPosition + 1;
        while (end < mText.size() && IsWordPart(mText[end])) {
            ++end;
        }
        const std::u16string_view word = mText.substr(mPosition, end - mPosition);
        Token(true, false);
        if (mReading.firstWord.empty()) {
            mReading.firstWord = word;
        }
        // Inside [...] a reading that takes brackets for operators sees no statement of its own:
        // PostgreSQL's subscripts hold no data-changing statement, and MySQL refuses a bracket;
        // elsewhere they quote names, "[Update Date]". Backquotes get no such pass: where one may
        // be an operator, a server's own operators could join what they hold into one statement.
        if (mReading.changingWord.empty() && mBracketDepth == 0 && IsChangingWord(word)) {
            mReading.changingWord = word;
        }
        mPosition = end;
        const bool eString = At(end) == u'\'' &&
                             ((mLexicon.eStrings == EStrings::Word && word.size() == 1) ||
                              mLexicon.eStrings == EStrings::WordEnd) &&
                             (word.back() == u'E' || word.back() == u'e');
        if (eString) {
            Quoted(QuotedEnd(mText, end, u'\'', true), /*reopens=*/true);
        }
    }

    void Step() {
        const char16_t c = mText[mPosition];
        const char16_t next = At(mPosition + 1);
        if (IsBlank(c)) {
            ++mPosition;
            return;
        }
        if (AtLineComment()) {
            SkipLineComment();
            return;
        }
        if (c == u'/' && next == u'*') {
            SkipBlockComment();
            return;
        }
        if (c == u'\'') {
            Quoted(QuotedEnd(mText, mPosition, c, mLexicon.singleQuoteBackslash), /*reopens=*/true);
            return;
        }
        if (c == u'"') {
            Quoted(QuotedEnd(mText, mPosition, c, mLexicon.doubleQuoteBackslash), /*reopens=*/true);
            return;
        }
        if (c == u'`' && mLexicon.backquotes) {
            Quoted(QuotedEnd(mText, mPosition, c, false), /*reopens=*/true);
            return;
        }
        if (c == u'[' && mLexicon.brackets) {
            Quoted(QuotedEnd(mText, mPosition, u']', false), /*reopens=*/false);
            return;
        }
        if (c == u'$') {
            if (const std::size_t tagLength = DollarTagLength(mText, mPosition, mLexicon.dollarQuotes)) {
                const std::u16string_view tag = mText.substr(mPosition, tagLength);
                const std::size_t close = mText.find(tag, mPosition + tagLength);
                Quoted(close == std::u16string_view::npos ? close : close + tagLength, /*reopens=*/false);
                return;
            }
        }
        if (c == u';') {
            if (!mStatementEnded) {
                mReading.statementEnd = mPosition;
            }
            mStatementEnded = true;
            ++mPosition;
            return;
        }
        if (IsWordStart(c)) {
            Word();
            return;
        }
        if (IsBrace(c)) {
            mReading.brace = true;
        } else if (c == u'[') {
            ++mBracketDepth;
        } else if (c == u']' && mBracketDepth > 0) {
            --mBracketDepth;
        }
        Token(false, c == u'(');
        ++mPosition;
    }

    std::u16string_view mText;
    const Lexicon& mLexicon;
    Reading mReading;
    std::size_t mPosition = 0;
    bool mStatementEnded = false;
    bool mSawWord = false;
    std::size_t mBracketDepth = 0; // "[" not closed, where brackets quote nothing
};

/// Whether a brace stands outside '...' and "..." as a driver that knows no other quoting reads
/// the text: SQLite's driver rewrites ODBC escapes so, in comments and names too.
bool BraceOutsideSimpleQuotes(std::u16string_view text) {
    for (std::size_t position = 0; position < text.size(); ++position) {
        const char16_t c = text[position];
        if (c == u'\'' || c == u'"') {
            position = QuotedEnd(text, position, c, false);
            if (position == std::u16string_view::npos) {
                return false;
            }
            --position;
            continue;
        }
        if (IsBrace(c)) {
            return true;
        }
    }
    return false;
}

/// Drivers rewrite ODBC escapes ({fn ...}, {d '...'}, {call ...}) by rules of their own, which
/// need not keep a quote where it was.
constexpr std::u16string_view BraceRefusal = u"it holds \"{\" or \"}\" outside a string, which drivers "
                                             u"rewrite as an ODBC escape by rules of their own";

/// Why a reading is not one query; empty when it is.
///
/// A reading that meets a literal, name or comment it never sees closed is judged by what it
/// read before it: a dialect that reads the text so takes it for one statement that fails as a
/// whole (a backslash ends no double-quoted name, "tb\", but it escapes the quote of MySQL's
/// "..." string), so that it runs nothing as long as nothing before that point is a second
/// statement or a change. Whether any dialect reads the text to its end is the caller's question.
std::u16string Refusal(const Reading& reading) {
    if (reading.firstWord.empty()) {
        return reading.unterminated ? u"" : u"it holds no statement";
    }
    if (reading.secondStatement) {
        return u"it holds more than one statement";
    }
    if (reading.leadingJunk) {
        return u"it does not begin with SELECT";
    }
    if (!automation::EqualsNoCase(reading.firstWord, u"SELECT") &&
        !automation::EqualsNoCase(reading.firstWord, u"WITH")) {
        return u"it begins with " + automation::ToUpper(reading.firstWord) + u", not SELECT";
    }
    if (!reading.changingWord.empty()) {
        return u"it contains " + automation::ToUpper(reading.changingWord) +
               u", which would change the database";
    }
    if (reading.brace) {
        return std::u16string(BraceRefusal);
    }
    return u"";
}

/// The facts of a text that tell whether a rule can make a difference to its reading: a rule whose
/// characters the text lacks reads it as the rule's first choice does.
struct TextFacts {
    bool backslash = false;
    bool singleQuote = false;
    bool doubleQuote = false;
    bool eQuote = false; // an "E'" or "e'"
    bool bracket = false;
    bool backquote = false;
    bool dollar = false;
    bool nestableComment = false; // a second "/*"
    bool hash = false;
    bool dashDash = false;
    bool dashDashControl = false; // a "--" before a control character that is no blank
    bool executable = false;      // "/*!"
    bool mariaDbCode = false;     // "/*M!"
    bool carriageReturn = false;

    explicit TextFacts(std::u16string_view text) {
        std::size_t commentOpeners = 0;
        for (std::size_t position = 0; position < text.size(); ++position) {
            const char16_t c = text[position];
            const char16_t next = position + 1 < text.size() ? text[position + 1] : u'\0';
            backslash = backslash || c == u'\\';
            singleQuote = singleQuote || c == u'\'';
            doubleQuote = doubleQuote || c == u'"';
            eQuote = eQuote || ((c == u'E' || c == u'e') && next == u'\'');
            bracket = bracket || c == u'[';
            backquote = backquote || c == u'`';
            dollar = dollar || c == u'$';
            hash = hash || c == u'#';
            dashDash = dashDash || (c == u'-' && next == u'-');
            if (c == u'-' && next == u'-' && position + 2 < text.size()) {
                const char16_t after = text[position + 2];
                dashDashControl = dashDashControl || ((after < 0x20 || after == 0x7F) && !IsBlank(after));
            }
            carriageReturn = carriageReturn || c == u'\r';
            if (c == u'/' && next == u'*') {
                ++commentOpeners;
                const std::u16string_view rest = text.substr(position + 2);
                executable = executable || rest.starts_with(u"!");
                mariaDbCode = mariaDbCode || rest.starts_with(u"M!");
            }
        }
        nestableComment = commentOpeners > 1;
    }
};

/// Whether a reading is one of the plain ones: the SQL standard's or MySQL's comments, with or
/// without backslash escapes in both quotes, brackets and dollar quotes (a rule whose characters
/// the text lacks taken either way). One of them must read a text to its end, so that a rule one
/// server or driver alone has (an E-string, a backquote as an operator, a nested comment, a quote
/// read on past) only adds readings, which can refuse a text and never let one through that the
/// plain readings leave unclosed. (A driver that reads on past a quote still hands the server the
/// text it never saw closed.)
bool IsPlain(const Lexicon& lexicon, const TextFacts& facts) {
    const bool standardComments = (!lexicon.hashComments || !facts.hash) &&
                                  (lexicon.dashDash == DashDash::Always || !facts.dashDash) &&
                                  (!lexicon.executableComments || !facts.executable);
    const bool mysqlComments = (lexicon.hashComments || !facts.hash) &&
                               (lexicon.dashDash == DashDash::BeforeBlank || !facts.dashDash) &&
                               (lexicon.executableComments || !facts.executable);
    const bool sameBackslashes = lexicon.singleQuoteBackslash == lexicon.doubleQuoteBackslash ||
                                 !facts.singleQuote || !facts.doubleQuote;
    return (standardComments || mysqlComments) && sameBackslashes && lexicon.eStrings == EStrings::None &&
           lexicon.backquotes &&
           (lexicon.dollarQuotes == DollarQuotes::None || lexicon.dollarQuotes == DollarQuotes::Any) &&
           !lexicon.nestedComments && !lexicon.returnEndsLineComment && !lexicon.reopenUnclosedQuote &&
           !lexicon.mariaDbComments;
}

/// One rule on which readings differ: its number of choices for this text (1 when the text cannot
/// tell them apart) and what each choice sets.
struct Rule {
    int (*choices)(const TextFacts& facts, QueryServer server);
    void (*apply)(Lexicon& lexicon, int choice);
};

int Two(bool matters) {
    return matters ? 2 : 1;
}

constexpr std::array<Rule, 12> Rules{{
    {[](const TextFacts& f, QueryServer) { return Two(f.backslash && f.singleQuote); },
     [](Lexicon& l, int choice) { l.singleQuoteBackslash = choice != 0; }},
    {[](const TextFacts& f, QueryServer) { return Two(f.backslash && f.doubleQuote); },
     [](Lexicon& l, int choice) { l.doubleQuoteBackslash = choice != 0; }},
    {[](const TextFacts& f, QueryServer) { return f.backslash && f.eQuote ? 3 : 1; },
     [](Lexicon& l, int choice) { l.eStrings = static_cast<EStrings>(choice); }},
    {[](const TextFacts& f, QueryServer) { return Two(f.bracket); },
     [](Lexicon& l, int choice) { l.brackets = choice != 0; }},
    // Backquotes are read as operators only where the server may take them so: on a server that
    // quotes names with them, a name "`Update`" is no change.
    {[](const TextFacts& f, QueryServer server) {
         return Two(f.backquote && server != QueryServer::MySql && server != QueryServer::SQLite);
     },
     [](Lexicon& l, int choice) { l.backquotes = choice == 0; }},
    {[](const TextFacts& f, QueryServer) { return f.dollar ? 4 : 1; },
     [](Lexicon& l, int choice) { l.dollarQuotes = static_cast<DollarQuotes>(choice); }},
    {[](const TextFacts& f, QueryServer) { return Two(f.nestableComment); },
     [](Lexicon& l, int choice) { l.nestedComments = choice != 0; }},
    {[](const TextFacts& f, QueryServer) { return Two(f.hash); },
     [](Lexicon& l, int choice) { l.hashComments = choice != 0; }},
    {[](const TextFacts& f, QueryServer) { return f.dashDash ? (f.dashDashControl ? 3 : 2) : 1; },
     [](Lexicon& l, int choice) { l.dashDash = static_cast<DashDash>(choice); }},
    {[](const TextFacts& f, QueryServer) { return Two(f.executable || f.mariaDbCode); },
     [](Lexicon& l, int choice) { l.executableComments = choice != 0; }},
    {[](const TextFacts& f, QueryServer) { return Two(f.mariaDbCode); },
     [](Lexicon& l, int choice) { l.mariaDbComments = choice != 0; }},
    {[](const TextFacts& f, QueryServer) { return Two(f.carriageReturn && (f.dashDash || f.hash)); },
     [](Lexicon& l, int choice) { l.returnEndsLineComment = choice != 0; }},
}};

} // namespace

namespace {

/// CheckSingleQuery without the second look at the statement it cuts off.
QueryCheck CheckReadings(std::u16string_view sql, QueryServer server) {
    QueryCheck check;
    const TextFacts facts(sql);
    std::array<int, Rules.size()> choices{};
    std::size_t readings = 1;
    for (std::size_t rule = 0; rule < Rules.size(); ++rule) {
        choices[rule] = Rules[rule].choices(facts, server);
        readings *= static_cast<std::size_t>(choices[rule]);
    }
    bool readToTheEnd = false;
    for (std::size_t variant = 0; variant < readings; ++variant) {
        Lexicon lexicon;
        std::size_t rest = variant;
        for (std::size_t rule = 0; rule < Rules.size(); ++rule) {
            const auto count = static_cast<std::size_t>(choices[rule]);
            Rules[rule].apply(lexicon, static_cast<int>(rest % count));
            rest /= count;
        }
        // A reading that reopens a quote never closed differs only where one is.
        for (bool reopen : {false, true}) {
            lexicon.reopenUnclosedQuote = reopen;
            const Reading reading = Reader(sql, lexicon).Read();
            if (std::u16string refusal = Refusal(reading); !refusal.empty()) {
                check.refusal = std::move(refusal);
                return check;
            }
            if (!reading.unterminated && !readToTheEnd && IsPlain(lexicon, facts)) {
                check.statement = std::u16string(sql.substr(0, reading.statementEnd));
                readToTheEnd = true;
            }
            if (!reading.unclosedQuote) {
                break;
            }
        }
    }
    if (!readToTheEnd) {
        check.statement.clear();
        check.refusal = u"it has a literal, quoted name or comment that is never closed";
        return check;
    }
    if ((server == QueryServer::SQLite || server == QueryServer::Other) && BraceOutsideSimpleQuotes(sql)) {
        check.statement.clear();
        check.refusal = BraceRefusal;
    }
    return check;
}

} // namespace

QueryCheck CheckSingleQuery(std::u16string_view sql, QueryServer server) {
    QueryCheck check = CheckReadings(sql, server);
    // What follows the ";" is left out, as some drivers refuse anything after it. But the cut can
    // leave open a literal that a reading saw closed beyond it, and a driver that reads on past a
    // quote never closed may then see more: the text handed over must pass as well, or it is the
    // whole text.
    if (check.IsQuery() && check.statement.size() < sql.size() &&
        !CheckReadings(check.statement, server).IsQuery()) {
        check.statement = std::u16string(sql);
    }
    return check;
}

} // namespace qv::ado
