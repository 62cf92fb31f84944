// libFuzzer target: SQL texts through the check that a text is one query. What it lets through
// must be one statement as each server reads what is handed to the driver: SQLite by its own
// parser, PostgreSQL and MySQL by their lexical rules written out below, each under the settings
// that change them (standard_conforming_strings; sql_mode's ANSI_QUOTES, NO_BACKSLASH_ESCAPES).
// The statement handed over must itself be let through. The first byte
// picks the server the check is told of; the rest is UTF-8 text.

#include "platform/ado/SqlText.h"

#include "platform/automation/Text.h"

#include <sqlite3.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

using namespace qv;

namespace {

bool IsSpace(char c) {
    return c != '\0' && std::strchr(" \t\n\r\f\v", c) != nullptr;
}
bool IdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool IdentifierPart(char c) {
    return IdentifierStart(c) || std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '$';
}

/// A server's lexer over one text: where it is, and whether it has passed a ";".
struct Scan {
    std::string_view text;
    std::size_t at = 0;
    bool ended = false;

    char Peek(std::size_t ahead = 0) const { return at + ahead < text.size() ? text[at + ahead] : '\0'; }
    bool Done() const { return at >= text.size(); }

    /// Past a literal or quoted name opening at `at`; false when it never closes.
    bool Quoted(char quote, bool backslash) {
        for (++at; at < text.size(); ++at) {
            if (backslash && text[at] == '\\') {
                ++at;
                continue;
            }
            if (text[at] != quote) {
                continue;
            }
            if (Peek(1) == quote) {
                ++at;
                continue;
            }
            ++at;
            return true;
        }
        return false;
    }

