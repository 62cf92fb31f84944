#include "platform/dao/internal/QueryDesign.h"

#include "platform/sql/AccessQueryOutline.h"
#include "platform/sql/SqlTokens.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <memory>

namespace qv::dao::internal {

namespace {

using automation::EqualsNoCase;
using sql::QuoteAccessName;

// What a design row describes.
namespace Attribute {
constexpr std::uint8_t Type = 1;
constexpr std::uint8_t Parameter = 2;
constexpr std::uint8_t Flag = 3;
constexpr std::uint8_t RemoteDatabase = 4;
constexpr std::uint8_t Table = 5;
constexpr std::uint8_t Column = 6;
constexpr std::uint8_t Join = 7;
constexpr std::uint8_t Where = 8;
constexpr std::uint8_t GroupBy = 9;
constexpr std::uint8_t Having = 10;
constexpr std::uint8_t OrderBy = 11;
} // namespace Attribute

// Bits of the flag row of a select, make-table, append or delete query.
namespace SelectFlag {
constexpr std::int16_t Star = 0x01;
constexpr std::int16_t Distinct = 0x02;
constexpr std::int16_t OwnerAccess = 0x04;
constexpr std::int16_t DistinctRow = 0x08;
constexpr std::int16_t Top = 0x10;
constexpr std::int16_t Percent = 0x20;
} // namespace SelectFlag

// In a union query the flag row's bit 2 means UNION (duplicates removed); without it, UNION ALL.
constexpr std::int16_t UnionDistinct = 0x02;
// The two halves of a union are table rows whose alias is one of these markers.
constexpr std::u16string_view UnionFirstPart = u"X7YZ_____1";
constexpr std::u16string_view UnionSecondPart = u"X7YZ_____2";

// The role of a crosstab's column rows.
namespace CrosstabRole {
constexpr std::int16_t Value = 0;
constexpr std::int16_t ColumnHeading = 1;
// Row headings are what a crosstab column is when it is neither of the above: never tested for.
[[maybe_unused]] constexpr std::int16_t RowHeading = 2;
} // namespace CrosstabRole

constexpr std::u16string_view NewLine = u"\r\n";

// The query type of the design's type row.
std::optional<std::int16_t> TypeOfTypeRow(std::int16_t flag) {
    switch (flag) {
    case 1:
        return QueryType::Select;
    case 2:
        return QueryType::MakeTable;
    case 3:
        return QueryType::Append;
    case 4:
        return QueryType::Update;
    case 5:
        return QueryType::Delete;
    case 6:
        return QueryType::Crosstab;
    case 7:
        return QueryType::DDL;
    case 8:
        return QueryType::SQLPassThrough;
    case 9:
        return QueryType::SetOperation;
    default:
        return std::nullopt;
    }
}

bool IsKnownType(std::int16_t type) {
    switch (type) {
    case QueryType::Select:
    case QueryType::Crosstab:
    case QueryType::Delete:
    case QueryType::Update:
    case QueryType::Append:
    case QueryType::MakeTable:
    case QueryType::DDL:
    case QueryType::SQLPassThrough:
    case QueryType::SetOperation:
        return true;
    default:
        return false;
    }
}

// The SQL type name of a declared parameter's data type.
std::u16string_view ParameterTypeName(std::int16_t type) {
    switch (type) {
    case DataType::Boolean:
        return u"Bit";
    case DataType::Byte:
        return u"Byte";
    case DataType::Integer:
        return u"Short";
    case DataType::Long:
        return u"Long";
    case DataType::Currency:
        return u"Currency";
    case DataType::Single:
        return u"IEEESingle";
    case DataType::Double:
        return u"IEEEDouble";
    case DataType::Date:
        return u"DateTime";
    case DataType::Binary:
        return u"Binary";
    case DataType::Text:
        return u"Text ( 255 )";
    case DataType::LongBinary:
        return u"LongBinary";
    case DataType::Memo:
        return u"LongText";
    case DataType::GUID:
        return u"Guid";
    case DataType::Decimal:
        return u"Decimal";
    default:
        return u"Value";
    }
}

// A parameter name such as "Forms!Sales Dialog!Start" as SQL writes it: each part bracketed
// where it needs brackets.
std::u16string QuoteParameterName(std::u16string_view name) {
    std::u16string quoted;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bang = name.find(u'!', start);
        quoted += u'[';
        quoted +=
            name.substr(start, bang == std::u16string_view::npos ? std::u16string_view::npos : bang - start);
        quoted += u']';
        if (bang == std::u16string_view::npos) {
            return quoted;
        }
        quoted += u'!';
        start = bang + 1;
    }
}

std::u16string QuoteLiteral(std::u16string_view text) {
    std::u16string quoted = u"'";
    for (const char16_t c : text) {
        quoted += c;
        if (c == u'\'') {
            quoted += c;
        }
    }
    quoted += u'\'';
    return quoted;
}

std::u16string Join(const std::vector<std::u16string>& parts, std::u16string_view separator) {
    std::u16string joined;
    for (const auto& part : parts) {
        if (!joined.empty()) {
            joined += separator;
        }
        joined += part;
    }
    return joined;
}

// A union half as stored: a complete SELECT, maybe with line breaks and a ";" at its end.
std::u16string TrimStatement(std::u16string_view text) {
    auto isTrimmed = [](char16_t c) {
        return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u';';
    };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isTrimmed(text[begin])) {
        ++begin;
    }
    while (end > begin && isTrimmed(text[end - 1])) {
        --end;
    }
    return std::u16string(text.substr(begin, end - begin));
}

