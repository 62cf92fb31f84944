#include "platform/dao/internal/QueryFields.h"

#include "platform/dao/internal/FindByName.h"

#include "platform/sql/AccessQueryOutline.h"
#include "platform/sql/SqlTokens.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <optional>
#include <tuple>

namespace qv::dao::internal {

namespace {

using automation::EqualsNoCase;
using sql::SqlToken;
using sql::SqlTokenKind;

constexpr std::int32_t TextSize = 255;

// A source of the query under resolution, with its fields when they are known.
struct ScopeSource {
    std::u16string key;
    std::u16string name;
    const std::vector<Field>* fields = nullptr;
};

// What a query's expressions can name: its sources' columns and its own output aliases.
struct Scope {
    std::vector<ScopeSource> sources;
    std::vector<std::u16string> aliases;
    bool complete = true; // every source's fields are known

    const ScopeSource* FindSource(std::u16string_view key) const {
        const auto found = std::find_if(sources.begin(), sources.end(), [&](const ScopeSource& source) {
            return EqualsNoCase(source.key, key);
        });
        return found == sources.end() ? nullptr : &*found;
    }

    // The column `column` of the source `qualifier`, or of the first source that has one.
    std::pair<const ScopeSource*, const Field*> FindColumn(std::u16string_view qualifier,
                                                           std::u16string_view column) const {
        for (const ScopeSource& source : sources) {
            if (!qualifier.empty() && !EqualsNoCase(source.key, qualifier)) {
                continue;
            }
            if (source.fields) {
                if (const Field* field = FindByName(*source.fields, column)) {
                    return {&source, field};
                }
            }
        }
        return {nullptr, nullptr};
    }