    void ToLineEnd(bool returnEnds) {
        while (!Done() && Peek() != '\n' && !(returnEnds && Peek() == '\r')) {
            ++at;
        }
    }
};

/// Whether PostgreSQL reads a second statement; false when its lexer fails first, which runs
/// none of the text.
bool PostgresReadsTwo(std::string_view text, bool standardStrings) {
    Scan scan{text};
    while (!scan.Done()) {
        const char c = scan.Peek();
        const char next = scan.Peek(1);
        if (IsSpace(c)) {
            ++scan.at;
        } else if (c == '-' && next == '-') {
            scan.ToLineEnd(/*returnEnds=*/true);
        } else if (c == '/' && next == '*') {
            int depth = 0;
            do {
                if (scan.Peek() == '/' && scan.Peek(1) == '*') {
                    ++depth;
                    scan.at += 2;
                } else if (scan.Peek() == '*' && scan.Peek(1) == '/') {
                    --depth;
                    scan.at += 2;
                } else {
                    ++scan.at;
                }
            } while (depth > 0 && !scan.Done());
            if (depth > 0) {
                return false;
            }
        } else if (c == ';') {
            scan.ended = true;
            ++scan.at;
        } else if (scan.ended) {
            return true;
        } else if ((c == 'E' || c == 'e') && next == '\'') {
            ++scan.at;
            if (!scan.Quoted('\'', true)) {
                return false;
            }
        } else if ((c == 'U' || c == 'u') && next == '&' && (scan.Peek(2) == '\'' || scan.Peek(2) == '"')) {
            scan.at += 2;
            if ((scan.Peek() == '\'' && !standardStrings) || !scan.Quoted(scan.Peek(), false)) {
                return false;
            }
        } else if (std::strchr("BbXx", c) != nullptr && next == '\'') {
            // Bit strings hold digits alone: a backslash fails the text.
            ++scan.at;
            const std::size_t start = scan.at;
            if (!scan.Quoted('\'', false) ||
                text.substr(start, scan.at - start).find('\\') != std::string_view::npos) {
                return false;
            }
        } else if (IdentifierStart(c)) {
            while (!scan.Done() && IdentifierPart(scan.Peek())) {
                ++scan.at;
            }
        } else if (c == '\'' || c == '"') {
            if (!scan.Quoted(c, c == '\'' && !standardStrings)) {
                return false;
            }
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
            while (std::isdigit(static_cast<unsigned char>(scan.Peek())) != 0) {
                ++scan.at;
            }
            // "Trailing junk after numeric literal".
            if (IdentifierStart(scan.Peek())) {
                return false;
            }
        } else if (c == '$') {
            std::size_t end = scan.at + 1;
            if (IdentifierStart(scan.Peek(1))) {
                while (end < text.size() && IdentifierPart(text[end]) && text[end] != '$') {
                    ++end;
                }
            }
            if (end < text.size() && text[end] == '$') {
                const std::string_view tag = text.substr(scan.at, end - scan.at + 1);
                const std::size_t close = text.find(tag, end + 1);
                if (close == std::string_view::npos) {
                    return false;
                }
                scan.at = close + tag.size();
            } else {
                ++scan.at;
            }
        } else {
            ++scan.at;
        }
    }
    return false;
}

/// Whether MySQL reads a second statement; false when its lexer fails first.
bool MySqlReadsTwo(std::string_view text, bool ansiQuotes, bool noBackslashEscapes) {
    Scan scan{text};
    bool inCode = false; // inside /*! ... */
    while (!scan.Done()) {
        const char c = scan.Peek();
        const char next = scan.Peek(1);
        const char after = scan.Peek(2);
        if (IsSpace(c)) {
            ++scan.at;
        } else if (c == '#' || (c == '-' && next == '-' &&
                                (static_cast<unsigned char>(after) <= 0x20 || after == 0x7F))) {
            scan.ToLineEnd(/*returnEnds=*/false);
        } else if (c == '/' && next == '*' && (after == '!' || (after == 'M' && scan.Peek(3) == '!'))) {
            scan.at += after == '!' ? 3 : 4;
            while (std::isdigit(static_cast<unsigned char>(scan.Peek())) != 0) {
                ++scan.at;
            }
            inCode = true;
        } else if (c == '/' && next == '*') {
            const std::size_t close = text.find("*/", scan.at + 2);
            if (close == std::string_view::npos) {
                return false;
            }
            scan.at = close + 2;
        } else if (inCode && c == '*' && next == '/') {
            inCode = false;
            scan.at += 2;
        } else if (c == ';') {
            scan.ended = true;
            ++scan.at;
        } else if (scan.ended) {
            return true;
        } else if (c == '[') {
            return false; // no statement of MySQL's holds one
        } else if (c == '\'' || (c == '"' && !ansiQuotes)) {
            if (!scan.Quoted(c, !noBackslashEscapes)) {
                return false;
            }
        } else if (c == '"' || c == '`') {
            if (!scan.Quoted(c, false)) {
                return false;
            }
        } else if (IdentifierPart(c)) {
            const std::size_t start = scan.at;
            while (!scan.Done() && IdentifierPart(scan.Peek())) {
                ++scan.at;
            }
            const std::string_view word = text.substr(start, scan.at - start);
            // Hexadecimal and bit literals hold digits alone: a backslash fails the text.
            if (scan.Peek() == '\'' && word.size() == 1 && std::strchr("BbXx", word[0]) != nullptr) {
                const std::size_t open = scan.at;
                if (!scan.Quoted('\'', false) ||
                    text.substr(open, scan.at - open).find('\\') != std::string_view::npos) {
                    return false;
                }
            }
        } else {
            ++scan.at;
        }
    }
    return false;
}

/// Whether SQLite reads something after its first statement, or a first statement that writes.
bool SqliteReadsMore(const std::string& text) {
    static sqlite3* database = [] {
        sqlite3* opened = nullptr;
        sqlite3_open(":memory:", &opened);
        sqlite3_exec(opened, "CREATE TABLE customers (id INTEGER)", nullptr, nullptr, nullptr);
        return opened;
    }();
    sqlite3_stmt* first = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(database, text.c_str(), -1, &first, &tail) != SQLITE_OK) {
        return false;
    }
    const bool writes = first != nullptr && sqlite3_stmt_readonly(first) == 0;
    sqlite3_finalize(first);
    sqlite3_stmt* second = nullptr;
    const int rc = sqlite3_prepare_v2(database, tail, -1, &second, nullptr);
    sqlite3_finalize(second);
    return writes || rc != SQLITE_OK || second != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto server = static_cast<ado::QueryServer>(data[0] % 4);
    const std::u16string text =
        automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    const ado::QueryCheck check = ado::CheckSingleQuery(text, server);
    if (!check.IsQuery()) {
        return 0;
    }
    if (!std::u16string_view(text).starts_with(check.statement) ||
        !ado::CheckSingleQuery(check.statement, server).IsQuery()) {
        std::abort();
    }
    // The driver reads the text up to its first NUL.
    std::string sent = automation::ToUtf8(check.statement);
    sent.resize(std::strlen(sent.c_str()));
    const bool any = server == ado::QueryServer::Other;
    if (any || server == ado::QueryServer::PostgreSQL) {
        for (bool standardStrings : {true, false}) {
            if (PostgresReadsTwo(sent, standardStrings)) {
                std::abort();
            }
        }
    }
    if (any || server == ado::QueryServer::MySql) {
        for (int mode = 0; mode < 4; ++mode) {
            if (MySqlReadsTwo(sent, (mode & 1) != 0, (mode & 2) != 0)) {
                std::abort();
            }
        }
    }
    if ((any || server == ado::QueryServer::SQLite) && SqliteReadsMore(sent)) {
        std::abort();
    }
    return 0;
}
