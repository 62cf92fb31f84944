#pragma once

#include "platform/vbscript/internal/Token.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::vbscript {

namespace library {
class ResultMeter;
} // namespace library

/// Longest identifier the language accepts (error 1030 beyond).
inline constexpr std::size_t MaxIdentifierLength = 255;

/// Splits script source into tokens. Comments and line continuations disappear here; line breaks
/// and colons stay, because they end statements. Any malformed token raises CompileError with the
/// language's number and the offset of the fault.
class Lexer {
public:
    explicit Lexer(std::u16string_view source) : mSource(source) {}

    /// All tokens, ending with one EndOfInput token.
    std::vector<Token> Tokenize();
    /// The same, charging the list to `meter` as it grows (7 past the memory ceiling) and
    /// checking the run's time-out every so many tokens and every so many units read. A literal's
    /// text is checked against the ceiling before it is made.
    std::vector<Token> Tokenize(library::ResultMeter& meter);

private:
    Token Next();
    void SkipBlanksAndComments();
    Token LexNumber(std::uint32_t start);
    Token LexRadixNumber(std::uint32_t start);
    Token LexString(std::uint32_t start);
    Token LexDate(std::uint32_t start);
    Token LexIdentifier(std::uint32_t start);
    Token LexBracketIdentifier(std::uint32_t start);
    Token Make(TokenKind kind, std::uint32_t start) const;
    /// The first position from `from` on where `keep` fails (or the end). A comment, a run of
    /// blanks or a literal may be a line of a hundred million units: what is read counts on the
    /// meter, stretch by stretch, which looks at the run's time-out every so many.
    template <class Keep> std::size_t Scan(std::size_t from, Keep keep);
    /// Appends `part` to `text` in stretches that count on the meter as Scan's do.
    void AppendMetered(std::u16string& text, std::u16string_view part);

    char16_t Peek(std::size_t ahead = 0) const noexcept {
        return mPosition + ahead < mSource.size() ? mSource[mPosition + ahead] : u'\0';
    }
    bool AtEnd() const noexcept { return mPosition >= mSource.size(); }

    std::u16string_view mSource;
    library::ResultMeter* mMeter = nullptr; // while Tokenize runs
    std::size_t mPosition = 0;
    bool mSpaceBefore = true;
    TokenKind mPrevious = TokenKind::NewLine;
};

} // namespace qv::vbscript
