#pragma once

#include "platform/vbscript/internal/BuiltinRegistry.h"
#include "platform/vbscript/internal/Program.h"

#include <string>
#include <string_view>

namespace qv::vbscript {

/// The name of an opcode as Opcodes.def spells it.
std::string_view OpName(Op op) noexcept;

/// A readable listing of a code block, one instruction per line ("0003  Append  local 2 (kqOut)
/// pieces=2"), for debug logs and golden tests of the compiler. UTF-8.
std::string Disassemble(const CodeBlock& block, const NameTable& names, const BuiltinRegistry& builtins);

} // namespace qv::vbscript
