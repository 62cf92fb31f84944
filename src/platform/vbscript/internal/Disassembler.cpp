#include "platform/vbscript/internal/Disassembler.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace qv::vbscript {

using automation::ToUtf8;
using automation::Variant;
using automation::VarType;

namespace {

std::string ConstantText(const Variant& value) {
    switch (value.Type()) {
    case VarType::Empty:
        return "Empty";
    case VarType::Null:
        return "Null";
    case VarType::Object:
        return value.IsNothing() ? "Nothing" : "Object";
    case VarType::String: {
        std::string text = "\"";
        for (char16_t c : value.StringValue()) {
            if (c == u'"') {
                text += "\"\"";
            } else if (c == u'\r') {
                text += "\\r";
            } else if (c == u'\n') {
                text += "\\n";
            } else {
                text += ToUtf8(std::u16string_view(&c, 1));
            }
        }
        return text + "\"";
    }
    case VarType::Integer:
        return "Integer " + ToUtf8(automation::ToString(value));
    case VarType::Long:
        return "Long " + ToUtf8(automation::ToString(value));
    case VarType::Single:
        return "Single " + ToUtf8(automation::ToString(value));
    case VarType::Double:
        return "Double " + ToUtf8(automation::ToString(value));
    case VarType::Currency:
        return "Currency " + ToUtf8(automation::ToString(value));
    case VarType::Date:
        return "Date " + ToUtf8(automation::ToString(value));
    case VarType::Boolean:
        return value.BooleanValue() ? "True" : "False";
    case VarType::Byte:
        return "Byte " + ToUtf8(automation::ToString(value));
    case VarType::Error:
    case VarType::Variant:
        break;
    }
    return "?";
}

std::string VarText(const CodeBlock& block, const NameTable& names, const Instruction& instruction) {
    auto index = static_cast<std::uint32_t>(instruction.c);
    auto localName = [&](std::uint32_t slot) {
        if (slot < block.localNames.size() && !block.localNames[slot].empty()) {
            return " (" + ToUtf8(block.localNames[slot]) + ")";
        }
        return std::string(slot == block.paramCount ? " (result)" : " (hidden)");
    };
    auto globalName = [&](std::uint32_t slot) {
        return " (" + ToUtf8(names.Spelling(block.module->Slot(slot).name)) + ")";
    };
    switch (instruction.Kind()) {
    case VarKind::Local:
        return "local " + std::to_string(index) + localName(index);
    case VarKind::Outer:
        return "outer " + std::to_string(index);
    case VarKind::Field:
        return "field " + std::to_string(index);
    case VarKind::Global:
        return "global " + std::to_string(index) + globalName(index);
    case VarKind::GlobalExplicit:
        return "explicit " + std::to_string(index) + globalName(index);
    case VarKind::Implicit: {
        const ImplicitRef& ref = block.implicits[index];
        return "implicit " + std::to_string(ref.local) + globalName(ref.global);
    }
    }
    return "?";
}

std::string FlagText(const Instruction& instruction) {
    std::string text;
    if (instruction.Has(OpStatement)) {
        text += " statement";
    }
    if (instruction.Has(OpSet)) {
        text += " set";
    }
    if (instruction.Has(OpPreserve)) {
        text += " preserve";
    }
    if (instruction.Has(OpPrivate)) {
        text += " private";
    }
    return text;
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (std::size_t partIndex = 0; partIndex < parts.size(); ++partIndex) {
        if (partIndex > 0) {
            text.append(separator);
        }
        text.append(parts[partIndex]);
    }
    return text;
}

std::string Target(std::int32_t target) {
    char text[16];
    std::snprintf(text, sizeof text, "-> %04d", target);
    return text;
}

} // namespace

std::string_view OpName(Op op) noexcept {
    switch (op) {
#define QV_VBS_OP(name, ...)                                                                                 \
    case Op::name:                                                                                           \
        return #name;
#include "platform/vbscript/internal/Opcodes.def"
    }
    return "?";
}

