#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qv::ado::test {

/// Texts that hide a change of the table "customers" from some reading of SQL: a query, pieces
/// that open or close a literal, name or comment under one server's or driver's rules and not
/// another's, "; DELETE FROM customers" or a data-changing common table expression, and more
/// pieces. Made from a fixed seed, so every run tries the same texts.
inline std::vector<std::u16string> TrickyQueries(std::size_t count) {
    static const std::u16string Pieces[] = {
        u"'",       u"\"",     u"`",     u"[",     u"]",      u"\\",  u"E'",  u"e'",   u"xE'", u"U&\"",
        u"$$",      u"$a$",    u"1$a$",  u"$1$",   u"/*",     u"*/",  u"/*!", u"/*M!", u"--",  u"-- ",
        u"#",       u"\r",     u"\n",    u"{",     u"}",      u" x ", u",",   u"(",    u")",   u"'a\\'",
        u"\"x\\\"", u"E'\\''", u"[a'b]", u"`a'b`", u"'\\\\'", u"B'",  u"X'",  u"N'",
    };
    constexpr std::size_t PieceCount = std::size(Pieces);
    std::mt19937 engine(20240501U);
    // The engine's own numbers: a distribution's may differ from one standard library to another.
    const auto below = [&engine](std::size_t bound) { return static_cast<std::size_t>(engine() % bound); };
    const auto pieces = [&](std::size_t most) {
        std::u16string text;
        for (std::size_t left = below(most) + 1; left > 0; --left) {
            text += Pieces[below(PieceCount)];
        }
        return text;
    };
    // Texts that passed the check once, which PostgreSQL reads as two statements.
    std::vector<std::u16string> texts{
        u"SELECT 'a' AS \"x\\\", E'\\'' ; DELETE FROM customers ; -- '",
        u"SELECT 1 /* /* */ ' */ ; DELETE FROM customers ; -- '",
    };
    texts.reserve(count);
    while (texts.size() < count) {
        if (below(4) == 0) {
            texts.push_back(u"WITH k AS (SELECT 1 " + pieces(5) +
                            u" ), d AS (DELETE FROM customers RETURNING 1) SELECT 1 " + pieces(3));
            continue;
        }
        texts.push_back(u"SELECT 1 " + pieces(5) + u" ; DELETE FROM customers ; " + pieces(3));
    }
    return texts;
}

} // namespace qv::ado::test