    bool IsAlias(std::u16string_view name) const {
        return std::any_of(aliases.begin(), aliases.end(),
                           [&](const std::u16string& alias) { return EqualsNoCase(alias, name); });
    }
};

struct TypedValue {
    std::int16_t type = DataType::Text;
    std::int32_t size = TextSize;
    bool known = false;
};

TypedValue Known(std::int16_t type) {
    return TypedValue{type, DefaultSizeOf(type), true};
}

bool IsTextType(std::int16_t type) {
    return type == DataType::Text || type == DataType::Memo;
}

// Numeric ranks for the usual widening: Byte < Integer < Long < Single < Double.
int RankOf(std::int16_t type) {
    switch (type) {
    case DataType::Byte:
        return 1;
    case DataType::Boolean:
    case DataType::Integer:
        return 2;
    case DataType::Long:
        return 3;
    case DataType::Single:
        return 4;
    default:
        return 5;
    }
}

std::int16_t TypeOfRank(int rank) {
    constexpr std::array<std::int16_t, 6> types{DataType::Double, DataType::Byte,   DataType::Integer,
                                                DataType::Long,   DataType::Single, DataType::Double};
    return types[static_cast<std::size_t>(rank)];
}

// The result of arithmetic on two numbers, as the expression service widens them.
TypedValue Numeric(const TypedValue& a, const TypedValue& b) {
    if (!a.known || !b.known) {
        return Known(DataType::Double);
    }
    if (a.type == DataType::Decimal || b.type == DataType::Decimal) {
        return Known(DataType::Decimal);
    }
    if (a.type == DataType::Currency || b.type == DataType::Currency) {
        const std::int16_t other = a.type == DataType::Currency ? b.type : a.type;
        return Known(other == DataType::Single || other == DataType::Double ? DataType::Double
                                                                            : DataType::Currency);
    }
    return Known(TypeOfRank(std::max(RankOf(a.type), RankOf(b.type))));
}

// How a built-in function's result type is found.
enum class ResultRule { Fixed, FirstArgument, SecondArgument, Sum, Average };

// Built-in functions of the expression service that queries commonly use, grouped by how their
// result type is found; each group's names are sorted for IsKeywordIn. A function not listed
// yields an unknown type.
struct FunctionGroup {
    ResultRule rule;
    std::int16_t type; // for Fixed
    sql::KeywordTable names;
};

constexpr std::u16string_view FirstArgumentFunctions[] = {u"Abs", u"First", u"Fix", u"Int",  u"Last",
                                                          u"Max", u"Min",   u"Nz",  u"Round"};
constexpr std::u16string_view SecondArgumentFunctions[] = {u"IIf"};
constexpr std::u16string_view SumFunctions[] = {u"Sum"};
constexpr std::u16string_view AverageFunctions[] = {u"Avg"};
constexpr std::u16string_view BooleanFunctions[] = {u"CBool"};
constexpr std::u16string_view ByteFunctions[] = {u"CByte"};
constexpr std::u16string_view IntegerFunctions[] = {u"Asc",  u"CInt",    u"DatePart", u"Day",
                                                    u"Hour", u"Minute",  u"Month",    u"Second",
                                                    u"Sgn",  u"Weekday", u"Year"};
constexpr std::u16string_view LongFunctions[] = {u"CLng", u"Count", u"DateDiff", u"InStr", u"Len"};
constexpr std::u16string_view SingleFunctions[] = {u"CSng", u"Rnd"};
constexpr std::u16string_view DoubleFunctions[] = {u"Atn", u"CDbl", u"Cos",   u"Exp",    u"Log",
                                                   u"Sin", u"Sqr",  u"StDev", u"StDevP", u"Tan",
                                                   u"Val", u"Var",  u"VarP"};
constexpr std::u16string_view CurrencyFunctions[] = {u"CCur"};
constexpr std::u16string_view DecimalFunctions[] = {u"CDec"};
constexpr std::u16string_view DateFunctions[] = {u"CDate",      u"CVDate",    u"Date", u"DateAdd",
                                                 u"DateSerial", u"DateValue", u"Now",  u"Time",
                                                 u"TimeSerial", u"TimeValue"};
constexpr std::u16string_view TextFunctions[] = {
    u"Chr",   u"CStr",  u"Format", u"LCase", u"Left",    u"LTrim",  u"Mid",  u"Replace",
    u"Right", u"RTrim", u"Space",  u"Str",   u"StrConv", u"String", u"Trim", u"UCase"};

constexpr std::array FunctionGroups{
    FunctionGroup{ResultRule::FirstArgument, 0, FirstArgumentFunctions},
    FunctionGroup{ResultRule::SecondArgument, 0, SecondArgumentFunctions},
    FunctionGroup{ResultRule::Sum, 0, SumFunctions},
    FunctionGroup{ResultRule::Average, 0, AverageFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Boolean, BooleanFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Byte, ByteFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Integer, IntegerFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Long, LongFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Single, SingleFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Double, DoubleFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Currency, CurrencyFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Decimal, DecimalFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Date, DateFunctions},
    FunctionGroup{ResultRule::Fixed, DataType::Text, TextFunctions},
};
static_assert(std::all_of(FunctionGroups.begin(), FunctionGroups.end(),
                          [](const FunctionGroup& group) { return sql::IsSortedKeywordTable(group.names); }));

const FunctionGroup* FindFunction(std::u16string_view name) {
    const auto found =
        std::find_if(FunctionGroups.begin(), FunctionGroups.end(),
                     [&](const FunctionGroup& group) { return sql::IsKeywordIn(name, group.names); });
    return found == FunctionGroups.end() ? nullptr : &*found;
}

TypedValue ApplyFunction(const FunctionGroup* function, const std::vector<TypedValue>& arguments) {
    if (!function) {
        return {};
    }
    auto argument = [&](std::size_t index) {
        return index < arguments.size() ? arguments[index] : TypedValue{};
    };
    switch (function->rule) {
    case ResultRule::Fixed:
        return Known(function->type);
    case ResultRule::FirstArgument:
        return argument(0);
    case ResultRule::SecondArgument:
        return argument(1);
    case ResultRule::Sum: {
        // Sums keep currency and decimals exact; everything else is summed as a Double.
        const TypedValue value = argument(0);
        if (value.known && (value.type == DataType::Currency || value.type == DataType::Decimal)) {
            return value;
        }
        return Known(DataType::Double);
    }
    case ResultRule::Average: {
        const TypedValue value = argument(0);
        return Known(value.known && value.type == DataType::Currency ? DataType::Currency : DataType::Double);
    }
    }
    return {};
}

// A literal's type: whole numbers are Integer or Long by their size, others Double.
std::int16_t NumberType(std::u16string_view text) {
    if (text.starts_with(u"&")) {
        return DataType::Long;
    }
    if (text.find_first_of(u".eE") != std::u16string_view::npos || text.size() > 9) {
        return DataType::Double;
    }
    std::int32_t value = 0;
    for (const char16_t digit : text) {
        value = value * 10 + (digit - u'0');
    }
    return value <= 32767 ? DataType::Integer : DataType::Long;
}

// Words that are operators or literals, never names of columns.
constexpr std::u16string_view OperatorWords[] = {
    u"And", u"Between", u"Eqv",  u"False", u"Imp", u"In", u"Is",   u"Like", u"Mod",
    u"No",  u"Not",     u"Null", u"Off",   u"On",  u"Or", u"True", u"Xor",  u"Yes",
};
static_assert(sql::IsSortedKeywordTable(OperatorWords));

// The literals among them.
constexpr std::u16string_view BooleanWords[] = {u"False", u"No", u"Off", u"On", u"True", u"Yes"};
static_assert(sql::IsSortedKeywordTable(BooleanWords));

bool IsOperatorWord(const SqlToken& token) {
    return token.IsKeywordIn(OperatorWords);
}

// Binary operators from the loosest to the tightest binding, as the expression service ranks
// them; Not (6) and unary minus (13) are prefixes. "Not" as an infix starts Not Like/In/Between.
struct BinaryOperator {
    std::u16string_view text;
    int precedence;
};

constexpr std::array BinaryOperators{
    BinaryOperator{u"Imp", 1}, BinaryOperator{u"Eqv", 2},     BinaryOperator{u"Xor", 3},
    BinaryOperator{u"Or", 4},  BinaryOperator{u"And", 5},     BinaryOperator{u"=", 7},
    BinaryOperator{u"<>", 7},  BinaryOperator{u"<", 7},       BinaryOperator{u">", 7},
    BinaryOperator{u"<=", 7},  BinaryOperator{u">=", 7},      BinaryOperator{u"Like", 7},
    BinaryOperator{u"Is", 7},  BinaryOperator{u"Between", 7}, BinaryOperator{u"In", 7},
    BinaryOperator{u"Not", 7}, BinaryOperator{u"&", 8},       BinaryOperator{u"+", 9},
    BinaryOperator{u"-", 9},   BinaryOperator{u"Mod", 10},    BinaryOperator{u"\\", 11},
    BinaryOperator{u"*", 12},  BinaryOperator{u"/", 12},      BinaryOperator{u"^", 14},
};

// 0 for a token that is no binary operator.
int PrecedenceOf(const SqlToken& token) {
    for (const BinaryOperator& op : BinaryOperators) {
        if (token.IsSymbol(op.text) || token.IsKeyword(op.text)) {
            return op.precedence;
        }
    }
    return 0;
}

constexpr int NotPrecedence = 6;
constexpr int ComparisonPrecedence = 7;
constexpr int NegationPrecedence = 13;

// Finds the type an expression yields and the names in it that its scope does not supply.
// Tolerant: what it cannot follow yields an unknown type, never an error.
class ExpressionTyper : private sql::SqlTokenCursor {
public:
    ExpressionTyper(std::u16string_view text, const Scope& scope, std::vector<std::u16string>& unresolved)
        : SqlTokenCursor(sql::TokenizeSql(text, sql::SqlDialect::Access).tokens), mScope(scope),
          mUnresolved(unresolved) {}

