#include "platform/vbscript/internal/Disassembler.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
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

// A local slot with its name, if it has one.
std::string LocalText(const CodeBlock& block, std::uint32_t slot) {
    std::string text = "local " + std::to_string(slot);
    if (slot < block.localNames.size() && !block.localNames[slot].empty()) {
        return text + " (" + ToUtf8(block.localNames[slot]) + ")";
    }
    return text + (slot == block.paramCount ? " (result)" : " (hidden)");
}

std::string VarText(const CodeBlock& block, const NameTable& names, const Instruction& instruction) {
    auto index = static_cast<std::uint32_t>(instruction.c);
    auto globalName = [&](std::uint32_t slot) {
        return " (" + ToUtf8(names.Spelling(block.module->Slot(slot).name)) + ")";
    };
    switch (instruction.Kind()) {
    case VarKind::Local:
        return LocalText(block, index);
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

// The names of a's flags that are set, blank-separated.
std::string FlagText(const Instruction& instruction) {
    std::vector<std::string> set;
    for (const auto& [flag, name] : {std::pair{OpStatement, "statement"}, std::pair{OpSet, "set"},
                                     std::pair{OpPreserve, "preserve"}, std::pair{OpPrivate, "private"}}) {
        if (instruction.Has(flag)) {
            set.emplace_back(name);
        }
    }
    return Join(set, " ");
}

// The literal flags of a comparison, blank-separated.
std::string LiteralText(const Instruction& instruction) {
    std::vector<std::string> set;
    if ((instruction.a & CompareNumberLiteral) != 0) {
        set.emplace_back("number-literal");
    }
    if ((instruction.a & CompareTextLiteral) != 0) {
        set.emplace_back("text-literal");
    }
    return Join(set, " ");
}

std::string Target(std::int32_t target) {
    char text[16];
    std::snprintf(text, sizeof text, "-> %04d", target);
    return text;
}

// What each instruction keeps in its operands, from the table.
struct OperandLayout {
    Operand a;
    Operand b;
    Operand c;
};
constexpr OperandLayout OperandLayouts[] = {
#define QV_VBS_OP(name, a, b, c, ...) {Operand::a, Operand::b, Operand::c},
#include "platform/vbscript/internal/Opcodes.def"
};

std::string BoundsText(const CodeBlock& block, std::size_t first) {
    // The bounds are joined apart and appended once: GCC 12 at -O3 flags appending a character
    // to a string just built by operator+ as overlapping (-Wrestrict).
    std::int32_t count = block.constants[first].LongValue();
    std::vector<std::string> bounds;
    bounds.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t bound = 0; bound < count; ++bound) {
        bounds.push_back(
            ToUtf8(automation::ToString(block.constants[first + 1 + static_cast<std::size_t>(bound)])));
    }
    std::string text = "bounds=";
    text.append(Join(bounds, ","));
    return text;
}

/// Shows the operands of one code block's instructions.
class OperandPrinter {
public:
    OperandPrinter(const CodeBlock& block, const NameTable& names, const BuiltinRegistry& builtins)
        : mBlock(block), mNames(names), mBuiltins(builtins) {}

    /// The operands of `instruction` as its layout says, blank-separated: the left operand of a
    /// fused operator first, then c, b, a jump target and a's flags.
    std::string Text(const Instruction& instruction) const {
        const OperandLayout& layout = OperandLayouts[static_cast<std::size_t>(instruction.op)];
        const bool leftFirst = layout.b == Operand::LeftLocal;
        const bool targetLast = layout.c == Operand::Target;
        std::string text;
        if (leftFirst) {
            Append(text, layout.b, instruction);
        }
        if (!targetLast) {
            Append(text, layout.c, instruction);
        }
        if (!leftFirst) {
            Append(text, layout.b, instruction);
        }
        if (targetLast) {
            Append(text, layout.c, instruction);
        }
        Append(text, layout.a, instruction);
        return text;
    }

private:
    void Append(std::string& text, Operand operand, const Instruction& instruction) const {
        const std::string piece = Piece(operand, instruction);
        if (piece.empty()) {
            return;
        }
        if (!text.empty()) {
            text += ' ';
        }
        text += piece;
    }

    std::string Piece(Operand operand, const Instruction& instruction) const {
        const auto b = static_cast<std::uint32_t>(instruction.b);
        const auto c = static_cast<std::uint32_t>(instruction.c);
        switch (operand) {
        case Operand::None:
            return {};
        case Operand::Constant:
            return ConstantText(mBlock.constants[c]);
        case Operand::Var:
            return VarText(mBlock, mNames, instruction);
        case Operand::Local:
            return LocalText(mBlock, c);
        case Operand::Builtin:
            return ToUtf8(mBuiltins.Function(c).name);
        case Operand::Site:
            return "." + ToUtf8(mNames.Spelling(mBlock.sites[c].name));
        case Operand::ClassSlot:
            return ToUtf8(mNames.Spelling(mBlock.module->Slot(c).name));
        case Operand::Target:
            return Target(instruction.c);
        case Operand::ErrorNumber:
            return "error " + std::to_string(instruction.c);
        case Operand::LeftLocal:
            return LocalText(mBlock, b) + ",";
        case Operand::Argc:
            return "argc=" + std::to_string(b);
        case Operand::Pieces:
            return "pieces=" + std::to_string(b);
        case Operand::Dims:
            return "dims=" + std::to_string(b);
        case Operand::Count:
            return "n=" + std::to_string(b);
        case Operand::Hidden:
            return "hidden " + std::to_string(b);
        case Operand::Bounds:
            return BoundsText(mBlock, b);
        case Operand::Flags:
            return FlagText(instruction);
        case Operand::LiteralFlags:
            return LiteralText(instruction);
        case Operand::ErrorMode:
            return instruction.a ? "resume next" : "goto 0";
        }
        return "?";
    }

    const CodeBlock& mBlock;
    const NameTable& mNames;
    const BuiltinRegistry& mBuiltins;
};

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

std::string Disassemble(const CodeBlock& block, const NameTable& names, const BuiltinRegistry& builtins) {
    const OperandPrinter printer(block, names, builtins);
    std::string out;
    for (std::size_t pc = 0; pc < block.code.size(); ++pc) {
        const Instruction& instruction = block.code[pc];
        char number[24];
        std::snprintf(number, sizeof number, "%04zu  ", pc);
        std::string line = number + std::string(OpName(instruction.op));
        line.resize(std::max<std::size_t>(line.size() + 1, 19), ' ');
        line += printer.Text(instruction);
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += line + "\n";
    }
    return out;
}

} // namespace qv::vbscript
