#pragma once

#include "platform/vbscript/internal/Ast.h"
#include "platform/vbscript/internal/Token.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace qv::vbscript {

/// How deeply statements and parenthesised expressions may nest, and how tall an expression tree
/// may grow, before the parser gives up with "Out of stack space": hostile source must never
/// exhaust the native stack of the parser, the compiler or the tree's destructor.
inline constexpr int MaxNestingDepth = 200;
inline constexpr std::uint32_t MaxExpressionHeight = 1000;

/// Hand-written recursive descent over the token list of one chunk. Every fault raises
/// CompileError with the language's number and the offset of the offending token.
class Parser {
public:
    explicit Parser(std::u16string_view source);

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

    std::u16string_view mSource;
    std::vector<Token> mTokens;
    std::size_t mPosition = 0;
    int mDepth = 0;
    ProcedureScope* mScope = nullptr;
    ProcedureScope mTopScope;
};

} // namespace qv::vbscript
