#include "platform/vbscript/internal/Parser.h"

#include "platform/vbscript/internal/CompileError.h"
#include "platform/vbscript/internal/Lexer.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace qv::vbscript {

using automation::EqualsNoCase;
using automation::Variant;
namespace N = CompileErrorNumber;

namespace {

// Binding strength of the two-operand operators, loosest first. Not (6) sits between them:
// `Not a = b` is `Not (a = b)`. A sign binds tighter than any of them: `-2 ^ 2` is 4.
constexpr int PrecedenceImp = 1;
constexpr int PrecedenceEqv = 2;
constexpr int PrecedenceXor = 3;
constexpr int PrecedenceOr = 4;
constexpr int PrecedenceAnd = 5;
constexpr int PrecedenceNot = 6;
constexpr int PrecedenceCompare = 7;
constexpr int PrecedenceConcat = 8;
constexpr int PrecedenceAdd = 9;
constexpr int PrecedenceMod = 10;
constexpr int PrecedenceIntDivide = 11;
constexpr int PrecedenceMultiply = 12;
constexpr int PrecedencePower = 13;

struct OperatorInfo {
    int precedence = 0; // 0: not a binary operator
    BinaryKind kind = BinaryKind::Add;
    bool isConcat = false;
};

OperatorInfo BinaryOperator(TokenKind kind) {
    switch (kind) {
    case TokenKind::KwImp:
        return {PrecedenceImp, BinaryKind::Imp};
    case TokenKind::KwEqv:
        return {PrecedenceEqv, BinaryKind::Eqv};
    case TokenKind::KwXor:
        return {PrecedenceXor, BinaryKind::Xor};
    case TokenKind::KwOr:
        return {PrecedenceOr, BinaryKind::Or};
    case TokenKind::KwAnd:
        return {PrecedenceAnd, BinaryKind::And};
    case TokenKind::Equal:
        return {PrecedenceCompare, BinaryKind::Equal};
    case TokenKind::NotEqual:
        return {PrecedenceCompare, BinaryKind::NotEqual};
    case TokenKind::Less:
        return {PrecedenceCompare, BinaryKind::Less};
    case TokenKind::LessEqual:
        return {PrecedenceCompare, BinaryKind::LessEqual};
    case TokenKind::Greater:
        return {PrecedenceCompare, BinaryKind::Greater};
    case TokenKind::GreaterEqual:
        return {PrecedenceCompare, BinaryKind::GreaterEqual};
    case TokenKind::KwIs:
        return {PrecedenceCompare, BinaryKind::Is};
    case TokenKind::Ampersand:
        return {PrecedenceConcat, BinaryKind::Add, true};
    case TokenKind::Plus:
        return {PrecedenceAdd, BinaryKind::Add};
    case TokenKind::Minus:
        return {PrecedenceAdd, BinaryKind::Subtract};
    case TokenKind::KwMod:
        return {PrecedenceMod, BinaryKind::Modulo};
    case TokenKind::Backslash:
        return {PrecedenceIntDivide, BinaryKind::IntDivide};
    case TokenKind::Star:
        return {PrecedenceMultiply, BinaryKind::Multiply};
    case TokenKind::Slash:
        return {PrecedenceMultiply, BinaryKind::Divide};
    case TokenKind::Caret:
        return {PrecedencePower, BinaryKind::Power};
    default:
        return {};
    }
}

// RAII for the nesting counter.
class DepthGuard {
public:
    explicit DepthGuard(int& depth) : mDepth(depth) {}
    ~DepthGuard() { --mDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& mDepth;
};

} // namespace

Parser::Parser(std::u16string_view source, library::ResultMeter* treeCharge)
    : mSource(source), mTreeCharge(treeCharge ? treeCharge : &mTokenCharge) {
    mTokens = Lexer(source).Tokenize(mTokenCharge);
    mScope = &mTopScope;
}

// ---------------------------------------------------------------------------------------------
// Tokens

const Token& Parser::Ahead(std::size_t count) const noexcept {
    return mTokens[std::min(mPosition + count, mTokens.size() - 1)];
}

bool Parser::IsWord(std::u16string_view word) const noexcept {
    return Is(TokenKind::Identifier) && EqualsNoCase(Current().text, word);
}

bool Parser::Accept(TokenKind kind) {
    if (!Is(kind)) {
        return false;
    }
    ++mPosition;
    return true;
}

const Token& Parser::Expect(TokenKind kind, std::int32_t errorNumber) {
    if (!Is(kind)) {
        Fail(errorNumber);
    }
    return mTokens[mPosition++];
}

void Parser::ExpectWord(std::u16string_view word, std::int32_t errorNumber) {
    if (!IsWord(word)) {
        Fail(errorNumber);
    }
    ++mPosition;
}

void Parser::Fail(std::int32_t errorNumber) const {
    Fail(errorNumber, Current().offset);
}

void Parser::Fail(std::int32_t errorNumber, std::uint32_t offset) const {
    throw CompileError(errorNumber, offset);
}

bool Parser::AtEndOfStatement() const noexcept {
    switch (Current().kind) {
    case TokenKind::NewLine:
    case TokenKind::Colon:
    case TokenKind::EndOfInput:
    case TokenKind::KwElse:
    case TokenKind::KwEnd:
        return true;
    default:
        return false;
    }
}

void Parser::ExpectEndOfStatement() {
    if (!Is(TokenKind::NewLine) && !Is(TokenKind::Colon) && !Is(TokenKind::EndOfInput)) {
        Fail(N::ExpectedEndOfStatement);
    }
}

// Inside a block the "End" that closes it may follow a statement on the same line
// (`x = 1 End If`, `Call ok(x)End Sub`, `Dim x End Class`).
void Parser::ExpectEndOfStatementInBlock() {
    if (!Is(TokenKind::KwEnd)) {
        ExpectEndOfStatement();
    }
}

void Parser::SkipSeparators() {
    while (Is(TokenKind::NewLine) || Is(TokenKind::Colon)) {
        ++mPosition;
    }
}

std::u16string_view Parser::ExpectIdentifier() {
    return Expect(TokenKind::Identifier, N::ExpectedIdentifier).text;
}

bool Parser::AtBlockEnd() const noexcept {
    switch (Current().kind) {
    case TokenKind::EndOfInput:
    case TokenKind::KwEnd:
    case TokenKind::KwElse:
    case TokenKind::KwElseIf:
    case TokenKind::KwCase:
    case TokenKind::KwLoop:
    case TokenKind::KwNext:
    case TokenKind::KwWend:
        return true;
    default:
        return false;
    }
}

void Parser::Enter() {
    if (++mDepth > MaxNestingDepth) {
        --mDepth;
        Fail(N::TooDeep);
    }
}

ExprPtr Parser::Grown(ExprPtr node, std::initializer_list<const Expr*> children) const {
    std::uint32_t height = 0;
    for (const Expr* child : children) {
        if (child) {
            height = std::max(height, child->height);
        }
    }
    node->height = height + 1;
    if (node->height > MaxExpressionHeight) {
        Fail(N::TooDeep, node->offset);
    }
    return node;
}

// ---------------------------------------------------------------------------------------------
// Top level

Program Parser::ParseProgram() {
    Program program;
    for (;;) {
        SkipSeparators();
        if (Is(TokenKind::EndOfInput)) {
            return program;
        }
        ParseTopLevelItem(program);
        ExpectEndOfStatement();
    }
}

ExprPtr Parser::ParseStandaloneExpression() {
    SkipSeparators();
    ExprPtr expr = ParseExpression();
    SkipSeparators();
    if (!Is(TokenKind::EndOfInput)) {
        Fail(N::ExpectedEndOfStatement);
    }
    return expr;
}

// access := ["Public" | "Private"]
Access Parser::ParseAccess() {
    if (Accept(TokenKind::KwPublic)) {
        return Access::Public;
    }
    if (Accept(TokenKind::KwPrivate)) {
        return Access::Private;
    }
    return Access::Default;
}

// item := "Option" "Explicit" | [access] procedure | "Class" ... | access declaration | statement
void Parser::ParseTopLevelItem(Program& program) {
    std::uint32_t offset = Current().offset;
    if (Accept(TokenKind::KwOption)) {
        ExpectWord(u"Explicit", N::ExpectedIdentifier);
        program.optionExplicit = true;
        return;
    }
    if (Is(TokenKind::KwClass)) {
        program.classes.push_back(ParseClass());
        return;
    }
    Access access = ParseAccess();
    if (IsWord(u"Default") &&
        (Ahead(1).kind == TokenKind::KwSub || Ahead(1).kind == TokenKind::KwFunction ||
         (Ahead(1).kind == TokenKind::Identifier && EqualsNoCase(Ahead(1).text, u"Property")))) {
        Fail(N::MustBeInsideClass);
    }
    if (Is(TokenKind::KwSub) || Is(TokenKind::KwFunction) ||
        (IsWord(u"Property") &&
         (Ahead(1).kind == TokenKind::KwSet || Ahead(1).kind == TokenKind::KwLet ||
          (Ahead(1).kind == TokenKind::Identifier && EqualsNoCase(Ahead(1).text, u"Get"))))) {
        program.procedures.push_back(ParseProcedure(access, false, false));
        return;
    }
    if (access != Access::Default) {
        if (Is(TokenKind::KwConst)) {
            ++mPosition;
            program.statements.push_back(ParseConst(access, offset));
            return;
        }
        if (Is(TokenKind::KwClass)) {
            Fail(N::ExpectedIdentifier);
        }
        program.statements.push_back(ParseDim(access, offset));
        return;
    }
    switch (Current().kind) {
    case TokenKind::KwNext:
        Fail(N::UnexpectedNext);
    case TokenKind::KwLoop:
        Fail(N::LoopWithoutDo);
    case TokenKind::KwEnd:
    case TokenKind::KwElse:
    case TokenKind::KwElseIf:
    case TokenKind::KwCase:
    case TokenKind::KwWend:
        Fail(N::ExpectedStatement);
    default:
        break;
    }
    ParseStatementInto(program.statements, Context::TopLevel);
}

// procedure := ("Sub" | "Function" | "Property" ("Get"|"Let"|"Set")) name ["(" params ")"]
//              block "End" ("Sub" | "Function" | "Property")
std::unique_ptr<ProcDecl> Parser::ParseProcedure(Access access, bool isDefault, bool inClass) {
    auto decl = Node<ProcDecl>();
    decl->offset = Current().offset;
    decl->access = access;
    decl->isDefault = isDefault;
    TokenKind endWord = Current().kind;
    std::int32_t expectedEnd = N::ExpectedSub;
    if (Accept(TokenKind::KwSub)) {
        decl->kind = ProcKind::Sub;
    } else if (Accept(TokenKind::KwFunction)) {
        decl->kind = ProcKind::Function;
        expectedEnd = N::ExpectedFunction;
    } else {
        ++mPosition; // Property
        endWord = TokenKind::Identifier;
        expectedEnd = N::ExpectedProperty;
        if (Accept(TokenKind::KwLet)) {
            decl->kind = ProcKind::PropertyLet;
        } else if (Accept(TokenKind::KwSet)) {
            decl->kind = ProcKind::PropertySet;
        } else if (IsWord(u"Get")) {
            ++mPosition;
            decl->kind = ProcKind::PropertyGet;
        } else {
            Fail(N::ExpectedLetSetGet);
        }
        if (!inClass) {
            Fail(N::MustBeInsideClass, decl->offset);
        }
    }
    if (isDefault && (decl->kind == ProcKind::PropertyLet || decl->kind == ProcKind::PropertySet)) {
        Fail(N::DefaultOnlyOnGet, decl->offset);
    }
    decl->name = ExpectIdentifier();
    bool hasParameterList = Is(TokenKind::LeftParen);
    if (hasParameterList) {
        decl->params = ParseParameters();
    }
    if ((decl->kind == ProcKind::PropertyLet || decl->kind == ProcKind::PropertySet) &&
        decl->params.empty()) {
        Fail(N::PropertyNeedsArgument, decl->offset);
    }
    // After a parameter list the body may start on the same line: `Sub s() x = 1`.
    if (!hasParameterList) {
        ExpectEndOfStatement();
    }

    ProcedureScope scope;
    scope.kind = decl->kind;
    ProcedureScope* outer = std::exchange(mScope, &scope);
    decl->body = ParseBlock();
    mScope = outer;

    Expect(TokenKind::KwEnd, N::ExpectedEnd);
    if (endWord == TokenKind::Identifier) {
        ExpectWord(u"Property", expectedEnd);
    } else {
        Expect(endWord, expectedEnd);
    }
    return decl;
}

// params := [param {"," param}] ; param := ["ByVal" | "ByRef"] name ["(" ")"]
std::vector<Param> Parser::ParseParameters() {
    std::vector<Param> params;
    Expect(TokenKind::LeftParen, N::ExpectedLeftParen);
    if (Accept(TokenKind::RightParen)) {
        return params;
    }
    // The names so far, looked up as each is added: a list of many thousands compared every
    // name with every earlier one.
    std::unordered_set<std::u16string_view, automation::NoCaseHash, automation::NoCaseEqual> names;
    for (;;) {
        Param param;
        if (Accept(TokenKind::KwByVal)) {
            param.byVal = true;
        } else {
            Accept(TokenKind::KwByRef);
        }
        param.offset = Current().offset;
        param.name = ExpectIdentifier();
        if (Accept(TokenKind::LeftParen)) {
            Expect(TokenKind::RightParen, N::ExpectedRightParen);
        }
        if (!names.insert(param.name).second) {
            Fail(N::NameRedefined, param.offset);
        }
        Item<Param>();
        params.push_back(param);
        if (Accept(TokenKind::RightParen)) {
            return params;
        }
        Expect(TokenKind::Comma, N::ExpectedRightParen);
    }
}

// class := "Class" name { member } "End" "Class"
std::unique_ptr<ClassDecl> Parser::ParseClass() {
    auto decl = Node<ClassDecl>();
    decl->offset = Current().offset;
    ++mPosition;
    decl->name = ExpectIdentifier();
    ExpectEndOfStatement();
    for (;;) {
        SkipSeparators();
        if (Is(TokenKind::KwEnd)) {
            ++mPosition;
            Expect(TokenKind::KwClass, N::ExpectedClass);
            break;
        }
        if (Is(TokenKind::EndOfInput)) {
            Fail(N::ExpectedEnd);
        }
        ParseClassMember(*decl);
        ExpectEndOfStatementInBlock();
    }
    CheckClass(*decl);
    return decl;
}

// member := ["Public" ["Default"] | "Private"] (procedure | name list) | "Dim" name list
void Parser::ParseClassMember(ClassDecl& decl) {
    std::uint32_t offset = Current().offset;
    if (Accept(TokenKind::KwDim)) {
        decl.fields.push_back(std::move(*ParseDim(Access::Public, offset)));
        return;
    }
    Access access = ParseAccess();
    bool isDefault = false;
    if (IsWord(u"Default") && Ahead(1).kind != TokenKind::Comma && Ahead(1).kind != TokenKind::LeftParen &&
        Ahead(1).kind != TokenKind::NewLine && Ahead(1).kind != TokenKind::Colon) {
        if (access != Access::Public) {
            Fail(N::DefaultMustBePublic);
        }
        ++mPosition;
        isDefault = true;
    }
    // Inside a class, "Property" followed by a word can only start a property.
    bool isProperty =
        IsWord(u"Property") && (Ahead(1).kind == TokenKind::KwSet || Ahead(1).kind == TokenKind::KwLet ||
                                Ahead(1).kind == TokenKind::Identifier);
    if (Is(TokenKind::KwSub) || Is(TokenKind::KwFunction) || isProperty) {
        decl.procedures.push_back(ParseProcedure(access, isDefault, true));
        return;
    }
    if (isDefault) {
        Fail(N::DefaultOnlyOnMember);
    }
    if (access == Access::Default) {
        Fail(N::ExpectedStatement);
    }
    decl.fields.push_back(std::move(*ParseDim(access, offset)));
}

void Parser::CheckClass(const ClassDecl& decl) const {
    const ProcDecl* defaultMember = nullptr;
    for (const auto& proc : decl.procedures) {
        if (proc->isDefault) {
            if (defaultMember) {
                Fail(N::MultipleDefaults, proc->offset);
            }
            defaultMember = proc.get();
        }
        if ((EqualsNoCase(proc->name, u"Class_Initialize") || EqualsNoCase(proc->name, u"Class_Terminate")) &&
            !proc->params.empty()) {
            Fail(N::InitializeWithArguments, proc->offset);
        }
    }
    // A property's Let and Set take one argument more than its Get. The first Get (in order) that
    // some Let or Set of its name disagrees with fails at the first of those: per name, the first
    // Let or Set and the first that differs from it in its count answer for every Get at once,
    // where comparing each Get with every procedure took minutes for a class of many properties.
    struct Setters {
        const ProcDecl* first = nullptr;
        const ProcDecl* firstOther = nullptr; // the first whose count differs from the first's
    };
    std::unordered_map<std::u16string_view, Setters, automation::NoCaseHash, automation::NoCaseEqual> setters;
    for (const auto& proc : decl.procedures) {
        mTreeCharge->Step();
        if (proc->kind != ProcKind::PropertyLet && proc->kind != ProcKind::PropertySet) {
            continue;
        }
        Setters& named = setters[proc->name];
        if (!named.first) {
            named.first = proc.get();
        } else if (!named.firstOther && proc->params.size() != named.first->params.size()) {
            named.firstOther = proc.get();
        }
    }
    for (const auto& proc : decl.procedures) {
        if (proc->kind != ProcKind::PropertyGet) {
            continue;
        }
        auto named = setters.find(proc->name);
        if (named == setters.end()) {
            continue;
        }
        const std::size_t expected = proc->params.size() + 1;
        const ProcDecl* other = named->second.first;
        if (other->params.size() == expected) {
            other = named->second.firstOther;
        }
        if (other) {
            Fail(N::InconsistentPropertyArguments, other->offset);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Statements

// block := { statement separator } up to a word that ends the enclosing construct
StmtList Parser::ParseBlock() {
    Enter();
    DepthGuard guard(mDepth);
    StmtList list;
    for (;;) {
        SkipSeparators();
        if (AtBlockEnd()) {
            return list;
        }
        ParseStatementInto(list, Context::Procedure);
        ExpectEndOfStatementInBlock();
    }
}

void Parser::ParseStatementInto(StmtList& list, Context context) {
    StmtPtr statement = ParseStatement(context);
    if (statement) {
        list.push_back(std::move(statement));
    }
}

StmtPtr Parser::ParseStatement(Context context) {
    std::uint32_t offset = Current().offset;
    switch (Current().kind) {
    case TokenKind::Identifier:
    case TokenKind::KwMe:
    case TokenKind::Dot:
        return ParseCallOrAssign(false);
    case TokenKind::KwSet:
        ++mPosition;
        return ParseCallOrAssign(true);
    case TokenKind::KwLet:
        ++mPosition;
        return ParseCallOrAssign(false);
    case TokenKind::KwCall:
        return ParseCallKeyword();
    case TokenKind::KwDim:
        ++mPosition;
        return ParseDim(Access::Default, offset);
    case TokenKind::KwReDim:
        return ParseReDim();
    case TokenKind::KwErase:
        return ParseErase();
    case TokenKind::KwConst:
        ++mPosition;
        return ParseConst(Access::Default, offset);
    case TokenKind::KwIf:
        return ParseIf();
    case TokenKind::KwExit:
        return ParseExit();
    case TokenKind::KwOn:
        return ParseOnError();
    case TokenKind::KwStop:
        ++mPosition; // a breakpoint for a debugger; there is none
        return nullptr;
    default:
        break;
    }
    if (context == Context::SingleLine) {
        Fail(N::ExpectedStatement);
    }
    switch (Current().kind) {
    case TokenKind::KwSelect:
        return ParseSelect();
    case TokenKind::KwFor:
        return ParseFor();
    case TokenKind::KwDo:
        return ParseDo();
    case TokenKind::KwWhile:
        return ParseWhile();
    case TokenKind::KwWith:
        return ParseWith();
    case TokenKind::KwNext:
        Fail(N::UnexpectedNext);
    case TokenKind::KwLoop:
        Fail(N::LoopWithoutDo);
    default:
        Fail(N::ExpectedStatement);
    }
}

// reference := (name | "Me" | "." name | "(" expr ")") { "." name | "(" args ")" }
// A ".name" outside any With is error 505 when it runs, not when it compiles.
ExprPtr Parser::ParseReference() {
    std::uint32_t offset = Current().offset;
    ExprPtr node;
    if (Is(TokenKind::Identifier)) {
        node = Node<NameExpr>(offset, Current().text);
        ++mPosition;
    } else if (Accept(TokenKind::KwMe)) {
        node = Node<MeExpr>(offset);
    } else if (Is(TokenKind::LeftParen)) {
        node = ParseParenthesised();
    } else if (Is(TokenKind::Dot)) {
        ++mPosition;
        std::u16string_view name = ExpectIdentifier();
        node = Node<MemberExpr>(offset, nullptr, name);
    } else {
        Fail(N::ExpectedStatement);
    }
    return ParsePostfix(std::move(node));
}

// assignment := ["Set"] reference "=" expression
// call       := reference [argument {"," argument}]
// A statement call takes no parentheses around its argument list: `Foo (a), b` passes the
// value of (a) and b; `Foo(a)` passes (a) by value; `Foo(a, b)` is error 1044.
StmtPtr Parser::ParseCallOrAssign(bool isSet) {
    std::uint32_t offset = Current().offset;
    ExprPtr target = ParseReference();
    if (Accept(TokenKind::Equal)) {
        if (target->kind == ExprKind::Me) {
            Fail(N::InvalidUseOfMe, target->offset);
        }
        ExprPtr value = ParseExpression();
        return Node<AssignStmt>(offset, std::move(target), std::move(value), isSet);
    }
    if (isSet) {
        Fail(N::ExpectedEqual);
    }
    if (AtEndOfStatement()) {
        if (target->kind == ExprKind::Call) {
            auto& call = static_cast<CallExpr&>(*target);
            if (call.args.size() > 1) {
                Fail(N::ParenthesesCallingSub, call.offset);
            }
            if (call.args.size() == 1 && call.args[0] && call.target->kind != ExprKind::Call) {
                std::uint32_t argOffset = call.args[0]->offset;
                call.args[0] = Grown(Node<ParenExpr>(argOffset, std::move(call.args[0])), {});
            }
        }
        return Node<CallStmt>(offset, std::move(target));
    }
    // Arguments follow. A trailing "(x)" on the reference was the start of the first argument.
    ExprPtr callee = std::move(target);
    auto call = Node<CallExpr>(offset, nullptr);
    if (callee->kind == ExprKind::Call) {
        auto& parens = static_cast<CallExpr&>(*callee);
        if (parens.args.size() != 1 || !parens.args[0]) {
            Fail(N::ParenthesesCallingSub, parens.offset);
        }
        std::uint32_t argOffset = parens.args[0]->offset;
        ExprPtr first = Node<ParenExpr>(argOffset, std::move(parens.args[0]));
        first->height = 2;
        first = ParseBinaryRest(std::move(first), 1);
        callee = std::move(parens.target);
        call->args.push_back(std::move(first));
        if (Accept(TokenKind::Comma)) {
            ParseArguments(call->args, TokenKind::EndOfInput);
        }
    } else {
        ParseArguments(call->args, TokenKind::EndOfInput);
    }
    if (callee->kind == ExprKind::Me) {
        Fail(N::InvalidUseOfMe, callee->offset);
    }
    call->target = std::move(callee);
    return Node<CallStmt>(offset, std::move(call));
}

// call := "Call" reference
StmtPtr Parser::ParseCallKeyword() {
    std::uint32_t offset = Current().offset;
    ++mPosition;
    ExprPtr target = ParseReference();
    if (target->kind == ExprKind::Me) {
        Fail(N::InvalidUseOfMe, target->offset);
    }
    if (!AtEndOfStatement()) {
        Fail(N::ExpectedEndOfStatement);
    }
    return Node<CallStmt>(offset, std::move(target));
}

// dim := name ["(" [integer {"," integer}] ")"] {"," ...}
std::unique_ptr<DimStmt> Parser::ParseDim(Access access, std::uint32_t offset) {
    auto dim = Node<DimStmt>(offset, access);
    for (;;) {
        VarDecl var;
        var.offset = Current().offset;
        var.name = ExpectIdentifier();
        if (Accept(TokenKind::LeftParen)) {
            var.isArray = true;
            if (!Accept(TokenKind::RightParen)) {
                for (;;) {
                    const Token& bound = Current();
                    if (bound.kind != TokenKind::Literal ||
                        (bound.value.Type() != automation::VarType::Integer &&
                         bound.value.Type() != automation::VarType::Long)) {
                        Fail(N::ExpectedIntegerConstant);
                    }
                    Item<std::int32_t>();
                    var.bounds.push_back(bound.value.Type() == automation::VarType::Integer
                                             ? bound.value.IntegerValue()
                                             : bound.value.LongValue());
                    ++mPosition;
                    if (Accept(TokenKind::RightParen)) {
                        break;
                    }
                    Expect(TokenKind::Comma, N::ExpectedRightParen);
                }
            }
        }
        Item<VarDecl>();
        dim->vars.push_back(std::move(var));
        if (!Accept(TokenKind::Comma)) {
            return dim;
        }
    }
}

// redim := "ReDim" ["Preserve"] name "(" expr {"," expr} ")" {"," ...}
StmtPtr Parser::ParseReDim() {
    std::uint32_t offset = Current().offset;
    ++mPosition;
    bool preserve = false;
    if (IsWord(u"Preserve") && Ahead(1).kind == TokenKind::Identifier) {
        ++mPosition;
        preserve = true;
    }
    auto redim = Node<ReDimStmt>(offset, preserve);
    for (;;) {
        ReDimItem item;
        item.offset = Current().offset;
        item.name = ExpectIdentifier();
        Expect(TokenKind::LeftParen, N::ExpectedLeftParen);
        for (;;) {
            item.bounds.push_back(ParseExpression());
            if (Accept(TokenKind::RightParen)) {
                break;
            }
            Expect(TokenKind::Comma, N::ExpectedRightParen);
        }
        Item<ReDimItem>();
        redim->items.push_back(std::move(item));
        if (!Accept(TokenKind::Comma)) {
            return redim;
        }
    }
}

// erase := "Erase" name {"," name}
StmtPtr Parser::ParseErase() {
    auto erase = Node<EraseStmt>(Current().offset);
    ++mPosition;
    for (;;) {
        std::uint32_t offset = Current().offset;
        Item<std::pair<std::u16string_view, std::uint32_t>>();
        erase->names.emplace_back(ExpectIdentifier(), offset);
        if (!Accept(TokenKind::Comma)) {
            return erase;
        }
    }
}

// const := "Const" name "=" expression {"," name "=" expression}
StmtPtr Parser::ParseConst(Access access, std::uint32_t offset) {
    auto constant = Node<ConstStmt>(offset, access);
    for (;;) {
        ConstItem item;
        item.offset = Current().offset;
        item.name = ExpectIdentifier();
        Expect(TokenKind::Equal, N::ExpectedEqual);
        item.value = ParseExpression();
        Item<ConstItem>();
        constant->items.push_back(std::move(item));
        if (!Accept(TokenKind::Comma)) {
            return constant;
        }
    }
}

// if := "If" expr "Then" (line-body ["Else" line-body] ["End" "If"]
//       | block {"ElseIf" expr "Then" block} ["Else" block] "End" "If")
// A colon right after Then starts the single-line form, which may be empty (`If c Then :`).
StmtPtr Parser::ParseIf() {
    auto statement = Node<IfStmt>(Current().offset);
    ++mPosition;
    IfBranch first;
    first.condition = ParseExpression();
    Expect(TokenKind::KwThen, N::ExpectedThen);
    if (!Is(TokenKind::NewLine) && !Is(TokenKind::EndOfInput)) {
        // The single-line form runs to the end of the line, or to an "End If" on it.
        Enter();
        DepthGuard guard(mDepth);
        ParseSingleLineBody(first.body);
        statement->branches.push_back(std::move(first));
        if (Accept(TokenKind::KwElse)) {
            ParseSingleLineBody(statement->elseBody);
        }
        if (AtEndIf()) {
            mPosition += 2;
        }
        return statement;
    }
    first.body = ParseBlock();
    statement->branches.push_back(std::move(first));
    for (;;) {
        if (Accept(TokenKind::KwElseIf)) {
            IfBranch branch;
            branch.condition = ParseExpression();
            Expect(TokenKind::KwThen, N::ExpectedThen);
            branch.body = ParseBlock();
            Item<IfBranch>();
            statement->branches.push_back(std::move(branch));
            continue;
        }
        if (Accept(TokenKind::KwElse)) {
            statement->elseBody = ParseBlock();
            Expect(TokenKind::KwEnd, N::ExpectedEnd);
            Expect(TokenKind::KwIf, N::ExpectedIf);
            return statement;
        }
        Expect(TokenKind::KwEnd, N::ExpectedEnd);
        Expect(TokenKind::KwIf, N::ExpectedIf);
        return statement;
    }
}

// line-body := [statement] {":" [statement]}, up to the line break, Else or End
void Parser::ParseSingleLineBody(StmtList& body) {
    for (;;) {
        while (Accept(TokenKind::Colon)) {
        }
        if (Is(TokenKind::NewLine) || Is(TokenKind::EndOfInput) || Is(TokenKind::KwElse) ||
            Is(TokenKind::KwEnd)) {
            return;
        }
        ParseStatementInto(body, Context::SingleLine);
        if (Is(TokenKind::KwElse) || Is(TokenKind::NewLine) || Is(TokenKind::EndOfInput) ||
            Is(TokenKind::KwEnd)) {
            return;
        }
        Expect(TokenKind::Colon, N::ExpectedEndOfStatement);
    }
}

bool Parser::AtEndIf() const noexcept {
    return Is(TokenKind::KwEnd) && Ahead(1).kind == TokenKind::KwIf;
}

// select := "Select" "Case" expr { "Case" (items | "Else") block } "End" "Select"
// item   := expr ["To" expr] | "Is" comparison expr
StmtPtr Parser::ParseSelect() {
    auto statement = Node<SelectStmt>(Current().offset);
    ++mPosition;
    Expect(TokenKind::KwCase, N::ExpectedCase);
    statement->subject = ParseExpression();
    ExpectEndOfStatement();
    SkipSeparators();
    while (Is(TokenKind::KwCase)) {
        std::uint32_t caseOffset = Current().offset;
        ++mPosition;
        if (Accept(TokenKind::KwElse)) {
            statement->hasElse = true;
            statement->elseOffset = caseOffset;
            statement->elseBody = ParseBlock();
            break;
        }
        CaseClause clause;
        clause.offset = caseOffset;
        for (;;) {
            CaseItem item;
            if (Accept(TokenKind::KwIs)) {
                OperatorInfo info = BinaryOperator(Current().kind);
                if (info.precedence != PrecedenceCompare || info.kind == BinaryKind::Is) {
                    Fail(N::SyntaxError);
                }
                ++mPosition;
                item.kind = CaseItemKind::Is;
                item.comparison = info.kind;
                item.value = ParseExpression();
            } else {
                item.value = ParseExpression();
                if (Accept(TokenKind::KwTo)) {
                    item.kind = CaseItemKind::Range;
                    item.upper = ParseExpression();
                }
            }
            Item<CaseItem>();
            clause.items.push_back(std::move(item));
            if (!Accept(TokenKind::Comma)) {
                break;
            }
        }
        clause.body = ParseBlock();
        Item<CaseClause>();
        statement->cases.push_back(std::move(clause));
    }
    Expect(TokenKind::KwEnd, N::ExpectedEnd);
    Expect(TokenKind::KwSelect, N::ExpectedSelect);
    return statement;
}

// for-body := end-of-statement block "Next" [name]; closes the loop that ParseFor opened.
void Parser::ParseForBody(StmtList& body, std::uint32_t& nextOffset) {
    ExpectEndOfStatement();
    body = ParseBlock();
    nextOffset = Current().offset;
    Expect(TokenKind::KwNext, N::ExpectedNext);
    if (Is(TokenKind::Identifier)) {
        ++mPosition; // `Next x`: the name is only a reminder
    }
    --mScope->forDepth;
}

// for := "For" name "=" expr "To" expr ["Step" expr] block "Next"
//      | "For" "Each" name "In" expr block "Next"
StmtPtr Parser::ParseFor() {
    std::uint32_t offset = Current().offset;
    ++mPosition;
    ++mScope->forDepth;
    if (Accept(TokenKind::KwEach)) {
        auto statement = Node<ForEachStmt>(offset);
        statement->variableOffset = Current().offset;
        statement->variable = ExpectIdentifier();
        Expect(TokenKind::KwIn, N::ExpectedIn);
        statement->collection = ParseExpression();
        ParseForBody(statement->body, statement->nextOffset);
        return statement;
    }
    auto statement = Node<ForStmt>(offset);
    statement->variableOffset = Current().offset;
    if (!Is(TokenKind::Identifier)) {
        Fail(Is(TokenKind::KwMe) ? N::InvalidForVariable : N::ExpectedIdentifier);
    }
    statement->variable = Current().text;
    ++mPosition;
    if (Is(TokenKind::LeftParen) || Is(TokenKind::Dot)) {
        Fail(N::InvalidForVariable);
    }
    Expect(TokenKind::Equal, N::ExpectedEqual);
    statement->start = ParseExpression();
    Expect(TokenKind::KwTo, N::ExpectedTo);
    statement->end = ParseExpression();
    if (IsWord(u"Step")) {
        ++mPosition;
        statement->step = ParseExpression();
    }
    ParseForBody(statement->body, statement->nextOffset);
    return statement;
}

// do := "Do" [("While"|"Until") expr] block "Loop" [("While"|"Until") expr]
StmtPtr Parser::ParseDo() {
    auto statement = Node<DoStmt>(Current().offset);
    ++mPosition;
    if (Accept(TokenKind::KwWhile)) {
        statement->preTest = LoopTest::While;
        statement->preCondition = ParseExpression();
    } else if (Accept(TokenKind::KwUntil)) {
        statement->preTest = LoopTest::Until;
        statement->preCondition = ParseExpression();
    } else if (!Is(TokenKind::NewLine) && !Is(TokenKind::Colon) && !Is(TokenKind::EndOfInput)) {
        Fail(N::ExpectedWhileUntilOrEnd);
    }
    ExpectEndOfStatement();
    ++mScope->doDepth;
    statement->body = ParseBlock();
    --mScope->doDepth;
    statement->loopOffset = Current().offset;
    Expect(TokenKind::KwLoop, N::ExpectedLoop);
    if (statement->preTest == LoopTest::None) {
        if (Accept(TokenKind::KwWhile)) {
            statement->postTest = LoopTest::While;
            statement->postCondition = ParseExpression();
        } else if (Accept(TokenKind::KwUntil)) {
            statement->postTest = LoopTest::Until;
            statement->postCondition = ParseExpression();
        }
    }
    return statement;
}

// while := "While" expr block "Wend"
StmtPtr Parser::ParseWhile() {
    auto statement = Node<DoStmt>(Current().offset);
    ++mPosition;
    statement->preTest = LoopTest::While;
    statement->preCondition = ParseExpression();
    ExpectEndOfStatement();
    statement->isWend = true;
    statement->body = ParseBlock();
    statement->loopOffset = Current().offset;
    Expect(TokenKind::KwWend, N::ExpectedWend);
    return statement;
}

// exit := "Exit" ("Do" | "For" | "Function" | "Sub" | "Property")
StmtPtr Parser::ParseExit() {
    std::uint32_t offset = Current().offset;
    ++mPosition;
    bool inProcedure = mScope != &mTopScope;
    ExitKind what = ExitKind::Do;
    bool valid = false;
    if (Is(TokenKind::KwDo)) {
        what = ExitKind::Do;
        valid = mScope->doDepth > 0;
    } else if (Is(TokenKind::KwFor)) {
        what = ExitKind::For;
        valid = mScope->forDepth > 0;
    } else if (Is(TokenKind::KwFunction)) {
        what = ExitKind::Function;
        valid = inProcedure && mScope->kind == ProcKind::Function;
    } else if (Is(TokenKind::KwSub)) {
        what = ExitKind::Sub;
        valid = inProcedure && mScope->kind == ProcKind::Sub;
    } else if (IsWord(u"Property")) {
        what = ExitKind::Property;
        valid = inProcedure && mScope->kind != ProcKind::Sub && mScope->kind != ProcKind::Function;
    } else {
        Fail(N::InvalidExit);
    }
    if (!valid) {
        Fail(N::InvalidExit, offset);
    }
    ++mPosition;
    return Node<ExitStmt>(offset, what);
}

// with := "With" expr block "End" "With"
StmtPtr Parser::ParseWith() {
    auto statement = Node<WithStmt>(Current().offset);
    ++mPosition;
    statement->object = ParseExpression();
    ExpectEndOfStatement();
    statement->body = ParseBlock();
    Expect(TokenKind::KwEnd, N::ExpectedEnd);
    Expect(TokenKind::KwWith, N::ExpectedWith);
    return statement;
}

// on-error := "On" "Error" ("Resume" "Next" | "GoTo" "0")
StmtPtr Parser::ParseOnError() {
    std::uint32_t offset = Current().offset;
    ++mPosition;
    ExpectWord(u"Error", N::SyntaxError);
    if (IsWord(u"Resume")) {
        ++mPosition;
        Expect(TokenKind::KwNext, N::SyntaxError);
        return Node<OnErrorStmt>(offset, true);
    }
    ExpectWord(u"GoTo", N::SyntaxError);
    const Token& target = Current();
    if (target.kind != TokenKind::Literal || !target.value.IsNumeric() ||
        (target.value.Type() == automation::VarType::Integer ? target.value.IntegerValue() != 0 : true)) {
        Fail(N::SyntaxError);
    }
    ++mPosition;
    return Node<OnErrorStmt>(offset, false);
}

// ---------------------------------------------------------------------------------------------
// Expressions

ExprPtr Parser::ParseExpression() {
    return ParseBinary(PrecedenceImp);
}

// binary := unary { operator binary-of-higher-precedence }; all operators associate to the left,
// and a run of "&" becomes one many-operand Concat node.
ExprPtr Parser::ParseBinary(int minPrecedence) {
    Enter();
    DepthGuard guard(mDepth);
    ExprPtr left = ParseUnary();
    return ParseBinaryRest(std::move(left), minPrecedence);
}

ExprPtr Parser::ParseBinaryRest(ExprPtr left, int minPrecedence) {
    for (;;) {
        OperatorInfo info = BinaryOperator(Current().kind);
        if (info.precedence == 0 || info.precedence < minPrecedence) {
            return left;
        }
        std::uint32_t offset = Current().offset;
        ++mPosition;
        ExprPtr right = ParseBinary(info.precedence + 1);
        if (info.isConcat) {
            if (left->kind != ExprKind::Concat) {
                auto concat = Node<ConcatExpr>(left->offset);
                concat->height = left->height + 1;
                concat->parts.push_back(std::move(left));
                left = std::move(concat);
            }
            auto& concat = static_cast<ConcatExpr&>(*left);
            concat.height = std::max(concat.height, right->height + 1);
            concat.parts.push_back(std::move(right));
            continue;
        }
        // The left operand adds no height: a flat chain of any length is walked in a loop, so only
        // what nests to the right (and parentheses) is bounded.
        std::uint32_t height = std::max(left->height, right->height + 1);
        left = Node<BinaryExpr>(offset, info.kind, std::move(left), std::move(right));
        left->height = height;
        if (height > MaxExpressionHeight) {
            Fail(N::TooDeep, offset);
        }
    }
}

// unary := "Not" binary(comparison) | "-" unary | "+" unary | primary
// A sign takes only what follows it directly, so that it binds tighter than "^": -3 ^ 2 is 9.
ExprPtr Parser::ParseUnary() {
    std::uint32_t offset = Current().offset;
    if (Accept(TokenKind::KwNot)) {
        ExprPtr operand = ParseBinary(PrecedenceNot + 1);
        const Expr* raw = operand.get();
        return Grown(Node<UnaryExpr>(offset, UnaryOp::Not, std::move(operand)), {raw});
    }
    if (Accept(TokenKind::Minus)) {
        Enter();
        DepthGuard guard(mDepth);
        ExprPtr operand = ParseUnary();
        const Expr* raw = operand.get();
        return Grown(Node<UnaryExpr>(offset, UnaryOp::Negate, std::move(operand)), {raw});
    }
    if (Accept(TokenKind::Plus)) {
        Enter();
        DepthGuard guard(mDepth);
        return ParseUnary();
    }
    return ParsePrimary();
}

// primary := literal | "True" | "False" | "Empty" | "Null" | "Nothing" | "New" name
//          | parenthesised postfix | reference
ExprPtr Parser::ParsePrimary() {
    const Token& token = Current();
    std::uint32_t offset = token.offset;
    switch (token.kind) {
    case TokenKind::Literal: {
        auto node = Node<LiteralExpr>(offset, token.value);
        ++mPosition;
        return node;
    }
    case TokenKind::KwTrue:
        ++mPosition;
        return Node<LiteralExpr>(offset, Variant(true));
    case TokenKind::KwFalse:
        ++mPosition;
        return Node<LiteralExpr>(offset, Variant(false));
    case TokenKind::KwEmpty:
        ++mPosition;
        return Node<LiteralExpr>(offset, Variant());
    case TokenKind::KwNull:
        ++mPosition;
        return Node<LiteralExpr>(offset, Variant::Null());
    case TokenKind::KwNothing:
        ++mPosition;
        return Node<LiteralExpr>(offset, Variant::Nothing());
    case TokenKind::KwNew: {
        ++mPosition;
        std::u16string_view name = ExpectIdentifier();
        return Node<NewExpr>(offset, name);
    }
    case TokenKind::LeftParen:
        return ParsePostfix(ParseParenthesised());
    case TokenKind::Identifier:
    case TokenKind::KwMe:
    case TokenKind::Dot:
        return ParseReference();
    default:
        Fail(N::ExpectedExpression);
    }
}

// parenthesised := "(" expr ")"
ExprPtr Parser::ParseParenthesised() {
    std::uint32_t offset = Current().offset;
    ++mPosition;
    ExprPtr inner = ParseExpression();
    Expect(TokenKind::RightParen, N::ExpectedRightParen);
    const Expr* raw = inner.get();
    return Grown(Node<ParenExpr>(offset, std::move(inner)), {raw});
}

// postfix := { "." name | "(" args ")" }. A dot after a blank starts a With member of its own
// (`Foo .Bar` passes .Bar to Foo), so only a dot right after the reference continues it.
ExprPtr Parser::ParsePostfix(ExprPtr node) {
    for (;;) {
        if (Is(TokenKind::Dot) && !Current().spaceBefore) {
            std::uint32_t offset = Current().offset;
            ++mPosition;
            std::u16string_view name = ExpectIdentifier();
            const Expr* raw = node.get();
            node = Grown(Node<MemberExpr>(offset, std::move(node), name), {raw});
            continue;
        }
        if (Is(TokenKind::LeftParen)) {
            std::uint32_t offset = node->offset;
            ++mPosition;
            Enter();
            DepthGuard guard(mDepth);
            auto call = Node<CallExpr>(offset, std::move(node));
            ParseArguments(call->args, TokenKind::RightParen);
            std::uint32_t height = call->target->height;
            for (const ExprPtr& arg : call->args) {
                if (arg) {
                    height = std::max(height, arg->height);
                }
            }
            call->height = height + 1;
            if (call->height > MaxExpressionHeight) {
                Fail(N::TooDeep, offset);
            }
            node = std::move(call);
            continue;
        }
        return node;
    }
}

// args := [arg] {"," [arg]} closer; an empty arg is an omitted optional argument. With closer
// EndOfInput the list runs to the end of the statement.
void Parser::ParseArguments(std::vector<ExprPtr>& args, TokenKind closer) {
    bool inParens = closer == TokenKind::RightParen;
    if (inParens && Accept(TokenKind::RightParen)) {
        return;
    }
    for (;;) {
        // An omitted argument: a comma, or the end of the list, follows at once.
        if (Is(TokenKind::Comma) || (inParens && Is(TokenKind::RightParen)) ||
            (!inParens && AtEndOfStatement())) {
            args.push_back(nullptr);
        } else {
            args.push_back(ParseExpression());
        }
        if (Accept(TokenKind::Comma)) {
            continue;
        }
        if (inParens) {
            Expect(TokenKind::RightParen, N::ExpectedRightParen);
        } else if (!AtEndOfStatement()) {
            Fail(N::ExpectedEndOfStatement);
        }
        return;
    }
}

} // namespace qv::vbscript
