#include "platform/vbscript/internal/Compiler.h"

#include "platform/vbscript/internal/CompilerState.h"

#include "platform/automation/Error.h"

namespace qv::vbscript {

using automation::Variant;

// ---------------------------------------------------------------------------------------------
// Names

// Local, then the caller's locals (Eval/Execute), then the class, then constants, then module
// names, then the library; an unknown name in a procedure is an implicit local that yields to a
// global of the same name at run time.
Compiler::Binding Compiler::Resolve(std::u16string_view name, std::uint32_t offset, bool forCall) {
    Scope& scope = *mScope;
    NameId id = mTarget.names.Intern(name);
    Binding binding;
    if (auto it = scope.locals.find(id); it != scope.locals.end()) {
        // Inside Function F, F(args) calls F again; plain F is the result variable.
        if (!(forCall && scope.resultName == id)) {
            binding.var = VarKind::Local;
            binding.index = static_cast<std::int32_t>(it->second);
            return binding;
        }
    }
    if (auto it = scope.constants.find(id); it != scope.constants.end()) {
        binding.kind = Binding::Kind::Constant;
        binding.constant = it->second;
        return binding;
    }
    if (auto it = scope.outerLocals.find(id); it != scope.outerLocals.end()) {
        binding.var = VarKind::Outer;
        binding.index = static_cast<std::int32_t>(it->second);
        return binding;
    }
    if (const ScriptClass* owner = scope.block->owner) {
        if (const ClassMember* member = owner->FindMember(id)) {
            if (member->field >= 0) {
                binding.var = VarKind::Field;
                binding.index = member->field;
                return binding;
            }
            binding.kind = Binding::Kind::Member;
            binding.index = static_cast<std::int32_t>(id);
            return binding;
        }
    }
    if (auto it = mChunkConstants.find(id); it != mChunkConstants.end()) {
        binding.kind = Binding::Kind::Constant;
        binding.constant = it->second;
        return binding;
    }
    GlobalSlot* defined = mChunkNames.contains(id) ? nullptr : Defined(mTarget.module, id);
    if (!defined && !mChunkNames.contains(id) && &mTarget.module != &mTarget.globalModule) {
        defined = Defined(mTarget.globalModule, id);
    }
    if (defined && defined->kind == SlotKind::Constant) {
        binding.kind = Binding::Kind::Constant;
        binding.constant = defined->value;
        return binding;
    }
    if (defined || mChunkNames.contains(id)) {
        binding.var = VarKind::Global;
        binding.index = static_cast<std::int32_t>(mTarget.module.SlotFor(id));
        return binding;
    }
    if (std::optional<Variant> constant = mTarget.builtins.FindConstant(name)) {
        binding.kind = Binding::Kind::Constant;
        binding.constant = std::move(*constant);
        return binding;
    }
    if (std::optional<std::uint32_t> builtin = mTarget.builtins.FindFunction(name)) {
        binding.kind = Binding::Kind::Builtin;
        binding.index = static_cast<std::int32_t>(*builtin);
        return binding;
    }
    (void)offset;
    if (mOptionExplicit) {
        binding.var = VarKind::GlobalExplicit;
        binding.index = static_cast<std::int32_t>(mTarget.module.SlotFor(id));
        return binding;
    }
    if (scope.isProcedure) {
        binding.var = VarKind::Implicit;
        binding.index = static_cast<std::int32_t>(ImplicitFor(id));
        return binding;
    }
    binding.var = VarKind::Global;
    binding.index = static_cast<std::int32_t>(mTarget.module.SlotFor(id));
    return binding;
}

// A module-level name as the module defines it now, noted with what it was, so that the chunk's
// code can be reused while every name it looked up stays the same.
GlobalSlot* Compiler::Defined(Module& module, NameId id) {
    GlobalSlot* slot = module.Defined(id);
    const std::uint64_t key = (static_cast<std::uint64_t>(id) << 1U) | (&module == &mTarget.module ? 0U : 1U);
    if (mLookedUp.insert(key).second) {
        NameLookup& lookup = mLookups.emplace_back();
        lookup.module = &module;
        lookup.name = id;
        if (slot) {
            lookup.kind = slot->kind;
            if (slot->kind == SlotKind::Constant) {
                lookup.constant = slot->value;
            }
        }
    }
    return slot;
}

std::uint32_t Compiler::ImplicitFor(NameId id) {
    Scope& scope = *mScope;
    if (auto it = scope.implicits.find(id); it != scope.implicits.end()) {
        return it->second;
    }
    CodeBlock& block = *scope.block;
    ImplicitRef ref;
    ref.local = static_cast<std::uint32_t>(block.localNames.size());
    block.localNames.push_back(mTarget.names.Spelling(id));
    ref.global = mTarget.module.SlotFor(id);
    auto index = static_cast<std::uint32_t>(block.implicits.size());
    block.implicits.push_back(ref);
    scope.implicits.emplace(id, index);
    return index;
}

// Whether a module-level name is already known as a procedure or a class, whose "subscripts"
// are arguments.
bool Compiler::IsKnownProcedure(NameId id) {
    auto isCode = [](SlotKind kind) { return kind == SlotKind::Procedure || kind == SlotKind::Class; };
    if (auto it = mChunkNames.find(id); it != mChunkNames.end()) {
        return isCode(it->second);
    }
    if (const GlobalSlot* slot = Defined(mTarget.module, id)) {
        return isCode(slot->kind);
    }
    const GlobalSlot* slot = Defined(mTarget.globalModule, id);
    return slot && isCode(slot->kind);
}

} // namespace qv::vbscript