// A node of the FROM clause: a table, or a join of two nodes.
struct FromNode {
    std::u16string table; // the table as written, alias included
    std::vector<std::u16string> keys;
    std::unique_ptr<FromNode> left;
    std::unique_ptr<FromNode> right;
    std::u16string_view kind;
    std::vector<std::u16string> conditions;

    bool Contains(std::u16string_view key) const {
        return std::any_of(keys.begin(), keys.end(),
                           [&](const std::u16string& own) { return EqualsNoCase(own, key); });
    }

    // Access writes a join inside another join in parentheses.
    std::u16string Render(bool nested) const {
        if (!left) {
            return table;
        }
        std::u16string text = nested ? u"(" : u"";
        text += left->Render(true);
        text += u' ';
        text += kind;
        text += u" JOIN ";
        text += right->Render(true);
        text += u" ON ";
        if (conditions.size() == 1) {
            text += conditions.front();
        } else {
            for (std::size_t index = 0; index < conditions.size(); ++index) {
                text += index == 0 ? u"(" : u" AND (";
                text += conditions[index];
                text += u')';
            }
        }
        if (nested) {
            text += u')';
        }
        return text;
    }
};

std::u16string_view JoinKind(std::int16_t flag) {
    switch (flag) {
    case 2:
        return u"LEFT";
    case 3:
        return u"RIGHT";
    default:
        return u"INNER";
    }
}

class Rebuilder {
public:
    Rebuilder(std::int16_t type, const std::vector<QueryRow>& rows) : mRows(rows) { mDesign.type = type; }

    QueryDesign Run() {
        ReadParameters();
        switch (mDesign.type) {
        case QueryType::Crosstab:
            mDesign.sql = Parameters() + Crosstab();
            break;
        case QueryType::SetOperation:
            mDesign.sql = Parameters() + Union();
            break;
        case QueryType::Append:
            mDesign.sql = Parameters() + Append();
            break;
        case QueryType::Update:
            mDesign.sql = Parameters() + Update();
            break;
        case QueryType::Delete:
            mDesign.sql = Parameters() + Delete();
            break;
        case QueryType::MakeTable:
            mDesign.sql = Parameters() + Select(/*withInto=*/true);
            break;
        case QueryType::DDL:
        case QueryType::SQLPassThrough:
            // These keep their statement as written, in the type row.
            mDesign.sql = TypeRow() ? TypeRow()->expression : std::u16string();
            return std::move(mDesign);
        default:
            mDesign.sql = Parameters() + Select(/*withInto=*/false);
            break;
        }
        mDesign.sql += u";";
        mDesign.sql += NewLine;
        return std::move(mDesign);
    }

private:
    std::vector<const QueryRow*> Rows(std::uint8_t attribute) const {
        std::vector<const QueryRow*> rows;
        for (const QueryRow& row : mRows) {
            if (row.attribute == attribute) {
                rows.push_back(&row);
            }
        }
        return rows;
    }
    const QueryRow* FirstRow(std::uint8_t attribute) const {
        auto rows = Rows(attribute);
        return rows.empty() ? nullptr : rows.front();
    }
    const QueryRow* TypeRow() const { return FirstRow(Attribute::Type); }
    std::int16_t Flags() const {
        const QueryRow* row = FirstRow(Attribute::Flag);
        return row ? static_cast<std::int16_t>(row->flag) : std::int16_t{0};
    }

    void ReadParameters() {
        for (const QueryRow* row : Rows(Attribute::Parameter)) {
            mDesign.parameters.push_back(Parameter{row->name1, row->flag});
        }
    }

