#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qv::vbscript {

// The syntax tree of one chunk of source, made by the Parser and consumed by the Compiler. Names
// view the source text, which outlives the tree. Every node keeps the offset of its first
// character, from which errors get their line and column.

enum class ExprKind : std::uint8_t {
    Literal, // a number, string, date, True/False, Empty, Null or Nothing
    Name,    // a bare identifier
    Member,  // object.name, or .name inside With (object is null)
    Call,    // target(args): a call, an array index or a default-member access
    Me,
    New,    // New ClassName
    Unary,  // -x, Not x
    Binary, // every two-operand operator but &
    Concat, // a & b & c, flattened
    Paren,  // (x): makes a variable argument a by-value one
};

enum class UnaryOp : std::uint8_t { Negate, Not };

enum class BinaryKind : std::uint8_t {
    Power,
    Multiply,
    Divide,
    IntDivide,
    Modulo,
    Add,
    Subtract,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Is,
    And,
    Or,
    Xor,
    Eqv,
    Imp,
};

struct Expr {
    explicit Expr(ExprKind kind, std::uint32_t offset) : kind(kind), offset(offset) {}
    virtual ~Expr() = default;
    ExprKind kind;
    std::uint32_t offset;
    std::uint32_t height = 1; // of the tree below; the parser bounds it
};
using ExprPtr = std::unique_ptr<Expr>;

struct LiteralExpr final : Expr {
    LiteralExpr(std::uint32_t offset, automation::Variant value)
        : Expr(ExprKind::Literal, offset), value(std::move(value)) {}
    automation::Variant value;
};

struct NameExpr final : Expr {
    NameExpr(std::uint32_t offset, std::u16string_view name) : Expr(ExprKind::Name, offset), name(name) {}
    std::u16string_view name;
};

struct MemberExpr final : Expr {
    MemberExpr(std::uint32_t offset, ExprPtr object, std::u16string_view name)
        : Expr(ExprKind::Member, offset), object(std::move(object)), name(name) {}
    ExprPtr object; // null inside With: the With object
    std::u16string_view name;
};

struct CallExpr final : Expr {
    CallExpr(std::uint32_t offset, ExprPtr target)
        : Expr(ExprKind::Call, offset), target(std::move(target)) {}
    ExprPtr target;
    std::vector<ExprPtr> args; // a null entry is an omitted argument
};

struct NewExpr final : Expr {
    NewExpr(std::uint32_t offset, std::u16string_view className)
        : Expr(ExprKind::New, offset), className(className) {}
    std::u16string_view className;
};

struct UnaryExpr final : Expr {
    UnaryExpr(std::uint32_t offset, UnaryOp op, ExprPtr operand)
        : Expr(ExprKind::Unary, offset), op(op), operand(std::move(operand)) {}
    UnaryOp op;
    ExprPtr operand;
};

// A chain such as `1 + 1 + ... + 1` leans left and may hold any number of operands: whatever
// walks it follows the left operands in a loop, never by recursion.
struct BinaryExpr final : Expr {
    BinaryExpr(std::uint32_t offset, BinaryKind op, ExprPtr left, ExprPtr right)
        : Expr(ExprKind::Binary, offset), op(op), left(std::move(left)), right(std::move(right)) {}
    ~BinaryExpr() override {
        ExprPtr next = std::move(left);
        while (next && next->kind == ExprKind::Binary) {
            ExprPtr below = std::move(static_cast<BinaryExpr&>(*next).left);
            next = std::move(below);
        }
    }
    BinaryExpr(const BinaryExpr&) = delete;
    BinaryExpr& operator=(const BinaryExpr&) = delete;
    BinaryKind op;
    ExprPtr left;
    ExprPtr right;
};

struct ConcatExpr final : Expr {
    explicit ConcatExpr(std::uint32_t offset) : Expr(ExprKind::Concat, offset) {}
    std::vector<ExprPtr> parts;
};

struct ParenExpr final : Expr {
    ParenExpr(std::uint32_t offset, ExprPtr inner) : Expr(ExprKind::Paren, offset), inner(std::move(inner)) {}
    ExprPtr inner;
};

struct MeExpr final : Expr {
    explicit MeExpr(std::uint32_t offset) : Expr(ExprKind::Me, offset) {}
};

// ---------------------------------------------------------------------------------------------

enum class StmtKind : std::uint8_t {
    Assign,
    Call,
    Dim,
    ReDim,
    Erase,
    Const,
    If,
    Select,
    For,
    ForEach,
    Do,
    Exit,
    With,
    OnError,
};

struct Stmt {
    Stmt(StmtKind kind, std::uint32_t offset) : kind(kind), offset(offset) {}
    virtual ~Stmt() = default;
    StmtKind kind;
    std::uint32_t offset;
};
using StmtPtr = std::unique_ptr<Stmt>;
using StmtList = std::vector<StmtPtr>;

struct AssignStmt final : Stmt {
    AssignStmt(std::uint32_t offset, ExprPtr target, ExprPtr value, bool isSet)
        : Stmt(StmtKind::Assign, offset), target(std::move(target)), value(std::move(value)), isSet(isSet) {}
    ExprPtr target; // Name, Member or Call
    ExprPtr value;
    bool isSet;
};

/// A call statement: `Foo a, b`, `Call Foo(a, b)`, `obj.Method x`.
struct CallStmt final : Stmt {
    CallStmt(std::uint32_t offset, ExprPtr target)
        : Stmt(StmtKind::Call, offset), target(std::move(target)) {}
    ExprPtr target; // Name, Member (no arguments) or Call
};