    TypedValue Run() {
        TypedValue value = Expression(1);
        // Whatever is left over is still scanned for names.
        while (!AtEnd()) {
            Expression(1);
            if (!AtEnd()) {
                Advance();
            }
        }
        return value;
    }

private:
    TypedValue Expression(int minimum) {
        TypedValue left = Prefix(minimum);
        for (;;) {
            const SqlToken& token = Peek();
            const int precedence = PrecedenceOf(token);
            if (precedence == 0 || precedence < minimum) {
                return left;
            }
            Advance();
            if (token.IsKeyword(u"Not")) { // Not Like, Not In, Not Between
                continue;
            }
            if (token.IsKeyword(u"Between")) {
                Expression(ComparisonPrecedence + 1);
                if (Peek().IsKeyword(u"And")) {
                    Advance();
                }
                Expression(ComparisonPrecedence + 1);
                left = Known(DataType::Boolean);
                continue;
            }
            if (token.IsKeyword(u"In")) {
                if (Peek().IsSymbol(u"(")) {
                    Advance();
                    Parenthesised();
                }
                left = Known(DataType::Boolean);
                continue;
            }
            // Binary operators are left-associative, except "^", which binds the same way here.
            const TypedValue right = Expression(precedence + 1);
            left = Combine(token, left, right, precedence);
        }
    }