    // PARAMETERS name type, ...;
    std::u16string Parameters() const {
        if (mDesign.parameters.empty()) {
            return {};
        }
        std::vector<std::u16string> declarations;
        for (const Parameter& parameter : mDesign.parameters) {
            declarations.push_back(QuoteParameterName(parameter.name) + u" " +
                                   std::u16string(ParameterTypeName(parameter.type)));
        }
        return u"PARAMETERS " + Join(declarations, u", ") + u";" + std::u16string(NewLine);
    }

    // DISTINCT / DISTINCTROW / TOP n [PERCENT], each followed by a blank.
    std::u16string Predicate() const {
        const std::int16_t flags = Flags();
        std::u16string predicate;
        if (flags & SelectFlag::Distinct) {
            predicate += u"DISTINCT ";
        } else if (flags & SelectFlag::DistinctRow) {
            predicate += u"DISTINCTROW ";
        }
        if (flags & SelectFlag::Top) {
            const QueryRow* row = FirstRow(Attribute::Flag);
            predicate += u"TOP " + row->name1 + u" ";
            if (flags & SelectFlag::Percent) {
                predicate += u"PERCENT ";
            }
        }
        return predicate;
    }

    std::u16string OwnerAccess() const {
        if (Flags() & SelectFlag::OwnerAccess) {
            return std::u16string(NewLine) + u"WITH OWNERACCESS OPTION";
        }
        return {};
    }

    static std::u16string ColumnText(const QueryRow& row) {
        if (row.name1.empty()) {
            return row.expression;
        }
        return row.expression + u" AS " + QuoteAccessName(row.name1);
    }

    // The select list; records the output columns.
    std::u16string SelectList() {
        std::vector<std::u16string> columns;
        if (Flags() & SelectFlag::Star) {
            columns.emplace_back(u"*");
            mDesign.columns.push_back(QueryColumn{u"*", {}});
        }
        for (const QueryRow* row : Rows(Attribute::Column)) {
            columns.push_back(ColumnText(*row));
            AddColumn(row->expression, row->name1);
        }
        return Join(columns, u", ");
    }

    void AddColumn(const std::u16string& expression, const std::u16string& alias) {
        mDesign.columns.push_back(QueryColumn{expression, alias});
        mDesign.expressions.push_back(expression);
    }

    // " IN 'path' [type]" of a query that reads or writes another database.
    static std::u16string InDatabase(const std::u16string& path, const std::u16string& type) {
        if (path.empty() && type.empty()) {
            return {};
        }
        std::u16string text = u" IN " + QuoteLiteral(path);
        if (!type.empty()) {
            text += u" [" + type + u"]";
        }
        return text;
    }

    // "\r\nFROM ..." with the joins nested as Access nests them; records the sources.
    std::u16string From() {
        std::vector<std::unique_ptr<FromNode>> parts;
        for (const QueryRow* row : Rows(Attribute::Table)) {
            if (row->name1.empty()) {
                continue;
            }
            auto node = std::make_unique<FromNode>();
            node->table = QuoteAccessName(row->name1);
            if (!row->name2.empty()) {
                node->table += u" AS " + QuoteAccessName(row->name2);
            }
            mDesign.sources.push_back(QuerySource{row->name1, row->name2});
            node->keys.push_back(mDesign.sources.back().Key());
            parts.push_back(std::move(node));
        }
        for (const QueryRow* row : Rows(Attribute::Join)) {
            AddJoin(parts, *row);
            mDesign.expressions.push_back(row->expression);
        }
        std::vector<std::u16string> rendered;
        rendered.reserve(parts.size());
        for (const auto& part : parts) {
            rendered.push_back(part->Render(false));
        }
        if (rendered.empty()) {
            return {};
        }
        std::u16string from = std::u16string(NewLine) + u"FROM " + Join(rendered, u", ");
        if (const QueryRow* remote = FirstRow(Attribute::RemoteDatabase)) {
            from += InDatabase(remote->name1, remote->expression);
        }
        return from;
    }

