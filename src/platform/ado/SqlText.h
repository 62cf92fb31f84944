#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::ado {

/// The name between the quote characters, the closing one doubled inside ("a""b", [a]]b],
/// `a``b`), so that no name can end the quoting early. Without quote characters (a driver that
/// has none) the name is returned as it is.
std::u16string QuoteIdentifier(std::u16string_view name, std::u16string_view openQuote,
                               std::u16string_view closeQuote);
/// QuoteIdentifier with the same character on both sides.
std::u16string QuoteIdentifier(std::u16string_view name, std::u16string_view quote);

/// A name as a catalog search pattern that matches only itself: "_", "%" and the escape
/// character each preceded by the escape. Without an escape the name is returned unchanged.
std::u16string EscapeSearchPattern(std::u16string_view name, std::u16string_view escape);

/// The outcome of checking that a text is one query and nothing else.
struct QueryCheck {
    /// The text to hand to the driver: the statement without its trailing ";" and what follows.
    std::u16string statement;
    /// Empty when the text is a single query; otherwise why it is refused, for an error message.
    std::u16string refusal;
    bool IsQuery() const noexcept { return refusal.empty(); }
};

/// The server a text goes to, so far as how it and its driver read the text depends on it.
enum class QueryServer {
    Other,      ///< one we do not know: any reading
    PostgreSQL, ///< a backquote may be an operator there
    MySql,      ///< MariaDB, MySQL: `Update` is a name
    SQLite,     ///< `Update` is a name; the driver rewrites ODBC escapes reading '...' and "..." alone
};

/// Checks that `sql` is exactly one SELECT (or WITH ... SELECT) statement that changes nothing:
/// no second statement, no data-changing or definition keyword anywhere outside literals and
/// comments (so no data-changing common table expression and no SELECT ... INTO), and no ODBC
/// escape, which drivers rewrite. Servers, their settings and the drivers that split a text into
/// statements before sending it disagree on quoting: backslash escapes in '...' and "...",
/// E'...' and dollar quotes, brackets and backquotes, nested, "#" and executable comments, where
/// a line comment ends and whether "--" needs a blank after it, what follows a quote that never
/// closes. The text is read under every combination of their rules that can make a difference
/// to it (backquotes as operators, and the escapes SQLite's driver rewrites, only where `server`
/// may have them), and must pass under all of them: no server or driver can then see a statement that the
/// check did not. A reading that never sees a literal or quoted name closed ("tb\" is a whole name, but an
/// open MySQL string) passes when what it read before is one query, as that dialect then runs none of the
/// text; at least one reading must read the text to its end. The statement handed over is checked the same
/// way.
QueryCheck CheckSingleQuery(std::u16string_view sql, QueryServer server = QueryServer::Other);

} // namespace qv::ado