    TypedValue Prefix(int minimum) {
        const SqlToken& token = Peek();
        if (token.IsKeyword(u"Not") && minimum <= NotPrecedence) {
            Advance();
            Expression(ComparisonPrecedence);
            return Known(DataType::Boolean);
        }
        if (token.IsSymbol(u"-") || token.IsSymbol(u"+")) {
            Advance();
            return Expression(NegationPrecedence);
        }
        return Primary();
    }

    static TypedValue Combine(const SqlToken& op, const TypedValue& a, const TypedValue& b, int precedence) {
        if (precedence <= 5) { // logical operators, bitwise on numbers
            const bool logical =
                (!a.known || a.type == DataType::Boolean) && (!b.known || b.type == DataType::Boolean);
            return Known(logical ? DataType::Boolean : DataType::Long);
        }
        if (precedence == ComparisonPrecedence) {
            return Known(DataType::Boolean);
        }
        if (op.IsSymbol(u"&")) {
            return Known(a.type == DataType::Memo || b.type == DataType::Memo ? DataType::Memo
                                                                              : DataType::Text);
        }
        const bool aDate = a.known && a.type == DataType::Date;
        const bool bDate = b.known && b.type == DataType::Date;
        if (op.IsSymbol(u"+")) {
            if ((a.known && IsTextType(a.type)) || (b.known && IsTextType(b.type))) {
                return Known(DataType::Text);
            }
            if (aDate != bDate) {
                return Known(DataType::Date);
            }
        }
        if (op.IsSymbol(u"-") && (aDate || bDate)) {
            return Known(aDate && bDate ? DataType::Double : DataType::Date);
        }
        if (op.IsSymbol(u"/")) {
            return Known(a.type == DataType::Decimal || b.type == DataType::Decimal ? DataType::Decimal
                                                                                    : DataType::Double);
        }
        if (op.IsSymbol(u"\\") || op.IsKeyword(u"Mod")) {
            const bool small = a.known && b.known && RankOf(a.type) <= 2 && RankOf(b.type) <= 2;
            return Known(small ? DataType::Integer : DataType::Long);
        }
        if (op.IsSymbol(u"^")) {
            return Known(DataType::Double);
        }
        return Numeric(a, b);
    }