    static void AddJoin(std::vector<std::unique_ptr<FromNode>>& parts, const QueryRow& row) {
        auto find = [&](std::u16string_view key) {
            const auto found = std::find_if(parts.begin(), parts.end(),
                                            [&](const auto& part) { return part->Contains(key); });
            return static_cast<std::size_t>(found - parts.begin());
        };
        const std::size_t left = find(row.name1);
        const std::size_t right = find(row.name2);
        // Two conditions on the same pair of tables form one join.
        if (left < parts.size() && left == right) {
            parts[left]->conditions.push_back(row.expression);
            return;
        }
        auto take = [&](std::size_t index, const std::u16string& key) {
            if (index < parts.size()) {
                return std::move(parts[index]);
            }
            auto node = std::make_unique<FromNode>();
            node->table = QuoteAccessName(key);
            node->keys.push_back(key);
            return node;
        };
        auto join = std::make_unique<FromNode>();
        join->left = take(left, row.name1);
        join->right = take(right, row.name2);
        join->kind = JoinKind(row.flag);
        join->conditions.push_back(row.expression);
        join->keys = join->left->keys;
        join->keys.insert(join->keys.end(), join->right->keys.begin(), join->right->keys.end());
        // The join takes the place of the first of its operands.
        const std::size_t position = std::min({left, right, parts.size()});
        std::erase_if(parts, [](const auto& part) { return part == nullptr; });
        parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(std::min(position, parts.size())),
                     std::move(join));
    }

    std::u16string Clause(std::uint8_t attribute, std::u16string_view keyword, std::u16string_view separator,
                          bool skipColumnHeading = false) {
        std::vector<std::u16string> items;
        for (const QueryRow* row : Rows(attribute)) {
            if (skipColumnHeading && row->flag == CrosstabRole::ColumnHeading) {
                continue;
            }
            std::u16string item = row->expression;
            mDesign.expressions.push_back(row->expression);
            if (attribute == Attribute::OrderBy && !row->name1.empty() &&
                (row->name1.front() == u'D' || row->name1.front() == u'd')) {
                item += u" DESC";
            }
            items.push_back(std::move(item));
        }
        if (items.empty()) {
            return {};
        }
        return std::u16string(NewLine) + std::u16string(keyword) + u" " + Join(items, separator);
    }

    std::u16string Criteria() {
        return Clause(Attribute::Where, u"WHERE", u" AND ") + Clause(Attribute::GroupBy, u"GROUP BY", u", ") +
               Clause(Attribute::Having, u"HAVING", u" AND ");
    }

    std::u16string OrderBy() { return Clause(Attribute::OrderBy, u"ORDER BY", u", "); }

    // SELECT [predicate] columns [INTO target] FROM ... [WHERE] [GROUP BY] [HAVING] [ORDER BY]
    std::u16string Select(bool withInto) {
        std::u16string sql = u"SELECT " + Predicate() + SelectList();
        if (withInto) {
            const QueryRow* type = TypeRow();
            if (type) {
                sql += u" INTO " + QuoteAccessName(type->name1) + InDatabase(type->name2, type->expression);
            }
            mDesign.columns.clear(); // a make-table query returns no rows
        }
        sql += From();
        sql += Criteria();
        sql += OrderBy();
        sql += OwnerAccess();
        return sql;
    }

    // TRANSFORM value SELECT row headings FROM ... GROUP BY ... PIVOT column heading
    std::u16string Crosstab() {
        std::u16string transform;
        std::u16string pivot;
        const QueryRow* value = nullptr;
        std::vector<std::u16string> headings;
        for (const QueryRow* row : Rows(Attribute::Column)) {
            switch (row->flag) {
            case CrosstabRole::Value:
                value = row;
                transform = ColumnText(*row);
                mDesign.expressions.push_back(row->expression);
                break;
            case CrosstabRole::ColumnHeading:
                pivot = row->expression;
                mDesign.expressions.push_back(row->expression);
                break;
            default:
                headings.push_back(ColumnText(*row));
                AddColumn(row->expression, row->name1);
                break;
            }
        }
        // A fixed list of column headings ("In (...)") gives the columns the query returns.
        if (value) {
            for (std::u16string& heading : PivotValues(pivot)) {
                mDesign.columns.push_back(QueryColumn{value->expression, std::move(heading)});
            }
        }
        std::u16string sql = u"TRANSFORM " + transform + std::u16string(NewLine) + u"SELECT " + Predicate() +
                             Join(headings, u", ");
        sql += From();
        sql += Clause(Attribute::Where, u"WHERE", u" AND ");
        sql += Clause(Attribute::GroupBy, u"GROUP BY", u", ", /*skipColumnHeading=*/true);
        sql += Clause(Attribute::Having, u"HAVING", u" AND ");
        sql += OrderBy();
        sql += std::u16string(NewLine) + u"PIVOT " + pivot;
        return sql;
    }

    // The values of "expression In (v1, v2, ...)" at the end of a column heading.
    static std::vector<std::u16string> PivotValues(const std::u16string& pivot) {
        const auto tokens = sql::TokenizeSql(pivot, sql::SqlDialect::Access).tokens;
        std::vector<std::u16string> values;
        int depth = 0;
        for (std::size_t index = 0; index < tokens.size(); ++index) {
            const auto& token = tokens[index];
            if (token.IsSymbol(u"(")) {
                ++depth;
            } else if (token.IsSymbol(u")")) {
                --depth;
            } else if (depth == 0 && token.IsKeyword(u"IN") && index + 1 < tokens.size() &&
                       tokens[index + 1].IsSymbol(u"(")) {
                values.clear();
                for (std::size_t item = index + 2; item < tokens.size() && !tokens[item].IsSymbol(u")");
                     ++item) {
                    if (!tokens[item].IsSymbol(u",")) {
                        values.push_back(tokens[item].text);
                    }
                }
            }
        }
        return values;
    }

    // first-part UNION [ALL] second-part [ORDER BY ...]
    std::u16string Union() {
        std::u16string first;
        std::u16string second;
        for (const QueryRow* row : Rows(Attribute::Table)) {
            if (row->name2 == UnionFirstPart) {
                first = TrimStatement(row->expression);
            } else if (row->name2 == UnionSecondPart) {
                second = TrimStatement(row->expression);
            }
        }
        // The columns and sources are those of the first part.
        const sql::AccessQueryOutline outline = sql::OutlineAccessQuery(first);
        for (const auto& column : outline.columns) {
            mDesign.columns.push_back(QueryColumn{column.expression, column.alias});
        }
        for (const auto& source : outline.sources) {
            if (!source.isSubquery) {
                mDesign.sources.push_back(QuerySource{source.name, source.alias});
            }
        }
        std::u16string sql = first + std::u16string(NewLine) + u"UNION ";
        if (!(Flags() & UnionDistinct)) {
            sql += u"ALL ";
        }
        sql += second;
        sql += OrderBy();
        return sql;
    }

    // INSERT INTO target [IN db] (columns) SELECT ... | VALUES (...)
    std::u16string Append() {
        const QueryRow* type = TypeRow();
        std::vector<std::u16string> targets;
        std::vector<std::u16string> values;
        for (const QueryRow* row : Rows(Attribute::Column)) {
            values.push_back(row->expression);
            mDesign.expressions.push_back(row->expression);
            if (!row->name2.empty()) {
                targets.push_back(QuoteAccessName(row->name2));
            }
        }
        std::u16string sql = u"INSERT INTO ";
        if (type) {
            sql += QuoteAccessName(type->name1) + InDatabase(type->name2, type->expression);
        }
        if (!targets.empty() && targets.size() == values.size()) {
            sql += u" (" + Join(targets, u", ") + u")";
        }
        sql += NewLine;
        const std::u16string from = From();
        if (from.empty()) {
            return sql + u"VALUES (" + Join(values, u", ") + u")";
        }
        return sql + u"SELECT " + Predicate() + Join(values, u", ") + from + Criteria() + OrderBy();
    }

    // UPDATE tables SET column = value, ... [WHERE ...]
    std::u16string Update() {
        std::u16string from = From();
        const std::u16string fromPrefix = std::u16string(NewLine) + u"FROM ";
        if (from.starts_with(fromPrefix)) {
            from.erase(0, fromPrefix.size());
        }
        std::vector<std::u16string> assignments;
        for (const QueryRow* row : Rows(Attribute::Column)) {
            assignments.push_back(row->name2 + u" = " + row->expression);
            mDesign.expressions.push_back(row->expression);
        }
        return u"UPDATE " + from + std::u16string(NewLine) + u"SET " + Join(assignments, u", ") + Criteria();
    }

    // DELETE [predicate] columns FROM ... [WHERE ...]
    std::u16string Delete() {
        std::vector<std::u16string> columns;
        for (const QueryRow* row : Rows(Attribute::Column)) {
            columns.push_back(row->expression);
        }
        std::u16string sql = u"DELETE " + Predicate() + Join(columns, u", ");
        if (columns.empty() && !sql.empty() && sql.back() == u' ') {
            sql.pop_back();
        }
        return sql + From() + Criteria();
    }

    const std::vector<QueryRow>& mRows;
    QueryDesign mDesign;
};

} // namespace

std::int16_t QueryTypeOf(const std::vector<QueryRow>& rows, std::int32_t objectFlags) {
    for (const QueryRow& row : rows) {
        if (row.attribute != Attribute::Type) {
            continue;
        }
        if (auto type = TypeOfTypeRow(row.flag)) {
            return *type;
        }
    }
    const auto type = static_cast<std::int16_t>(objectFlags & 0xF0);
    return IsKnownType(type) ? type : QueryType::Select;
}

QueryDesign BuildQueryDesign(std::int16_t type, const std::vector<QueryRow>& rows) {
    return Rebuilder(type, rows).Run();
}

} // namespace qv::dao::internal
