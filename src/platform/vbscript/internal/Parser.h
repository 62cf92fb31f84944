#pragma once

#include "platform/vbscript/internal/Ast.h"
#include "platform/vbscript/internal/Token.h"
#include "platform/vbscript/library/LibrarySupport.h"

#include "platform/automation/Memory.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::vbscript {

/// How deeply statements and parenthesised expressions may nest, and how tall an expression tree
/// may grow, before the parser gives up with "Out of stack space": hostile source must never
/// exhaust the native stack of the parser, the compiler or the tree's destructor.
inline constexpr int MaxNestingDepth = 200;
inline constexpr std::uint32_t MaxExpressionHeight = 1000;

/// Hand-written recursive descent over the token list of one chunk. Every fault raises
/// CompileError with the language's number and the offset of the offending token.
///
/// Text a script builds and runs may be as long as its strings, so the parser keeps books as it
/// goes: the token list is charged to the memory account while the parser holds it, each node
/// of the tree to `treeCharge`, which the caller keeps as long as the tree (7 past the ceiling),
/// and the run's time-out is checked every so many tokens and nodes. Without `treeCharge` the
/// tree is charged only while the parser lives.
class Parser {
public:
    explicit Parser(std::u16string_view source, library::ResultMeter* treeCharge = nullptr);

    /// A whole chunk: statements, procedures, classes.
    Program ParseProgram();
    /// One expression filling the whole source (Eval).
    ExprPtr ParseStandaloneExpression();

private:
    enum class Context : std::uint8_t { TopLevel, Procedure, SingleLine };

    struct ProcedureScope {
        ProcKind kind = ProcKind::Sub;
        int doDepth = 0;
        int forDepth = 0;
    };

    // Tokens
    const Token& Current() const noexcept { return mTokens[mPosition]; }
    const Token& Ahead(std::size_t count) const noexcept;
    bool Is(TokenKind kind) const noexcept { return Current().kind == kind; }
    bool IsWord(std::u16string_view word) const noexcept;
    bool Accept(TokenKind kind);
    const Token& Expect(TokenKind kind, std::int32_t errorNumber);
    void ExpectWord(std::u16string_view word, std::int32_t errorNumber);
    [[noreturn]] void Fail(std::int32_t errorNumber) const;
    [[noreturn]] void Fail(std::int32_t errorNumber, std::uint32_t offset) const;
    bool AtEndOfStatement() const noexcept;
    void ExpectEndOfStatement();
    void ExpectEndOfStatementInBlock();
    void SkipSeparators();
    std::u16string_view ExpectIdentifier();
    bool AtBlockEnd() const noexcept;

    // Top level and classes
    void ParseTopLevelItem(Program& program);
    Access ParseAccess();
    std::unique_ptr<ProcDecl> ParseProcedure(Access access, bool isDefault, bool inClass);
    std::unique_ptr<ClassDecl> ParseClass();
    void ParseClassMember(ClassDecl& decl);
    void CheckClass(const ClassDecl& decl) const;

    // Statements
    StmtList ParseBlock();
    void ParseForBody(StmtList& body, std::uint32_t& nextOffset);
    void ParseStatementInto(StmtList& list, Context context);
    StmtPtr ParseStatement(Context context);
    StmtPtr ParseCallOrAssign(bool isSet);
    StmtPtr ParseCallKeyword();
    std::unique_ptr<DimStmt> ParseDim(Access access, std::uint32_t offset);
    StmtPtr ParseReDim();
    StmtPtr ParseErase();
    StmtPtr ParseConst(Access access, std::uint32_t offset);
    StmtPtr ParseIf();
    void ParseSingleLineBody(StmtList& body);
    bool AtEndIf() const noexcept;
    StmtPtr ParseSelect();
    StmtPtr ParseFor();
    StmtPtr ParseDo();
    StmtPtr ParseWhile();
    StmtPtr ParseExit();
    StmtPtr ParseWith();
    StmtPtr ParseOnError();
    std::vector<Param> ParseParameters();

    // Expressions
    ExprPtr ParseExpression();
    ExprPtr ParseBinary(int minPrecedence);
    ExprPtr ParseBinaryRest(ExprPtr left, int minPrecedence);
    ExprPtr ParseUnary();
    ExprPtr ParsePrimary();
    ExprPtr ParseParenthesised();
    ExprPtr ParsePostfix(ExprPtr node);
    void ParseArguments(std::vector<ExprPtr>& args, TokenKind closer);
    ExprPtr ParseReference();

    void Enter();
    ExprPtr Grown(ExprPtr node, std::initializer_list<const Expr*> children) const;
    void Leave() noexcept { --mDepth; }

    /// A new node of the tree, charged for its block and its place in the list that holds it
    /// (which grows by doubling).
    template <class T, class... Args> std::unique_ptr<T> Node(Args&&... args) {
        mTreeCharge->Step();
        mTreeCharge->Charge(automation::HeapBlockSize(sizeof(T)) + 2 * sizeof(std::unique_ptr<T>));
        return std::make_unique<T>(std::forward<Args>(args)...);
    }

    /// One more value in a list of the tree (a parameter, a declared name, a bound), charged for
    /// its place in the list as Node charges a node's.
    template <class T> void Item() {
        mTreeCharge->Step();
        mTreeCharge->Charge(2 * sizeof(T));
    }

    std::u16string_view mSource;
    library::ResultMeter mTokenCharge; // before the tokens, so that it outlives them
    library::ResultMeter* mTreeCharge;
    std::vector<Token> mTokens;
    std::size_t mPosition = 0;
    int mDepth = 0;
    ProcedureScope* mScope = nullptr;
    ProcedureScope mTopScope;
};

} // namespace qv::vbscript