    // Moves past a parenthesised list or subquery whose "(" was consumed, scanning the list's
    // items for names (a subquery's names belong to its own scope).
    void Parenthesised() {
        if (Peek().IsKeyword(u"SELECT")) {
            SkipToClose();
            return;
        }
        while (!AtEnd() && !Peek().IsSymbol(u")")) {
            Expression(1);
            // Past the separator, or past what the grammar does not know.
            if (!Peek().IsSymbol(u")")) {
                Advance();
            }
        }
        Advance();
    }

    // Moves past the ")" that closes the "(" just consumed.
    void SkipToClose() { SetPosition(sql::AfterGroup(Tokens(), Position() - 1)); }

    TypedValue Primary() {
        const SqlToken token = Peek();
        switch (token.kind) {
        case SqlTokenKind::Number:
            Advance();
            return Known(NumberType(token.text));
        case SqlTokenKind::String:
            Advance();
            return Known(DataType::Text);
        case SqlTokenKind::Date:
            Advance();
            return Known(DataType::Date);
        case SqlTokenKind::Symbol:
            Advance();
            if (token.IsSymbol(u"(")) {
                if (Peek().IsKeyword(u"SELECT")) {
                    SkipToClose();
                    return {};
                }
                TypedValue inner = Expression(1);
                if (Peek().IsSymbol(u")")) {
                    Advance();
                }
                return inner;
            }
            return {};
        case SqlTokenKind::Word:
        case SqlTokenKind::QuotedName:
            return NameOrCall();
        case SqlTokenKind::End:
            return {};
        }
        return {};
    }

    TypedValue NameOrCall() {
        const SqlToken token = Peek();
        if (token.kind == SqlTokenKind::Word) {
            if (token.IsKeywordIn(BooleanWords)) {
                Advance();
                return Known(DataType::Boolean);
            }
            if (IsOperatorWord(token)) {
                Advance();
                return {};
            }
            if (Peek(1).IsSymbol(u"(")) {
                Advance();
                Advance();
                return Call(FindFunction(token.text));
            }
        }
        return Reference();
    }

    // name "(" [argument {"," argument}] ")", the "(" consumed
    TypedValue Call(const FunctionGroup* function) {
        std::vector<TypedValue> arguments;
        while (!AtEnd() && !Peek().IsSymbol(u")")) {
            if (Peek().IsSymbol(u"*")) { // Count(*)
                Advance();
                continue;
            }
            arguments.push_back(Expression(1));
            // Past the separator, or past what the grammar does not know.
            if (!Peek().IsSymbol(u")")) {
                Advance();
            }
        }
        Advance();
        return ApplyFunction(function, arguments);
    }

    // name {("." | "!") name}: a column, an alias, or a parameter the query asks for.
    TypedValue Reference() {
        const std::size_t begin = Position();
        std::size_t end = begin;
        const std::optional<sql::QualifiedName> reference =
            sql::ReadQualifiedName(Tokens(), end, Tokens().size() - 1, /*allowStar=*/false);
        SetPosition(end);
        if (Peek().IsSymbol(u".") && Peek(1).IsSymbol(u"*")) { // Count(Table.*)
            Advance();
            Advance();
            return {};
        }
        const bool single = end - begin == 1;
        const bool dotted = end - begin == 3 && Tokens()[begin + 1].IsSymbol(u".");
        if (single || dotted) {
            if (auto [source, field] = mScope.FindColumn(reference->qualifier, reference->name); field) {
                return TypedValue{field->type, field->size, true};
            }
            if (single && mScope.IsAlias(reference->name)) {
                return {};
            }
        }
        std::u16string name; // as written, brackets removed: Forms!Orders!Date
        for (std::size_t index = begin; index < end; ++index) {
            name += Tokens()[index].text;
        }
        mUnresolved.push_back(std::move(name));
        return {};
    }