enum class Access : std::uint8_t { Default, Public, Private };

struct VarDecl {
    std::u16string_view name;
    std::uint32_t offset = 0;
    bool isArray = false;             // Dim a() or Dim a(3)
    std::vector<std::int32_t> bounds; // upper bounds of a fixed array; empty for a() or a scalar
};

struct DimStmt final : Stmt {
    DimStmt(std::uint32_t offset, Access access) : Stmt(StmtKind::Dim, offset), access(access) {}
    Access access;
    std::vector<VarDecl> vars;
};

struct ReDimItem {
    std::u16string_view name;
    std::uint32_t offset = 0;
    std::vector<ExprPtr> bounds;
};

struct ReDimStmt final : Stmt {
    ReDimStmt(std::uint32_t offset, bool preserve) : Stmt(StmtKind::ReDim, offset), preserve(preserve) {}
    bool preserve;
    std::vector<ReDimItem> items;
};

struct EraseStmt final : Stmt {
    explicit EraseStmt(std::uint32_t offset) : Stmt(StmtKind::Erase, offset) {}
    std::vector<std::pair<std::u16string_view, std::uint32_t>> names;
};

struct ConstItem {
    std::u16string_view name;
    std::uint32_t offset = 0;
    ExprPtr value;
};

struct ConstStmt final : Stmt {
    ConstStmt(std::uint32_t offset, Access access) : Stmt(StmtKind::Const, offset), access(access) {}
    Access access;
    std::vector<ConstItem> items;
};

struct IfBranch {
    ExprPtr condition;
    StmtList body;
};

struct IfStmt final : Stmt {
    explicit IfStmt(std::uint32_t offset) : Stmt(StmtKind::If, offset) {}
    std::vector<IfBranch> branches; // If and each ElseIf
    StmtList elseBody;
};

enum class CaseItemKind : std::uint8_t { Value, Range, Is };

struct CaseItem {
    CaseItemKind kind = CaseItemKind::Value;
    BinaryKind comparison = BinaryKind::Equal; // for Is
    ExprPtr value;
    ExprPtr upper; // for Range
};

struct CaseClause {
    std::uint32_t offset = 0;
    std::vector<CaseItem> items;
    StmtList body;
};

struct SelectStmt final : Stmt {
    explicit SelectStmt(std::uint32_t offset) : Stmt(StmtKind::Select, offset) {}
    ExprPtr subject;
    std::vector<CaseClause> cases;
    bool hasElse = false;
    std::uint32_t elseOffset = 0;
    StmtList elseBody;
};

struct ForStmt final : Stmt {
    explicit ForStmt(std::uint32_t offset) : Stmt(StmtKind::For, offset) {}
    std::u16string_view variable;
    std::uint32_t variableOffset = 0;
    ExprPtr start;
    ExprPtr end;
    ExprPtr step; // may be null: 1
    StmtList body;
    std::uint32_t nextOffset = 0;
};

struct ForEachStmt final : Stmt {
    explicit ForEachStmt(std::uint32_t offset) : Stmt(StmtKind::ForEach, offset) {}
    std::u16string_view variable;
    std::uint32_t variableOffset = 0;
    ExprPtr collection;
    StmtList body;
    std::uint32_t nextOffset = 0;
};

enum class LoopTest : std::uint8_t { None, While, Until };

struct DoStmt final : Stmt {
    explicit DoStmt(std::uint32_t offset) : Stmt(StmtKind::Do, offset) {}
    LoopTest preTest = LoopTest::None;
    ExprPtr preCondition;
    LoopTest postTest = LoopTest::None;
    ExprPtr postCondition;
    std::uint32_t loopOffset = 0;
    bool isWend = false; // While ... Wend: Exit Do passes it by
    StmtList body;
};

enum class ExitKind : std::uint8_t { Do, For, Function, Sub, Property };

struct ExitStmt final : Stmt {
    ExitStmt(std::uint32_t offset, ExitKind what) : Stmt(StmtKind::Exit, offset), what(what) {}
    ExitKind what;
};

struct WithStmt final : Stmt {
    explicit WithStmt(std::uint32_t offset) : Stmt(StmtKind::With, offset) {}
    ExprPtr object;
    StmtList body;
};

struct OnErrorStmt final : Stmt {
    OnErrorStmt(std::uint32_t offset, bool resumeNext)
        : Stmt(StmtKind::OnError, offset), resumeNext(resumeNext) {}
    bool resumeNext;
};

// ---------------------------------------------------------------------------------------------

enum class ProcKind : std::uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct Param {
    std::u16string_view name;
    std::uint32_t offset = 0;
    bool byVal = false; // ByRef is the default
};

struct ProcDecl {
    ProcKind kind = ProcKind::Sub;
    std::u16string_view name;
    std::uint32_t offset = 0;
    Access access = Access::Default;
    bool isDefault = false;
    std::vector<Param> params;
    StmtList body;
};

struct ClassDecl {
    std::u16string_view name;
    std::uint32_t offset = 0;
    std::vector<DimStmt> fields; // Dim, Public and Private variable lines
    std::vector<std::unique_ptr<ProcDecl>> procedures;
};

/// A parsed chunk: its executable top-level statements in order, and its procedures and classes,
/// which exist from the moment the chunk is added, wherever they stand in it.
struct Program {
    bool optionExplicit = false;
    StmtList statements;
    std::vector<std::unique_ptr<ProcDecl>> procedures;
    std::vector<std::unique_ptr<ClassDecl>> classes;
};

} // namespace qv::vbscript
