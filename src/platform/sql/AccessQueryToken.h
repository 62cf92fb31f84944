#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sql {

enum class AccessTokenKind {
    Word,          // a plain name or keyword: Orders, SELECT, Sum
    BracketedName, // [Order Details]; text holds the name without brackets
    String,        // 'x' or "x"; text holds the value, doubled quotes undone
    Number,        // 12, 1.5, 1E3, &H1F
    Date,          // #1/1/95#; text holds what stands between the hashes
    Symbol,        // punctuation and operators: . , ( ) ; ! * + - / \ ^ & = < > <= >= <>
    End,           // after the last token
};

/// One token of an Access (Jet) SQL text, with its place in that text so that callers can cut
/// expressions out of the original exactly as written.
struct AccessQueryToken {
    AccessTokenKind kind = AccessTokenKind::End;
    std::u16string text;
    std::size_t offset = 0; // first code unit in the SQL text
    std::size_t length = 0; // code units in the SQL text, delimiters included

    bool IsName() const noexcept {
        return kind == AccessTokenKind::Word || kind == AccessTokenKind::BracketedName;
    }
    /// A plain word equal to `keyword` ignoring case; a bracketed name never is a keyword.
    bool IsKeyword(std::u16string_view keyword) const noexcept;
    bool IsSymbol(std::u16string_view symbol) const noexcept;
    std::size_t End() const noexcept { return offset + length; }
};

/// Splits an Access SQL text into tokens, always ending with one End token. Never fails: an
/// unterminated bracket, quote or date runs to the end of the text, and a character that
/// starts no token becomes a one-character Symbol.
std::vector<AccessQueryToken> TokenizeAccessQuery(std::u16string_view sql);

/// True for a name that Access writes without brackets: a letter or "_" first, then letters,
/// digits and "_" only.
bool IsPlainAccessName(std::u16string_view name) noexcept;

/// The name as Access SQL writes it: bracketed unless it is plain and no word of the SQL
/// grammar (SELECT, ORDER, ...).
std::u16string QuoteAccessName(std::u16string_view name);

} // namespace qv::sql