    const Scope& mScope;
    std::vector<std::u16string>& mUnresolved;
};

// "[qualifier.]column" alone, brackets and parentheses around it allowed.
std::optional<std::pair<std::u16string, std::u16string>> AsColumnReference(std::u16string_view expression) {
    const auto tokens = sql::TokenizeSql(expression, sql::SqlDialect::Access).tokens;
    std::size_t begin = 0;
    std::size_t end = tokens.size() - 1; // before End
    while (end - begin >= 3 && tokens[begin].IsSymbol(u"(") && tokens[end - 1].IsSymbol(u")")) {
        ++begin;
        --end;
    }
    std::size_t position = begin;
    const std::optional<sql::QualifiedName> reference =
        sql::ReadQualifiedName(tokens, position, end, /*allowStar=*/true);
    const std::size_t count = end - begin;
    if (!reference || position != end || (count == 1 && IsOperatorWord(tokens[begin])) ||
        (count > 1 && (count != 3 || !tokens[begin + 1].IsSymbol(u".")))) {
        return std::nullopt;
    }
    return std::make_pair(reference->qualifier, reference->name);
}

// The source column's properties with the query column's own on top.
std::vector<Property> MergeProperties(const std::vector<Property>& inherited,
                                      const std::vector<Property>& own) {
    std::vector<Property> merged = inherited;
    for (const Property& property : own) {
        const auto found = std::find_if(merged.begin(), merged.end(), [&](const Property& existing) {
            return EqualsNoCase(existing.name, property.name);
        });
        if (found != merged.end()) {
            found->value = property.value;
        } else {
            merged.push_back(property);
        }
    }
    return merged;
}

const std::vector<Property>* OwnProperties(const std::vector<ColumnProperties>& columns,
                                           std::u16string_view key) {
    const auto found = std::find_if(columns.begin(), columns.end(), [&](const ColumnProperties& column) {
        return EqualsNoCase(column.column, key);
    });
    return found == columns.end() ? nullptr : &found->properties;
}

} // namespace

std::int32_t DefaultSizeOf(std::int16_t type) noexcept {
    switch (type) {
    case DataType::Boolean:
    case DataType::Byte:
        return 1;
    case DataType::Integer:
        return 2;
    case DataType::Long:
    case DataType::Single:
        return 4;
    case DataType::Currency:
    case DataType::Double:
    case DataType::Date:
    case DataType::BigInt:
        return 8;
    case DataType::GUID:
    case DataType::Decimal:
        return 16;
    case DataType::Text:
        return TextSize;
    default:
        return 0;
    }
}

QueryResolver::QueryResolver(const std::vector<TableDef>& tables, const std::vector<PendingQuery>& queries)
    : mTables(tables), mQueries(queries), mStates(queries.size(), State::Pending), mResults(queries.size()) {}

std::vector<ResolvedQuery> QueryResolver::ResolveAll() {
    for (std::size_t query = 0; query < mQueries.size(); ++query) {
        Resolve(query);
    }
    return std::move(mResults);
}

const std::vector<Field>* QueryResolver::FieldsOf(std::u16string_view name) {
    for (const TableDef& table : mTables) {
        if (EqualsNoCase(table.name, name)) {
            return table.IsLinked() ? nullptr : &table.fields;
        }
    }
    for (std::size_t query = 0; query < mQueries.size(); ++query) {
        if (!EqualsNoCase(mQueries[query].name, name)) {
            continue;
        }
        Resolve(query);
        // A query that reaches itself through its sources has no fields to offer itself.
        return mStates[query] == State::Done ? &mResults[query].fields : nullptr;
    }
    return nullptr;
}

void QueryResolver::Resolve(std::size_t query) {
    if (mStates[query] != State::Pending) {
        return;
    }
    mStates[query] = State::Busy;
    const PendingQuery& pending = mQueries[query];
    const QueryDesign& design = pending.design;

    Scope scope;
    for (const QuerySource& source : design.sources) {
        const std::vector<Field>* fields = FieldsOf(source.name);
        scope.complete = scope.complete && fields != nullptr;
        scope.sources.push_back(ScopeSource{source.Key(), source.name, fields});
    }
    for (const QueryColumn& column : design.columns) {
        if (!column.alias.empty()) {
            scope.aliases.push_back(column.alias);
        }
    }

    std::vector<std::u16string> unresolved;
    std::vector<Field> fields;
    std::vector<std::u16string> qualifiers; // the source key of a field read from a source unrenamed
    int expressionNumber = 1000;            // Access names unnamed computed columns Expr1000, Expr1001, ...
    auto addField = [&](Field field, std::u16string qualifier) {
        field.ordinalPosition = static_cast<std::int16_t>(fields.size());
        fields.push_back(std::move(field));
        qualifiers.push_back(std::move(qualifier));
    };

    for (const QueryColumn& column : design.columns) {
        const auto reference = AsColumnReference(column.expression);
        if (reference && reference->second == u"*") {
            for (const ScopeSource& source : scope.sources) {
                if (source.fields &&
                    (reference->first.empty() || EqualsNoCase(source.key, reference->first))) {
                    for (const Field& sourceField : *source.fields) {
                        addField(sourceField, source.key);
                    }
                }
            }
            continue;
        }
        Field field;
        const ScopeSource* source = nullptr;
        const Field* sourceField = nullptr;
        if (reference) {
            std::tie(source, sourceField) = scope.FindColumn(reference->first, reference->second);
        }
        std::u16string qualifier;
        if (sourceField) {
            field = *sourceField;
            if (column.alias.empty()) {
                qualifier = source->key;
            } else {
                field.name = column.alias;
            }
        } else {
            const TypedValue value = ExpressionTyper(column.expression, scope, unresolved).Run();
            field.name = !column.alias.empty() ? column.alias
                         : reference           ? reference->second
                                     : u"Expr" + automation::FromUtf8(std::to_string(expressionNumber++));
            field.type = value.type;
            field.size = value.size;
            field.attributes = DefaultSizeOf(value.type) > 0 && value.type != DataType::Text
                                   ? FieldAttribute::FixedField
                                   : FieldAttribute::VariableField;
        }
        const std::vector<Property>* own = OwnProperties(pending.columnProperties, column.alias);
        if (!own) {
            own = OwnProperties(pending.columnProperties, column.expression);
        }
        if (own) {
            field.properties = MergeProperties(field.properties, *own);
        }
        addField(std::move(field), std::move(qualifier));
    }
    // Two output columns of the same name are told apart by their tables: "Customers.CompanyName".
    std::vector<bool> duplicate(fields.size(), false);
    for (std::size_t index = 0; index < fields.size(); ++index) {
        for (std::size_t other = 0; other < fields.size(); ++other) {
            if (other != index && EqualsNoCase(fields[other].name, fields[index].name)) {
                duplicate[index] = true;
            }
        }
    }
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (duplicate[index] && !qualifiers[index].empty()) {
            fields[index].name = qualifiers[index] + u"." + fields[index].name;
        }
    }

    // Every expression of the design is scanned once for names its sources do not supply.
    unresolved.clear();
    for (const std::u16string& expression : design.expressions) {
        ExpressionTyper(expression, scope, unresolved).Run();
    }

    ResolvedQuery& result = mResults[query];
    result.fields = std::move(fields);
    // Only when every source is known can a name that none supplies be told from a column.
    if (scope.complete && design.type != QueryType::SetOperation) {
        for (std::u16string& name : unresolved) {
            const auto known = [&](const Parameter& parameter) { return EqualsNoCase(parameter.name, name); };
            if (std::none_of(design.parameters.begin(), design.parameters.end(), known) &&
                std::none_of(result.impliedParameters.begin(), result.impliedParameters.end(), known)) {
                result.impliedParameters.push_back(Parameter{std::move(name), DataType::Text});
            }
        }
    }
    mStates[query] = State::Done;
}

} // namespace qv::dao::internal
