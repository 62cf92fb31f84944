#pragma once

#include "platform/vbscript/internal/Ast.h"
#include "platform/vbscript/internal/BuiltinRegistry.h"
#include "platform/vbscript/internal/Program.h"
#include "platform/vbscript/library/LibrarySupport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

namespace qv::vbscript {

/// What the compiler reads and extends of an engine: the name table, the library, the module
/// being compiled into and the Global module behind it.
struct CompileTarget {
    NameTable& names;
    const BuiltinRegistry& builtins;
    Module& module;
    Module& globalModule;
};

/// The procedure that called Eval or Execute: its locals and its class stay visible to the text.
struct OuterScope {
    const CodeBlock* block = nullptr;
};

/// Turns syntax trees into CodeBlocks. Every variable becomes a slot (local, outer, field or
/// module slot), member names become call sites with interned names, literal subexpressions and
/// constants are folded, `a & b & c` becomes one Concat, and `x = x & ...` on a variable nobody
/// else can touch meanwhile becomes an in-place Append. Faults raise CompileError.
class Compiler {
public:
    Compiler(CompileTarget target, automation::Ref<SourceText> source);
    ~Compiler();

    /// A chunk added to a module (AddCode, ExecuteGlobal, Execute at top level).
    CompiledChunk CompileChunk(const Program& program);
    /// Execute inside a procedure: the caller's locals stay reachable.
    CompiledChunk CompileExecute(const Program& program, const OuterScope& outer);
    /// Eval: an expression whose value ends in local 0.
    automation::Ref<CodeBlock> CompileEval(const Expr& expr, const OuterScope* outer);

private:
    struct Scope;
    struct Binding;
    struct LoopContext;

    // Declarations
    void DeclareModuleNames(const Program& program, CompiledChunk& chunk);
    void CollectDeclarations(Scope& scope, const StmtList& body);
    automation::Ref<ScriptClass> DeclareClass(const ClassDecl& decl);
    automation::Ref<Procedure> CompileProcedure(const ProcDecl& decl, const ScriptClass* owner);
    void CompileClassBodies(const ClassDecl& decl, ScriptClass& cls);
    automation::Variant ConstantOf(const Expr& expr);

    // Names
    Binding Resolve(std::u16string_view name, std::uint32_t offset, bool forCall);
    std::uint32_t ImplicitFor(NameId id);

    // Statements
    void CompileBlock(const StmtList& body);
    /// Emits a check of the time-out before the statement at `offset` when a long run of
    /// statements has gone without one.
    void ClockIfDue(std::uint32_t offset);
    /// Starts counting the run of statements afresh: at a check, and at a loop's body.
    void RestartClock();
    void CompileStatement(const Stmt& statement);
    void CompileAssign(const AssignStmt& statement);
    bool TryCompileAppend(const AssignStmt& statement, const Binding& binding);
    void CompileCallStatement(const CallStmt& statement);
    void CompileReDim(const ReDimStmt& statement);
    void CompileErase(const EraseStmt& statement);
    void CompileIf(const IfStmt& statement);
    void CompileSelect(const SelectStmt& statement);
    void CompileFor(const ForStmt& statement);
    void CompileForEach(const ForEachStmt& statement);
    void CompileDo(const DoStmt& statement);
    void CompileExit(const ExitStmt& statement);
    void CompileWith(const WithStmt& statement);
    void CompileLoadOf(std::u16string_view name, std::uint32_t offset);

    // Expressions
    void CompileExpr(const Expr& expr);
    void CompileCall(const CallExpr& call, std::uint8_t flags);
    void CompileNameRead(const NameExpr& name, std::uint8_t flags);
    void CompileMemberAccess(const MemberExpr& member, std::size_t argc, std::uint8_t flags);
    void CompileObjectOf(const MemberExpr& member);
    bool CompileArgument(const Expr* arg, bool allowElements);
    std::uint32_t CompileArguments(const std::vector<ExprPtr>& args, bool byReference,
                                   bool allowElements = true);
    bool IsKnownProcedure(NameId id);
    std::optional<automation::Variant> LiteralOperand(const Expr& expr);
    std::uint8_t LiteralFlags(const Expr& left, const Expr& right);
    using Piece = std::variant<const Expr*, automation::Variant>;
    std::vector<Piece> FoldPieces(std::span<const ExprPtr> parts);
    void EmitPiece(const Piece& piece);
    void CompileConcat(const ConcatExpr& concat);
    std::optional<automation::Variant> Fold(const Expr& expr);
    std::int32_t BuiltinCalled(const Binding& binding, std::uint8_t flags) const;
    void CompileBinaryChain(const BinaryExpr& top);
    void EmitOperator(Op op, std::uint8_t flags, std::optional<std::uint32_t> leftStart, std::uint32_t start);
    bool FoldOperator(const BinaryExpr& node, automation::Variant& left);

    // Emission
    std::uint32_t Emit(Op op, std::uint8_t a = 0, std::uint32_t b = 0, std::int32_t c = 0);
    std::uint32_t EmitVar(Op op, const Binding& binding, std::uint32_t b = 0, std::uint8_t flags = 0);
    std::uint32_t Here() const;
    void PatchJump(std::uint32_t at, std::uint32_t target);
    std::int32_t AddConstant(const automation::Variant& value);
    std::int32_t AddSite(std::u16string_view name);
    std::uint32_t AddHidden(std::uint32_t count = 1);
    std::uint32_t BeginStatement(std::uint32_t offset);
    void EndStatement(std::uint32_t start);
    void GrowCode(CodeBlock& block);
    void Finish(CodeBlock& block);
    std::uint16_t CheckedCount(std::size_t count) const;
    GlobalSlot* Defined(Module& module, NameId id);

    CompileTarget mTarget;
    automation::Ref<SourceText> mSource;
    Scope* mScope = nullptr;
    std::uint32_t mOffset = 0;
    bool mOptionExplicit = false;
    // Module-level names declared by this chunk, before it is installed.
    std::unordered_map<NameId, automation::Variant> mChunkConstants;
    std::unordered_map<NameId, SlotKind> mChunkNames;
    // What the module-level names outside the chunk were when the code was compiled.
    std::vector<NameLookup> mLookups;
    std::unordered_set<std::uint64_t> mLookedUp;
    // Counts instructions and folding steps, to check the run's time-out every so many: text a
    // script runs is compiled while the script's time runs.
    library::ResultMeter mWork;
};

} // namespace qv::vbscript