namespace {

// The literal flags of a comparison, with a blank before each.
std::string LiteralText(const Instruction& instruction) {
    std::string text;
    if ((instruction.a & CompareNumberLiteral) != 0) {
        text += " number-literal";
    }
    if ((instruction.a & CompareTextLiteral) != 0) {
        text += " text-literal";
    }
    return text;
}

} // namespace

std::string Disassemble(const CodeBlock& block, const NameTable& names, const BuiltinRegistry& builtins) {
    std::string out;
    for (std::size_t pc = 0; pc < block.code.size(); ++pc) {
        const Instruction& instruction = block.code[pc];
        char number[24];
        std::snprintf(number, sizeof number, "%04zu  ", pc);
        std::string head = number + std::string(OpName(instruction.op));
        head.resize(std::max<std::size_t>(head.size() + 1, 19), ' ');
        std::string operands;
        if (IsFusedOperator(instruction.op)) {
            auto local = [&](std::int32_t slot) {
                Instruction load{Op::Load, static_cast<std::uint8_t>(VarKind::Local), 0, slot};
                return VarText(block, names, load);
            };
            const OperandForm form = FormOf(instruction.op);
            if (form == OperandForm::LocalConst || form == OperandForm::LocalLocal) {
                operands = local(instruction.b) + ", ";
            }
            if (form == OperandForm::Local || form == OperandForm::LocalLocal) {
                operands += local(instruction.c);
            } else {
                operands += ConstantText(block.constants[static_cast<std::size_t>(instruction.c)]);
            }
            operands += LiteralText(instruction);
        }
        switch (instruction.op) {
        case Op::PushConst:
            operands = ConstantText(block.constants[static_cast<std::size_t>(instruction.c)]);
            break;
        case Op::Load:
        case Op::PushRef:
        case Op::Store:
        case Op::StoreSet:
        case Op::StoreRaw:
        case Op::Erase:
            operands = VarText(block, names, instruction);
            break;
        case Op::Append:
            operands = VarText(block, names, instruction) + " pieces=" + std::to_string(instruction.b);
            break;
        case Op::CallName:
        case Op::StoreIndexed:
        case Op::PushElementRef:
            operands = VarText(block, names, instruction) + " argc=" + std::to_string(instruction.b) +
                       FlagText(instruction);
            break;
        case Op::ReDim:
            operands = VarText(block, names, instruction) + " dims=" + std::to_string(instruction.b) +
                       FlagText(instruction);
            break;
        case Op::DimArray: {
            // The bounds are joined apart and appended once: GCC 12 at -O3 flags appending a
            // character to a string just built by operator+ as overlapping (-Wrestrict).
            auto first = static_cast<std::size_t>(instruction.b);
            std::int32_t count = block.constants[first].LongValue();
            std::vector<std::string> bounds;
            bounds.reserve(static_cast<std::size_t>(std::max(count, 0)));
            for (std::int32_t bound = 0; bound < count; ++bound) {
                bounds.push_back(ToUtf8(
                    automation::ToString(block.constants[first + 1 + static_cast<std::size_t>(bound)])));
            }
            operands = VarText(block, names, instruction);
            operands.append(" bounds=");
            operands.append(Join(bounds, ","));
            break;
        }
        case Op::CallBuiltin:
            operands = ToUtf8(builtins.Function(static_cast<std::uint32_t>(instruction.c)).name) +
                       " argc=" + std::to_string(instruction.b) + FlagText(instruction);
            break;
        case Op::CallMember:
        case Op::StoreMember:
            operands = "." +
                       ToUtf8(names.Spelling(block.sites[static_cast<std::size_t>(instruction.c)].name)) +
                       " argc=" + std::to_string(instruction.b) + FlagText(instruction);
            break;
        case Op::CallDefault:
        case Op::StoreDefault:
            operands = "argc=" + std::to_string(instruction.b) + FlagText(instruction);
            break;
        case Op::New:
            operands =
                ToUtf8(names.Spelling(block.module->Slot(static_cast<std::uint32_t>(instruction.c)).name));
            break;
        case Op::Concat:
            operands = "n=" + std::to_string(instruction.b);
            break;
        case Op::Jump:
        case Op::JumpIfFalse:
        case Op::JumpIfTrue:
            operands = Target(instruction.c);
            break;
        case Op::ForPrepare:
        case Op::ForEachStart:
            operands = "hidden " + std::to_string(instruction.b);
            break;
        case Op::ForNext:
            operands = VarText(block, names, instruction) + " hidden " + std::to_string(instruction.b);
            break;
        case Op::Unlock:
            operands = "n=" + std::to_string(instruction.b);
            break;
        case Op::Raise:
            operands = "error " + std::to_string(instruction.c);
            break;
        case Op::Equal:
        case Op::NotEqual:
        case Op::Less:
        case Op::LessEqual:
        case Op::Greater:
        case Op::GreaterEqual:
            operands = LiteralText(instruction);
            if (!operands.empty()) {
                operands.erase(0, 1);
            }
            break;
        case Op::ForTest:
        case Op::ForEachNext:
            operands = "hidden " + std::to_string(instruction.b) + " " + Target(instruction.c);
            break;
        case Op::OnError:
            operands = instruction.a ? "resume next" : "goto 0";
            break;
        case Op::Nop:
        case Op::PushMissing:
        case Op::PushMe:
        case Op::Pop:
        case Op::Add:
        case Op::Subtract:
        case Op::Multiply:
        case Op::Divide:
        case Op::IntDivide:
        case Op::Modulo:
        case Op::Power:
        case Op::And:
        case Op::Or:
        case Op::Xor:
        case Op::Eqv:
        case Op::Imp:
        case Op::Is:
        case Op::Negate:
        case Op::Not:
        case Op::Return:
        case Op::AddConst:
        case Op::SubtractConst:
        case Op::MultiplyConst:
        case Op::DivideConst:
        case Op::IntDivideConst:
        case Op::ModuloConst:
        case Op::EqualConst:
        case Op::NotEqualConst:
        case Op::LessConst:
        case Op::LessEqualConst:
        case Op::GreaterConst:
        case Op::GreaterEqualConst:
        case Op::AddLocal:
        case Op::SubtractLocal:
        case Op::MultiplyLocal:
        case Op::DivideLocal:
        case Op::IntDivideLocal:
        case Op::ModuloLocal:
        case Op::EqualLocal:
        case Op::NotEqualLocal:
        case Op::LessLocal:
        case Op::LessEqualLocal:
        case Op::GreaterLocal:
        case Op::GreaterEqualLocal:
        case Op::AddLocalConst:
        case Op::SubtractLocalConst:
        case Op::MultiplyLocalConst:
        case Op::DivideLocalConst:
        case Op::IntDivideLocalConst:
        case Op::ModuloLocalConst:
        case Op::EqualLocalConst:
        case Op::NotEqualLocalConst:
        case Op::LessLocalConst:
        case Op::LessEqualLocalConst:
        case Op::GreaterLocalConst:
        case Op::GreaterEqualLocalConst:
        case Op::AddLocalLocal:
        case Op::SubtractLocalLocal:
        case Op::MultiplyLocalLocal:
        case Op::DivideLocalLocal:
        case Op::IntDivideLocalLocal:
        case Op::ModuloLocalLocal:
        case Op::EqualLocalLocal:
        case Op::NotEqualLocalLocal:
        case Op::LessLocalLocal:
        case Op::LessEqualLocalLocal:
        case Op::GreaterLocalLocal:
        case Op::GreaterEqualLocalLocal:
            break;
        }
        std::string line = head + operands;
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += line + "\n";
    }
    return out;
}

} // namespace qv::vbscript
