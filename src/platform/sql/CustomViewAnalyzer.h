#pragma once

#include "platform/sql/SqlTokens.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sql {

/// Where one result column of a custom view comes from.
struct ColumnSource {
    bool isAlias = false;       // the select list names the column itself (AS name, or a bare name)
    std::u16string sourceName;  // the select-list expression as written, without its alias
    std::u16string sourceTable; // the table read, by its own name (no alias, no schema); "" when unknown
    std::u16string sourceField; // that table's column, when the expression is a plain column
};

/// Tells, for the result columns of a custom view's SELECT statement, whether each is an alias
/// and which table and field it comes from. Reads the text only and never a database: a column
/// it cannot trace to one table (an expression, a derived table, an unqualified name over a
/// join) has empty source texts. One analyser serves one statement at a time.
class CustomViewAnalyzer {
public:
    /// Reads `sql` by the rules of `dialect` (the database kind: 1 Access, 2 SQL Server, 3 MySQL,
    /// 4 Oracle; any other number reads as Access). True when it is a SELECT (or WITH ...
    /// SELECT) whose select list could be read; the column questions are answered only then.
    bool AnalyzeSql(std::u16string_view sql, std::int16_t dialect);

    /// The source of the result column named `columnName` (matched without regard to case; the
    /// first of equal names wins). Returns whether it is an alias and sets all three texts,
    /// empty where unknown, so that nothing of an earlier column is left in them.
    bool GetColumnSource(std::u16string_view columnName, std::u16string& sourceName,
                         std::u16string& sourceTable, std::u16string& sourceField) const;

    /// The same, typed; nullopt for a name the statement does not return (or before a
    /// successful AnalyzeSql).
    std::optional<ColumnSource> FindColumn(std::u16string_view columnName) const;

private:
    struct Item {
        std::u16string outputName; // alias, column name or expression text
        ColumnSource source;
        bool isStar = false;
        std::u16string starQualifier; // "t" of t.*
    };
    struct TableRef {
        std::u16string name;  // the table's own name; "" for a derived table or a WITH name
        std::u16string alias; // "" when none
    };

    void ParseSelectList(std::size_t begin, std::size_t end);
    std::size_t ParseTableList(std::size_t position, std::size_t end);
    std::size_t ParseTableFactor(std::size_t position, std::size_t end);
    void Resolve();
    const TableRef* FindTable(std::u16string_view qualifier) const;
    const TableRef* OnlyTable() const;

    std::u16string mSql;
    std::vector<SqlToken> mTokens;
    std::vector<std::u16string> mWithNames;
    std::vector<Item> mItems;
    std::vector<TableRef> mTables;
    bool mAnalyzed = false;
};

} // namespace qv::sql
