#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sql {

/// The SQL dialects the custom-view analyser reads, numbered as the database kinds are.
enum class CustomViewDialect : std::int16_t { Access = 1, SqlServer = 2, MySql = 3, Oracle = 4 };

enum class CustomViewTokenKind {
    Word,       // a plain name or keyword
    QuotedName, // [a b], "a b" or `a b` as the dialect quotes names; text holds the name
    Literal,    // a string, number or date literal
    Symbol,     // punctuation and operators
    End,        // after the last token
};

/// One token of a custom view's statement, with its place in the text so that an expression
/// can be cut out exactly as the user wrote it.
struct CustomViewToken {
    CustomViewTokenKind kind = CustomViewTokenKind::End;
    std::u16string text;
    std::size_t offset = 0;
    std::size_t length = 0;

    bool IsName() const noexcept {
        return kind == CustomViewTokenKind::Word || kind == CustomViewTokenKind::QuotedName;
    }
    /// A plain word equal to `keyword` ignoring case; a quoted name never is a keyword.
    bool IsKeyword(std::u16string_view keyword) const noexcept;
    bool IsSymbol(std::u16string_view symbol) const noexcept;
    std::size_t End() const noexcept { return offset + length; }
};

/// Splits a statement into tokens by the dialect's rules (which quotes make names and which make
/// strings, comments, MySQL's backslash escapes, Access's #date# literals), skipping comments,
/// always ending with one End token. Returns false, with the tokens so far, for a quote or
/// comment that is never closed.
bool TokenizeCustomView(std::u16string_view sql, CustomViewDialect dialect,
                        std::vector<CustomViewToken>& tokens);

} // namespace qv::sql
