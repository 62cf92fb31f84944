#pragma once

#include "platform/sql/SqlTokens.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qv::sql::internal {

/// The pieces of a SELECT statement that the custom-view and the Access query analysers read
/// alike. Each reads tokens [position, end) of a list from TokenizeSql and never past its End
/// token.

/// The first token from `position` on that stands outside the parentheses opened there and
/// either is a ")" closing an enclosing group or one that `ends` the clause; the End token's
/// index when there is none.
std::size_t FindClauseEnd(const std::vector<SqlToken>& tokens, std::size_t position,
                          bool (*ends)(const SqlToken& token));

/// Whether a token can be an alias written without AS: a quoted name, or a word that is no
/// keyword of a clause, a join or an expression.
bool IsBareAlias(const SqlToken& token) noexcept;

/// [AS] alias after a table: moves `position` past it and returns the alias; "" when none.
std::u16string ReadAlias(const std::vector<SqlToken>& tokens, std::size_t& position, std::size_t end);

/// The index of the alias where the select-list item [begin, end) ends "AS alias" (a name, or a
/// literal as some dialects allow); nullopt otherwise.
std::optional<std::size_t> FindAsAlias(const std::vector<SqlToken>& tokens, std::size_t begin,
                                       std::size_t end) noexcept;

struct SelectModifiers {
    std::size_t end = 0;   // the first token of the select list
    bool distinct = false; // DISTINCT (DISTINCTROW is not)
};

/// The words between SELECT and the first column, from `position` (just after SELECT):
/// DISTINCT [ON (...)], ALL, DISTINCTROW, UNIQUE, MySQL's SQL_... and priority words, and
/// TOP n [PERCENT] [WITH TIES] or TOP (expression).
SelectModifiers SkipSelectModifiers(const std::vector<SqlToken>& tokens, std::size_t position) noexcept;

} // namespace qv::sql::internal
