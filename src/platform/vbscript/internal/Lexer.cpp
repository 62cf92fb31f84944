#include "platform/vbscript/internal/Lexer.h"

#include "platform/vbscript/internal/CompileError.h"
#include "platform/vbscript/library/LibrarySupport.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace qv::vbscript {

using automation::Variant;

namespace {

struct KeywordEntry {
    std::u16string_view text;
    TokenKind kind;
};

// Sorted without regard to case, searched by bisection.
constexpr std::array Keywords = {
#define QV_VBS_KEYWORD_ENTRY(name, text) KeywordEntry{u"" text, TokenKind::Kw##name},
    QV_VBS_KEYWORDS(QV_VBS_KEYWORD_ENTRY)
#undef QV_VBS_KEYWORD_ENTRY
};

TokenKind KeywordKind(std::u16string_view word) {
    std::size_t low = 0;
    std::size_t high = Keywords.size();
    while (low < high) {
        std::size_t middle = (low + high) / 2;
        int order = automation::CompareNoCase(Keywords[middle].text, word);
        if (order == 0) {
            return Keywords[middle].kind;
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return TokenKind::Identifier;
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Letters beyond ASCII may appear in names (accented names in user code); the no-break space
// and the other separators do not.
bool IsWideLetter(char16_t c) {
    return c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0x2000 && c <= 0x206F) && c != 0x3000 && c != 0xFEFF;
}

bool IsIdentifierStart(char16_t c) {
    return IsAsciiLetter(c) || IsWideLetter(c);
}

bool IsIdentifierPart(char16_t c) {
    return IsIdentifierStart(c) || IsDigit(c) || c == u'_';
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0xA0 || c == 0xFEFF || c == u'\f' || c == u'\v';
}

bool IsLineBreak(char16_t c) {
    return c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029;
}

// The same, each a type of its own: a scan given one is compiled for it, where a function pointer
// would be called at every unit.
constexpr auto Blank = [](char16_t c) { return IsBlank(c); };
constexpr auto Digit = [](char16_t c) { return IsDigit(c); };
constexpr auto NotLineBreak = [](char16_t c) { return !IsLineBreak(c); };

int DigitValue(char16_t c) {
    if (IsDigit(c)) {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return 99;
}

} // namespace

std::u16string_view TokenKindName(TokenKind kind) noexcept {
    switch (kind) {
    case TokenKind::EndOfInput:
        return u"end of input";
    case TokenKind::NewLine:
        return u"line break";
    case TokenKind::Colon:
        return u":";
    case TokenKind::Identifier:
        return u"identifier";
    case TokenKind::Literal:
        return u"literal";
    case TokenKind::Comma:
        return u",";
    case TokenKind::Dot:
        return u".";
    case TokenKind::LeftParen:
        return u"(";
    case TokenKind::RightParen:
        return u")";
    case TokenKind::Plus:
        return u"+";
    case TokenKind::Minus:
        return u"-";
    case TokenKind::Star:
        return u"*";
    case TokenKind::Slash:
        return u"/";
    case TokenKind::Backslash:
        return u"\\";
    case TokenKind::Caret:
        return u"^";
    case TokenKind::Ampersand:
        return u"&";
    case TokenKind::Equal:
        return u"=";
    case TokenKind::NotEqual:
        return u"<>";
    case TokenKind::Less:
        return u"<";
    case TokenKind::LessEqual:
        return u"<=";
    case TokenKind::Greater:
        return u">";
    case TokenKind::GreaterEqual:
        return u">=";
#define QV_VBS_KEYWORD_NAME(name, text)                                                                      \
    case TokenKind::Kw##name:                                                                                \
        return u"" text;
        QV_VBS_KEYWORDS(QV_VBS_KEYWORD_NAME)
#undef QV_VBS_KEYWORD_NAME
    }
    return u"?";
}

std::vector<Token> Lexer::Tokenize() {
    library::ResultMeter meter;
    return Tokenize(meter);
}

std::vector<Token> Lexer::Tokenize(library::ResultMeter& meter) {
    mMeter = &meter;
    // The list grows by doubling, each growth charged before it is made: a guess from the length
    // of the text charged far more than a text of long literals makes.
    std::vector<Token> tokens;
    for (;;) {
        meter.MakeRoom(tokens);
        meter.Step();
        Token token = Next();
        mPrevious = token.kind;
        bool done = token.kind == TokenKind::EndOfInput;
        tokens.push_back(std::move(token));
        if (done) {
            return tokens;
        }
    }
}

Token Lexer::Make(TokenKind kind, std::uint32_t start) const {
    Token token;
    token.kind = kind;
    token.offset = start;
    token.text = mSource.substr(start, mPosition - start);
    token.spaceBefore = mSpaceBefore;
    return token;
}

template <class Keep> std::size_t Lexer::Scan(std::size_t from, Keep keep) {
    constexpr std::size_t Stretch = std::size_t{1} << 16;
    const std::size_t size = mSource.size();
    for (;;) {
        const std::size_t stretchEnd = std::min(size, from + Stretch);
        const std::size_t start = from;
        while (from < stretchEnd && keep(mSource[from])) {
            ++from;
        }
        mMeter->Copied(from - start);
        if (from < stretchEnd || from == size) {
            return from;
        }
    }
}

void Lexer::AppendMetered(std::u16string& text, std::u16string_view part) {
    constexpr std::size_t Stretch = std::size_t{1} << 16;
    for (std::size_t at = 0; at < part.size(); at += Stretch) {
        const std::u16string_view piece = part.substr(at, Stretch);
        text.append(piece);
        mMeter->Copied(piece.size());
    }
}

void Lexer::SkipBlanksAndComments() {
    for (;;) {
        char16_t c = Peek();
        if (IsBlank(c)) {
            mPosition = Scan(mPosition, Blank);
            mSpaceBefore = true;
            continue;
        }
        if (c == u'\'') {
            mPosition = Scan(mPosition, NotLineBreak);
            continue;
        }
        // "Rem" starts a comment where a name could start; "Remark" is a name.
        if ((c == u'r' || c == u'R') && (Peek(1) == u'e' || Peek(1) == u'E') &&
            (Peek(2) == u'm' || Peek(2) == u'M') && !IsIdentifierPart(Peek(3)) && Peek(3) != u'.' &&
            (mPrevious != TokenKind::Dot || mSpaceBefore)) {
            mPosition = Scan(mPosition + 3, NotLineBreak);
            continue;
        }
        // A line continuation: "_" with only blanks up to the line break. A dot that starts the
        // next line continues a member chain (`obj.Ret() _` / `.Ret()`), so the blanks that indent
        // it do not count as a space before it.
        if (c == u'_') {
            std::size_t look = Scan(mPosition + 1, Blank);
            if (look < mSource.size() && IsLineBreak(mSource[look])) {
                if (mSource[look] == u'\r' && look + 1 < mSource.size() && mSource[look + 1] == u'\n') {
                    ++look;
                }
                mPosition = Scan(look + 1, Blank);
                mSpaceBefore = Peek() != u'.' || IsDigit(Peek(1));
                continue;
            }
            if (look >= mSource.size()) {
                mPosition = look;
                continue;
            }
        }
        return;
    }
}

Token Lexer::Next() {
    mSpaceBefore = mPrevious == TokenKind::NewLine || mPrevious == TokenKind::Colon;
    SkipBlanksAndComments();
    auto start = static_cast<std::uint32_t>(mPosition);
    if (AtEnd()) {
        return Make(TokenKind::EndOfInput, start);
    }
    char16_t c = Peek();
    if (IsLineBreak(c)) {
        ++mPosition;
        if (c == u'\r' && Peek() == u'\n') {
            ++mPosition;
        }
        return Make(TokenKind::NewLine, start);
    }
    if (IsIdentifierStart(c)) {
        return LexIdentifier(start);
    }
    // A dot before a digit starts a number even right after a name: in a call statement `S.5`
    // passes 0.5 to S; anywhere else the number cannot follow and is a syntax error.
    if (IsDigit(c) || (c == u'.' && IsDigit(Peek(1)))) {
        return LexNumber(start);
    }
    ++mPosition;
    switch (c) {
    case u'"':
        return LexString(start);
    case u'#':
        return LexDate(start);
    case u'[':
        return LexBracketIdentifier(start);
    case u'&':
        // "&h" without a hex digit after it is a concatenation with a name (`"x" &hi`).
        if (((Peek() == u'h' || Peek() == u'H') && DigitValue(Peek(1)) < 16) ||
            ((Peek() == u'o' || Peek() == u'O') && DigitValue(Peek(1)) < 8) || DigitValue(Peek()) < 8) {
            return LexRadixNumber(start);
        }
        return Make(TokenKind::Ampersand, start);
    case u':':
        return Make(TokenKind::Colon, start);
    case u',':
        return Make(TokenKind::Comma, start);
    case u'.':
        return Make(TokenKind::Dot, start);
    case u'(':
        return Make(TokenKind::LeftParen, start);
    case u')':
        return Make(TokenKind::RightParen, start);
    case u'+':
        return Make(TokenKind::Plus, start);
    case u'-':
        return Make(TokenKind::Minus, start);
    case u'*':
        return Make(TokenKind::Star, start);
    case u'/':
        return Make(TokenKind::Slash, start);
    case u'\\':
        return Make(TokenKind::Backslash, start);
    case u'^':
        return Make(TokenKind::Caret, start);
    case u'=':
        // "=>" and "=<" are ">=" and "<=" written the other way round.
        if (Peek() == u'>') {
            ++mPosition;
            return Make(TokenKind::GreaterEqual, start);
        }
        if (Peek() == u'<') {
            ++mPosition;
            return Make(TokenKind::LessEqual, start);
        }
        return Make(TokenKind::Equal, start);
    case u'<':
        if (Peek() == u'>') {
            ++mPosition;
            return Make(TokenKind::NotEqual, start);
        }
        if (Peek() == u'=') {
            ++mPosition;
            return Make(TokenKind::LessEqual, start);
        }
        return Make(TokenKind::Less, start);
    case u'>':
        if (Peek() == u'=') {
            ++mPosition;
            return Make(TokenKind::GreaterEqual, start);
        }
        if (Peek() == u'<') {
            ++mPosition;
            return Make(TokenKind::NotEqual, start);
        }
        return Make(TokenKind::Greater, start);
    default:
        throw CompileError(CompileErrorNumber::InvalidCharacter, start);
    }
}

Token Lexer::LexIdentifier(std::uint32_t start) {
    // Refused as soon as it is too long, not read to its end.
    while (IsIdentifierPart(Peek())) {
        if (++mPosition - start > MaxIdentifierLength) {
            throw CompileError(CompileErrorNumber::IdentifierTooLong, start);
        }
    }
    Token token = Make(TokenKind::Identifier, start);
    // After a dot every word is a member name, keywords included (`rs.Next`, `x.End`).
    if (mPrevious != TokenKind::Dot) {
        token.kind = KeywordKind(token.text);
    }
    return token;
}

Token Lexer::LexBracketIdentifier(std::uint32_t start) {
    std::size_t nameStart = mPosition;
    mPosition = Scan(mPosition, [](char16_t c) { return c != u']' && !IsLineBreak(c); });
    if (!AtEnd() && IsLineBreak(Peek())) {
        throw CompileError(CompileErrorNumber::ExpectedRightBracket, static_cast<std::uint32_t>(mPosition));
    }
    if (AtEnd()) {
        throw CompileError(CompileErrorNumber::ExpectedRightBracket, static_cast<std::uint32_t>(mPosition));
    }
    if (mPosition - nameStart > MaxIdentifierLength) {
        throw CompileError(CompileErrorNumber::IdentifierTooLong, start);
    }
    Token token = Make(TokenKind::Identifier, start);
    token.text = mSource.substr(nameStart, mPosition - nameStart);
    ++mPosition;
    return token;
}

Token Lexer::LexNumber(std::uint32_t start) {
    bool isInteger = true;
    mPosition = Scan(mPosition, Digit);
    if (Peek() == u'.' && IsDigit(Peek(1))) {
        isInteger = false;
        mPosition = Scan(mPosition + 1, Digit);
    } else if (Peek() == u'.' && !IsIdentifierStart(Peek(1))) {
        // "1." is a Double; "1.Foo" is not a number followed by a member.
        isInteger = false;
        ++mPosition;
    }
    if ((Peek() == u'e' || Peek() == u'E') &&
        (IsDigit(Peek(1)) || ((Peek(1) == u'+' || Peek(1) == u'-') && IsDigit(Peek(2))))) {
        isInteger = false;
        mPosition = Scan(mPosition + 2, Digit);
    }
    if (IsIdentifierStart(Peek())) {
        throw CompileError(CompileErrorNumber::ExpectedEndOfStatement, static_cast<std::uint32_t>(mPosition));
    }
    Token token = Make(TokenKind::Literal, start);
    // The digits are read from a copy, charged while it lives.
    library::ResultMeter copy;
    copy.Charge(token.text.size());
    std::string ascii(token.text.begin(), token.text.end());
    if (ascii.back() == '.') {
        ascii.pop_back();
    }
    double value = 0;
    auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    // A literal too small for a Double is 0 (`1e-400`); one too large is an invalid number.
    bool underflow = error == std::errc::result_out_of_range &&
                     ascii.find_first_of("eE") != std::string::npos &&
                     ascii[ascii.find_first_of("eE") + 1] == '-';
    if (underflow) {
        value = 0;
    } else if (error != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value)) {
        throw CompileError(CompileErrorNumber::InvalidNumber, start);
    }
    // Integer literals take the smallest of Integer, Long and Double that holds them.
    if (isInteger && value <= std::numeric_limits<std::int16_t>::max()) {
        token.value = Variant(static_cast<std::int16_t>(value));
    } else if (isInteger && value <= std::numeric_limits<std::int32_t>::max()) {
        token.value = Variant(static_cast<std::int32_t>(value));
    } else {
        token.value = Variant(value);
    }
    return token;
}

// &Hhex and &Ooctal (or &octal). Up to 16 bits the value is an Integer, so &HFFFF is -1 as in
// the language; wider values are Longs. A trailing "&" reads the digits as a Long's
// (&HFFFF& is 65535), and what still fits an Integer stays one (&H10& is an Integer).
Token Lexer::LexRadixNumber(std::uint32_t start) {
    int radix = 8;
    if (Peek() == u'h' || Peek() == u'H') {
        radix = 16;
        ++mPosition;
    } else if (Peek() == u'o' || Peek() == u'O') {
        ++mPosition;
    }
    std::uint64_t value = 0;
    std::size_t digits = 0;
    while (DigitValue(Peek()) < radix) {
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(DigitValue(Peek()));
        ++mPosition;
        if (++digits > 22 || value > 0xFFFFFFFFull) {
            throw CompileError(CompileErrorNumber::InvalidNumber, start);
        }
    }
    if (digits == 0) {
        throw CompileError(CompileErrorNumber::SyntaxError, start);
    }
    bool forceLong = false;
    if (Peek() == u'&') {
        forceLong = true;
        ++mPosition;
    }
    // A keyword may follow directly (`&h01or&h02`); any other word may not.
    if (IsIdentifierPart(Peek())) {
        std::size_t wordEnd = mPosition;
        while (wordEnd < mSource.size() && IsIdentifierPart(mSource[wordEnd])) {
            ++wordEnd;
        }
        if (KeywordKind(mSource.substr(mPosition, wordEnd - mPosition)) == TokenKind::Identifier) {
            throw CompileError(CompileErrorNumber::ExpectedEndOfStatement,
                               static_cast<std::uint32_t>(mPosition));
        }
    }
    Token token = Make(TokenKind::Literal, start);
    if (forceLong ? value <= 0x7FFF : value <= 0xFFFF) {
        token.value = Variant(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
    } else {
        token.value = Variant(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
    }
    return token;
}

Token Lexer::LexString(std::uint32_t start) {
    // Where the literal ends and how long its text is first, so that the text is checked against
    // the memory ceiling before it is made; "" inside stands for one quote.
    const auto inRun = [](char16_t c) { return c != u'"' && !IsLineBreak(c); };
    std::size_t length = 0;
    std::size_t closing = mPosition;
    for (std::size_t at = mPosition;;) {
        closing = Scan(at, inRun);
        length += closing - at;
        if (closing == mSource.size() || mSource[closing] != u'"') {
            throw CompileError(CompileErrorNumber::UnterminatedString, start);
        }
        if (closing + 1 == mSource.size() || mSource[closing + 1] != u'"') {
            break;
        }
        ++length;
        at = closing + 2;
    }
    automation::CheckAllocation(length, sizeof(char16_t));
    std::u16string text;
    text.reserve(length);
    for (std::size_t at = mPosition;;) {
        const std::size_t quote = mSource.find(u'"', at);
        AppendMetered(text, mSource.substr(at, quote - at));
        if (quote == closing) {
            break;
        }
        text.push_back(u'"');
        at = quote + 2;
    }
    mPosition = closing + 1;
    Token token = Make(TokenKind::Literal, start);
    token.value = Variant(std::move(text));
    return token;
}

Token Lexer::LexDate(std::uint32_t start) {
    std::size_t textStart = mPosition;
    mPosition = Scan(mPosition, [](char16_t c) { return c != u'#' && !IsLineBreak(c); });
    if (Peek() != u'#') {
        throw CompileError(CompileErrorNumber::SyntaxError, start);
    }
    std::u16string_view text = mSource.substr(textStart, mPosition - textStart);
    ++mPosition;
    auto serial = automation::ParseDate(text);
    if (!serial) {
        throw CompileError(CompileErrorNumber::SyntaxError, start);
    }
    Token token = Make(TokenKind::Literal, start);
    token.value = Variant::FromDate(*serial);
    return token;
}

} // namespace qv::vbscript
